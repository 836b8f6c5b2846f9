#pragma once

#include "CSchemaMerge.h"
#include "DatabaseSource.h"
#include "ImportReport.h"

#include <string>

// The account of a dialect import for the summary box: what came in and
// from which dialect, then the statements skipped and those that could not
// be read (kind, count, first lines), what the diagram cannot show, and the
// characters dropped. One fact a line, and a screenful at most: past the
// first few kinds of statement and things not shown, a count of the rest.
std::string ImportSummaryText(const ImportReport& report, const MergeResult& merge);

// The same in one or two lines, for the command line's error stream.
std::string ImportSummaryLines(const ImportReport& report, const MergeResult& merge);

// The account of a database import for the summary box: what came in from
// where (the source as Describe gives it, without its password), and what
// the diagram cannot show, as ImportSummaryText says it.
std::string DatabaseSummaryText(const DatabaseSource& source, const MergeResult& merge);
