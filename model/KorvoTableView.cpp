#include "KorvoTableView.h"

#include "Archive.h"
#include "MeasureSurface.h"

#include <algorithm>

namespace {

// Smallest possible records: every string empty, so each costs its 1-byte
// prefix. Used to refuse a column count that the remaining bytes cannot hold.
constexpr size_t kMinColumnRecordV2 = 5 * 1 + 3 * 2;
constexpr size_t kMinColumnRecordV1 = 3 * 1 + 3 * 2;

int32_t ReadColumnCount(CArchiveReader& ar, size_t minRecord)
{
    const int32_t count = ar.ReadInt32();
    if (count > 0 && static_cast<size_t>(count) > ar.Remaining() / minRecord)
        throw CArchiveError("column count larger than the data");
    return count;
}

} // namespace

void KorvoTableView::Measure(const CMeasureSurface& surface)
{
    int64_t width = surface.GetTextWidth(m_def.m_strName);
    m_nLineHeight = surface.GetLineHeight();
    const int64_t height = static_cast<int64_t>(m_def.m_columns.size() + 1) * m_nLineHeight;
    if (surface.ShowsColumnTypes()) {
        if (!m_def.m_columns.empty())
            width = std::max(width, int64_t(LayOutTypeColumns(surface, m_nLineHeight).width) + m_nLineHeight / 2);
    } else {
        for (const auto& column : m_def.m_columns) {
            // Half a line of room for the key marks drawn beside a column name.
            const int64_t w = int64_t(surface.GetTextWidth(column->m_strName)) + m_nLineHeight / 2;
            if (w > width)
                width = w;
        }
    }
    // A table of a hundred thousand columns in a huge font stops growing at
    // the end of the coordinate range.
    m_cx = Saturate(width + m_nHorzPadding);
    m_cy = Saturate(height + m_nVertPadding);
}

KorvoTableView::TypeColumns KorvoTableView::LayOutTypeColumns(const CMeasureSurface& surface,
                                                              int32_t lineHeight) const
{
    int64_t names = 0;
    int64_t types = 0;
    int64_t marks = 0;
    for (const auto& column : m_def.m_columns) {
        names = std::max<int64_t>(names, surface.GetTextWidth(column->m_strName));
        types = std::max<int64_t>(types, surface.GetTextWidth(column->m_strType));
        const std::string text = ColumnMarks(*column, surface.RelationSides(*column));
        if (!text.empty())
            marks = std::max<int64_t>(marks, surface.GetTextWidth(text));
    }
    const int64_t gap = lineHeight / 2;
    int64_t x = names;
    TypeColumns columns;
    columns.typeX = Saturate(x + gap);
    if (types > 0)
        x += gap + types;
    columns.marksX = Saturate(x + gap);
    if (marks > 0)
        x += gap + marks;
    columns.width = Saturate(x);
    return columns;
}

std::string KorvoTableView::ColumnMarks(const CColumn& column, unsigned relationSides)
{
    std::string marks;
    auto add = [&marks](const char* mark) {
        if (!marks.empty())
            marks += ' ';
        marks += mark;
    };
    if (column.m_bRequired)
        add("NN");
    if (relationSides & kRelationSource)
        add("FK");
    if (relationSides & kRelationDestination)
        add("REF");
    return marks;
}

bool KorvoTableView::HitTest(const CMeasureSurface& surface, CPoint ptDevice, CPoint scrollLog) const
{
    const CPoint topLeft = surface.LPtoDP(CPoint{m_x, m_y} - scrollLog);
    const CPoint bottomRight =
        surface.LPtoDP(CPoint{Saturate(int64_t(m_x) + m_cx), Saturate(int64_t(m_y) - m_cy)} - scrollLog);
    const CRect box = CRect{topLeft.x, topLeft.y, bottomRight.x, bottomRight.y}.Normalized();
    // A point on the frame itself misses.
    return ptDevice.x > box.left && ptDevice.x < box.right && ptDevice.y > box.top && ptDevice.y < box.bottom;
}

