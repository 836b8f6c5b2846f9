#include "TableShift.h"

#include "CKorvoDoc.h"

TableShift MoveSelectedTables(CKorvoDoc& doc, int64_t dx, int64_t dy)
{
    TableShift shift;
    shift.dx = dx;
    shift.dy = dy;
    for (size_t i = 0; i < doc.m_tables.size(); ++i) {
        KorvoTableView& table = *doc.m_tables[i];
        if (!table.m_bSelected)
            continue;
        const auto index = static_cast<int32_t>(i);
        if (!shift.runs.empty() && shift.runs.back().last + 1 == index)
            shift.runs.back().last = index;
        else
            shift.runs.push_back({index, index});
        const int64_t x = int64_t(table.m_x) + dx;
        const int64_t y = int64_t(table.m_y) + dy;
        // Undo subtracts the offset; where the range ended the move, it puts
        // back the recorded place instead.
        if (x != Saturate(x) || y != Saturate(y))
            shift.stopped.push_back({index, CPoint{table.m_x, table.m_y}});
        table.m_x = Saturate(x);
        table.m_y = Saturate(y);
    }
    shift.runs.shrink_to_fit();
    shift.stopped.shrink_to_fit();
    return shift;
}

void ApplyShift(CKorvoDoc& doc, const TableShift& shift)
{
    for (const TableShift::Run& run : shift.runs) {
        for (int32_t i = run.first; i <= run.last; ++i) {
            if (KorvoTableView* table = doc.GetTable(i)) {
                table->m_x = Saturate(int64_t(table->m_x) + shift.dx);
                table->m_y = Saturate(int64_t(table->m_y) + shift.dy);
            }
        }
    }
    doc.SetModifiedFlag(true);
}

void RevertShift(CKorvoDoc& doc, const TableShift& shift)
{
    auto stop = shift.stopped.begin();
    for (const TableShift::Run& run : shift.runs) {
        for (int32_t i = run.first; i <= run.last; ++i) {
            KorvoTableView* table = doc.GetTable(i);
            if (!table)
                continue;
            if (stop != shift.stopped.end() && stop->table == i) {
                table->m_x = stop->from.x;
                table->m_y = stop->from.y;
                ++stop;
                continue;
            }
            table->m_x = Saturate(int64_t(table->m_x) - shift.dx);
            table->m_y = Saturate(int64_t(table->m_y) - shift.dy);
        }
    }
    doc.SetModifiedFlag(true);
}

bool MergeShift(TableShift& shift, const TableShift& next)
{
    if (shift.runs != next.runs || !shift.stopped.empty() || !next.stopped.empty())
        return false;
    shift.dx += next.dx;
    shift.dy += next.dy;
    return true;
}
