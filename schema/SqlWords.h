#pragma once

#include "AsciiCase.h"
#include "CSqlTokenizer.h"

#include <string>
#include <string_view>

// Word lists and small helpers the tolerant reader's files share.
namespace sqlwords {

// Words that end a data type and start a column's constraints or options.
inline constexpr std::string_view kTypeStops[] = {
    "NOT",         "NULL",      "DEFAULT",   "CONSTRAINT", "PRIMARY",       "UNIQUE",     "REFERENCES",
    "CHECK",       "COLLATE",   "GENERATED", "AUTO_INCREMENT", "AUTOINCREMENT", "IDENTITY", "COMMENT",
    "AS",          "ON",        "CHARSET",   "ENABLE",     "DISABLE",       "SPARSE",     "ROWGUIDCOL",
    "FILESTREAM",  "VISIBLE",   "INVISIBLE", "STORAGE",    "COLUMN_FORMAT", "ENCRYPTED",  "MASKED",
    "INLINE",      "IMPLICITLY", "LOGGED",   "COMPACT",    "DEFERRABLE",    "INITIALLY",  "SERIAL",
    "SRID",        "COMPRESSION", "HIDDEN",  "PERSISTED",  "STORED",        "VIRTUAL",    "KEY",
};

// Words that end a DEFAULT expression.
inline constexpr std::string_view kExpressionStops[] = {
    "NOT",        "NULL",     "CONSTRAINT", "PRIMARY",   "UNIQUE",   "REFERENCES", "CHECK",
    "COLLATE",    "GENERATED", "AUTO_INCREMENT", "AUTOINCREMENT", "IDENTITY", "COMMENT", "ON",
    "ENABLE",     "DISABLE",  "SPARSE",     "ROWGUIDCOL", "CHARACTER", "CHARSET",  "VISIBLE",
    "INVISIBLE",  "FOR",      "INLINE",     "IMPLICITLY", "HIDDEN",    "DEFAULT",  "AS",
    "WITH",
};

// Words that open a statement of their own on a new line of a SQL Server
// batch, where no semicolon is needed.
inline constexpr std::string_view kBatchStatementStarts[] = {
    "CREATE", "ALTER", "DROP", "INSERT", "EXEC", "EXECUTE", "USE", "GRANT", "PRINT",
};

// Statements whose bodies hold semicolons of their own.
inline constexpr std::string_view kRoutineWords[] = {
    "PROCEDURE", "FUNCTION", "TRIGGER", "PACKAGE", "TYPE", "EVENT", "VIEW",
};

template <size_t N>
bool IsOneOf(const SqlToken& token, const std::string_view (&words)[N])
{
    if (token.kind != SqlTokenKind::Word)
        return false;
    for (std::string_view word : words)
        if (EqualsIgnoreCase(token.text, word))
            return true;
    return false;
}


} // namespace sqlwords
