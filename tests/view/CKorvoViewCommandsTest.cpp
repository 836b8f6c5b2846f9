// Printing, SQL export and import, and the clipboard commands of the diagram
// window, through real files, a real PDF printer and the real clipboard.
#include "CAppState.h"
#include "CDocumentHost.h"
#include "CKorvoView.h"
#include "DiagramBuilder.h"
#include "TestSeam.h"

#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QMimeData>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTemporaryDir>

#include <climits>

#include <fstream>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

int PdfPageCount(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QString text = QString::fromLatin1(file.readAll());
    return int(text.count(QRegularExpression(QStringLiteral("/Type\\s*/Page[^s]"))));
}

// Answers the print dialog as a person would: print to a PDF file, pages
// `from` to `to`, or the pages the "Pages" field lists.
class PrintSeam : public TestSeam {
public:
    int RunPrintDialog(QPrintDialog& dialog) override
    {
        ++printDialogRuns;
        if (pdfPath.isEmpty())
            return QDialog::Rejected;
        if (from > 0) {
            dialog.findChild<QRadioButton*>(QStringLiteral("printRange"))->setChecked(true);
            dialog.findChild<QSpinBox*>(QStringLiteral("from"))->setValue(from);
            dialog.findChild<QSpinBox*>(QStringLiteral("to"))->setValue(to);
        } else if (!pages.isEmpty()) {
            dialog.findChild<QRadioButton*>(QStringLiteral("pagesRadioButton"))->setChecked(true);
            dialog.findChild<QLineEdit*>(QStringLiteral("pagesLineEdit"))->setText(pages);
        }
        dialog.accept();
        // No printer is installed here: the output goes to a file.
        dialog.printer()->setOutputFileName(pdfPath);
        return dialog.result();
    }

    QString pdfPath;
    int from = 0;
    int to = 0;
    QString pages; // the dialog's "Pages" field, e.g. "1,4"
    int printDialogRuns = 0;
};

// The text of one page of a PDF, through poppler's pdftotext.
QString PdfPageText(const QString& path, int page)
{
    QProcess tool;
    tool.start(QStringLiteral("pdftotext"), {QStringLiteral("-f"), QString::number(page), QStringLiteral("-l"),
                                             QString::number(page), path, QStringLiteral("-")});
    EXPECT_TRUE(tool.waitForFinished(60000)) << "pdftotext (poppler-utils) must be installed";
    EXPECT_EQ(tool.exitCode(), 0);
    return QString::fromUtf8(tool.readAllStandardOutput()).simplified();
}

class CKorvoViewCommandsTest : public ::testing::Test {
protected:
    CKorvoViewCommandsTest() : host(std::make_unique<CKorvoDoc>()), view(&host)
    {
        CAppState::Get() = CAppState();
        view.resize(600, 400);
        view.show();
        view.OnInitialUpdate();
    }

    CKorvoDoc& doc() { return *host.GetDocument(); }

    int PrintedPages()
    {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        const QString path = dir.filePath(QStringLiteral("out.pdf"));
        printer.setOutputFileName(path);
        view.SetUpPrinter(printer);
        view.PrintTo(printer);
        return PdfPageCount(path);
    }

    QString WriteFile(const QString& name, const std::string& text)
    {
        const QString path = dir.filePath(name);
        std::ofstream(path.toStdString(), std::ios::binary) << text;
        return path;
    }

    QTemporaryDir dir;
    PrintSeam seam;
    CDocumentHost host;
    CKorvoView view;
};

} // namespace

TEST_F(CKorvoViewCommandsTest, PrintedPagesFollowTheTablesExtent)
{
    EXPECT_EQ(PrintedPages(), 1) << "an empty diagram prints one page";
    KorvoTableView* t = AddTable(doc(), "wide", 0, -100, {"a"});
    t->m_def.m_strName = std::string(10, 'W');
    t->m_x = 10800 + 10800 / 2 - 1000; // the box reaches past 1.5 page widths
    EXPECT_EQ(PrintedPages(), 2);
    t->m_y = -15120 - 100; // and into the second page row
    EXPECT_EQ(PrintedPages(), 4);
}

