#pragma once

#include "SchemaDescription.h"

#include <string>

// A schema as the catalog lines the capture scripts write from real engines
// (tests/schema/expected/*.catalog), sorted, one fact a line, tab-separated:
//   table   T
//   column  T  NNN  name  0|1        (position, NOT NULL)
//   pk      T  c1,c2
//   fk      T  c1,c2  R  r1,r2
//   unique  T  c1,c2
// Names only, no schema qualifier: the scripts' tables meet under one schema.
std::string CatalogText(const SchemaDescription& description);
