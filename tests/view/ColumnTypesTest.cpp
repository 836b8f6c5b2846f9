// Show Column Types: the window, paper and pictures draw each column's type
// and marks after its name, and the tables' sizes, hit tests and relation
// lines follow; off, nothing of it shows.
#include "CAppState.h"
#include "CDiagramImage.h"
#include "CDiagramRenderer.h"
#include "CDocumentHost.h"
#include "CKorvoDC.h"
#include "CKorvoView.h"
#include "DiagramBuilder.h"
#include "TestSeam.h"

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QPrinter>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// orders(id INTEGER NOT NULL key, customer_id INTEGER NOT NULL) refers to
// customer(id BIGINT NOT NULL key, name VARCHAR(80)).
class ColumnTypesTest : public ::testing::Test {
protected:
    ColumnTypesTest() : host(std::make_unique<CKorvoDoc>()), view(&host)
    {
        CAppState::Get() = CAppState();
        CKorvoDoc& d = *host.GetDocument();
        customer = AddTable(d, "customer", 1500, -1500, {"id", "name"}, 1);
        orders = AddTable(d, "orders", 12000, -1500, {"id", "customer_id"}, 1);
        customer->m_def.m_columns[0]->m_strType = "BIGINT";
        customer->m_def.m_columns[0]->m_bRequired = true;
        customer->m_def.m_columns[1]->m_strType = "VARCHAR(80)";
        orders->m_def.m_columns[0]->m_strType = "INTEGER";
        orders->m_def.m_columns[0]->m_bRequired = true;
        orders->m_def.m_columns[1]->m_strType = "INTEGER";
        orders->m_def.m_columns[1]->m_bRequired = true;
        relation = Relate(d, orders, 1, customer, 0);
        view.setFrameShape(QFrame::NoFrame);
        view.resize(900, 500);
        view.show();
        view.OnInitialUpdate();
        QApplication::processEvents();
    }
    ~ColumnTypesTest() override { CAppState::Get() = CAppState(); }

    std::unique_ptr<CKorvoDC> Surface()
    {
        auto dc = std::make_unique<CKorvoDC>(nullptr, view.ScreenDpiX(), false);
        view.OnPrepareDC(*dc);
        return dc;
    }
    void Measure()
    {
        auto dc = Surface();
        for (auto& table : host.GetDocument()->m_tables)
            table->Measure(*dc);
    }
    void Click(QPoint pos)
    {
        for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
            QMouseEvent event(type, pos, view.viewport()->mapToGlobal(pos), Qt::LeftButton,
                              type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
            QApplication::sendEvent(view.viewport(), &event);
        }
    }

    TestSeam seam;
    CDocumentHost host;
    CKorvoView view;
    KorvoTableView* customer;
    KorvoTableView* orders;
    CRelation* relation;
};

} // namespace

TEST_F(ColumnTypesTest, TheWindowMeasuresWithTypesOnlyWhenTheUserShowsThem)
{
    Measure();
    const int32_t names = customer->m_cx;
    EXPECT_FALSE(Surface()->ShowsColumnTypes()) << "off by default";

    CAppState::Get().m_bShowColumnTypes = true;
    auto dc = Surface();
    ASSERT_TRUE(dc->ShowsColumnTypes());
    // The relation marks come from the window's diagram.
    EXPECT_EQ(dc->RelationSides(*customer->m_def.m_columns[0]), kRelationDestination);
    EXPECT_EQ(dc->RelationSides(*orders->m_def.m_columns[1]), kRelationSource);
    EXPECT_EQ(dc->RelationSides(*orders->m_def.m_columns[0]), 0u);
    customer->Measure(*dc);
    const KorvoTableView::TypeColumns layout = customer->LayOutTypeColumns(*dc, customer->m_nLineHeight);
    EXPECT_EQ(customer->m_cx,
              layout.marksX + dc->GetTextWidth("NN REF") + customer->m_nLineHeight / 2 + customer->m_nHorzPadding);
    EXPECT_GT(customer->m_cx, names);
    EXPECT_EQ(layout.typeX, dc->GetTextWidth("name") + customer->m_nLineHeight / 2);
    EXPECT_EQ(layout.marksX, layout.typeX + dc->GetTextWidth("VARCHAR(80)") + customer->m_nLineHeight / 2);
}

TEST_F(ColumnTypesTest, ASurfaceSeesRelationsMadeWhileItLives)
{
    // As an import measures tables, then links them, then lays them out.
    CAppState::Get().m_bShowColumnTypes = true;
    auto dc = Surface();
    CColumn* name = customer->m_def.m_columns[1].get();
    EXPECT_EQ(dc->RelationSides(*name), 0u);
    Relate(*host.GetDocument(), customer, 1, orders, 0);
    EXPECT_EQ(dc->RelationSides(*name), kRelationSource);
    EXPECT_EQ(dc->RelationSides(*orders->m_def.m_columns[0]), kRelationDestination);
    host.GetDocument()->RemoveRelation(relation);
    EXPECT_EQ(dc->RelationSides(*orders->m_def.m_columns[1]), 0u);
}

