// The crafted inputs that once hung, overflowed or blew up Korvo, from the
// shared repro folder: each diagram is opened, painted, scrolled to its far
// corner, clicked, dragged, moved by keys, printed and written as PNG, SVG and
// PDF, and the script is imported. Each must end promptly with a result or a
// message; under the sanitizers, without a report.
#include "CAppState.h"
#include "CDiagramImage.h"
#include "CDocumentHost.h"
#include "CKorvoDC.h"
#include "CKorvoView.h"
#include "CSqlImporter.h"
#include "DiagramFile.h"
#include "TestSeam.h"
#include "ddlread.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPrinter>
#include <QTemporaryDir>

#include <set>

#include <gtest/gtest.h>

namespace {

QString ReproDir()
{
    return QStringLiteral(KORVO_SHARED_DIR "/repro");
}

QStringList ReproDiagrams()
{
    return QDir(ReproDir()).entryList({QStringLiteral("*.erd")}, QDir::Files, QDir::Name);
}

// Files whose tables lie so far out that printing them is refused.
const std::set<QString> kTooLargeToPrint = {
    QStringLiteral("render_pdf_million_pages.erd"), QStringLiteral("ubsan_coord_max.erd"),
    QStringLiteral("ubsan_coord_min.erd"), QStringLiteral("HANG_55_pdf.erd")};

class ReproFilesTest : public ::testing::Test {
protected:
    ReproFilesTest() { CAppState::Get() = CAppState(); }

    std::unique_ptr<CKorvoDoc> Load(const QString& name)
    {
        auto doc = std::make_unique<CKorvoDoc>();
        const LoadOutcome outcome =
            LoadDiagramFile(QFile::encodeName(QDir(ReproDir()).filePath(name)).toStdString(), *doc);
        EXPECT_TRUE(outcome.Opens()) << outcome.text;
        return doc;
    }

    void Mouse(CKorvoView& view, QEvent::Type type, QPoint pos)
    {
        const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        const Qt::MouseButtons buttons =
            type == QEvent::MouseButtonRelease ? Qt::MouseButtons() : Qt::MouseButtons(Qt::LeftButton);
        QMouseEvent event(type, pos, view.viewport()->mapToGlobal(pos), button, buttons, Qt::NoModifier);
        QApplication::sendEvent(view.viewport(), &event);
    }
    void Drag(CKorvoView& view, QPoint from, QPoint to)
    {
        Mouse(view, QEvent::MouseButtonPress, from);
        Mouse(view, QEvent::MouseMove, to);
        view.viewport()->repaint();
        Mouse(view, QEvent::MouseButtonRelease, to);
    }
    void Key(CKorvoView& view, int key)
    {
        QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(&view, &event);
    }

    TestSeam seam;
    QTemporaryDir dir;
};

} // namespace

TEST_F(ReproFilesTest, EveryCraftedDiagramOpensPaintsAndIsEditedWithinBounds)
{
    ASSERT_GE(ReproDiagrams().size(), 11) << ReproDir().toStdString();
    for (const QString& name : ReproDiagrams()) {
        SCOPED_TRACE(name.toStdString());
        std::unique_ptr<CKorvoDoc> doc = Load(name);
        ASSERT_TRUE(doc);
        // Page counts are those Diagram Options could have set.
        EXPECT_GE(doc->m_nMaxPagesX, 0);
        EXPECT_LE(doc->m_nMaxPagesX, CKorvoDoc::kMaxPages);
        EXPECT_GE(doc->m_nMaxPagesY, 0);
        EXPECT_LE(doc->m_nMaxPagesY, CKorvoDoc::kMaxPages);

        CDocumentHost host(std::move(doc));
        CKorvoView view(&host);
        view.resize(800, 600);
        view.show();
        view.OnInitialUpdate();
        const CAppState& app = CAppState::Get();
        EXPECT_LE(view.m_rectCanvas.right, int64_t(app.PageWidth()) * CKorvoDoc::kMaxPages);
        EXPECT_GE(view.m_rectCanvas.bottom, -int64_t(app.PageHeight()) * CKorvoDoc::kMaxPages);
        EXPECT_FALSE(view.viewport()->grab().isNull());

        // The far corner of the canvas, then every table selected, moved by
        // keys and by a drag, and selected again by clicks and a band.
        view.OnScroll(CLogScrollView::SB_BOTTOM | (CLogScrollView::SB_BOTTOM << 8), 0);
        view.viewport()->grab();
        view.ScrollToDevicePosition(CPoint{0, 0});
        for (auto& table : host.GetDocument()->m_tables)
            table->m_bSelected = true;
        for (int key : {Qt::Key_Right, Qt::Key_Down, Qt::Key_Left, Qt::Key_Up})
            Key(view, key);
        Drag(view, QPoint(5, 5), QPoint(300, 200));
        Drag(view, QPoint(300, 200), QPoint(300, 200));
        Drag(view, QPoint(790, 590), QPoint(10, 10));
        CAppState::Get().m_nCurrentTool = ToolRelation;
        Drag(view, QPoint(100, 100), QPoint(900, 700));
        view.OnTimer();
        view.viewport()->grab();

        // Printed and written, or refused with a reason; nothing half made.
        const bool printable = !kTooLargeToPrint.count(name);
        for (const char* suffix : {".png", ".svg", ".pdf"}) {
            const QString path = dir.filePath(name + QLatin1String(suffix));
            const QString error = CDiagramImage::Write(*host.GetDocument(), path);
            EXPECT_EQ(error.isEmpty(), QFile::exists(path)) << suffix << ": " << error.toStdString();
            if (QLatin1String(suffix) == QLatin1String(".pdf")) {
                EXPECT_EQ(error.isEmpty(), printable) << error.toStdString();
                if (!printable) {
                    EXPECT_TRUE(error.contains(QStringLiteral("too large to print"))) << error.toStdString();
                }
            }
        }
        seam.messages.clear();
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(dir.filePath(name + QStringLiteral(".printed.pdf")));
        view.SetUpPrinter(printer);
        EXPECT_EQ(view.PrintTo(printer), printable);
        EXPECT_EQ(seam.messages.size(), printable ? 0 : 1);

        // The diagram still saves and reads back, and exports.
        CKorvoDoc back;
        const std::string bytes = host.GetDocument()->SaveToBytes();
        EXPECT_TRUE(back.LoadFromBytes(bytes.data(), bytes.size()).Opens());
        EXPECT_EQ(back.m_tables.size(), host.GetDocument()->m_tables.size());
        host.GetDocument()->ExportSQLText();
        CAppState::Get().m_nCurrentTool = ToolPointer;
    }
}

