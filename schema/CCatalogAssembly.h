#pragma once

#include "LiveDatabase.h"

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// Gathers what the catalog queries of a live database return, row by row
// and in any order, into the description of the chosen tables. Shared by
// the three readers so keys, unique marks and checks land the same way.
class CCatalogAssembly {
public:
    // One table per distinct chosen table, in the order chosen.
    explicit CCatalogAssembly(const std::vector<QualifiedTable>& chosen);

    const std::vector<QualifiedTable>& Chosen() const { return m_chosen; }
    size_t Size() const { return m_tables.size(); }
    SchemaTable& At(size_t index) { return m_tables[index]; }
    // The chosen table of this exact schema and name, or null.
    SchemaTable* Find(std::string_view schema, std::string_view name);
    // Marks a table as seen in the catalog; the first chosen table never
    // marked is the one that is gone.
    void MarkFound(const SchemaTable& table);
    const QualifiedTable* FirstMissing() const;

    // Primary key columns in key order; each column gets the mark.
    static void AddPrimaryKey(SchemaTable& table, std::vector<std::string> columns);
    // A UNIQUE constraint or unique index: one column marks the column, more
    // become a key of the table (each list once).
    static void AddUnique(SchemaTable& table, std::vector<std::string> columns);
    // A check on one column goes on the column while it has none; others,
    // and checks of the table, join the table's checks.
    static void AddCheck(SchemaTable& table, std::string_view column, std::string expression);

    SchemaDescription Finish();

private:
    static std::string Key(std::string_view schema, std::string_view name);

    std::vector<QualifiedTable> m_chosen;
    std::vector<SchemaTable> m_tables;
    std::vector<bool> m_found;
    std::unordered_map<std::string, size_t> m_index;
};

// Names equal but for the case of ASCII letters, as SQLite and MariaDB
// compare column names.
bool SameNameIgnoringCase(std::string_view a, std::string_view b);
// "(a > 0)" -> "a > 0": one pair of parentheses around the whole text goes.
std::string StripOuterParentheses(std::string_view expression);
// The message for a table that is no longer there.
LiveError TableGoneError(const QualifiedTable& table, bool duringRead);
