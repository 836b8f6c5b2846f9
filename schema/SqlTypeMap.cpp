#include "SqlTypeMap.h"

#include "SqlExpression.h"
#include "SqlQuoting.h"
#include "SqlType.h"
#include "SqlUtf8.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <initializer_list>

using namespace SqlUtf8;

namespace {

// A type as the target writes it, and what it could not carry.
struct Mapped {
    std::string text;
    std::string note;
    bool asWritten = false;
};

bool In(std::string_view name, std::initializer_list<std::string_view> names)
{
    return std::find(names.begin(), names.end(), name) != names.end();
}

Mapped Keep(const SqlType& t)
{
    return {t.core, "", true};
}

Mapped As(std::string text, std::string note = "")
{
    return {std::move(text), std::move(note), false};
}

std::string Quoted(const SqlType& t)
{
    return "\"" + t.written + "\"";
}

std::string Paren(long long n)
{
    return "(" + std::to_string(n) + ")";
}

// Every argument a plain number: "(10, 2)" but not "(20 BYTE)" or "(max)".
bool NumericArgs(const SqlType& t)
{
    return std::all_of(t.args.begin(), t.args.end(), [](const std::string& a) {
        return !a.empty() && std::all_of(a.begin(), a.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
    });
}

std::string PrecisionScale(int precision, int scale)
{
    std::string out = "(" + std::to_string(precision);
    if (scale >= 0)
        out += "," + std::to_string(scale);
    return out + ")";
}

int MaxValueLength(const SqlType& t)
{
    size_t longest = 1;
    for (const std::string& value : t.values)
        longest = std::max(longest, Utf8Length(value));
    return static_cast<int>(longest);
}

bool HasLocalTimeZone(const SqlType& t)
{
    std::string core = t.core;
    std::transform(core.begin(), core.end(), core.begin(),
                   [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
    return core.find(" local ") != std::string::npos;
}

// --- PostgreSQL --------------------------------------------------------------

constexpr auto kPostgresOwn = std::to_array<std::string_view>({
    "box", "cid", "cidr", "circle", "daterange", "inet", "int4range", "int8range", "line", "lseg", "macaddr",
    "macaddr8", "name", "numrange", "oid", "path", "pg_lsn", "pg_snapshot", "point", "polygon", "regclass",
    "regproc", "regtype", "tid", "tsquery", "tsrange", "tstzrange", "tsvector", "txid_snapshot", "xid",
});

std::string PostgresInteger(int bytes)
{
    return bytes <= 2 ? "smallint" : bytes <= 4 ? "integer" : "bigint";
}

Mapped PostgresElement(const SqlType& t)
{
    const std::string& n = t.name;
    switch (t.kind) {
    case TypeKind::None: return As("text", "has no type; written as text");
    case TypeKind::Integer:
        if (!t.isUnsigned && t.args.empty() && In(n, {"smallint", "int2", "integer", "int", "int4", "bigint", "int8"}))
            return Keep(t);
        if (t.isUnsigned) // one size up holds every unsigned value; a CHECK keeps out the negative ones
            return t.bytes >= 8 ? As("numeric(20)") : As(PostgresInteger(t.bytes >= 4 ? 8 : t.bytes * 2));
        return As(PostgresInteger(t.bytes));
    case TypeKind::Boolean:
        if (In(n, {"boolean", "bool"}))
            return Keep(t);
        return As("boolean", n == "tinyint" ? "tinyint(1) written as boolean" : "");
    case TypeKind::Decimal:
        if (In(n, {"decimal", "numeric", "dec"}) && NumericArgs(t))
            return Keep(t);
        return As(t.precision > 0 ? "numeric" + PrecisionScale(std::min(t.precision, 1000), t.scale) : "numeric");
    case TypeKind::Money: return n == "money" ? Keep(t) : As("numeric(10,4)");
    case TypeKind::Float:
        if (t.args.empty() && In(n, {"real", "float4", "float8", "double precision", "float"}))
            return Keep(t);
        if (n == "float" && t.args.size() == 1 && t.precision >= 1 && t.precision <= 53)
            return Keep(t);
        return As(t.bytes == 4 ? "real" : "double precision",
                  t.args.empty() ? "" : Quoted(t) + " written as " + (t.bytes == 4 ? "real" : "double precision"));
    case TypeKind::Char:
        if (In(n, {"char", "character", "nchar", "national char", "national character", "bpchar"}) && NumericArgs(t))
            return Keep(t);
        return As(t.length > 0 ? "char" + Paren(t.length) : "char");
    case TypeKind::Varchar:
        if (t.maxLength)
            return As("text");
        if (In(n, {"varchar", "character varying", "char varying", "national character varying",
                   "national char varying", "nchar varying"})
            && NumericArgs(t))
            return Keep(t);
        return As(t.length > 0 ? "varchar" + Paren(t.length) : "varchar");
    case TypeKind::Text:
        if (n == "text")
            return Keep(t);
        return As("text", n == "citext" ? "citext written as text, which compares letter case" : "");
    case TypeKind::Binary:
    case TypeKind::Varbinary:
    case TypeKind::Blob:
        if (n == "bytea")
            return Keep(t);
        return As("bytea", t.length > 0 ? Quoted(t) + " written as bytea, without its length" : "");
    case TypeKind::BitString: return Keep(t);
    case TypeKind::Date: return Keep(t);
    case TypeKind::Time:
        if (HasLocalTimeZone(t))
            return As("time with time zone");
        return Keep(t);
    case TypeKind::Timestamp:
        if (n == "datetimeoffset")
            return As(t.precision >= 0 ? "timestamp(" + std::to_string(std::min(t.precision, 6)) + ") with time zone"
                                       : "timestamp with time zone");
        if (HasLocalTimeZone(t))
            return As("timestamp with time zone");
        return Keep(t);
    case TypeKind::DateTime:
        if (n == "smalldatetime")
            return As("timestamp(0)");
        return As(t.precision >= 0 ? "timestamp(" + std::to_string(std::min(t.precision, 6)) + ")" : "timestamp");
    case TypeKind::Year: return As("smallint", Quoted(t) + " written as smallint");
    case TypeKind::Interval:
        if (n == "interval" || (t.args.empty() && In(n, {"interval day to second", "interval year to month"})))
            return Keep(t);
        return As("interval", Quoted(t) + " written as interval");
    case TypeKind::Uuid: return n == "uuid" ? Keep(t) : As("uuid");
    case TypeKind::Json: return Keep(t);
    case TypeKind::Xml: return n == "xml" ? Keep(t) : As("xml");
    case TypeKind::Enum: return As("text", "enum written as text with a CHECK of its values");
    case TypeKind::Set: return As("text", Quoted(t) + " written as text");
    case TypeKind::Other:
        if (std::find(kPostgresOwn.begin(), kPostgresOwn.end(), n) != kPostgresOwn.end())
            return Keep(t);
        return As("text", "type " + Quoted(t) + " is not a PostgreSQL type; written as text");
    }
    return Keep(t);
}

// --- MySQL and MariaDB -------------------------------------------------------

constexpr auto kMySQLOwn = std::to_array<std::string_view>({
    "geometry", "geometrycollection", "inet4", "inet6", "linestring", "multilinestring", "multipoint",
    "multipolygon", "point", "polygon",
});

std::string MySQLInteger(int bytes)
{
    switch (bytes) {
    case 1: return "TINYINT";
    case 2: return "SMALLINT";
    case 3: return "MEDIUMINT";
    case 4: return "INT";
    default: return "BIGINT";
    }
}

// The longest VARCHAR a table can hold among others in utf8mb4.
constexpr long long kMySQLLongestVarchar = 16383;

Mapped MySQLElement(const SqlType& t)
{
    const std::string& n = t.name;
    const std::string sign = t.isUnsigned ? " UNSIGNED" : "";
    switch (t.kind) {
    case TypeKind::None: return As("LONGTEXT", "has no type; written as LONGTEXT");
    case TypeKind::Integer:
        if (In(n, {"tinyint", "smallint", "mediumint", "int", "integer", "bigint", "int1", "int2", "int3", "int4",
                   "int8", "middleint"}))
            return {t.core + sign, "", true};
        return As(MySQLInteger(t.bytes) + sign);
    case TypeKind::Boolean:
        if (In(n, {"boolean", "bool", "bit", "tinyint"}))
            return Keep(t);
        return As("BOOLEAN");
    case TypeKind::Decimal: {
        if (In(n, {"decimal", "numeric", "dec", "fixed"}) && NumericArgs(t) && t.precision <= 65 && t.scale <= 30)
            return {t.core + sign, "", true};
        if (t.precision < 0)
            return As("DECIMAL(65,30)", Quoted(t) + " written as DECIMAL(65,30)");
        const int precision = std::min(t.precision, 65);
        const int scale = std::min(t.scale, 30);
        return As("DECIMAL" + PrecisionScale(precision, scale),
                  precision != t.precision || scale != t.scale ? Quoted(t) + " written as DECIMAL" + PrecisionScale(precision, scale) : "");
    }
    case TypeKind::Money: return As(n == "money" ? "DECIMAL(19,4)" : "DECIMAL(10,4)");
    case TypeKind::Float:
        if (In(n, {"float", "double", "real", "double precision", "float4", "float8"}))
            return {t.core + sign, "", true};
        return As(t.bytes == 4 ? "FLOAT" : "DOUBLE");
    case TypeKind::Char:
        if (In(n, {"char", "character", "nchar", "national char", "national character"}) && NumericArgs(t) && t.length <= 255)
            return Keep(t);
        return As(t.length > 255 ? "VARCHAR" + Paren(t.length) : t.length > 0 ? "CHAR" + Paren(t.length) : "CHAR");
    case TypeKind::Varchar:
        if (t.maxLength || t.length <= 0)
            return As("LONGTEXT");
        if (t.length > kMySQLLongestVarchar)
            return As("MEDIUMTEXT");
        if (In(n, {"varchar", "nvarchar", "national varchar", "varcharacter", "character varying", "nchar varying",
                   "national char varying", "national character varying", "char varying"})
            && NumericArgs(t))
            return Keep(t);
        return As((t.national ? "NVARCHAR" : "VARCHAR") + Paren(t.length));
    case TypeKind::Text:
        if (In(n, {"text", "tinytext", "mediumtext", "longtext"}) && t.args.empty())
            return Keep(t);
        return As("LONGTEXT", n == "citext" ? "citext written as LONGTEXT" : "");
    case TypeKind::Binary:
        if (n == "binary" && NumericArgs(t) && t.length <= 255)
            return Keep(t);
        return As(t.length > 0 ? "VARBINARY" + Paren(t.length) : "BLOB");
    case TypeKind::Varbinary:
        if (t.maxLength || t.length <= 0)
            return As("LONGBLOB");
        if (n == "varbinary" && NumericArgs(t))
            return Keep(t);
        return As("VARBINARY" + Paren(t.length));
    case TypeKind::Blob:
        if (In(n, {"blob", "tinyblob", "mediumblob", "longblob"}))
            return Keep(t);
        return As("LONGBLOB");
    case TypeKind::BitString:
        if (n == "bit" && t.length <= 64)
            return Keep(t);
        return As("BIT(64)", Quoted(t) + " written as BIT(64)");
    case TypeKind::Date: return Keep(t);
    case TypeKind::Time:
        if (t.withTimeZone)
            return As(t.precision >= 0 ? "TIME" + Paren(std::min(t.precision, 6)) : "TIME",
                      Quoted(t) + " written as TIME, without its time zone");
        return Keep(t);
    case TypeKind::Timestamp: {
        const std::string digits = t.precision >= 0 ? Paren(std::min(t.precision, 6)) : "";
        if (t.withTimeZone || n == "datetimeoffset")
            return As("TIMESTAMP" + digits, Quoted(t) + " written as TIMESTAMP, which holds 1970 to 2038");
        if (n == "timestamp" && !t.withTimeZone && t.core.find(' ') != std::string::npos)
            return As("DATETIME" + digits); // timestamp without time zone: a wall-clock time
        return t.precision <= 6 ? Keep(t) : As("TIMESTAMP(6)");
    }
    case TypeKind::DateTime:
        if (n == "datetime" && t.precision <= 6)
            return Keep(t);
        if (n == "smalldatetime")
            return As("DATETIME");
        // datetime2 keeps seven digits unless told otherwise; MySQL keeps six.
        return As("DATETIME" + Paren(t.precision >= 0 ? std::min(t.precision, 6) : 6));
    case TypeKind::Year: return Keep(t);
    case TypeKind::Interval: return As("VARCHAR(64)", Quoted(t) + " written as VARCHAR(64)");
    case TypeKind::Uuid: return As("CHAR(36)");
    case TypeKind::Json: return n == "json" ? Keep(t) : As("JSON");
    case TypeKind::Xml: return As("LONGTEXT", Quoted(t) + " written as LONGTEXT");
    case TypeKind::Enum:
    case TypeKind::Set: return Keep(t);
    case TypeKind::Other:
        if (std::find(kMySQLOwn.begin(), kMySQLOwn.end(), n) != kMySQLOwn.end())
            return Keep(t);
        return As("LONGTEXT", "type " + Quoted(t) + " is not a MySQL type; written as LONGTEXT");
    }
    return Keep(t);
}

// A string column in a key: MySQL indexes no TEXT or BLOB, and a key holds
// at most 3072 bytes (four per character in utf8mb4).
Mapped MySQLKeyed(const SqlType& t, Mapped mapped, int keyLength)
{
    if (!IsKeyString(t))
        return mapped;
    const int unbounded = std::min(255, keyLength);
    std::string upper = mapped.text;
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); });
    const bool blob = upper.find("BLOB") != std::string::npos;
    const bool text = upper.find("TEXT") != std::string::npos || upper == "JSON" || t.arrayDims > 0;
    if (blob || text) {
        const std::string written = (blob ? "VARBINARY" : "VARCHAR") + Paren(unbounded);
        return As(written, "in a key, so written as " + written);
    }
    if (t.length > keyLength && (t.kind == TypeKind::Char || t.kind == TypeKind::Varchar || t.kind == TypeKind::Varbinary
                                 || t.kind == TypeKind::Binary)) {
        const bool binary = t.kind == TypeKind::Varbinary || t.kind == TypeKind::Binary;
        const std::string written = (binary ? "VARBINARY" : "VARCHAR") + Paren(keyLength);
        return As(written, "shortened to " + written + " to fit MySQL's 3072-byte key");
    }
    return mapped;
}

// --- SQLite ------------------------------------------------------------------

enum class Affinity { Integer, Text, Blob, Real, Numeric };

// SQLite's rules for a declared type, in their order.
Affinity AffinityOf(std::string_view declared)
{
    std::string upper(declared);
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); });
    const auto has = [&upper](const char* part) { return upper.find(part) != std::string::npos; };
    if (has("INT"))
        return Affinity::Integer;
    if (has("CHAR") || has("CLOB") || has("TEXT"))
        return Affinity::Text;
    if (has("BLOB") || upper.empty())
        return Affinity::Blob;
    if (has("REAL") || has("FLOA") || has("DOUB"))
        return Affinity::Real;
    return Affinity::Numeric;
}

