#include "ColumnOptions.h"

#include <stddef.h>

#include "SqlText.h"

ColumnOptions ColumnOptionsEmpty(void)
{
    ColumnOptions options = { 0, NULL, NULL, NULL, NULL };
    return options;
}

ColumnOptions ColumnOptionsMerge(ColumnOptions earlier, ColumnOptions later)
{
    ColumnOptions merged = later;
    merged.flags = earlier.flags | later.flags;
    if (later.defaultValue) {
        TextRelease(earlier.defaultValue);
    } else {
        merged.defaultValue = earlier.defaultValue;
    }
    /* "CHECK (a > 0) NOT NULL" keeps no check: the later option decides. */
    TextRelease(earlier.refTable);
    TextRelease(earlier.refColumns);
    TextRelease(earlier.check);
    return merged;
}

void ColumnOptionsRelease(ColumnOptions* options)
{
    TextRelease(options->defaultValue);
    TextRelease(options->refTable);
    TextRelease(options->refColumns);
    TextRelease(options->check);
    *options = ColumnOptionsEmpty();
}
