#pragma once

#include <functional>
#include <string>
#include <string_view>

struct SqlType;

// What a column's default value says, read from its own text.
enum class DefaultKind {
    None,
    Null,
    Sequence,   // nextval('...'): the column numbers itself
    Text,       // a string literal
    Number,
    Boolean,
    Bits,       // B'0101'
    Now,        // the current date and time
    Today,
    TimeOfDay,
    NewUuid,
    Expression, // anything else, carried as written
};

struct SqlDefault {
    DefaultKind kind = DefaultKind::None;
    std::string value; // Text: the string's value; Bits: the digits; otherwise the text as written
    bool truth = false;
};

SqlDefault ParseSqlDefault(std::string_view text);

// The expression with each PostgreSQL cast (::type) taken out for which
// keep(type) says no; strings and quoted names are left alone.
std::string StripCasts(std::string_view expression, const std::function<bool(const SqlType&)>& keep);

// Whether the whole text is one parenthesised group: "(a + b)" but not "(a) + (b)".
bool IsWrappedInParentheses(std::string_view text);