// SQLite reads a type as names, then at most one list of one or two signed numbers.
bool SQLiteParses(std::string_view core)
{
    size_t i = 0;
    bool sawName = false;
    while (i < core.size() && core[i] != '(') {
        const auto c = static_cast<unsigned char>(core[i]);
        if (!(std::isalnum(c) || c == '_' || c == ' ' || c >= 0x80))
            return false;
        sawName = sawName || c != ' ';
        ++i;
    }
    if (!sawName)
        return false;
    if (i == core.size())
        return true;
    const size_t close = core.find(')', i);
    if (close != core.size() - 1)
        return false;
    int numbers = 0;
    for (std::string_view rest = core.substr(i + 1, close - i - 1); !rest.empty();) {
        const size_t comma = rest.find(',');
        std::string_view part = rest.substr(0, comma);
        while (!part.empty() && part.front() == ' ')
            part.remove_prefix(1);
        while (!part.empty() && part.back() == ' ')
            part.remove_suffix(1);
        if (!part.empty() && (part.front() == '+' || part.front() == '-'))
            part.remove_prefix(1);
        if (part.empty() || !std::all_of(part.begin(), part.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)) || c == '.'; }))
            return false;
        ++numbers;
        rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
        if (comma != std::string_view::npos && rest.empty())
            return false;
    }
    return numbers >= 1 && numbers <= 2;
}