TEST_F(ColumnTypesTest, HitsAndRelationLinesFollowTheWiderTables)
{
    CAppState::Get().m_bShowColumnTypes = true;
    view.viewport()->repaint();
    auto dc = Surface();
    // A click just inside the new right edge of customer hits it.
    const CPoint right = dc->LPtoDP(CPoint{customer->m_x + customer->m_cx, customer->m_y - 300});
    Click(QPoint(right.x - 2, right.y));
    EXPECT_TRUE(customer->m_bSelected);
    // The relation enters customer from the right at its new edge.
    const std::vector<CPoint> route = view.GetRelationRoute(*dc, *relation);
    ASSERT_EQ(route.size(), 4u);
    EXPECT_EQ(route.back().x, customer->m_x + customer->m_cx);

    CAppState::Get().m_bShowColumnTypes = false;
    view.viewport()->repaint();
    Click(QPoint(right.x - 2, right.y));
    EXPECT_FALSE(customer->m_bSelected) << "the narrower table ends before that point";
}

TEST_F(ColumnTypesTest, TypesAndMarksAreDrawnInGreyAfterTheNames)
{
    auto render = [&](bool types) {
        CAppState::Get().m_bShowColumnTypes = types;
        QImage image(view.viewport()->size(), QImage::Format_RGB32);
        view.viewport()->render(&image);
        return image;
    };
    const QImage plain = render(false);
    const int32_t plainRight = customer->m_x + customer->m_cx;
    const QImage typed = render(true);
    // The second row of customer ("name VARCHAR(80)"), from where its type
    // starts, or past the narrower box, to the wider box's right edge. No
    // line crosses it.
    auto dc = Surface();
    customer->Measure(*dc);
    const KorvoTableView::TypeColumns layout = customer->LayOutTypeColumns(*dc, customer->m_nLineHeight);
    const int32_t textLeft = customer->m_x + customer->m_nHorzPadding / 2 + customer->m_nLineHeight / 2;
    const int32_t rowY = customer->RowCentreY(1);
    const CPoint from =
        dc->LPtoDP(CPoint{std::max(textLeft + layout.typeX, plainRight + 30), rowY + customer->m_nLineHeight / 2});
    const CPoint to = dc->LPtoDP(CPoint{customer->m_x + customer->m_cx - 60, rowY - customer->m_nLineHeight / 2});
    int typedInk = 0, plainInk = 0, darkest = 255;
    for (int y = from.y; y < to.y; ++y) {
        for (int x = from.x; x < to.x; ++x) {
            typedInk += typed.pixel(x, y) != qRgb(255, 255, 255);
            plainInk += plain.pixel(x, y) != qRgb(255, 255, 255);
            darkest = std::min(darkest, qGray(typed.pixel(x, y)));
        }
    }
    EXPECT_GT(typedInk, 30) << "the type is drawn";
    EXPECT_EQ(plainInk, 0) << "without types the row ends at the name";
    EXPECT_GE(darkest, 80) << "in grey, not black";
}

TEST_F(ColumnTypesTest, PicturesAndPrintedPagesShowTypesWhenAsked)
{
    QTemporaryDir dir;
    QByteArray plain, typed;
    ASSERT_EQ(CDiagramImage::Render(*host.GetDocument(), CDiagramImage::Format::Svg, 96, QString(), plain), QString());
    ASSERT_EQ(CDiagramImage::Render(*host.GetDocument(), CDiagramImage::Format::Svg, 96, QString(), typed, true),
              QString());
    EXPECT_FALSE(plain.contains("VARCHAR(80)"));
    EXPECT_TRUE(typed.contains("VARCHAR(80)"));
    EXPECT_TRUE(typed.contains("NN REF")) << "marks after the type";
    EXPECT_TRUE(typed.contains("NN FK"));

    // Printing follows the user's setting, measured at the printer's
    // resolution.
    auto printedText = [&](const QString& name) {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(dir.filePath(name));
        view.SetUpPrinter(printer);
        EXPECT_TRUE(view.PrintTo(printer));
        QProcess tool;
        tool.start(QStringLiteral("pdftotext"), {dir.filePath(name), QStringLiteral("-")});
        EXPECT_TRUE(tool.waitForFinished(60000)) << "pdftotext (poppler-utils) must be installed";
        return QString::fromUtf8(tool.readAllStandardOutput());
    };
    EXPECT_FALSE(printedText(QStringLiteral("plain.pdf")).contains(QStringLiteral("BIGINT")));
    CAppState::Get().m_bShowColumnTypes = true;
    const QString printed = printedText(QStringLiteral("typed.pdf"));
    EXPECT_TRUE(printed.contains(QStringLiteral("BIGINT"))) << printed.toStdString();
    EXPECT_TRUE(printed.contains(QStringLiteral("NN FK"))) << printed.toStdString();
}
