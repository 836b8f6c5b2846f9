#include "CListBox.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPainter>
#include <QStyle>
#include <QStyledItemDelegate>

#include <algorithm>

namespace {

// Paints a line's parts at their tab stops; the item's text stays whole.
class CTabStopDelegate : public QStyledItemDelegate {
public:
    explicit CTabStopDelegate(CListBox* list) : QStyledItemDelegate(list), m_list(*list) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        const QString text = opt.text;
        opt.text.clear();
        const QWidget* widget = opt.widget;
        QStyle* style = widget ? widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);

        const QRect textRect = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, widget);
        const QFontMetrics metrics(opt.font);
        const QStringList parts = text.split(QLatin1Char('\t'));
        const QList<int> offsets = CListBox::SegmentOffsets(text, metrics, m_list.TabStops());
        const bool selected = opt.state & QStyle::State_Selected;
        const QPalette::ColorGroup group = (opt.state & QStyle::State_Enabled) ? QPalette::Normal : QPalette::Disabled;

        painter->save();
        painter->setFont(opt.font);
        painter->setPen(opt.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
        painter->setClipRect(textRect);
        for (qsizetype i = 0; i < parts.size(); ++i) {
            QRect partRect = textRect;
            partRect.setLeft(textRect.left() + offsets[i]);
            painter->drawText(partRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, parts[i]);
        }
        painter->restore();
    }

private:
    const CListBox& m_list;
};

} // namespace

CListBox::CListBox(QWidget* parent) : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSortingEnabled(false);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setUniformItemSizes(true);
    setItemDelegate(new CTabStopDelegate(this));
}

int CListBox::GetCurSel() const
{
    const QList<QListWidgetItem*> items = selectedItems();
    return items.isEmpty() ? -1 : row(items.constFirst());
}

void CListBox::SetCurSel(int index)
{
    if (index < 0 || index >= count()) {
        clearSelection();
        setCurrentRow(-1);
        return;
    }
    setCurrentRow(index, QItemSelectionModel::ClearAndSelect);
}

QString CListBox::GetText(int index) const
{
    const QListWidgetItem* line = item(index);
    return line ? line->text() : QString();
}

int CListBox::AddString(const QString& text)
{
    addItem(text);
    return count() - 1;
}

void CListBox::DeleteString(int index)
{
    delete takeItem(index);
}

void CListBox::ResetContent()
{
    clear();
}

void CListBox::SetTabStops(int stopPixels)
{
    m_nTabStop = std::max(0, stopPixels);
    viewport()->update();
}

QList<int> CListBox::SegmentOffsets(const QString& text, const QFontMetrics& metrics, int stopPixels)
{
    QList<int> offsets;
    int position = 0;
    const QStringList parts = text.split(QLatin1Char('\t'));
    for (qsizetype i = 0; i < parts.size(); ++i) {
        if (i > 0) {
            if (stopPixels > 0)
                position = (position / stopPixels + 1) * stopPixels;
            else
                position += metrics.horizontalAdvance(QLatin1Char(' '));
        }
        offsets.append(position);
        position += metrics.horizontalAdvance(parts[i]);
    }
    return offsets;
}
