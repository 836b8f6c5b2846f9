#pragma once

#include "SqlEngine.h"

#include <memory>
#include <vector>

class CKorvoDoc;

// The catalog a diagram should give in the dialect's engine: every table
// that the target can make, its columns in order with their NOT NULL (a
// key column is NOT NULL except in SQLite), its key, its unique columns and
// the relations that can be foreign keys.
std::vector<CatalogTable> ExpectedCatalog(const CKorvoDoc& doc, SqlDialect dialect);

// A diagram of what an engine holds, the engine standing in for the import:
// its types, NOT NULL, defaults, keys, unique columns and foreign keys.
std::unique_ptr<CKorvoDoc> DiagramFromCatalog(const std::vector<CatalogTable>& tables);

// Exports the diagram for the engine's dialect, runs the script there and
// expects the engine's catalog to be the diagram's (gtest assertions).
void ExpectEngineTakesDiagram(const CKorvoDoc& doc, CSqlEngine& engine);