TEST_F(ReproFilesTest, PageCountsOfAFileStayWithinWhatOptionsAccepts)
{
    struct Case {
        const char* file;
        int32_t across, down;
    };
    // 100000 x 100000, 300000 x 5 and INT_MAX x INT_MAX pages.
    const Case cases[] = {
        {"bigpages.erd", CKorvoDoc::kMaxPages, CKorvoDoc::kMaxPages},
        {"negpages.erd", CKorvoDoc::kMaxPages, 5},
        {"ubsan_pages_max.erd", CKorvoDoc::kMaxPages, CKorvoDoc::kMaxPages},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        std::unique_ptr<CKorvoDoc> doc = Load(QString::fromLatin1(c.file));
        EXPECT_EQ(doc->m_nMaxPagesX, c.across);
        EXPECT_EQ(doc->m_nMaxPagesY, c.down);
        CDocumentHost host(std::move(doc));
        CKorvoView view(&host);
        view.resize(400, 300);
        view.show();
        view.OnInitialUpdate();
        EXPECT_EQ(view.m_rectCanvas, (CRect{0, 0, 10800 * c.across, -15120 * c.down}));
        EXPECT_EQ(view.m_totalDev, (CSize{10800 * c.across / 15, 15120 * c.down / 15}));
    }
}

TEST_F(ReproFilesTest, HugeFontHeightsMakeOneBoundedFontPerPrint)
{
    for (const char* file : {"pdf_font_65535_slow.erd", "pdf_font_hang_mutant.erd", "ubsan_font_height_intmin.erd"}) {
        SCOPED_TRACE(file);
        std::unique_ptr<CKorvoDoc> doc = Load(QString::fromLatin1(file));
        for (int dpi : {96, 300, 1200}) {
            const QFont font = CKorvoDC::MakeFont(doc->m_logFont, dpi);
            EXPECT_GE(font.pixelSize(), 1);
            EXPECT_LE(font.pixelSize(), (CKorvoDC::kMaxFontHeight * dpi + 720) / 1440);
        }
        const QString pdf = dir.filePath(QString::fromLatin1(file) + QStringLiteral(".pdf"));
        EXPECT_EQ(CDiagramImage::Write(*doc, pdf), QString());
        EXPECT_GT(QFile(pdf).size(), 0);
    }
}

TEST_F(ReproFilesTest, AScriptOfOneTableWithAHundredThousandColumnsImportsInOrder)
{
    const QByteArray script = QFile::encodeName(QDir(ReproDir()).filePath(QStringLiteral("sql_one_table_100k_columns.sql")));
    char error[500] = "";
    TableData* list = ImportSQLTables(script.constData(), error, int(sizeof error), nullptr);
    ASSERT_NE(list, nullptr) << error;
    CKorvoDoc doc;
    CKorvoDC dc(nullptr, 96, false);
    dc.SelectFont(CKorvoDC::MakeFont(doc.m_logFont, 96));
    const CRect canvas{0, 0, 54000, -75600};
    CSqlImporter(doc, dc, canvas).ImportTables(list);
    // Again over itself: every column is found by its name, none removed.
    CSqlImporter(doc, dc, canvas).ImportTables(list);
    FreeTableData(list);
    ASSERT_EQ(doc.m_tables.size(), 1u);
    const auto& columns = doc.m_tables[0]->m_def.m_columns;
    ASSERT_EQ(columns.size(), 100000u);
    EXPECT_EQ(columns[0]->m_strName, "c0");
    EXPECT_EQ(columns[54321]->m_strName, "c54321");
    EXPECT_EQ(columns[99999]->m_strName, "c99999");
}
