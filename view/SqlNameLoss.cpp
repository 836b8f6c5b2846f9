#include "SqlNameLoss.h"

#include "TextEncoding.h"

#include <algorithm>
#include <cstdio>
#include <memory>

namespace {

constexpr std::string_view kCreate = "CREATE";
constexpr std::string_view kTable = "TABLE";
constexpr size_t kMaxDescribed = 10;

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool IsNameByte(char c)
{
    const auto b = static_cast<unsigned char>(c);
    return (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') || b == '_' || b == '$'
        || b >= 0x80;
}

} // namespace

void CSqlNameLossScanner::Feed(std::string_view bytes)
{
    for (char c : bytes) {
        switch (m_mode) {
        case Mode::Skip:
            FeedSkip(c);
            break;
        case Mode::Body:
            FeedBody(c);
            break;
        case Mode::String:
            // A literal ends at its closing quote, or unterminated at the line's end.
            if (c == '\'' || c == '\n')
                m_mode = Mode::Body;
            break;
        case Mode::Comment:
            if (c == '\n') {
                // A line of exactly "---" is the separator that ends a statement.
                m_mode = m_commentLength == 3 ? Mode::Skip : Mode::Body;
            } else {
                ++m_commentLength;
            }
            break;
        }
        if (c == '\n')
            ++m_line;
    }
}

void CSqlNameLossScanner::FeedSkip(char c)
{
    // CREATE, blanks, TABLE, found anywhere: the scanner skips every other
    // byte one at a time, so the words may even follow other letters.
    if (m_createMatched < int(kCreate.size())) {
        m_createMatched = c == kCreate[size_t(m_createMatched)] ? m_createMatched + 1 : c == kCreate[0];
        return;
    }
    if (m_tableMatched == 0 && IsBlank(c)) {
        m_blankMatched = true;
        return;
    }
    if (m_blankMatched && c == kTable[size_t(m_tableMatched)]) {
        if (++m_tableMatched == int(kTable.size())) {
            m_mode = Mode::Body;
            m_createMatched = 0;
            m_blankMatched = false;
            m_tableMatched = 0;
        }
        return;
    }
    m_createMatched = c == kCreate[0];
    m_blankMatched = false;
    m_tableMatched = 0;
}

void CSqlNameLossScanner::FeedBody(char c)
{
    if (m_dashPending) {
        m_dashPending = false;
        if (c == '-') {
            m_mode = Mode::Comment;
            m_commentLength = 2;
            return;
        }
    }
    if (IsNameByte(c)) {
        if (m_word.empty())
            m_wordLine = m_line;
        if (m_word.size() < kMaxWord)
            m_word.push_back(c);
        if (static_cast<unsigned char>(c) >= 0x80)
            m_wordLoses = true;
        return;
    }
    EndWord();
    if (c == '\'')
        m_mode = Mode::String;
    else if (c == '-')
        m_dashPending = true;
    else if (c == ';')
        m_mode = Mode::Skip;
}

void CSqlNameLossScanner::EndWord()
{
    if (m_wordLoses) {
        ++m_losses.count;
        if (m_losses.words.size() < SqlNameLosses::kMaxListed) {
            SqlNameLoss loss;
            loss.line = m_wordLine;
            loss.written = TextEncoding::ToUtf8(m_word);
            for (char c : m_word)
                if (static_cast<unsigned char>(c) < 0x80)
                    loss.kept.push_back(c);
            m_losses.words.push_back(std::move(loss));
        }
    }
    m_word.clear();
    m_wordLoses = false;
}

SqlNameLosses CSqlNameLossScanner::Finish()
{
    if (m_mode == Mode::Body)
        EndWord();
    SqlNameLosses losses = std::move(m_losses);
    *this = CSqlNameLossScanner();
    return losses;
}

SqlNameLosses FindSqlNameLosses(std::string_view script)
{
    CSqlNameLossScanner scanner;
    scanner.Feed(script);
    return scanner.Finish();
}

SqlNameLosses FindSqlNameLossesInFile(const std::string& path)
{
    const std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file)
        return {};
    CSqlNameLossScanner scanner;
    char chunk[65536];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, file.get())) > 0)
        scanner.Feed(std::string_view(chunk, n));
    return scanner.Finish();
}

std::string DescribeSqlNameLosses(const SqlNameLosses& losses)
{
    std::string text = "Some names lost characters that Import SQL cannot read (it reads ASCII letters, digits, _ and $): ";
    for (size_t i = 0; i < losses.words.size() && i < kMaxDescribed; ++i) {
        const SqlNameLoss& loss = losses.words[i];
        if (i > 0)
            text += "; ";
        text += loss.written;
        text += loss.kept.empty() ? " was dropped" : " became " + loss.kept;
        text += " (line " + std::to_string(loss.line) + ")";
    }
    const size_t shown = std::min(losses.words.size(), kMaxDescribed);
    if (losses.count > shown)
        text += "; and " + std::to_string(losses.count - shown) + " more";
    text += ".";
    return text;
}
