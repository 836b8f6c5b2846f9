#include "SqliteCreateText.h"

#include <cctype>

namespace {

enum class TokenKind { Word, Quoted, String, Punct };

struct Token {
    TokenKind kind;
    size_t begin;
    size_t end;
};

// Words, quoted names, strings and single punctuation characters;
// comments and white space are left out. An unterminated quote or comment
// runs to the end.
std::vector<Token> Tokenize(std::string_view sql)
{
    std::vector<Token> tokens;
    size_t i = 0;
    while (i < sql.size()) {
        const char c = sql[i];
        if (std::isspace(static_cast<unsigned char>(c))) {
            ++i;
        } else if (c == '-' && i + 1 < sql.size() && sql[i + 1] == '-') {
            const size_t eol = sql.find('\n', i);
            i = eol == std::string_view::npos ? sql.size() : eol + 1;
        } else if (c == '/' && i + 1 < sql.size() && sql[i + 1] == '*') {
            const size_t close = sql.find("*/", i + 2);
            i = close == std::string_view::npos ? sql.size() : close + 2;
        } else if (c == '\'' || c == '"' || c == '`' || c == '[') {
            const char closing = c == '[' ? ']' : c;
            size_t j = i + 1;
            while (j < sql.size()) {
                if (sql[j] == closing) {
                    if (closing != ']' && j + 1 < sql.size() && sql[j + 1] == closing) {
                        j += 2; // a doubled quote stands for itself
                        continue;
                    }
                    break;
                }
                ++j;
            }
            const size_t end = j < sql.size() ? j + 1 : sql.size();
            tokens.push_back({c == '\'' ? TokenKind::String : TokenKind::Quoted, i, end});
            i = end;
        } else if (std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$' ||
                   static_cast<unsigned char>(c) >= 0x80) {
            size_t j = i + 1;
            while (j < sql.size() && (std::isalnum(static_cast<unsigned char>(sql[j])) || sql[j] == '_' ||
                                      sql[j] == '$' || static_cast<unsigned char>(sql[j]) >= 0x80))
                ++j;
            tokens.push_back({TokenKind::Word, i, j});
            i = j;
        } else {
            tokens.push_back({TokenKind::Punct, i, i + 1});
            ++i;
        }
    }
    return tokens;
}

bool IsWord(std::string_view sql, const Token& token, std::string_view upper)
{
    if (token.kind != TokenKind::Word || token.end - token.begin != upper.size())
        return false;
    for (size_t i = 0; i < upper.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(sql[token.begin + i])) != upper[i])
            return false;
    return true;
}

bool IsPunct(std::string_view sql, const Token& token, char c)
{
    return token.kind == TokenKind::Punct && sql[token.begin] == c;
}

std::string Unquote(std::string_view sql, const Token& token)
{
    std::string_view text = sql.substr(token.begin, token.end - token.begin);
    if (token.kind == TokenKind::Word || text.size() < 2)
        return std::string(text);
    const char closing = text.front() == '[' ? ']' : text.front();
    if (text.back() != closing)
        return std::string(text.substr(1));
    text = text.substr(1, text.size() - 2);
    std::string name;
    for (size_t i = 0; i < text.size(); ++i) {
        name += text[i];
        if (closing != ']' && text[i] == closing && i + 1 < text.size() && text[i + 1] == closing)
            ++i;
    }
    return name;
}

std::string Trim(std::string_view text)
{
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    return std::string(text);
}

} // namespace

std::vector<SqliteCheck> FindSqliteChecks(std::string_view sql)
{
    std::vector<SqliteCheck> checks;
    const std::vector<Token> tokens = Tokenize(sql);
    // The column list opens at the first parenthesis; CREATE TABLE ... AS
    // SELECT has none before its AS.
    size_t i = 0;
    for (; i < tokens.size() && !IsPunct(sql, tokens[i], '('); ++i)
        if (IsWord(sql, tokens[i], "AS"))
            return checks;
    if (i == tokens.size())
        return checks;

    size_t elementStart = i + 1;
    int depth = 1;
    std::string column;
    bool tableConstraint = false;
    for (size_t k = i + 1; k < tokens.size() && depth > 0; ++k) {
        const Token& token = tokens[k];
        if (k == elementStart) {
            tableConstraint = IsWord(sql, token, "CONSTRAINT") || IsWord(sql, token, "PRIMARY") ||
                              IsWord(sql, token, "UNIQUE") || IsWord(sql, token, "CHECK") ||
                              IsWord(sql, token, "FOREIGN");
            column = tableConstraint ? std::string() : Unquote(sql, token);
        }
        if (IsPunct(sql, token, '(')) {
            ++depth;
        } else if (IsPunct(sql, token, ')')) {
            --depth;
        } else if (depth == 1 && IsPunct(sql, token, ',')) {
            elementStart = k + 1;
        } else if (depth == 1 && IsWord(sql, token, "CHECK") && k + 1 < tokens.size() &&
                   IsPunct(sql, tokens[k + 1], '(')) {
            // The expression runs to the parenthesis that closes this one.
            int inner = 0;
            size_t close = k + 1;
            for (; close < tokens.size(); ++close) {
                if (IsPunct(sql, tokens[close], '('))
                    ++inner;
                else if (IsPunct(sql, tokens[close], ')') && --inner == 0)
                    break;
            }
            const size_t from = tokens[k + 1].end;
            const size_t to = close < tokens.size() ? tokens[close].begin : sql.size();
            checks.push_back({column, Trim(sql.substr(from, to - from))});
            k = close; // the closing parenthesis is consumed with the check
        }
    }
    return checks;
}
