// Pictures of whole diagrams: PNG, SVG and PDF drawn like the screen and the
// printer, written whole or not at all.
#include "CAppState.h"
#include "CDiagramImage.h"
#include "DiagramBuilder.h"

#include "../model/TestFiles.h"

#include <QFile>
#include <QImage>

#include <algorithm>
#include <cstdio>

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

// The text of a PDF as poppler's pdftotext reads it, in UTF-8.
std::string PdfText(const std::string& path)
{
    const std::string command = "pdftotext -enc UTF-8 '" + path + "' - 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return "cannot run pdftotext";
    std::string output;
    char buffer[4096];
    while (size_t n = fread(buffer, 1, sizeof buffer, pipe))
        output.append(buffer, n);
    return pclose(pipe) == 0 ? output : "pdftotext failed: " + output;
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

namespace {

// The name line of a table in a PNG at 96 dpi, inside the frame bands.
QImage NameLine(const QImage& image, const KorvoTableView& t)
{
    const int left = (t.m_x + 360) / 15 + 2;
    const int right = (t.m_x + t.m_cx + 360) / 15 - 2;
    const int top = (-t.m_y + 360 + 45) / 15;
    const int bottom = (-t.m_y + 360 + 45 + t.m_nLineHeight) / 15;
    return image.copy(QRect(QPoint(left, top), QPoint(right, bottom)));
}

int Ink(const QImage& image)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += qGray(image.pixel(x, y)) < 128;
    return count;
}

int Coloured(const QImage& image)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            count += std::max({c.red(), c.green(), c.blue()}) - std::min({c.red(), c.green(), c.blue()}) > 80;
        }
    return count;
}

} // namespace

// Names beyond Latin-1 draw with the glyphs of fallback fonts in all three
// formats: ink where the ideographs stand (in their own order, so no box of
// a missing glyph), the emoji in colour, and the text itself in SVG and PDF.
TEST(CDiagramImageText, EveryScriptDrawsItsGlyphs)
{
    CAppState::Get() = CAppState();
    TempDir dir;
    CKorvoDoc doc;
    const std::string kunden = "\xE9\xA1\xA7\xE5\xAE\xA2";    // 顧客
    const std::string swapped = "\xE5\xAE\xA2\xE9\xA1\xA7";   // 客顧
    const std::string party = "Gr\xC3\xBC\xC3\x9F" "e \xF0\x9F\x8E\x89"; // Grüße 🎉
    const std::string shalom = "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D";
    AddTable(doc, kunden, 0, 0);
    AddTable(doc, swapped, 0, -1500);
    AddTable(doc, party, 0, -3000);
    AddTable(doc, shalom, 0, -4500, {"caf\xC3\xA9_\xCE\xA9", "e\xCC\x81"});

    const QString png = QString::fromStdString(dir.File("names.png"));
    ASSERT_EQ(CDiagramImage::Write(doc, png), QString());
    const QImage image(png);
    ASSERT_FALSE(image.isNull());
    const QImage first = NameLine(image, *doc.m_tables[0]);
    const QImage second = NameLine(image, *doc.m_tables[1]);
    EXPECT_GT(Ink(first), 40) << "the ideographs' strokes";
    ASSERT_EQ(first.size(), second.size());
    EXPECT_NE(first, second) << "two different glyphs, not two missing-glyph boxes";
    EXPECT_GT(Coloured(NameLine(image, *doc.m_tables[2])), 10) << "the emoji in colour";
    EXPECT_GT(Ink(NameLine(image, *doc.m_tables[3])), 15);

    const QString svgPath = QString::fromStdString(dir.File("names.svg"));
    ASSERT_EQ(CDiagramImage::Write(doc, svgPath), QString());
    QFile svg(svgPath);
    ASSERT_TRUE(svg.open(QIODevice::ReadOnly));
    const QByteArray svgText = svg.readAll();
    // Each run of text from one font is a text element of its own.
    for (const char* run : {"\xE9\xA1\xA7\xE5\xAE\xA2", "Gr\xC3\xBC\xC3\x9F" "e", "\xF0\x9F\x8E\x89",
                            "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D", "caf\xC3\xA9_", "\xCE\xA9"})
        EXPECT_TRUE(svgText.contains(QByteArray(">") + run)) << run;

    const std::string pdf = dir.File("names.pdf");
    ASSERT_EQ(CDiagramImage::Write(doc, QString::fromStdString(pdf)), QString());
    const std::string text = PdfText(pdf);
    for (const std::string& name :
         {kunden, swapped, shalom, std::string("Gr\xC3\xBC\xC3\x9F" "e"), std::string("caf\xC3\xA9_\xCE\xA9")})
        EXPECT_NE(text.find(name), std::string::npos) << name << " in: " << text;
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
