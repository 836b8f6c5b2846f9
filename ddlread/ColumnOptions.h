#pragma once

/* The options written after a column's type, gathered while the parser reads
   them: flag bits and four texts, each null when the option is absent. */
typedef struct ColumnOptions {
    int flags;
    char* defaultValue;
    char* refTable;
    char* refColumns;
    char* check;
} ColumnOptions;

ColumnOptions ColumnOptionsEmpty(void);

/* Folds a later option into the options before it: the flags add up, a later
   default replaces an earlier one, and the reference and the check always come
   from the later option, even when it has none. Consumes both. */
ColumnOptions ColumnOptionsMerge(ColumnOptions earlier, ColumnOptions later);

void ColumnOptionsRelease(ColumnOptions* options);
