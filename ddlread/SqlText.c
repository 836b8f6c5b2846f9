#include "SqlText.h"

#include <stdarg.h>
#include <stdlib.h>
#include <string.h>

#include "ImportState.h"

/* The longest production joins six values (a NOT BETWEEN b AND c). */
enum { kMaxPieces = 8 };

static char g_emptyText[1];

static char* Allocate(struct ImportState* state, size_t size)
{
    char* text = malloc(size);
    if (!text) {
        ImportStateOutOfMemory(state);
        return g_emptyText;
    }
    return text;
}

char* TextCopy(struct ImportState* state, const char* text, size_t length)
{
    char* copy = Allocate(state, length + 1);
    if (copy == g_emptyText) {
        return copy;
    }
    memcpy(copy, text, length);
    copy[length] = '\0';
    return copy;
}

/* Appends at most what still fits below SQL_TEXT_LIMIT. */
static void Append(char* out, size_t* used, const char* text, size_t length)
{
    size_t room = SQL_TEXT_LIMIT - 1 - *used;
    if (length > room) {
        length = room;
    }
    memcpy(out + *used, text, length);
    *used += length;
}

static size_t Capped(size_t length)
{
    return length < SQL_TEXT_LIMIT - 1 ? length : SQL_TEXT_LIMIT - 1;
}

static void ReleasePieces(char** pieces, int count)
{
    for (int i = 0; i < count; ++i) {
        TextRelease(pieces[i]);
    }
}

char* TextFormat(struct ImportState* state, const char* pattern, ...)
{
    char* pieces[kMaxPieces];
    size_t lengths[kMaxPieces];
    int count = 0;
    size_t total = 0;
    va_list args;
    va_start(args, pattern);
    for (const char* p = pattern; *p; ++p) {
        if (p[0] == '%' && p[1] == 's') {
            pieces[count] = va_arg(args, char*);
            lengths[count] = strlen(pieces[count]);
            total += lengths[count];
            ++count;
            ++p;
        } else {
            ++total;
        }
    }
    va_end(args);

    char* out = Allocate(state, Capped(total) + 1);
    if (out != g_emptyText) {
        size_t used = 0;
        int piece = 0;
        for (const char* p = pattern; *p; ++p) {
            if (p[0] == '%' && p[1] == 's') {
                Append(out, &used, pieces[piece], lengths[piece]);
                ++piece;
                ++p;
            } else {
                Append(out, &used, p, 1);
            }
        }
        out[used] = '\0';
    }
    ReleasePieces(pieces, count);
    return out;
}

char* TextJoin(struct ImportState* state, int count, ...)
{
    char* pieces[kMaxPieces];
    size_t lengths[kMaxPieces];
    size_t total = (size_t)(count - 1);
    va_list args;
    va_start(args, count);
    for (int i = 0; i < count; ++i) {
        pieces[i] = va_arg(args, char*);
        lengths[i] = strlen(pieces[i]);
        total += lengths[i];
    }
    va_end(args);

    char* out = Allocate(state, Capped(total) + 1);
    if (out != g_emptyText) {
        size_t used = 0;
        for (int i = 0; i < count; ++i) {
            if (i > 0) {
                Append(out, &used, " ", 1);
            }
            Append(out, &used, pieces[i], lengths[i]);
        }
        out[used] = '\0';
    }
    ReleasePieces(pieces, count);
    return out;
}

void TextRelease(char* text)
{
    if (text != g_emptyText) {
        free(text);
    }
}
