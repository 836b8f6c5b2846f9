#include "ImportState.h"

#include <string.h>

#include "SqlScanner.h"
#include "SqlText.h"

void ImportStateInit(ImportState* state)
{
    memset(state, 0, sizeof *state);
    state->line = 1;
}

void ImportStateReport(ImportState* state, const char* message,
                       const char* tokenText)
{
    /* The reason an import failed outranks any report after it. */
    if (state->failed) {
        return;
    }
    snprintf(state->errorText, sizeof state->errorText, "%d: %s at %s\n",
             state->line, message, tokenText);
}

void ImportStateFail(ImportState* state, const char* message)
{
    ImportStateReport(state, message, "");
    state->failed = 1;
}

void ImportStateOutOfMemory(ImportState* state)
{
    ImportStateFail(state, "memory exhausted");
}

void ImportStateTrace(ImportState* state, const char* format,
                      const char* argument)
{
    if (!state->trace) {
        return;
    }
    fprintf(state->trace, format, argument);
    fputc('\n', state->trace);
    fflush(state->trace);
}

/* Copies as much of the text as the field holds, always NUL-terminated; an
   absent text leaves the field empty. */
static void CopyField(char* field, size_t capacity, const char* text)
{
    if (!text) {
        field[0] = '\0';
        return;
    }
    size_t length = strnlen(text, capacity - 1);
    memcpy(field, text, length);
    field[length] = '\0';
}

#define COPY_FIELD(field, text) CopyField((field), sizeof(field), (text))

static void FreeTable(TableData* table)
{
    if (table) {
        table->next = NULL;
        FreeTableData(table);
    }
}

void ImportStateStartTable(ImportState* state)
{
    ImportStateTrace(state, "Table started", NULL);
    /* A CREATE TABLE inside an unfinished statement starts over. */
    FreeTable(state->current);
    state->current = RecordArenaAlloc(&state->records, sizeof(TableData));
    state->lastColumn = NULL;
    state->lastConstraint = NULL;
    if (!state->current) {
        ImportStateOutOfMemory(state);
    }
}

ColumnOptions ImportStateSetColumnOption(ImportState* state, int flags,
                                         char* defaultValue, char* refTable,
                                         char* refColumns, char* check)
{
    ImportStateTrace(state, "Set column option", NULL);
    ColumnOptions options = { flags, defaultValue, refTable, refColumns,
                              check };
    return options;
}

void ImportStateAddColumn(ImportState* state, char* name, char* type,
                          ColumnOptions options)
{
    ImportStateTrace(state, "Saving column: %s", name);
    ColumnData* column =
        state->current ? RecordArenaAlloc(&state->records, sizeof(ColumnData)) : NULL;
    if (column) {
        column->flags = options.flags;
        COPY_FIELD(column->name, name);
        COPY_FIELD(column->type, type);
        COPY_FIELD(column->defaultValue, options.defaultValue);
        COPY_FIELD(column->refTable, options.refTable);
        COPY_FIELD(column->refColumns, options.refColumns);
        COPY_FIELD(column->check, options.check);
        if (state->lastColumn) {
            state->lastColumn->next = column;
        } else {
            state->current->columns = column;
        }
        state->lastColumn = column;
    } else if (state->current) {
        ImportStateOutOfMemory(state);
    }
    TextRelease(name);
    TextRelease(type);
    ColumnOptionsRelease(&options);
    ImportStateTrace(state, "Column saved", NULL);
}

void ImportStateAddConstraint(ImportState* state, int kind, char* refTable,
                              char* columns, char* refColumns, char* check)
{
    ImportStateTrace(state, "Table constraint", NULL);
    ConstraintData* constraint =
        state->current ? RecordArenaAlloc(&state->records, sizeof(ConstraintData))
                       : NULL;
    if (constraint) {
        constraint->kind = kind;
        COPY_FIELD(constraint->refTable, refTable);
        COPY_FIELD(constraint->columns, columns);
        COPY_FIELD(constraint->refColumns, refColumns);
        COPY_FIELD(constraint->check, check);
        if (state->lastConstraint) {
            state->lastConstraint->next = constraint;
        } else {
            state->current->constraints = constraint;
        }
        state->lastConstraint = constraint;
    } else if (state->current) {
        ImportStateOutOfMemory(state);
    }
    TextRelease(refTable);
    TextRelease(columns);
    TextRelease(refColumns);
    TextRelease(check);
}

void ImportStateSetTableName(ImportState* state, char* name)
{
    ImportStateTrace(state, "Table name saved: %s", name);
    if (state->current) {
        COPY_FIELD(state->current->name, name);
    }
    TextRelease(name);
}

void ImportStateEndTable(ImportState* state)
{
    ImportStateTrace(state, "Table ended", NULL);
    if (state->current) {
        if (state->last) {
            state->last->next = state->current;
        } else {
            state->first = state->current;
        }
        state->last = state->current;
        state->current = NULL;
    }
    /* Before the parser asks for its next token: the text after the
       statement is skipped up to the next CREATE TABLE. */
    SqlScannerSkip(state->scanner);
}

TableData* ImportStateTakeResult(ImportState* state)
{
    TableData* result = state->first;
    state->first = NULL;
    state->last = NULL;
    return result;
}

void ImportStateDiscard(ImportState* state)
{
    FreeTableData(ImportStateTakeResult(state));
    FreeTable(state->current);
    state->current = NULL;
    RecordArenaClose(&state->records);
}
