#pragma once

#include "SqlDialect.h"

#include <string>
#include <string_view>

// Why a target needs a name in quotes. Korvo's own script never quotes, so
// for it the reason says why Import SQL could not read the name back.
enum class QuoteReason {
    None,
    Empty,
    ReservedWord,
    FoldedCase,  // PostgreSQL folds unquoted names to lower case
    NonAscii,
    NotPlain,    // spaces, punctuation, a leading digit
};

QuoteReason NameQuoteReason(std::string_view name, SqlDialect dialect);

// A few words on the reason, for check lines ("is a reserved word").
std::string_view QuoteReasonText(QuoteReason reason);

bool IsReservedWord(std::string_view word, SqlDialect dialect);

// The name as the target's script writes it: bare when it can be, else in
// the target's quotes with the closing quote doubled.
std::string SqlName(std::string_view name, SqlDialect dialect);

// The name in the target's quotes whatever it holds.
std::string QuotedSqlName(std::string_view name, SqlDialect dialect);

// A string literal: quote doubled, backslash doubled for MySQL (where it
// escapes by default), N'' for SQL Server so that Unicode survives.
std::string SqlStringLiteral(std::string_view text, SqlDialect dialect);

// Why the target cannot take the name at all (too long, not UTF-8, ...),
// or an empty text when it can.
std::string NameRefusal(std::string_view name, SqlDialect dialect);

// The form under which the target compares two names: two names with the
// same key name one object there.
std::string NameKey(std::string_view name, SqlDialect dialect);
