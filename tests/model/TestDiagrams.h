#pragma once

#include "Archive.h"
#include "CKorvoDoc.h"

#include <initializer_list>
#include <memory>
#include <string>

// Small builders that keep the tests' diagrams readable.
// Raw bytes for hand-built archives.
inline std::string Bytes(std::initializer_list<int> values)
{
    std::string s;
    for (int v : values)
        s.push_back(static_cast<char>(v));
    return s;
}

inline std::string Int(int32_t v)
{
    CArchiveWriter w;
    w.WriteInt32(v);
    return w.Take();
}

inline KorvoTableView* AddTestTable(CKorvoDoc& doc, const std::string& name,
                                    std::initializer_list<const char*> columns, int32_t x = 0, int32_t y = 0)
{
    auto table = std::make_unique<KorvoTableView>();
    table->m_def.m_strName = name;
    table->m_x = x;
    table->m_y = y;
    for (const char* column : columns)
        table->m_def.AddColumn(std::make_unique<CColumn>(column, "int", false, "", false, false, "", ""));
    return doc.AddTable(std::move(table));
}

inline CColumn* Col(const KorvoTableView* table, int index)
{
    return CKorvoDoc::GetColumn(table, index);
}

// A relation with the given column positions on each side, in list order.
inline CRelation* Relate(CKorvoDoc& doc, KorvoTableView* source, std::initializer_list<int> sourceColumns,
                         KorvoTableView* dest, std::initializer_list<int> destColumns)
{
    auto relation = std::make_unique<CRelation>(source, nullptr, dest, nullptr);
    relation->m_sourceColumns.clear();
    relation->m_destColumns.clear();
    for (int i : sourceColumns)
        relation->m_sourceColumns.push_back(Col(source, i));
    for (int i : destColumns)
        relation->m_destColumns.push_back(Col(dest, i));
    return doc.AddRelation(std::move(relation));
}