// The affinities under which the kind's values keep their meaning: a text
// type must not get NUMERIC affinity ('0123' would become 123).
bool AffinityFits(TypeKind kind, Affinity affinity)
{
    switch (kind) {
    case TypeKind::Integer:
    case TypeKind::Boolean:
    case TypeKind::BitString:
    case TypeKind::Year: return affinity == Affinity::Integer || affinity == Affinity::Numeric;
    case TypeKind::Decimal:
    case TypeKind::Money: return affinity == Affinity::Numeric || affinity == Affinity::Integer;
    case TypeKind::Float: return affinity == Affinity::Real || affinity == Affinity::Numeric;
    case TypeKind::Binary:
    case TypeKind::Varbinary:
    case TypeKind::Blob: return affinity == Affinity::Blob || affinity == Affinity::Numeric;
    case TypeKind::Date:
    case TypeKind::Time:
    case TypeKind::Timestamp:
    case TypeKind::DateTime: return affinity == Affinity::Numeric || affinity == Affinity::Text;
    default: return affinity == Affinity::Text;
    }
}

Mapped SQLiteElement(const SqlType& t)
{
    if (t.kind == TypeKind::None)
        return Keep(t); // SQLite takes a column without a type
    if (t.arrayDims == 0 && t.kind != TypeKind::Enum && t.kind != TypeKind::Set && SQLiteParses(t.core)
        && AffinityFits(t.kind, AffinityOf(t.core)))
        return Keep(t);
    switch (t.kind) {
    case TypeKind::Integer: return As("INTEGER");
    case TypeKind::Boolean: return As("BOOLEAN");
    case TypeKind::Decimal: return As(t.precision > 0 ? "NUMERIC" + PrecisionScale(t.precision, t.scale) : "NUMERIC");
    case TypeKind::Money: return As("NUMERIC");
    case TypeKind::Float: return As("REAL");
    case TypeKind::Char: return As(t.length > 0 ? "CHAR" + Paren(t.length) : "TEXT");
    case TypeKind::Varchar: return As(t.length > 0 ? "VARCHAR" + Paren(t.length) : "TEXT");
    case TypeKind::Binary:
    case TypeKind::Varbinary:
    case TypeKind::Blob: return As("BLOB");
    case TypeKind::BitString: return As("INTEGER");
    case TypeKind::Date: return As("DATE");
    case TypeKind::Time: return As("TIME");
    case TypeKind::Timestamp: return As("TIMESTAMP");
    case TypeKind::DateTime: return As("DATETIME");
    case TypeKind::Year: return As("INTEGER");
    case TypeKind::Enum: return As("TEXT", "enum written as TEXT with a CHECK of its values");
    case TypeKind::Set: return As("TEXT", Quoted(t) + " written as TEXT");
    case TypeKind::Other: return As("TEXT", "type " + Quoted(t) + " written as TEXT");
    default: return As("TEXT");
    }
}

