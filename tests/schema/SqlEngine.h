#pragma once

#include "SqlDialect.h"

#include <ostream>
#include <string>
#include <vector>

// What a real engine's catalog says about one table, in the terms the
// diagram uses. Types are kept for messages; the comparison leaves them out
// since each target spells them its own way.
struct CatalogForeignKey {
    std::vector<std::string> columns;
    std::string refTable;
    std::vector<std::string> refColumns;
    auto operator<=>(const CatalogForeignKey&) const = default;
};

struct CatalogColumn {
    std::string name;
    bool notNull = false;
    std::string type;         // as the engine spells it, numbering and computation included
    std::string defaultValue; // as the engine shows it
    bool operator==(const CatalogColumn& other) const { return name == other.name && notNull == other.notNull; }
};

struct CatalogTable {
    std::string name;
    std::vector<CatalogColumn> columns;
    std::vector<std::string> primaryKey;  // in key order
    std::vector<std::string> unique;      // single-column unique constraints, sorted
    std::vector<CatalogForeignKey> foreignKeys; // sorted
    bool operator==(const CatalogTable&) const = default;
};

void PrintTo(const CatalogTable& table, std::ostream* out);

// A real engine behind one small seam: run a script in a fresh, empty
// database, then read that database's catalog.
class CSqlEngine {
public:
    virtual ~CSqlEngine() = default;
    virtual SqlDialect Dialect() const = 0;
    // The engine's error text, or empty when every statement ran.
    virtual std::string RunScript(const std::string& script) = 0;
    // The tables of the database the last script ran in, sorted by name.
    virtual std::vector<CatalogTable> ReadCatalog() = 0;
};
