#pragma once

#include <string>
#include <string_view>
#include <vector>

// What a schema script says about its tables, independent of the dialect it
// was written in and of the diagram it goes into. Every text is UTF-8. Names
// are as the database would store them (folded where the dialect folds
// unquoted names, quotes removed).

struct SchemaColumn {
    std::string name;
    std::string type;         // the data type as written, empty when none
    bool notNull = false;     // NOT NULL, or implied by the primary key where the engine implies it
    bool primaryKey = false;  // member of the table's primary key (column-level mark)
    bool unique = false;      // a UNIQUE of this column alone
    std::string defaultValue; // the DEFAULT expression as written, empty when none
    std::string check;        // a CHECK written on the column, without its outer parentheses
    std::string comment;      // COMMENT ON COLUMN, MySQL COMMENT '...'
};

// A FOREIGN KEY: columns of this table referring to columns of another.
struct SchemaForeignKey {
    std::string name;                    // constraint name, empty when unnamed
    std::vector<std::string> columns;    // source columns in key order
    std::string refSchema;               // qualifier of the referenced table, empty when none
    std::string refTable;
    std::vector<std::string> refColumns; // referenced columns in key order; empty: same names
    // A REFERENCES written on a column rather than as a table constraint.
    // Korvo's own language resolves these after all tables exist.
    bool columnLevel = false;
};

struct SchemaTable {
    std::string schema; // qualifier as written (public, dbo), empty when none
    std::string name;
    std::vector<SchemaColumn> columns; // in table order
    // Columns of PRIMARY KEY constraints in key order (a column-level
    // PRIMARY KEY shows in the column's mark as well).
    std::vector<std::string> primaryKey;
    // UNIQUE constraints and unique indexes over more than one column, and
    // any the column marks do not already say.
    std::vector<std::vector<std::string>> uniqueKeys;
    std::vector<std::string> checks; // table CHECK constraints in order
    std::vector<SchemaForeignKey> foreignKeys;
    std::string comment; // COMMENT ON TABLE, MySQL table COMMENT=

    // The first column with exactly this name, or null.
    SchemaColumn* FindColumn(std::string_view columnName);
    const SchemaColumn* FindColumn(std::string_view columnName) const;
    std::string QualifiedName() const { return schema.empty() ? name : schema + "." + name; }
};

// How the diagram merge reads the description. Korvo's own language keeps
// the rules its import always had (see CSchemaMerge).
enum class MergeRules {
    KorvoLanguage,
    Dialect,
};

struct SchemaDescription {
    std::vector<SchemaTable> tables; // in script order; Korvo's language may repeat a name
    MergeRules rules = MergeRules::Dialect;
};
