#pragma once

#include "SchemaDescription.h"

#include <string>

class CKorvoDoc;

// A schema as the catalog lines the capture scripts write from real engines
// (tests/schema/expected/*.catalog), sorted, one fact a line, tab-separated:
//   table   T
//   column  T  NNN  name  0|1        (position, NOT NULL)
//   pk      T  c1,c2
//   fk      T  c1,c2  R  r1,r2
//   unique  T  c1,c2
// Names only, no schema qualifier: the scripts' tables meet under one schema.
std::string CatalogText(const SchemaDescription& description);

// The same lines for a diagram: its columns' NOT NULL marks, primary-key
// and unique marks, and its relations as foreign keys with both column lists
// in the relation's order. A diagram marks the key's columns but keeps no
// order of them: a pk line names them in name order.
std::string DiagramCatalogText(const CKorvoDoc& doc);

// What the sqlite3 engine makes of a script, read with the catalog queries
// the capture script uses for the other engines.
std::string SqliteEngineCatalog(const std::string& script);
// The same of a SQLite database file, opened read-only.
std::string SqliteFileCatalog(const std::string& path);

// A catalog as a diagram can show it: without unique keys over several
// columns (unique lines with a comma), with each primary key's columns in
// name order.
std::string AsDiagramShowsIt(const std::string& catalog);

// The lines only one of two catalogs holds, "- " for the expected and "+ "
// for the actual: what a failed comparison shows.
std::string CatalogDifference(const std::string& actual, const std::string& expected);
