#include "ddlread.h"

#include <stdio.h>
#include <string.h>

#include "ImportState.h"
#include "RecordArena.h"
#include "SqlParser.h"
#include "SqlScanner.h"

static void CopyErrorText(const char* text, char* errorText,
                          int32_t errorTextSize)
{
    if (!errorText || errorTextSize <= 0) {
        return;
    }
    size_t length = strnlen(text, (size_t)errorTextSize - 1);
    memcpy(errorText, text, length);
    errorText[length] = '\0';
}

DDLREAD_API TableData* ImportSQLTables(const char* sqlPath, char* errorText,
                                       int32_t errorTextSize,
                                       const char* tracePath)
{
    ImportState state;
    ImportStateInit(&state);
    TableData* result = NULL;

    FILE* input = sqlPath ? fopen(sqlPath, "r") : NULL;
    if (!input) {
        snprintf(state.errorText, sizeof state.errorText, "%s",
                 "Error opening file.");
    } else {
        if (tracePath && tracePath[0]) {
            state.trace = fopen(tracePath, "w");
        }
        int parsed = 1;
        if (SqlScannerCreate(&state, input) == 0) {
            parsed = SqlParse(&state);
        } else {
            ImportStateOutOfMemory(&state);
        }
        SqlScannerDestroy(&state);
        if (parsed == 0 && !state.failed) {
            result = ImportStateTakeResult(&state);
        }
        ImportStateDiscard(&state);
        fclose(input);
        if (state.trace) {
            fclose(state.trace);
        }
    }
    CopyErrorText(state.errorText, errorText, errorTextSize);
    return result;
}

DDLREAD_API void FreeTableData(TableData* list)
{
    while (list) {
        TableData* next = list->next;
        ColumnData* column = list->columns;
        while (column) {
            ColumnData* nextColumn = column->next;
            RecordRelease(column, sizeof *column);
            column = nextColumn;
        }
        ConstraintData* constraint = list->constraints;
        while (constraint) {
            ConstraintData* nextConstraint = constraint->next;
            RecordRelease(constraint, sizeof *constraint);
            constraint = nextConstraint;
        }
        RecordRelease(list, sizeof *list);
        list = next;
    }
}
