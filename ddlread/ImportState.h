#pragma once

#include <setjmp.h>
#include <stdio.h>

#include "ColumnOptions.h"
#include "RecordArena.h"
#include "ScannerMemory.h"
#include "ddlread.h"

#define IMPORT_ERROR_TEXT_SIZE 500

/* Everything one import works on: the records being built, the error text,
   the line counter, the trace file and the scanner. It lives for one call of
   ImportSQLTables, so no call can leave anything behind for the next. */
typedef struct ImportState {
    TableData* first;
    TableData* last;
    /* The table whose statement is being parsed, with the tails of its lists. */
    TableData* current;
    ColumnData* lastColumn;
    ConstraintData* lastConstraint;
    RecordArena records;

    char errorText[IMPORT_ERROR_TEXT_SIZE];
    int line;
    FILE* trace;

    void* scanner;
    ScannerBlock* scannerMemory;
    int scannerAtEnd;
    /* Set once the scanner has been left mid-operation; only freeing its
       memory is safe then. */
    int scannerAbandoned;
    /* Set when the import cannot succeed whatever the parse says: memory ran
       out or the file could not be read. */
    int failed;
    /* Where the scanner's fatal conditions return to: the parser's token
       fetch, which turns them into an error token. */
    jmp_buf fatalReturn;
    int fatalReturnArmed;
} ImportState;

void ImportStateInit(ImportState* state);

/* Replaces the error text with "line: message at token", unless the import
   has already failed. */
void ImportStateReport(ImportState* state, const char* message,
                       const char* tokenText);

/* Records the first reason for which the import must fail. */
void ImportStateFail(ImportState* state, const char* message);
void ImportStateOutOfMemory(ImportState* state);

/* Writes one trace line; format holds at most one %s. */
void ImportStateTrace(ImportState* state, const char* format,
                      const char* argument);

/* The record-building steps, in the order a statement meets them. Texts passed
   in are consumed. */
void ImportStateStartTable(ImportState* state);
ColumnOptions ImportStateSetColumnOption(ImportState* state, int flags,
                                         char* defaultValue, char* refTable,
                                         char* refColumns, char* check);
void ImportStateAddColumn(ImportState* state, char* name, char* type,
                          ColumnOptions options);
void ImportStateAddConstraint(ImportState* state, int kind, char* refTable,
                              char* columns, char* refColumns, char* check);
void ImportStateSetTableName(ImportState* state, char* name);
void ImportStateEndTable(ImportState* state);

/* Hands the finished list over; the state keeps no reference to it. */
TableData* ImportStateTakeResult(ImportState* state);

/* Frees every record built so far, the table under construction included,
   and ends the state's claim on the record arena. */
void ImportStateDiscard(ImportState* state);
