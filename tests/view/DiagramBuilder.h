#pragma once

#include "CKorvoDoc.h"

#include <memory>
#include <string>
#include <vector>

// Builds small diagrams for the view tests: tables at given positions with
// named columns, relations between their columns.
inline KorvoTableView* AddTable(CKorvoDoc& doc, const std::string& name, int32_t x, int32_t y,
                                const std::vector<std::string>& columns = {}, int primaryKeys = 0)
{
    auto table = std::make_unique<KorvoTableView>();
    table->m_def.m_strName = name;
    table->m_x = x;
    table->m_y = y;
    int i = 0;
    for (const std::string& column : columns) {
        auto c = std::make_unique<CColumn>(column, "int", false, "", i < primaryKeys, false, "", "");
        table->m_def.AddColumn(std::move(c));
        ++i;
    }
    return doc.AddTable(std::move(table));
}

inline CRelation* Relate(CKorvoDoc& doc, KorvoTableView* source, int sourceColumn, KorvoTableView* dest,
                         int destColumn)
{
    return doc.AddRelation(std::make_unique<CRelation>(source, source->m_def.m_columns[sourceColumn].get(), dest,
                                                       dest->m_def.m_columns[destColumn].get()));
}
