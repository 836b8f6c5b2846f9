#pragma once

#include "CKorvoDoc.h"

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

// Diagrams built in code for the export, the check and the engine tests.

struct ColumnSpec {
    ColumnSpec(std::string name, std::string type, bool required = false, std::string defaultValue = "",
               bool primaryKey = false, bool unique = false, std::string check = "", std::string description = "")
        : name(std::move(name)), type(std::move(type)), required(required), defaultValue(std::move(defaultValue)),
          primaryKey(primaryKey), unique(unique), check(std::move(check)), description(std::move(description))
    {
    }
    std::string name;
    std::string type;
    bool required;
    std::string defaultValue;
    bool primaryKey;
    bool unique;
    std::string check;
    std::string description;
};

KorvoTableView* AddSchemaTable(CKorvoDoc& doc, const std::string& name, std::vector<ColumnSpec> columns,
                               const std::string& check = "", const std::string& description = "");

// A relation from the source's columns at these positions to the destination's.
CRelation* AddSchemaRelation(CKorvoDoc& doc, KorvoTableView* source, std::initializer_list<int> sourceColumns,
                             KorvoTableView* dest, std::initializer_list<int> destColumns);

// Reserved words of every target, spaces, mixed case, Unicode, a cycle of
// three, a self reference, composite keys (one referred to in another
// order), text keys, a table without a key, descriptions with quotes,
// backslashes and line breaks.
std::unique_ptr<CKorvoDoc> BuildAwkwardDiagram();

// One column for every type the export maps, with the defaults that go
// with them, and one table for each way of numbering a column.
std::unique_ptr<CKorvoDoc> BuildTypeDiagram();

// The bundled examples/example.erd.
std::unique_ptr<CKorvoDoc> LoadExampleDiagram();
