#pragma once

#include "SqlDialect.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

enum class SqlTokenKind : uint8_t {
    End,
    Word,          // unquoted name or keyword
    QuotedName,    // "name", `name`, [name]
    String,        // '...', N'...', E'...', $tag$...$tag$ (MySQL also "...")
    Number,
    Symbol,        // one character: ( ) , . ; = + - * / and the rest
    Delimiter,     // end of a statement: ; or the DELIMITER of the script, GO, a / line
    ClientCommand, // a line for the command-line client: \c, PROMPT, DELIMITER ...
};

struct SqlToken {
    SqlTokenKind kind = SqlTokenKind::End;
    bool unterminated = false; // a quote, comment or body that the input ends inside
    int line = 1;              // 1-based line of the first character
    size_t begin = 0;          // byte offsets into the script
    size_t end = 0;
    std::string_view text;

    // A word equal to the keyword, ignoring ASCII case.
    bool Is(std::string_view keyword) const;
    bool IsSymbol(char c) const { return kind == SqlTokenKind::Symbol && text.size() == 1 && text[0] == c; }
    bool IsName() const { return kind == SqlTokenKind::Word || kind == SqlTokenKind::QuotedName; }
    bool EndsStatement() const { return kind == SqlTokenKind::Delimiter || kind == SqlTokenKind::End; }
};

// Cuts a script into tokens by the lexical rules of one dialect: which
// quotes delimit names and which strings, which comments exist (--, #,
// nested /* */, MySQL's /*! ... */ whose content counts), dollar-quoted
// bodies, and how statements end (;, DELIMITER, GO, a lone /, a terminator
// set by --#SET TERMINATOR). Never fails: an unterminated quote or comment
// runs to the end of the input and is marked.
class CSqlTokenizer {
public:
    CSqlTokenizer(std::string_view script, SqlDialect dialect);

    SqlToken Next();
    const SqlToken& Peek();
    // Positions the tokenizer at a byte offset on a known line.
    void Seek(size_t offset, int line);

    std::string_view Script() const { return m_script; }
    SqlDialect Dialect() const { return m_dialect; }

    // The text of a name token without its quotes (doubled quotes undone).
    static std::string NameText(const SqlToken& token);
    // The value of a string token without quotes and escapes.
    std::string StringValue(const SqlToken& token) const;

private:
    SqlToken Scan();
    void SkipSpaceAndComments();
    bool AtLineCommand(SqlToken& token);
    bool StartsDelimiter(size_t pos) const;
    size_t LineEnd(size_t pos) const;
    void ScanQuoted(SqlToken& token, char close, bool backslashEscapes);
    void ScanDollar(SqlToken& token, size_t tagEnd);
    void CountLines(size_t from, size_t to);

    std::string_view m_script;
    SqlDialect m_dialect;
    size_t m_pos = 0;
    int m_line = 1;
    bool m_atLineStart = true;
    int m_openExecutableComments = 0; // MySQL /*! ... */ being read as code
    std::string m_delimiter = ";";
    bool m_hasPeek = false;
    SqlToken m_peek;
};

// ASCII case-insensitive equality.
bool EqualsIgnoreCase(std::string_view a, std::string_view b);
