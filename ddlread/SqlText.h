#pragma once

#include <stddef.h>

struct ImportState;

/* Built texts keep at most this many bytes, NUL included. Every record field
   is shorter and every text is built by appending, so the cut never shows in a
   record, while a condition of thousands of terms is still built in linear
   time instead of copying its growing text at every operator. */
#define SQL_TEXT_LIMIT 1024

/* The parser's texts: heap copies owned by whoever holds them. When memory
   runs out these functions mark the import as failed and return a shared empty
   text instead of null, so the grammar's actions never test for failure;
   TextRelease knows not to free it. */
char* TextCopy(struct ImportState* state, const char* text, size_t length);

/* Fills a pattern whose only directives are %s with the given texts, which it
   consumes. */
char* TextFormat(struct ImportState* state, const char* pattern, ...);

/* The count texts separated by single blanks; an empty text still gets its
   blank. Consumes the texts. */
char* TextJoin(struct ImportState* state, int count, ...);

/* Frees a text; null and the shared empty text are left alone. */
void TextRelease(char* text);
