#pragma once

// Diagrams of generated shapes for the placement and arrangement tests and
// benchmarks:
// chains, trees, stars, cycles and schema-like graphs with modules and a few
// hub tables that many others refer to. Every relation refers from a column
// of the source to the destination's first column ("id"), as foreign keys do.

#include "CKorvoDoc.h"

#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace generated {

enum class Shape { Chain, Tree, Star, Cycle, Schema, Dense };

inline const char* ShapeName(Shape shape)
{
    switch (shape) {
    case Shape::Chain: return "chain";
    case Shape::Tree: return "tree";
    case Shape::Star: return "star";
    case Shape::Cycle: return "cycle";
    case Shape::Schema: return "schema";
    case Shape::Dense: return "dense";
    }
    return "?";
}

// A table with an "id" key, some plain columns and room for its references.
inline KorvoTableView* AddTable(CKorvoDoc& doc, const std::string& name, int plainColumns)
{
    auto table = std::make_unique<KorvoTableView>();
    table->m_def.m_strName = name;
    table->m_def.AddColumn(std::make_unique<CColumn>("id", "integer", true, "", true, false, "", ""));
    static const char* const kWords[] = {"name", "created_at", "status", "amount", "description", "code",
                                         "updated_by", "quantity", "unit_price", "notes", "valid_from"};
    for (int c = 0; c < plainColumns; ++c)
        table->m_def.AddColumn(std::make_unique<CColumn>(kWords[c % 11] + (c >= 11 ? std::to_string(c) : ""),
                                                         "varchar(40)", false, "", false, false, "", ""));
    return doc.AddTable(std::move(table));
}

// A relation from a new column of source (named after dest) to dest's "id".
inline void Refer(CKorvoDoc& doc, KorvoTableView* source, KorvoTableView* dest)
{
    const std::string name = dest->m_def.m_strName + "_id";
    CColumn* column = source->m_def.AddColumn(
        std::make_unique<CColumn>(name, "integer", false, "", false, false, "", ""));
    doc.AddRelation(std::make_unique<CRelation>(source, column, dest, CKorvoDoc::GetColumn(dest, 0)));
}

// n tables of the given shape; the same arguments always give the same diagram.
inline std::unique_ptr<CKorvoDoc> Build(Shape shape, int n, uint32_t seed = 14)
{
    auto doc = std::make_unique<CKorvoDoc>();
    std::mt19937 random(seed);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    std::vector<KorvoTableView*> tables;
    for (int i = 0; i < n; ++i)
        tables.push_back(AddTable(*doc, "t" + std::to_string(i) + (i % 3 ? "_entity" : ""), pick(1, 8)));
    switch (shape) {
    case Shape::Chain:
        for (int i = 1; i < n; ++i)
            Refer(*doc, tables[size_t(i)], tables[size_t(i - 1)]);
        break;
    case Shape::Tree:
        for (int i = 1; i < n; ++i)
            Refer(*doc, tables[size_t(i)], tables[size_t((i - 1) / 3)]);
        break;
    case Shape::Star:
        for (int i = 1; i < n; ++i)
            Refer(*doc, tables[size_t(i)], tables[0]);
        break;
    case Shape::Cycle:
        for (int i = 0; i < n; ++i)
            Refer(*doc, tables[size_t(i)], tables[size_t((i + 1) % n)]);
        break;
    case Shape::Schema: {
        // Modules of about 25 tables that mostly refer within the module to
        // earlier tables, a quarter of them also to one of a few hubs, a few
        // across modules; about 1.4 relations per table. Some tables stand alone.
        const int hubs = std::max(1, n / 100);
        for (int i = hubs; i < n; ++i) {
            const int moduleStart = hubs + ((i - hubs) / 25) * 25;
            if (pick(0, 19) == 0)
                continue;
            if (i > moduleStart)
                Refer(*doc, tables[size_t(i)], tables[size_t(pick(moduleStart, i - 1))]);
            if (i > moduleStart + 1 && pick(0, 2) == 0)
                Refer(*doc, tables[size_t(i)], tables[size_t(pick(moduleStart, i - 1))]);
            if (pick(0, 3) == 0)
                Refer(*doc, tables[size_t(i)], tables[size_t(pick(0, hubs - 1))]);
            if (moduleStart > hubs && pick(0, 9) == 0)
                Refer(*doc, tables[size_t(i)], tables[size_t(pick(hubs, moduleStart - 1))]);
        }
        break;
    }
    case Shape::Dense:
        // Three references per table to any earlier table, a fifth of them
        // to the first tenth: far denser than real schemas.
        for (int i = 1; i < n; ++i)
            for (int k = 0; k < 3; ++k)
                Refer(*doc, tables[size_t(i)],
                      tables[size_t(pick(0, 4) == 0 ? pick(0, std::max(0, n / 10 - 1)) : pick(0, i - 1))]);
        break;
    }
    return doc;
}

} // namespace generated
