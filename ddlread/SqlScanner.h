#pragma once

#include <stdio.h>

#include "SqlParserTokens.h"

struct ImportState;

/* The scanner of one import, in its skipping state, reading input. Returns 0,
   or -1 when memory runs out. */
int SqlScannerCreate(struct ImportState* state, FILE* input);

/* The next token for the parser; its text, if it has one, goes to value. */
int SqlScannerNext(void* scanner, SQLPARSE_STYPE* value);

/* The text of the token scanned last; empty at the end of the input. */
const char* SqlScannerText(void* scanner);

/* Back to skipping everything up to the next CREATE TABLE. */
void SqlScannerSkip(void* scanner);

void SqlScannerDestroy(struct ImportState* state);
