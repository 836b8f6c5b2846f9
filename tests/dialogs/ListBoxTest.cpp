#include "CListBox.h"
#include "DialogTest.h"

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
    EXPECT_EQ(CListBox::SegmentOffsets("id\tint\tx", metrics, stop), QList<int>({0, stop, 2 * stop}));
}

// The leftmost ink of the second column sits at the stop on every line.
TEST_F(CListBoxTest, PaintsTheSecondColumnAtTheStop)
{
    const int stop = 200;
    CListBox list;
    list.resize(2 * stop + 50, 120);
    list.SetTabStops(stop);
    list.AddString("i\tWWW");
    list.AddString("a_much_longer_name\tWWW");
    // The name ends well before the stop, item margins included.
    ASSERT_LT(list.fontMetrics().horizontalAdvance("a_much_longer_name"), stop - 30);
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
    const int first = firstInkAfter(0, stop - 10);
    ASSERT_GE(first, stop);
    EXPECT_EQ(firstInkAfter(1, stop - 10), first);
    EXPECT_LT(firstInkAfter(1, 0), stop - 10);
}

} // namespace
