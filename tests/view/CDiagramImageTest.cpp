// Pictures of whole diagrams: PNG, SVG and PDF drawn like the screen and the
// printer, written whole or not at all.
#include "CAppState.h"
#include "CDiagramImage.h"
#include "DiagramBuilder.h"

#include "../model/TestFiles.h"

#include <QFile>
#include <QImage>

#include <gtest/gtest.h>

namespace {

class CDiagramImageTest : public ::testing::Test {
protected:
    CDiagramImageTest()
    {
        CAppState::Get() = CAppState();
        KorvoTableView* a = AddTable(doc, "dept", 1500, -1500, {"id", "title"}, 1);
        KorvoTableView* b = AddTable(doc, "emp", 6000, -3000, {"id", "dept_id"}, 1);
        Relate(doc, b, 1, a, 0);
        a->m_bSelected = true;
    }

    QString File(const char* name) const { return QString::fromStdString(dir.File(name)); }

    TempDir dir;
    CKorvoDoc doc;
};

// The page objects of a PDF: "/Type /Page", not "/Type /Pages". One pass, so
// that a PDF of ten thousand pages is counted at once.
int PdfPageCount(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray pdf = file.readAll();
    int pages = 0;
    for (qsizetype at = pdf.indexOf("/Type"); at >= 0; at = pdf.indexOf("/Type", at + 1)) {
        qsizetype next = at + 5;
        while (next < pdf.size() && (pdf[next] == ' ' || pdf[next] == '\n' || pdf[next] == '\r'))
            ++next;
        if (pdf.mid(next, 5) == "/Page" && (next + 5 >= pdf.size() || pdf[next + 5] != 's'))
            ++pages;
    }
    return pages;
}

} // namespace

TEST_F(CDiagramImageTest, PngCoversTheTablesExtentAtTheChosenResolution)
{
    ASSERT_EQ(CDiagramImage::Write(doc, File("out.png")), QString());
    QImage image(File("out.png"));
    ASSERT_FALSE(image.isNull());
    // A quarter-inch border all round: dept's corner at 1500 + 360 units.
    const KorvoTableView* emp = doc.m_tables[1].get();
    EXPECT_EQ(image.width(), (emp->m_x + emp->m_cx + 720) / 15 + 1);
    EXPECT_EQ(image.height(), (emp->m_cy - emp->m_y + 720) / 15 + 1);
    EXPECT_EQ(image.pixelColor(124, 134), QColor(Qt::black)) << "dept's left frame band";
    EXPECT_EQ(image.pixelColor(122, 122), QColor(Qt::white)) << "no selection marks, no grid";

    ASSERT_EQ(CDiagramImage::Write(doc, File("big.png"), 192), QString());
    const QImage big(File("big.png"));
    EXPECT_NEAR(big.width(), image.width() * 2, 8);
    EXPECT_EQ(big.dotsPerMeterX(), qRound(192 / 0.0254));
}

TEST_F(CDiagramImageTest, SvgAndPdfUseTheSameDrawing)
{
    ASSERT_EQ(CDiagramImage::Write(doc, File("out.svg")), QString());
    QFile svg(File("out.svg"));
    ASSERT_TRUE(svg.open(QIODevice::ReadOnly));
    const QByteArray text = svg.readAll();
    EXPECT_TRUE(text.contains("<svg"));
    EXPECT_TRUE(text.contains("dept_id")) << "text stays text";

    ASSERT_EQ(CDiagramImage::Write(doc, File("out.pdf")), QString());
    EXPECT_EQ(PdfPageCount(File("out.pdf")), 1);
    doc.m_tables[1]->m_x = 12000; // into the second page across
    ASSERT_EQ(CDiagramImage::Write(doc, File("out.pdf")), QString());
    EXPECT_EQ(PdfPageCount(File("out.pdf")), 2);
}

TEST_F(CDiagramImageTest, RefusesUnknownTypesAndKeepsTheOldFileWhenWritingFails)
{
    EXPECT_NE(CDiagramImage::Write(doc, File("out.gif")), QString());
    doc.m_tables[1]->m_x = 2000000; // two million twips: billions of pixels
    EXPECT_TRUE(CDiagramImage::Write(doc, File("far.png")).contains(QStringLiteral("too large")));
    EXPECT_FALSE(QFile::exists(File("far.png")));
    doc.m_tables[1]->m_x = 6000;
    EXPECT_NE(CDiagramImage::Write(doc, File("no/such/dir/out.png")), QString());

    const std::string target = dir.File("keep.png");
    WriteWholeFile(target, "old picture");
    // A file-size limit makes the write fail part way, as a full disk does.
    const int status = RunInChild(
        [&] { return CDiagramImage::Write(doc, QString::fromStdString(target), 300).isEmpty() ? 0 : 1; }, 512);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(ReadWholeFile(target), "old picture");
    EXPECT_EQ(dir.EntryCount(), 1u) << "no temporary file is left behind";
}

TEST_F(CDiagramImageTest, PdfOfTooManyPagesIsRefusedBeforeTheFileIsTouched)
{
    // Twenty thousand page widths out: more pages than a print may take.
    doc.m_tables[1]->m_x = 20000 * 10800;
    const QString error = CDiagramImage::Write(doc, File("far.pdf"));
    EXPECT_TRUE(error.contains(QStringLiteral("too large to print"))) << error.toStdString();
    EXPECT_TRUE(error.contains(QStringLiteral("20001 pages"))) << error.toStdString();
    EXPECT_FALSE(QFile::exists(File("far.pdf")));
    EXPECT_EQ(dir.EntryCount(), 0u);

    // A hundred pages across and a hundred down is the most; one more row
    // is refused.
    KorvoTableView* far = doc.m_tables[1].get();
    far->m_x = 99 * 10800;
    far->m_y = -99 * 15120;
    far->m_cy = 500;
    EXPECT_EQ(CDiagramImage::PrintRefusal(doc), QString());
    far->m_y = -100 * 15120;
    EXPECT_FALSE(CDiagramImage::PrintRefusal(doc).isEmpty());

    far->m_x = 2 * 10800;
    far->m_y = -3000;
    ASSERT_EQ(CDiagramImage::Write(doc, File("three.pdf")), QString());
    EXPECT_EQ(PdfPageCount(File("three.pdf")), 3);
}
