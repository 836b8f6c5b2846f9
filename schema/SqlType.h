#pragma once

#include <string>
#include <string_view>
#include <vector>

// What a column's type text names, whichever database it was written for.
enum class TypeKind {
    None,      // no type text
    Integer,
    Boolean,
    Decimal,
    Float,
    Money,
    Char,      // fixed length
    Varchar,
    Text,      // unbounded text
    Binary,    // fixed length
    Varbinary,
    Blob,      // unbounded bytes
    BitString, // bit(n) for n > 1, bit varying
    Date,
    Time,
    Timestamp, // timestamp, timestamptz, datetimeoffset
    DateTime,  // datetime, datetime2, smalldatetime
    Year,
    Interval,
    Uuid,
    Json,
    Xml,
    Enum,      // enum('a', 'b')
    Set,       // set('a', 'b')
    Other,     // a name only some databases know, or a user-defined type
};

// A column type read from its own text: the kind, its sizes and the
// modifiers that the targets spell differently.
struct SqlType {
    std::string written;   // the text as given, trimmed
    std::string core;      // the written text without the modifiers below and without
                           // the array bounds, spaced evenly: "int(11)", "timestamp(3) with time zone"
    std::string name;      // lower-case base name without a schema: "character varying"
    std::string qualifier; // "public" of "public.year"
    TypeKind kind = TypeKind::None;
    int bytes = 0;         // Integer: 1, 2, 3, 4 or 8; Float: 4 or 8
    bool isUnsigned = false;
    bool autoIncrement = false; // serial, AUTO_INCREMENT, AUTOINCREMENT, IDENTITY, GENERATED AS IDENTITY
    bool serialName = false;    // spelled serial, bigserial, smallserial
    std::string identityArgs;   // "(1,1)" of IDENTITY(1,1)
    bool withTimeZone = false;
    bool national = false;
    std::vector<std::string> args; // the first parenthesised list, each trimmed
    long long length = -1;         // declared length of character, binary and bit types
    bool maxLength = false;        // (max)
    int precision = -1;
    int scale = -1;
    std::vector<std::string> values; // enum and set values, unquoted
    int arrayDims = 0;
    std::string generated;         // expression of GENERATED ALWAYS AS (...) or AS (...)
    bool generatedStored = false;
    std::vector<std::string> dropped; // modifiers no target carries: CHARACTER SET, COLLATE, ZEROFILL
};

SqlType ParseSqlType(std::string_view text);

// The kind of the element, without the array.
bool IsTextLike(TypeKind kind);
bool IsTemporal(TypeKind kind);
