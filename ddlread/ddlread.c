#include "ddlread.h"

#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

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

/* Opens the script for reading in text mode. Only a regular file is read: a
   named pipe would block the caller for good, a device could feed bytes
   without end, and a folder cannot be read at all. Not blocking on open keeps
   a pipe without a writer from hanging here; st receives the file's identity. */
static FILE* OpenScript(const char* sqlPath, struct stat* st)
{
    if (!sqlPath) {
        return NULL;
    }
    int fd = open(sqlPath, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return NULL;
    }
    if (fstat(fd, st) != 0 || !S_ISREG(st->st_mode)) {
        close(fd);
        return NULL;
    }
    int flags = fcntl(fd, F_GETFL);
    if (flags >= 0) {
        fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    }
    FILE* input = fdopen(fd, "r");
    if (!input) {
        close(fd);
    }
    return input;
}

/* Opens the trace file, created or emptied, unless it is the script itself
   (the same file under another name, through a link, say): emptying it would
   destroy the script before it is read, so the import then runs without a
   trace, as when the trace cannot be created. The file is emptied only once
   it is known not to be the script. */
static FILE* OpenTrace(const char* tracePath, const struct stat* script)
{
    if (!tracePath || !tracePath[0]) {
        return NULL;
    }
    int fd = open(tracePath, O_WRONLY | O_CREAT | O_NOCTTY | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0) {
        return NULL;
    }
    struct stat st;
    if (fstat(fd, &st) != 0 ||
        (st.st_dev == script->st_dev && st.st_ino == script->st_ino)) {
        close(fd);
        return NULL;
    }
    if (S_ISREG(st.st_mode) && ftruncate(fd, 0) != 0) {
        close(fd);
        return NULL;
    }
    int flags = fcntl(fd, F_GETFL);
    if (flags >= 0) {
        fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    }
    FILE* trace = fdopen(fd, "w");
    if (!trace) {
        close(fd);
    }
    return trace;
}

DDLREAD_API TableData* ImportSQLTables(const char* sqlPath, char* errorText,
                                       int32_t errorTextSize,
                                       const char* tracePath)
{
    ImportState state;
    ImportStateInit(&state);
    TableData* result = NULL;

    struct stat script;
    FILE* input = OpenScript(sqlPath, &script);
    if (!input) {
        snprintf(state.errorText, sizeof state.errorText, "%s",
                 "Error opening file.");
    } else {
        state.trace = OpenTrace(tracePath, &script);
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
