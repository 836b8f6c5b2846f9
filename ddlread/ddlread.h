#pragma once

/* The import library's whole contract with Korvo: two functions and the
   fixed-layout records they pass. Usable from C and C++. */

#include <stdint.h>

#if defined(_WIN32)
#  if defined(DDLREAD_BUILDING)
#    define DDLREAD_API __declspec(dllexport)
#  else
#    define DDLREAD_API __declspec(dllimport)
#  endif
#else
#  define DDLREAD_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Bits of ColumnData.flags. */
#define DDL_COLUMN_NOT_NULL 1
#define DDL_COLUMN_PRIMARY_KEY 2
#define DDL_COLUMN_UNIQUE 4

/* Values of ConstraintData.kind. */
#define DDL_CONSTRAINT_UNIQUE 1
#define DDL_CONSTRAINT_PRIMARY_KEY 2
#define DDL_CONSTRAINT_FOREIGN_KEY 3
#define DDL_CONSTRAINT_CHECK 4

/* Every field sits on a 4-byte boundary with no padding: with 32-bit pointers
   the records are 112, 1108 and 1308 bytes. Text fields are NUL-terminated and
   hold the empty string when unused. */
#pragma pack(push, 4)

typedef struct ColumnData {
    int32_t flags;
    char name[100];
    char type[100];
    char defaultValue[100];
    char refTable[100];
    char refColumns[500];
    char check[200];
    struct ColumnData* next;
} ColumnData;

typedef struct ConstraintData {
    int32_t kind;
    char refTable[100];
    char columns[500];
    char refColumns[500];
    char check[200];
    struct ConstraintData* next;
} ConstraintData;

typedef struct TableData {
    char name[100];
    ColumnData* columns;
    ConstraintData* constraints;
    struct TableData* next;
} TableData;

#pragma pack(pop)

/* Reads the CREATE TABLE statements of the file at sqlPath. Returns the tables
   in source order, or null when the file cannot be read or does not parse.
   errorText receives the last report (at most errorTextSize - 1 characters and
   a NUL); tracePath, when neither null nor empty, names a file that receives
   one line per record-building step. A non-null result must be handed back
   through FreeTableData exactly once. */
DDLREAD_API TableData* ImportSQLTables(const char* sqlPath, char* errorText,
                                       int32_t errorTextSize,
                                       const char* tracePath);

/* Releases a list returned by ImportSQLTables with all its records; null does
   nothing. */
DDLREAD_API void FreeTableData(TableData* list);

#ifdef __cplusplus
}
#endif