CColumn* KorvoTableView::ColumnAt(const CMeasureSurface& surface, CPoint ptDevice, CPoint scrollLog)
{
    Measure(surface);
    const CPoint topLeft = surface.LPtoDP(CPoint{m_x, m_y} - scrollLog);
    const CSize size = surface.LPtoDP(CSize{m_cx, m_cy});
    const int32_t vp = surface.LPtoDP(CSize{m_nVertPadding, m_nVertPadding}).cy;
    const int32_t lh = surface.LPtoDP(CSize{m_nLineHeight, m_nLineHeight}).cy;
    if (lh <= 0)
        return nullptr;

    // The band starts vp/2 + lh below the top edge, a quarter padding above
    // the drawn rows; column hits have always used this band.
    const int64_t d = int64_t(ptDevice.y) - topLeft.y - vp / 2 - lh;
    const int64_t e = int64_t(ptDevice.x) - topLeft.x;
    const int64_t count = static_cast<int64_t>(m_def.m_columns.size());
    if (d < 0 || e < 0 || d > count * lh || e > size.cx)
        return nullptr;
    const int64_t row = d / lh;
    return row < count ? m_def.m_columns[static_cast<size_t>(row)].get() : nullptr;
}

int32_t KorvoTableView::GetColumnRowY(const CMeasureSurface& surface, const CColumn* column)
{
    Measure(surface);
    const int index = IndexOfColumn(column);
    if (index < 0)
        return -1;
    return RowCentreY(index);
}

int32_t KorvoTableView::RowCentreY(int index) const
{
    const int64_t lh = m_nLineHeight;
    const int64_t vp = m_nVertPadding;
    return Saturate(m_y - vp / 4 - (index + 1) * lh - vp / 2 - lh / 2);
}

int KorvoTableView::IndexOfColumn(const CColumn* column) const
{
    for (size_t i = 0; i < m_def.m_columns.size(); ++i)
        if (m_def.m_columns[i].get() == column)
            return static_cast<int>(i);
    return -1;
}

void KorvoTableView::Serialize(CArchiveWriter& ar) const
{
    ar.WriteInt32(static_cast<int32_t>(m_def.m_columns.size()));
    ar.WriteString(m_def.m_strName);
    ar.WriteInt32(m_x);
    ar.WriteInt32(m_y);
    ar.WriteInt32(m_cx);
    ar.WriteInt32(m_cy);
    ar.WriteString(m_def.m_strCheck);
    ar.WriteString(m_def.m_strDescription);
    for (const auto& column : m_def.m_columns) {
        ar.WriteString(column->m_strName);
        ar.WriteString(column->m_strType);
        ar.WriteString(column->m_strDefault);
        ar.WriteString(column->m_strCheck);
        ar.WriteString(column->m_strDescription);
        ar.WriteFlag16(column->m_bPrimaryKey);
        ar.WriteFlag16(column->m_bRequired);
        ar.WriteFlag16(column->m_bUnique);
    }
}

void KorvoTableView::Serialize(CArchiveReader& ar)
{
    const int32_t count = ReadColumnCount(ar, kMinColumnRecordV2);
    m_def.m_strName = ar.ReadString();
    m_x = ar.ReadInt32();
    m_y = ar.ReadInt32();
    m_cx = ar.ReadInt32();
    m_cy = ar.ReadInt32();
    m_def.m_strCheck = ar.ReadString();
    m_def.m_strDescription = ar.ReadString();
    for (int32_t i = 0; i < count; ++i) {
        auto column = std::make_unique<CColumn>();
        column->m_strName = ar.ReadString();
        column->m_strType = ar.ReadString();
        column->m_strDefault = ar.ReadString();
        column->m_strCheck = ar.ReadString();
        column->m_strDescription = ar.ReadString();
        column->m_bPrimaryKey = ar.ReadFlag16();
        column->m_bRequired = ar.ReadFlag16();
        column->m_bUnique = ar.ReadFlag16();
        m_def.AddColumn(std::move(column));
    }
}

void KorvoTableView::ReadVersion1(CArchiveReader& ar)
{
    const int32_t count = ReadColumnCount(ar, kMinColumnRecordV1);
    m_def.m_strName = ar.ReadString();
    m_x = ar.ReadInt32();
    m_y = ar.ReadInt32();
    m_cx = ar.ReadInt32();
    m_cy = ar.ReadInt32();
    for (int32_t i = 0; i < count; ++i) {
        auto column = std::make_unique<CColumn>();
        column->m_strName = ar.ReadString();
        column->m_strType = ar.ReadString();
        column->m_strDefault = ar.ReadString();
        column->m_bPrimaryKey = ar.ReadFlag16();
        column->m_bRequired = ar.ReadFlag16();
        column->m_bUnique = ar.ReadFlag16();
        m_def.AddColumn(std::move(column));
    }
}