TEST_F(CKorvoViewCommandsTest, PrintingTheChosenPagesPutsEachTableOnItsPage)
{
    // Two page areas across and two down, one table in each, named after it.
    AddTable(doc(), "northwest", 1000, -1000, {"a"});
    AddTable(doc(), "northeast", 10800 + 1000, -1000, {"b"});
    AddTable(doc(), "southwest", 1000, -15120 - 1000, {"c"});
    AddTable(doc(), "southeast", 10800 + 1000, -15120 - 1000, {"d"});
    view.viewport()->repaint(); // measures the tables
    ASSERT_EQ(view.OnPreparePrinting(), 4);

    seam.pdfPath = dir.filePath(QStringLiteral("all.pdf"));
    view.OnFilePrint();
    ASSERT_EQ(seam.printDialogRuns, 1);
    ASSERT_EQ(PdfPageCount(seam.pdfPath), 4);
    const char* names[] = {"northwest a", "northeast b", "southwest c", "southeast d"};
    for (int page = 1; page <= 4; ++page)
        EXPECT_EQ(PdfPageText(seam.pdfPath, page), QString::fromLatin1(names[page - 1])) << "page " << page;

    seam.pdfPath = dir.filePath(QStringLiteral("two.pdf"));
    seam.from = 2;
    seam.to = 3;
    view.OnFilePrint();
    ASSERT_EQ(PdfPageCount(seam.pdfPath), 2);
    EXPECT_EQ(PdfPageText(seam.pdfPath, 1), QStringLiteral("northeast b"));
    EXPECT_EQ(PdfPageText(seam.pdfPath, 2), QStringLiteral("southwest c"));

    seam.pdfPath = dir.filePath(QStringLiteral("last.pdf"));
    seam.from = seam.to = 4;
    view.OnFilePrint();
    ASSERT_EQ(PdfPageCount(seam.pdfPath), 1);
    EXPECT_EQ(PdfPageText(seam.pdfPath, 1), QStringLiteral("southeast d"));

    // Pages that are not next to each other: the ones between stay out.
    seam.pdfPath = dir.filePath(QStringLiteral("corners.pdf"));
    seam.from = seam.to = 0;
    seam.pages = QStringLiteral("1,4");
    view.OnFilePrint();
    ASSERT_EQ(PdfPageCount(seam.pdfPath), 2);
    EXPECT_EQ(PdfPageText(seam.pdfPath, 1), QStringLiteral("northwest a"));
    EXPECT_EQ(PdfPageText(seam.pdfPath, 2), QStringLiteral("southeast d"));
    EXPECT_TRUE(seam.messages.isEmpty());
}

TEST_F(CKorvoViewCommandsTest, PrintingTooManyPagesIsRefusedBeforeAnyDialog)
{
    // The table of a crafted file two billion twips out: some two hundred
    // thousand pages across.
    AddTable(doc(), "far", 2000000000, -1000, {"a"});
    view.viewport()->repaint();
    seam.pdfPath = dir.filePath(QStringLiteral("far.pdf"));
    view.OnFilePrint();
    view.OnFilePrintPreview();
    EXPECT_EQ(seam.printDialogRuns, 0);
    EXPECT_EQ(seam.dialogRuns, 0) << "no preview either";
    ASSERT_EQ(seam.messages.size(), 2);
    EXPECT_TRUE(seam.messages[0].startsWith(QStringLiteral("The diagram is too large to print"))) 
        << seam.messages[0].toStdString();
    EXPECT_EQ(seam.icons[0], QMessageBox::Warning);
    EXPECT_FALSE(QFile::exists(seam.pdfPath));

    // A printer handed the diagram directly (the batch print) refuses too.
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(seam.pdfPath);
    view.SetUpPrinter(printer);
    EXPECT_FALSE(view.PrintTo(printer));
    EXPECT_EQ(seam.messages.size(), 3);
    EXPECT_FALSE(QFile::exists(seam.pdfPath));
}

TEST_F(CKorvoViewCommandsTest, ExportSqlWritesTheScriptOrReportsTheFailure)
{
    KorvoTableView* t = AddTable(doc(), "t", 0, 0, {"a"});
    t->m_def.m_columns[0]->m_bPrimaryKey = true;
    seam.saveFileName = dir.filePath(QStringLiteral("out.sql"));
    view.OnExportSQL();
    QFile out(seam.saveFileName);
    ASSERT_TRUE(out.open(QIODevice::ReadOnly));
    EXPECT_EQ(out.readAll(), QByteArray("CREATE TABLE t (\r\n\ta int, \r\n\tPRIMARY KEY(a));\r\n\r\n"));
    EXPECT_EQ(seam.filters, QStringList{QStringLiteral("SQL Files (*.sql)")});
    EXPECT_TRUE(seam.messages.isEmpty());
    EXPECT_FALSE(doc().IsModified()) << "exporting is no edit";

    seam.saveFileName = dir.filePath(QStringLiteral("missing/dir/out.sql"));
    view.OnExportSQL();
    EXPECT_EQ(seam.messages, QStringList{QStringLiteral("Export SQL Error: Unable to open output file.")});
}

