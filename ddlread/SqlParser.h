#pragma once

struct ImportState;

/* Parses the whole input of the state's scanner. Returns 0 when it was
   accepted, 1 on a syntax error or a failed import, 2 when the parser's stack
   overflowed. */
int SqlParse(struct ImportState* state);
