#pragma once

#include "CColumn.h"
#include "KorvoTableView.h"

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

// Positions of columns in their tables, as the records of a diagram change
// write them. A short table is scanned; a table of many columns gets a map at
// its first lookup, so that many relations on one wide table cost no more
// than their number.
class CColumnPositions {
public:
    // The column's position in table, or -1.
    int32_t Of(const KorvoTableView* table, const CColumn* column)
    {
        if (!table)
            return -1;
        const auto& columns = table->m_def.m_columns;
        if (columns.size() <= kScanLimit)
            return table->IndexOfColumn(column);
        auto [entry, created] = m_maps.try_emplace(table);
        if (created) {
            entry->second.reserve(columns.size());
            for (size_t i = 0; i < columns.size(); ++i)
                entry->second.emplace(columns[i].get(), static_cast<int32_t>(i));
        }
        const auto it = entry->second.find(column);
        return it == entry->second.end() ? -1 : it->second;
    }

    // Appends the count, then the position of each column.
    void Append(std::vector<int32_t>& out, const KorvoTableView* table, const std::vector<CColumn*>& columns)
    {
        out.push_back(static_cast<int32_t>(columns.size()));
        for (const CColumn* column : columns)
            out.push_back(Of(table, column));
    }

private:
    static constexpr size_t kScanLimit = 16;
    std::unordered_map<const KorvoTableView*, std::unordered_map<const CColumn*, int32_t>> m_maps;
};