TEST_F(CKorvoViewCommandsTest, ImportSqlMergesTheScriptOrShowsTheLibrarysError)
{
    seam.openFileName = WriteFile(QStringLiteral("ok.sql"), "CREATE TABLE p (id INT PRIMARY KEY);\n"
                                                            "CREATE TABLE c (pid INT REFERENCES p (id));\n");
    view.OnImportSQL();
    ASSERT_EQ(doc().m_tables.size(), 2u);
    EXPECT_EQ(doc().m_relations.size(), 1u);
    EXPECT_TRUE(doc().IsModified());
    EXPECT_TRUE(host.IsModified());
    EXPECT_EQ(seam.filters, QStringList{QStringLiteral("SQL Files (*.sql)")});

    // What no reader can read shows ddlread's own account.
    seam.openFileName = WriteFile(QStringLiteral("bad.sql"), "CREATE TABLE x (a INT,\n\n b INT c));\n");
    view.OnImportSQL();
    ASSERT_EQ(seam.messages.size(), 1);
    EXPECT_EQ(seam.messages[0], QStringLiteral("Error importing: 3: parse error at c\n"));
    EXPECT_EQ(doc().m_tables.size(), 2u);

    seam.openFileName.clear();
    view.OnImportSQL();
    EXPECT_EQ(seam.messages.size(), 1) << "a cancelled dialog does nothing";
}

// ddlread passes over what its names cannot hold; the import hands such a
// script to a dialect reader, which keeps every name whole. An error text
// with a string literal of any bytes shows as text.
TEST_F(CKorvoViewCommandsTest, ImportSqlKeepsNamesBeyondAscii)
{
    seam.openFileName = WriteFile(QStringLiteral("caf\u00E9.sql"),
                                  "CREATE TABLE caf\xC3\xA9 (id INT, -- \xE9\xA1\xA7\xE5\xAE\xA2 stays a comment\n"
                                  " note CHAR(9) DEFAULT 'Gr\xC3\xBC\xC3\x9F" "e',\n \xCE\xA9 INT);\n");
    view.OnImportSQL();
    ASSERT_EQ(doc().m_tables.size(), 1u);
    EXPECT_EQ(doc().m_tables[0]->m_def.m_strName, "caf\xC3\xA9");
    ASSERT_EQ(doc().m_tables[0]->m_def.m_columns.size(), 3u);
    EXPECT_EQ(doc().m_tables[0]->m_def.m_columns[1]->m_strDefault, "'Gr\xC3\xBC\xC3\x9F" "e'");
    EXPECT_EQ(doc().m_tables[0]->m_def.m_columns[2]->m_strName, "\xCE\xA9");
    EXPECT_TRUE(seam.messages.isEmpty());

    seam.openFileName = WriteFile(QStringLiteral("plain.sql"), "CREATE TABLE t (id INT);\n");
    view.OnImportSQL();
    EXPECT_TRUE(seam.messages.isEmpty()) << "nothing to say about an ASCII script";

    seam.openFileName = WriteFile(QStringLiteral("bad.sql"), "CREATE TABLE x (a INT '\xE9\xA1\xA7'));\n");
    view.OnImportSQL();
    ASSERT_EQ(seam.messages.size(), 1);
    EXPECT_EQ(seam.messages[0], QStringLiteral("Error importing: 1: parse error at '\u9867'\n"));
}

