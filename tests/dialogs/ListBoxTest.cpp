#include "CListBox.h"
#include "DialogTestSupport.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>

namespace {

class CListBoxTest : public DialogTest {};

// The part after a tab starts at the stop when the name ends before it, and at
// the next multiple of the stop when the name runs past it.
TEST_F(CListBoxTest, TypesLineUpAtTheTabStop)
{
    const QFontMetrics metrics(QFont{});
    const int stop = 88;
    const QString longName = QStringLiteral("a_really_long_column_name");
    ASSERT_GT(metrics.horizontalAdvance(longName), stop);
    const int longEnd = metrics.horizontalAdvance(longName);

    EXPECT_EQ(CListBox::SegmentOffsets("id\tint", metrics, stop), QList<int>({0, stop}));
    EXPECT_EQ(CListBox::SegmentOffsets("name\tvarchar(20)", metrics, stop), QList<int>({0, stop}));
    EXPECT_EQ(CListBox::SegmentOffsets("column1\t", metrics, stop), QList<int>({0, stop}));
    EXPECT_EQ(CListBox::SegmentOffsets(longName + "\tint", metrics, stop),
              QList<int>({0, (longEnd / stop + 1) * stop}));
    EXPECT_EQ(CListBox::SegmentOffsets("plain", metrics, stop), QList<int>({0}));
    const int idEnd = metrics.horizontalAdvance("id");
    EXPECT_EQ(CListBox::SegmentOffsets("id\tint\tx", metrics, stop).last(),
              ((stop + metrics.horizontalAdvance("int")) / stop + 1) * stop);
    EXPECT_LT(idEnd, stop);
}

TEST_F(CListBoxTest, SelectionIsOneLineOrNone)
{
    CListBox list;
    EXPECT_EQ(list.GetCurSel(), -1);
    for (const char* line : {"a\tint", "b\t", "c\ttext"})
        list.AddString(QString::fromLatin1(line));
    EXPECT_EQ(list.GetText(1), "b\t");
    EXPECT_EQ(list.GetCurSel(), -1);
    list.SetCurSel(2);
    EXPECT_EQ(list.GetCurSel(), 2);
    list.SetCurSel(0);
    EXPECT_EQ(list.GetCurSel(), 0);
    EXPECT_EQ(list.selectedItems().size(), 1);
    list.SetCurSel(-1);
    EXPECT_EQ(list.GetCurSel(), -1);
    list.SetCurSel(1);
    list.DeleteString(1);
    EXPECT_EQ(list.GetCount(), 2);
    EXPECT_EQ(list.GetText(1), "c\ttext");
    list.ResetContent();
    EXPECT_EQ(list.GetCount(), 0);
    EXPECT_EQ(list.GetCurSel(), -1);
}

// The leftmost ink of the second column sits at the stop on every line.
TEST_F(CListBoxTest, PaintsTheSecondColumnAtTheStop)
{
    CListBox list;
    list.resize(400, 120);
    list.SetTabStops(150);
    list.AddString("i\tWWW");
    list.AddString("a_much_longer_name\tWWW");
    list.show();
    QImage image(list.viewport()->size(), QImage::Format_RGB32);
    image.fill(Qt::white);
    list.viewport()->render(&image);

    auto firstInkAfter = [&](int row, int from) {
        const QRect line = list.visualItemRect(list.item(row));
        for (int x = from; x < image.width(); ++x)
            for (int y = line.top(); y <= line.bottom(); ++y)
                if (qGray(image.pixel(x, y)) < 128)
                    return x;
        return -1;
    };
    const int first = firstInkAfter(0, 140);
    const int second = firstInkAfter(1, 140);
    ASSERT_GT(first, 0);
    EXPECT_EQ(first, second);
    EXPECT_LT(firstInkAfter(1, 0), 140);
}

} // namespace