// --- SQL Server --------------------------------------------------------------

constexpr auto kSQLServerOwn = std::to_array<std::string_view>({
    "geography", "geometry", "hierarchyid", "rowversion", "sql_variant", "sysname",
});

std::string SQLServerInteger(int bytes)
{
    return bytes <= 1 ? "tinyint" : bytes <= 2 ? "smallint" : bytes <= 4 ? "int" : "bigint";
}

Mapped SQLServerElement(const SqlType& t)
{
    const std::string& n = t.name;
    switch (t.kind) {
    case TypeKind::None: return As("nvarchar(max)", "has no type; written as nvarchar(max)");
    case TypeKind::Integer:
        if (t.isUnsigned) // SQL Server's tinyint is unsigned already; the others go one size up
            return t.bytes == 1 ? As("tinyint") : t.bytes >= 8 ? As("decimal(20,0)") : As(SQLServerInteger(t.bytes >= 4 ? 8 : 4));
        if (t.args.empty() && In(n, {"tinyint", "smallint", "int", "integer", "bigint"}))
            return Keep(t);
        return As(SQLServerInteger(t.bytes));
    case TypeKind::Boolean:
        if (n == "bit" && t.length <= 1)
            return Keep(t);
        return As("bit", n == "tinyint" ? "tinyint(1) written as bit" : "");
    case TypeKind::Decimal:
        if (In(n, {"decimal", "numeric", "dec"}) && NumericArgs(t) && t.precision <= 38)
            return Keep(t);
        if (t.precision < 0)
            return As("decimal(38,10)", Quoted(t) + " written as decimal(38,10)");
        return As("decimal" + PrecisionScale(std::min(t.precision, 38), t.scale),
                  t.precision > 38 ? Quoted(t) + " written with 38 digits" : "");
    case TypeKind::Money: return Keep(t);
    case TypeKind::Float:
        if (t.args.empty() && In(n, {"float", "real", "double precision"}))
            return Keep(t);
        if (n == "float" && t.args.size() == 1 && t.precision >= 1 && t.precision <= 53)
            return Keep(t);
        return As(t.bytes == 4 ? "real" : "float", t.args.empty() ? "" : Quoted(t) + " written as float");
    case TypeKind::Char: {
        const long long longest = t.national ? 4000 : 8000;
        if (t.length > longest)
            return As(t.national ? "nvarchar(max)" : "varchar(max)");
        if (In(n, {"char", "character", "nchar", "national char", "national character"}) && NumericArgs(t))
            return Keep(t);
        return As((t.national ? "nchar" : "char") + (t.length > 0 ? Paren(t.length) : ""));
    }
    case TypeKind::Varchar: {
        const long long longest = t.national ? 4000 : 8000;
        if (t.maxLength && In(n, {"varchar", "nvarchar"}))
            return Keep(t);
        if (t.length <= 0 || t.length > longest)
            return As(t.national || t.length <= 0 ? "nvarchar(max)" : "varchar(max)");
        if (In(n, {"varchar", "nvarchar", "character varying", "char varying", "national character varying",
                   "national char varying", "nchar varying"})
            && NumericArgs(t))
            return Keep(t);
        return As((t.national ? "nvarchar" : "varchar") + Paren(t.length));
    }
    case TypeKind::Text: return As("nvarchar(max)"); // text and ntext are deprecated
    case TypeKind::Binary:
        if (n == "binary" && NumericArgs(t) && t.length <= 8000)
            return Keep(t);
        return As(t.length > 0 && t.length <= 8000 ? "varbinary" + Paren(t.length) : "varbinary(max)");
    case TypeKind::Varbinary:
        if (n == "varbinary" && (t.maxLength || (NumericArgs(t) && t.length <= 8000)))
            return Keep(t);
        return As(t.length > 0 && t.length <= 8000 ? "varbinary" + Paren(t.length) : "varbinary(max)");
    case TypeKind::Blob: return As("varbinary(max)");
    case TypeKind::BitString:
        return As("varbinary" + Paren(t.length > 0 ? (t.length + 7) / 8 : 8), Quoted(t) + " written as varbinary");
    case TypeKind::Date: return Keep(t);
    case TypeKind::Time:
        if (t.withTimeZone)
            return As("time", Quoted(t) + " written as time, without its time zone");
        return Keep(t);
    case TypeKind::Timestamp: {
        // SQL Server's own timestamp is a row version, not a point in time.
        const std::string digits = t.precision >= 0 ? Paren(std::min(t.precision, 7)) : "";
        if (n == "datetimeoffset")
            return Keep(t);
        return As((t.withTimeZone ? "datetimeoffset" : "datetime2") + digits);
    }
    case TypeKind::DateTime: return Keep(t);
    case TypeKind::Year: return As("smallint", Quoted(t) + " written as smallint");
    case TypeKind::Interval: return As("nvarchar(64)", Quoted(t) + " written as nvarchar(64)");
    case TypeKind::Uuid: return n == "uniqueidentifier" ? Keep(t) : As("uniqueidentifier");
    case TypeKind::Json: return As("nvarchar(max)", Quoted(t) + " written as nvarchar(max)");
    case TypeKind::Xml: return n == "xml" ? Keep(t) : As("xml");
    case TypeKind::Enum:
        return As("nvarchar" + Paren(MaxValueLength(t)), "enum written as nvarchar with a CHECK of its values");
    case TypeKind::Set: return As("nvarchar(max)", Quoted(t) + " written as nvarchar(max)");
    case TypeKind::Other:
        if (std::find(kSQLServerOwn.begin(), kSQLServerOwn.end(), n) != kSQLServerOwn.end())
            return Keep(t);
        return As("nvarchar(max)", "type " + Quoted(t) + " is not a SQL Server type; written as nvarchar(max)");
    }
    return Keep(t);
}