// Tables the import brings up to date stay where they stand; new tables go
// beside the diagram, and a canvas too small for them grows in every window.
TEST_F(CKorvoViewCommandsTest, ImportSqlPlacesNewTablesBesideTheDiagram)
{
    KorvoTableView* kept = AddTable(doc(), "kept", 1500, -900, {"id"});
    doc().m_nMaxPagesX = doc().m_nMaxPagesY = 1;
    view.OnInitialUpdate();
    std::string script = "CREATE TABLE kept (id INT, extra INT);\n";
    for (int i = 0; i < 200; ++i)
        script += "CREATE TABLE t" + std::to_string(i) + " (id INT PRIMARY KEY, name VARCHAR(40));\n";
    seam.openFileName = WriteFile(QStringLiteral("more.sql"), script.c_str());
    view.OnImportSQL();
    ASSERT_EQ(doc().m_tables.size(), 201u);
    EXPECT_EQ(kept->m_x, 1500);
    EXPECT_EQ(kept->m_y, -900);
    EXPECT_EQ(kept->m_def.m_columns.size(), 2u);
    for (const auto& table : doc().m_tables)
        if (table.get() != kept) {
            EXPECT_TRUE(table->m_x >= kept->m_x + kept->m_cx || table->m_y <= kept->m_y - kept->m_cy)
                << table->m_def.m_strName;
        }
    EXPECT_GT(int64_t(doc().m_nMaxPagesX) * doc().m_nMaxPagesY, 1);
    const CAppState& app = CAppState::Get();
    EXPECT_EQ(view.m_totalLog.cx, app.PageWidth() * doc().m_nMaxPagesX) << "the canvas follows the page counts";
}

