// Edit > Find Table in a real window: typing narrows the list of table and
// column names, Enter centres the chosen table and selects it alone.
#include "CDocumentHost.h"
#include "CFindTableDialog.h"
#include "CKorvoDC.h"
#include "CKorvoView.h"
#include "DiagramBuilder.h"
#include "TestSeam.h"

#include <QApplication>
#include <QLineEdit>
#include <QListView>
#include <QTest>

#include <gtest/gtest.h>

namespace {

class FindTableTest : public ::testing::Test {
protected:
    FindTableTest() : host(std::make_unique<CKorvoDoc>()), view(&host)
    {
        CKorvoDoc& d = *host.GetDocument();
        d.m_nMaxPagesX = d.m_nMaxPagesY = 20;
        orders = AddTable(d, "orders", 360, -360, {"id", "customer_id"}, 1);
        customer = AddTable(d, "Customer", 150000, -200000, {"id", "name"}, 1);
        order_lines = AddTable(d, "order_lines", 80000, -60000, {"order_id", "sku"});
        address = AddTable(d, "address", 100000, -120000, {"customer_ref", "street"});
        Relate(d, orders, 1, customer, 0);
        view.setFrameShape(QFrame::NoFrame);
        view.resize(800, 600);
        view.show();
        view.OnInitialUpdate();
        QApplication::processEvents();
    }

    // Runs Find Table, typing keys into the name box, then pressing the given
    // keys; what the list showed before those keys comes back.
    QStringList Find(const QString& typed, const QList<Qt::Key>& keys = {Qt::Key_Return})
    {
        QStringList shown;
        seam.workDialog = [&](QDialog& dialog) {
            auto* edit = dialog.findChild<QLineEdit*>(QStringLiteral("name"));
            ASSERT_NE(edit, nullptr);
            QTest::keyClicks(edit, typed);
            shown = static_cast<CFindTableDialog&>(dialog).Shown();
            for (Qt::Key key : keys)
                QTest::keyClick(edit, key);
        };
        view.OnEditFind();
        return shown;
    }

    // Where the table's middle is in the window, in pixels.
    QPoint CentreOnScreen(const KorvoTableView& table)
    {
        CKorvoDC dc(nullptr, view.ScreenDpiX(), false);
        view.OnPrepareDC(dc);
        const CPoint p = dc.LPtoDP(CPoint{table.m_x + table.m_cx / 2, table.m_y - table.m_cy / 2} -
                                   view.GetLogScrollPosition());
        return QPoint(p.x, p.y);
    }

    TestSeam seam;
    CDocumentHost host;
    CKorvoView view;
    KorvoTableView* orders;
    KorvoTableView* customer;
    KorvoTableView* order_lines;
    KorvoTableView* address;
};

} // namespace

TEST_F(FindTableTest, TypingNarrowsTheListToNamesThatStartWithOrHoldTheText)
{
    const struct {
        const char* typed;
        QStringList shown;
    } cases[] = {
        // Alphabetical, case aside; columns with their table.
        {"", {"address", "Customer", "customer_id (orders)", "customer_ref (address)", "id (orders)",
              "id (Customer)", "name (Customer)", "order_id (order_lines)", "order_lines", "orders",
              "sku (order_lines)", "street (address)"}},
        {"CUST", {"Customer", "customer_id (orders)", "customer_ref (address)"}},
        // Names that start with the text come before names that hold it.
        {"order", {"order_id (order_lines)", "order_lines", "orders"}},
        {"_id", {"customer_id (orders)", "order_id (order_lines)"}},
        {"id", {"id (orders)", "id (Customer)", "customer_id (orders)", "order_id (order_lines)"}},
        // A dot matches table.column.
        {"orders.c", {"customer_id (orders)"}},
        {"nothing", {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Find(QString::fromLatin1(c.typed), {Qt::Key_Escape}), c.shown) << c.typed;
        EXPECT_FALSE(customer->m_bSelected || orders->m_bSelected) << "Esc finds nothing";
    }
    EXPECT_EQ(view.GetDeviceScrollPosition(), (CPoint{0, 0}));
}

TEST_F(FindTableTest, EnterCentresTheTableAndSelectsItAlone)
{
    orders->m_bSelected = true;
    host.GetDocument()->m_relations[0]->m_bSelected = true;
    const QPoint middle(view.viewport()->width() / 2, view.viewport()->height() / 2);
    // A column leads to its table; the arrow keys move through the list.
    const struct {
        const char* typed;
        QList<Qt::Key> keys;
        KorvoTableView* table;
    } cases[] = {
        {"cust", {Qt::Key_Return}, customer},
        {"customer_r", {Qt::Key_Return}, address},
        {"order", {Qt::Key_Down, Qt::Key_Return}, order_lines},
    };
    for (int zoom : {100, 25}) {
        view.ZoomTo(zoom, QPoint());
        for (size_t i = 0; i < std::size(cases); ++i) {
            SCOPED_TRACE(cases[i].typed);
            Find(QString::fromLatin1(cases[i].typed), cases[i].keys);
            for (KorvoTableView* table : {orders, customer, order_lines, address})
                EXPECT_EQ(table->m_bSelected, table == cases[i].table) << table->GetName();
            EXPECT_FALSE(host.GetDocument()->m_relations[0]->m_bSelected);
            const QPoint centre = CentreOnScreen(*cases[i].table);
            EXPECT_LE(std::abs(centre.x() - middle.x()), 1) << zoom;
            EXPECT_LE(std::abs(centre.y() - middle.y()), 1) << zoom;
        }
    }
    EXPECT_FALSE(host.GetDocument()->IsModified()) << "finding is no edit";
    EXPECT_EQ(host.UndoStack()->count(), 0);

    // Enter with nothing matching leaves the window as it was.
    const CPoint scroll = view.GetDeviceScrollPosition();
    Find(QStringLiteral("zzz"));
    EXPECT_EQ(view.GetDeviceScrollPosition(), scroll);
    EXPECT_TRUE(order_lines->m_bSelected);
}

TEST_F(FindTableTest, ATableNearTheCanvasCornerComesAsCloseToTheMiddleAsTheCanvasAllows)
{
    view.ZoomTo(400, QPoint());
    view.ScrollToDevicePosition(CPoint{5000, 5000});
    Find(QStringLiteral("orders"));
    EXPECT_TRUE(orders->m_bSelected);
    EXPECT_EQ(view.GetDeviceScrollPosition(), (CPoint{0, 0}));
}
