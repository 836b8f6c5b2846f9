/* Compiled for a 32-bit target only (-m32 -fsyntax-only): the records' byte
   layout as Korvo reads it, with 4-byte pointers. */
#include <stddef.h>

#include "ddlread.h"

_Static_assert(sizeof(void*) == 4, "build this check with 32-bit pointers");

_Static_assert(offsetof(TableData, name) == 0, "TableData.name");
_Static_assert(offsetof(TableData, columns) == 100, "TableData.columns");
_Static_assert(offsetof(TableData, constraints) == 104, "TableData.constraints");
_Static_assert(offsetof(TableData, next) == 108, "TableData.next");
_Static_assert(sizeof(TableData) == 112, "TableData size");

_Static_assert(offsetof(ColumnData, flags) == 0, "ColumnData.flags");
_Static_assert(offsetof(ColumnData, name) == 4, "ColumnData.name");
_Static_assert(offsetof(ColumnData, type) == 104, "ColumnData.type");
_Static_assert(offsetof(ColumnData, defaultValue) == 204, "ColumnData.defaultValue");
_Static_assert(offsetof(ColumnData, refTable) == 304, "ColumnData.refTable");
_Static_assert(offsetof(ColumnData, refColumns) == 404, "ColumnData.refColumns");
_Static_assert(offsetof(ColumnData, check) == 904, "ColumnData.check");
_Static_assert(offsetof(ColumnData, next) == 1104, "ColumnData.next");
_Static_assert(sizeof(ColumnData) == 1108, "ColumnData size");

_Static_assert(offsetof(ConstraintData, kind) == 0, "ConstraintData.kind");
_Static_assert(offsetof(ConstraintData, refTable) == 4, "ConstraintData.refTable");
_Static_assert(offsetof(ConstraintData, columns) == 104, "ConstraintData.columns");
_Static_assert(offsetof(ConstraintData, refColumns) == 604, "ConstraintData.refColumns");
_Static_assert(offsetof(ConstraintData, check) == 1104, "ConstraintData.check");
_Static_assert(offsetof(ConstraintData, next) == 1304, "ConstraintData.next");
_Static_assert(sizeof(ConstraintData) == 1308, "ConstraintData size");