// SQL Server indexes no (max) column, and a clustered key holds 900 bytes.
Mapped SQLServerKeyed(const SqlType& t, Mapped mapped, int keyLength)
{
    const size_t max = mapped.text.find("(max)");
    if (!IsKeyString(t) || max == std::string::npos)
        return mapped;
    const bool wide = mapped.text.starts_with("nvarchar");
    const std::string written = mapped.text.substr(0, max) + Paren(wide ? keyLength : keyLength * 2);
    return As(written, "in a key, so written as " + written);
}

Mapped MapElement(const SqlType& t, SqlDialect dialect)
{
    switch (dialect) {
    case SqlDialect::PostgreSql: return PostgresElement(t);
    case SqlDialect::MySql: return MySQLElement(t);
    case SqlDialect::Sqlite: return SQLiteElement(t);
    case SqlDialect::SqlServer: return SQLServerElement(t);
    default: return Keep(t);
    }
}

// The whole type: element, array bounds, the key's limits.
Mapped MapType(const SqlType& t, SqlDialect dialect, int keyLength)
{
    Mapped m = MapElement(t, dialect);
    if (t.arrayDims > 0) {
        switch (dialect) {
        case SqlDialect::PostgreSql:
            for (int i = 0; i < t.arrayDims; ++i)
                m.text += "[]";
            break;
        case SqlDialect::MySql: m = As("JSON", "array written as JSON"); break;
        case SqlDialect::Sqlite: m = As("TEXT", "array written as TEXT"); break;
        case SqlDialect::SqlServer: m = As("nvarchar(max)", "array written as nvarchar(max)"); break;
        default: break;
        }
    }
    if (keyLength > 0 && dialect == SqlDialect::MySql)
        m = MySQLKeyed(t, m, keyLength);
    if (keyLength > 0 && dialect == SqlDialect::SqlServer)
        m = SQLServerKeyed(t, m, keyLength);
    return m;
}