// Regression: importing a named pipe froze the window for good, and a folder
// gave the scanner's own message. Both say what a missing file says.
TEST_F(CKorvoViewCommandsTest, ImportingAnythingButAFileSaysItCannotBeOpened)
{
    const QString pipe = dir.filePath(QStringLiteral("pipe.sql"));
    ASSERT_EQ(mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    for (const QString& path : {dir.filePath(QStringLiteral("absent.sql")), pipe, dir.path()}) {
        seam.messages.clear();
        seam.openFileName = path;
        view.OnImportSQL();
        EXPECT_EQ(seam.messages, QStringList{QStringLiteral("Error importing: Error opening file.")})
            << path.toStdString();
    }
    EXPECT_TRUE(doc().m_tables.empty());
    EXPECT_FALSE(doc().IsModified());
}

TEST_F(CKorvoViewCommandsTest, CopyAndPasteThroughTheClipboardIntoAnotherDiagram)
{
    KorvoTableView* a = AddTable(doc(), "a", 3000, -3000, {"x", "y"});
    KorvoTableView* b = AddTable(doc(), "b", 9000, -4500, {"id"});
    AddTable(doc(), "c", 0, 0, {"id"});
    Relate(doc(), a, 1, b, 0);
    Relate(doc(), a, 0, doc().m_tables[2].get(), 0); // one end only: not copied
    a->m_bSelected = b->m_bSelected = true;
    view.OnEditCopy();
    ASSERT_TRUE(view.CanPaste());
    const QMimeData* mime = QApplication::clipboard()->mimeData();
    ASSERT_NE(mime, nullptr);
    const QByteArray payload = mime->data(CAppState::Get().m_nClipboardFormat);
    ASSERT_GE(payload.size(), 8);
    EXPECT_EQ(payload.left(10), QByteArray("\x02\x00\x00\x00\xff\xff\x01\x00\x0e\x00", 10));

    CDocumentHost other(std::make_unique<CKorvoDoc>());
    CKorvoView target(&other);
    target.resize(600, 400);
    target.show();
    target.OnInitialUpdate();
    AddTable(*other.GetDocument(), "old", 0, 0)->m_bSelected = true;
    target.ScrollToDevicePosition(CPoint{100, 60});
    // Pasted from the menu, with the mouse elsewhere: one step right and
    // down from where the tables were copied.
    QCursor::setPos(target.viewport()->mapToGlobal(QPoint(-200, -200)));
    target.OnEditPaste();

    const CKorvoDoc& pasted = *other.GetDocument();
    ASSERT_EQ(pasted.m_tables.size(), 3u);
    EXPECT_FALSE(pasted.m_tables[0]->m_bSelected) << "the old selection is cleared";
    EXPECT_TRUE(pasted.m_tables[1]->m_bSelected && pasted.m_tables[2]->m_bSelected);
    EXPECT_EQ(pasted.m_tables[1]->m_x, 3000 + 360);
    EXPECT_EQ(pasted.m_tables[1]->m_y, -3000 - 360);
    EXPECT_EQ(pasted.m_tables[2]->m_x, 9000 + 360);
    EXPECT_EQ(pasted.m_tables[2]->m_y, -4500 - 360);
    ASSERT_EQ(pasted.m_relations.size(), 1u);
    EXPECT_EQ(pasted.m_relations[0]->m_sourceColumns[0]->m_strName, "y");
    EXPECT_FALSE(pasted.m_relations[0]->m_bSelected);

    // With the mouse over the canvas (Ctrl+V there) the group's top-left
    // corner lands under it.
    QCursor::setPos(target.viewport()->mapToGlobal(QPoint(50, 40)));
    target.OnEditPaste();
    ASSERT_EQ(pasted.m_tables.size(), 5u);
    EXPECT_EQ(pasted.m_tables[3]->m_x, (100 + 50) * 15);
    EXPECT_EQ(pasted.m_tables[3]->m_y, -(60 + 40) * 15);
    EXPECT_EQ(pasted.m_tables[4]->m_x, (100 + 50) * 15 + 6000);
    EXPECT_EQ(pasted.m_tables[4]->m_y, -(60 + 40) * 15 - 1500);
    EXPECT_EQ(pasted.m_relations.size(), 2u);
    EXPECT_TRUE(other.IsModified());
}

TEST_F(CKorvoViewCommandsTest, CutCopiesThenDeletesAndPasteRefusesABrokenPayload)
{
    AddTable(doc(), "a", 0, 0, {"x"})->m_bSelected = true;
    view.OnEditCut();
    EXPECT_TRUE(doc().m_tables.empty());
    view.OnEditPaste();
    EXPECT_EQ(doc().m_tables.size(), 1u);

    auto* mime = new QMimeData;
    mime->setData(CAppState::Get().m_nClipboardFormat, QByteArray("\x01\x00\x00\x00\xff\xff\x01\x00", 8));
    QApplication::clipboard()->setMimeData(mime);
    view.OnEditPaste();
    EXPECT_EQ(doc().m_tables.size(), 1u) << "nothing of a broken payload is added";
    ASSERT_EQ(seam.messages.size(), 1);
    EXPECT_EQ(seam.icons[0], QMessageBox::Warning);

    QApplication::clipboard()->setText(QStringLiteral("plain text"));
    EXPECT_FALSE(view.CanPaste());
    view.OnEditPaste();
    EXPECT_EQ(seam.messages.size(), 1) << "no private data: nothing happens";
}

// Regression: Export Image reported success on a full disk and left a cut-off
// SVG or PDF in place of the old file. Here the process's files may not grow
// past 512 bytes for a moment.
TEST_F(CKorvoViewCommandsTest, ExportImageOnAFullDiskSaysSoAndKeepsTheOldFile)
{
    AddTable(doc(), "t", 1500, -1500, {"a", "b", "c"});
    AddTable(doc(), "u", 5000, -1500, {"d", "e", "f"});
    rlimit saved {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    for (const char* name : {"full.png", "full.svg", "full.pdf"}) {
        const QString path = dir.filePath(QString::fromLatin1(name));
        WriteFile(QString::fromLatin1(name), "old");
        seam.messages.clear();
        seam.saveFileName = path;
        const rlimit small{512, saved.rlim_max};
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
        view.OnExportImage();
        setrlimit(RLIMIT_FSIZE, &saved);
        EXPECT_EQ(seam.messages, QStringList{QStringLiteral("Cannot write file '%1': File too large").arg(path)});
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), QByteArray("old")) << name;
    }
    std::signal(SIGXFSZ, oldHandler);
}

TEST_F(CKorvoViewCommandsTest, ExportImageWritesThePictureTheFileNameAsksFor)
{
    AddTable(doc(), "t", 1500, -1500, {"a"});
    seam.saveFileName = dir.filePath(QStringLiteral("diagram.png"));
    view.OnExportImage();
    EXPECT_FALSE(QImage(seam.saveFileName).isNull());
    EXPECT_TRUE(seam.filters[0].contains(QStringLiteral("*.svg")));
    seam.saveFileName = dir.filePath(QStringLiteral("diagram.pdf"));
    view.OnExportImage();
    QFile pdf(seam.saveFileName);
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    EXPECT_TRUE(pdf.readAll().startsWith("%PDF"));
    EXPECT_TRUE(seam.messages.isEmpty());

    seam.saveFileName = dir.filePath(QStringLiteral("no/such/dir/diagram.svg"));
    view.OnExportImage();
    ASSERT_EQ(seam.messages.size(), 1);
    EXPECT_EQ(seam.messages[0], QStringLiteral("Cannot create file '%1': No such file or directory").arg(seam.saveFileName));
    EXPECT_FALSE(doc().IsModified());
}
