#pragma once

#include "SchemaDescription.h"

struct TableData;

// The schema description of ddlread's table records, in list order, under
// Korvo's own merge rules: merging it gives exactly the diagram the records
// always gave.
SchemaDescription DescribeTableData(const TableData* list);
