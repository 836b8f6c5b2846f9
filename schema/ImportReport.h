#pragma once

#include "SqlDialect.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Statements of one kind that a reader passed over or could not read: how
// many, and the lines of the first few.
struct StatementTally {
    std::string kind; // "INSERT", "CREATE VIEW", "CREATE TABLE" ...
    int count = 0;
    std::vector<int> firstLines; // 1-based, at most kMaxLines
    std::string firstReason;     // unreadable only: why the first one failed

    static constexpr size_t kMaxLines = 5;
    // Longer kinds and reasons are cut, marked with "...".
    static constexpr size_t kMaxKindBytes = 48;
    static constexpr size_t kMaxReasonBytes = 240;
};

// What reading a script did beside the tables it read: the dialect it used,
// what it left out and why. UTF-8 throughout. What the diagram cannot show
// of the tables read is the merge's to say (MergeResult::notShown).
struct ImportReport {
    SqlDialect dialect = SqlDialect::Auto;
    bool dialectDetected = false;       // chosen by auto-detection rather than by the caller
    std::vector<StatementTally> skipped;    // statements that do not shape tables (INSERT, CREATE VIEW ...)
    std::vector<StatementTally> unreadable; // statements the reader could not read, left out
    size_t droppedCharacters = 0;           // bytes left out or replaced (NUL, invalid UTF-8, names ddlread cut)
    bool truncated = false;                 // the reader stopped at a limit; what it read so far stands

    void Skip(std::string_view kind, int line) { Note(skipped, kind, line, {}); }
    void Unreadable(std::string_view kind, int line, std::string_view reason) { Note(unreadable, kind, line, reason); }
    int SkippedCount() const;
    int UnreadableCount() const;

    static void Note(std::vector<StatementTally>& list, std::string_view kind, int line, std::string_view reason);
    // Cuts a text to at most limit bytes on a character boundary, counting
    // what it drops.
    void Cut(std::string& text, size_t limit);

    static constexpr size_t kMaxNameBytes = 1024;       // longest name kept
    static constexpr size_t kMaxTextBytes = 64 * 1024;  // longest type, default, check or comment kept
};
