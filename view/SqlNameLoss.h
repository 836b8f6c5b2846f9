#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// ddlread reads names of ASCII letters, digits, '_' and '$' only; any other
// byte in a CREATE TABLE body, outside a string literal or a comment, is
// passed over without a word. So "café" is read as "caf" and "顧客" not at
// all. This finds the words of a script that lose characters that way, so
// that an import that succeeded can say what it could not read. No Qt here:
// the words and the text serve a message box as well as the error stream.
struct SqlNameLoss {
    int line = 0;        // line of the word's first byte, from 1
    std::string written; // the word as the script writes it, as UTF-8
    std::string kept;    // what is left of it for ddlread, possibly nothing
};

struct SqlNameLosses {
    static constexpr size_t kMaxListed = 100;
    std::vector<SqlNameLoss> words; // the first kMaxListed, in script order
    size_t count = 0;               // how many there are in all

    bool Empty() const { return count == 0; }
};

// Follows the script as ddlread's scanner does (skipping to each CREATE
// TABLE, string literals, "--" comments, the ";" or "---" that ends a
// statement), fed in pieces of any size.
class CSqlNameLossScanner {
public:
    void Feed(std::string_view bytes);
    SqlNameLosses Finish();

private:
    enum class Mode { Skip, Body, String, Comment };

    void FeedSkip(char c);
    void FeedBody(char c);
    void EndWord();

    static constexpr size_t kMaxWord = 256;

    Mode m_mode = Mode::Skip;
    int m_line = 1;
    // Progress through "CREATE", the blanks after it and "TABLE".
    int m_createMatched = 0;
    bool m_blankMatched = false;
    int m_tableMatched = 0;
    bool m_dashPending = false;
    size_t m_commentLength = 0;
    std::string m_word;
    int m_wordLine = 0;
    bool m_wordLoses = false;
    SqlNameLosses m_losses;
};

SqlNameLosses FindSqlNameLosses(std::string_view script);

// Reads the file in pieces; a file that cannot be read gives no words (the
// import reports that itself).
SqlNameLosses FindSqlNameLossesInFile(const std::string& path);

// One line for a warning, for example: Some names lost characters that Import
// SQL cannot read (it reads ASCII letters, digits, _ and $): café became caf
// (line 1); 顧客 was dropped (line 3).
std::string DescribeSqlNameLosses(const SqlNameLosses& losses);