// --- defaults ----------------------------------------------------------------

bool IsIntegerLike(TypeKind kind)
{
    return kind == TypeKind::Integer || kind == TypeKind::Decimal;
}

std::string BooleanLiteral(bool truth, SqlDialect dialect)
{
    if (dialect == SqlDialect::SqlServer)
        return truth ? "1" : "0";
    return truth ? "true" : "false";
}

// 'yes', 't', '1' and their opposites, as MySQL, PostgreSQL and SQLite write flags.
int TruthOfText(std::string value)
{
    std::transform(value.begin(), value.end(), value.begin(),
                   [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
    if (In(value, {"t", "true", "y", "yes", "on", "1"}))
        return 1;
    if (In(value, {"f", "false", "n", "no", "off", "0"}))
        return 0;
    return -1;
}

unsigned long long BitsValue(std::string_view bits)
{
    unsigned long long value = 0;
    for (char c : bits.substr(bits.size() > 64 ? bits.size() - 64 : 0))
        value = (value << 1) | (c == '1' ? 1 : 0);
    return value;
}

bool KeepForPostgres(const SqlType& cast)
{
    return TakenAsWritten(cast, SqlDialect::PostgreSql);
}

// Fractional digits of a DATETIME(p) or TIMESTAMP(p) that MySQL must see
// again in CURRENT_TIMESTAMP(p).
std::string MySQLClock(const std::string& mappedType)
{
    const size_t open = mappedType.find('(');
    if (open == std::string::npos || open + 2 >= mappedType.size() || !std::isdigit(static_cast<unsigned char>(mappedType[open + 1])))
        return "CURRENT_TIMESTAMP";
    return "CURRENT_TIMESTAMP" + mappedType.substr(open, mappedType.find(')', open) - open + 1);
}

std::string Compact(std::string_view text)
{
    std::string out;
    for (char c : text)
        if (!std::isspace(static_cast<unsigned char>(c)))
            out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string MapDefault(const SqlDefault& d, const SqlType& t, const std::string& mappedType, SqlDialect dialect,
                       std::vector<std::string>& notes)
{
    const TypeKind kind = t.arrayDims > 0 ? TypeKind::Other : t.kind;
    const bool boolean = kind == TypeKind::Boolean;
    switch (d.kind) {
    case DefaultKind::None:
    case DefaultKind::Sequence: return "";
    case DefaultKind::Null: return "NULL";
    case DefaultKind::Boolean:
        if (boolean)
            return BooleanLiteral(d.truth, dialect);
        if (IsIntegerLike(kind) || kind == TypeKind::Float)
            return d.truth ? "1" : "0";
        return SqlStringLiteral(d.truth ? "true" : "false", dialect);
    case DefaultKind::Number:
        if (boolean && (d.value == "0" || d.value == "1"))
            return BooleanLiteral(d.value == "1", dialect);
        return d.value;
    case DefaultKind::Text:
        if (boolean && TruthOfText(d.value) >= 0)
            return BooleanLiteral(TruthOfText(d.value) == 1, dialect);
        return SqlStringLiteral(d.value, dialect);
    case DefaultKind::Bits: {
        if (boolean)
            return BooleanLiteral(d.value.find('1') != std::string::npos, dialect);
        if (kind == TypeKind::BitString && (dialect == SqlDialect::PostgreSql || dialect == SqlDialect::MySql))
            return (dialect == SqlDialect::PostgreSql ? "B'" : "b'") + d.value + "'";
        return std::to_string(BitsValue(d.value));
    }
    case DefaultKind::Now:
        switch (dialect) {
        case SqlDialect::PostgreSql:
            if (In(Compact(d.value), {"now()", "current_timestamp", "localtimestamp", "transaction_timestamp()",
                                      "statement_timestamp()", "clock_timestamp()"})
                || Compact(d.value).starts_with("current_timestamp(") || Compact(d.value).starts_with("localtimestamp("))
                return d.value;
            return "CURRENT_TIMESTAMP";
        case SqlDialect::MySql:
            if (kind == TypeKind::Timestamp || kind == TypeKind::DateTime)
                return MySQLClock(mappedType);
            if (kind == TypeKind::Date)
                return "(CURRENT_DATE)";
            if (kind == TypeKind::Time)
                return "(CURRENT_TIME)";
            return "(CURRENT_TIMESTAMP)";
        case SqlDialect::Sqlite: return "CURRENT_TIMESTAMP";
        case SqlDialect::SqlServer:
            if (In(Compact(d.value), {"getdate()", "getutcdate()", "sysdatetime()", "sysdatetimeoffset()", "current_timestamp"}))
                return d.value;
            return mappedType.starts_with("datetimeoffset") ? "SYSDATETIMEOFFSET()" : "CURRENT_TIMESTAMP";
        default: return d.value;
        }
    case DefaultKind::Today:
        switch (dialect) {
        case SqlDialect::MySql: return "(CURRENT_DATE)";
        case SqlDialect::SqlServer: return "CAST(GETDATE() AS date)";
        default: return "CURRENT_DATE";
        }
    case DefaultKind::TimeOfDay:
        switch (dialect) {
        case SqlDialect::PostgreSql: return "LOCALTIME";
        case SqlDialect::MySql: return "(CURRENT_TIME)";
        case SqlDialect::SqlServer: return "CAST(GETDATE() AS time)";
        default: return "CURRENT_TIME";
        }
    case DefaultKind::NewUuid: {
        const std::string spelled = Compact(d.value);
        switch (dialect) {
        case SqlDialect::PostgreSql:
            if (spelled != "gen_random_uuid()")
                notes.push_back("default " + d.value + " written as gen_random_uuid()");
            return "gen_random_uuid()";
        case SqlDialect::MySql: return "(UUID())";
        case SqlDialect::SqlServer: return spelled == "newsequentialid()" ? d.value : "NEWID()";
        default:
            notes.push_back("default " + d.value + " left out: SQLite has no UUID function");
            return "";
        }
    }
    case DefaultKind::Expression:
        if (dialect == SqlDialect::PostgreSql)
            return StripCasts(d.value, KeepForPostgres);
        {
            const std::string bare = StripCasts(d.value, [](const SqlType&) { return false; });
            // MySQL and SQLite take an expression default only in parentheses.
            if ((dialect == SqlDialect::MySql || dialect == SqlDialect::Sqlite) && !IsWrappedInParentheses(bare))
                return "(" + bare + ")";
            return bare;
        }
    }
    return "";
}

bool IsMySQLLargeType(std::string type)
{
    std::transform(type.begin(), type.end(), type.begin(),
                   [](char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); });
    return type.find("TEXT") != std::string::npos || type.find("BLOB") != std::string::npos || type == "JSON"
        || type == "GEOMETRY";
}

bool CanNumber(const SqlType& t)
{
    return t.arrayDims == 0 && (t.kind == TypeKind::Integer || (t.kind == TypeKind::Decimal && t.scale <= 0));
}

// Gives the column its numbering where the target can; says why not otherwise.
void MapAutoIncrement(const SqlType& t, SqlDialect dialect, const ColumnContext& context, ColumnSql& out)
{
    switch (dialect) {
    case SqlDialect::PostgreSql:
        if (t.serialName && t.args.empty() && !t.isUnsigned && t.arrayDims == 0) {
            out.type = t.core;
        } else if (CanNumber(t)) {
            const bool wide = t.kind == TypeKind::Decimal || t.bytes >= 8 || (t.isUnsigned && t.bytes >= 4);
            out.type = (wide ? "bigint" : PostgresInteger(t.isUnsigned ? t.bytes * 2 : t.bytes))
                + " GENERATED BY DEFAULT AS IDENTITY";
        } else {
            out.notes.push_back("numbering left out: PostgreSQL numbers integer columns only");
            return;
        }
        break;
    case SqlDialect::MySql:
        if (!CanNumber(t) || !context.leadsKey || context.tableHasAutoIncrement) {
            out.notes.push_back("AUTO_INCREMENT left out: MySQL numbers one integer column per table, which must lead a key");
            return;
        }
        out.autoSuffix = "AUTO_INCREMENT";
        break;
    case SqlDialect::Sqlite:
        if (!context.solePrimaryKey || t.kind != TypeKind::Integer || t.arrayDims > 0) {
            out.notes.push_back("numbering left out: SQLite numbers only a table's one INTEGER PRIMARY KEY column");
            return;
        }
        out.type = "INTEGER"; // only this exact name makes the column the row id
        break;
    case SqlDialect::SqlServer:
        if (!CanNumber(t) || context.tableHasAutoIncrement) {
            out.notes.push_back("IDENTITY left out: SQL Server numbers one integer column per table");
            return;
        }
        out.type += " IDENTITY" + (t.identityArgs.empty() ? std::string("(1,1)") : t.identityArgs);
        break;
    default: return;
    }
    out.autoIncrement = true;
}

void MapGenerated(const SqlType& t, SqlDialect dialect, ColumnSql& out)
{
    out.generated = true;
    switch (dialect) {
    case SqlDialect::PostgreSql:
        out.type += " GENERATED ALWAYS AS (" + StripCasts(t.generated, KeepForPostgres) + ") STORED";
        if (!t.generatedStored)
            out.notes.push_back("virtual computed column written as a stored one");
        break;
    case SqlDialect::MySql:
    case SqlDialect::Sqlite:
        out.type += " GENERATED ALWAYS AS (" + StripCasts(t.generated, [](const SqlType&) { return false; }) + ")"
            + (t.generatedStored ? " STORED" : " VIRTUAL");
        break;
    case SqlDialect::SqlServer:
        // A computed column has no declared type there.
        out.type = "AS (" + StripCasts(t.generated, [](const SqlType&) { return false; }) + ")"
            + (t.generatedStored ? " PERSISTED" : "");
        break;
    default: break;
    }
}

} // namespace

bool IsKeyString(const SqlType& t)
{
    if (t.arrayDims > 0)
        return true;
    switch (t.kind) {
    case TypeKind::None:
    case TypeKind::Char:
    case TypeKind::Varchar:
    case TypeKind::Text:
    case TypeKind::Binary:
    case TypeKind::Varbinary:
    case TypeKind::Blob:
    case TypeKind::Json:
    case TypeKind::Xml:
    case TypeKind::Interval:
    case TypeKind::Other: return true;
    default: return false;
    }
}

int KeyStringLength(SqlDialect dialect, int stringColumnsInKey)
{
    const int n = std::max(1, stringColumnsInKey);
    switch (dialect) {
    case SqlDialect::MySql: return 3072 / 4 / n;  // utf8mb4 bytes in InnoDB's key
    case SqlDialect::SqlServer: return 900 / 2 / n; // nvarchar bytes in a clustered key
    default: return 0;
    }
}

bool TakenAsWritten(const SqlType& type, SqlDialect dialect)
{
    return MapElement(type, dialect).asWritten;
}

ColumnSql MapColumn(const SqlType& t, const SqlDefault& def, SqlDialect dialect, const ColumnContext& context)
{
    ColumnSql out;
    if (dialect == SqlDialect::Korvo) {
        out.type = t.written;
        out.defaultValue = def.value;
        return out;
    }
    const Mapped mapped = MapType(t, dialect, context.keyLength);
    out.type = mapped.text;
    if (!mapped.note.empty())
        out.notes.push_back(mapped.note);
    for (const std::string& modifier : t.dropped)
        out.notes.push_back(modifier + " left out");

    if (t.autoIncrement || def.kind == DefaultKind::Sequence) {
        MapAutoIncrement(t, dialect, context, out);
        if (out.autoIncrement && def.kind != DefaultKind::None && def.kind != DefaultKind::Sequence)
            out.notes.push_back("default " + def.value + " left out: a numbered column takes none");
        else if (def.kind == DefaultKind::Sequence && !out.autoIncrement)
            out.notes.push_back("default " + def.value + " left out: the script makes no sequence");
        if (out.autoIncrement || def.kind == DefaultKind::Sequence)
            return out;
    }

    if (!t.generated.empty()) {
        MapGenerated(t, dialect, out);
        if (def.kind != DefaultKind::None)
            out.notes.push_back("default " + def.value + " left out: a computed column takes none");
        return out;
    }

    out.defaultValue = MapDefault(def, t, out.type, dialect, out.notes);
    // MySQL 8 takes a default for TEXT, BLOB and JSON only as an expression.
    if (dialect == SqlDialect::MySql && !out.defaultValue.empty() && out.defaultValue != "NULL"
        && out.defaultValue.front() != '(' && IsMySQLLargeType(out.type))
        out.defaultValue = "(" + out.defaultValue + ")";

    if (t.arrayDims == 0 && t.kind == TypeKind::Enum && dialect != SqlDialect::MySql && !t.values.empty()) {
        out.check = context.sqlName + " IN (";
        for (size_t i = 0; i < t.values.size(); ++i)
            out.check += (i ? ", " : "") + SqlStringLiteral(t.values[i], dialect);
        out.check += ")";
    }
    // Unsigned values went one size up; the CHECK keeps out what the type did.
    const bool widened = t.isUnsigned && t.arrayDims == 0 && (t.kind == TypeKind::Integer || t.kind == TypeKind::Decimal)
        && dialect != SqlDialect::MySql && !(dialect == SqlDialect::SqlServer && t.bytes == 1);
    if (widened)
        out.check = context.sqlName + " >= 0";
    return out;
}

std::string MapCheck(std::string_view check, SqlDialect dialect)
{
    if (dialect == SqlDialect::Korvo)
        return std::string(check);
    if (dialect == SqlDialect::PostgreSql)
        return StripCasts(check, KeepForPostgres);
    return StripCasts(check, [](const SqlType&) { return false; });
}
