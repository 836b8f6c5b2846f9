#pragma once

#include "KorvoTableView.h"

#include <string>

// How check lines and script notes name a table or a column: its name, or
// its position when it has none; line breaks shown as spaces so that each
// line stays one line.
inline std::string DiagramLabel(const std::string& name, const char* what, int index)
{
    if (name.empty())
        return std::string("(") + what + " " + std::to_string(index + 1) + ")";
    std::string label = name;
    for (char& c : label)
        if (c == '\n' || c == '\r' || c == '\t')
            c = ' ';
    return label;
}

inline std::string TableLabel(const KorvoTableView& table, int tableIndex)
{
    return DiagramLabel(table.m_def.m_strName, "table", tableIndex);
}

inline std::string ColumnLabel(const KorvoTableView& table, int tableIndex, int columnIndex)
{
    const CColumn& column = *table.m_def.m_columns[columnIndex];
    return TableLabel(table, tableIndex) + "." + DiagramLabel(column.m_strName, "column", columnIndex);
}
