#include "ImportReport.h"

namespace {

// A statement's kind and reason are told to people in a line of a summary;
// a script whose first word is megabytes long must not make them that long.
std::string_view Shortened(std::string_view text, size_t limit, bool& cut)
{
    cut = text.size() > limit;
    if (!cut)
        return text;
    size_t keep = limit;
    while (keep > 0 && (static_cast<unsigned char>(text[keep]) & 0xC0) == 0x80)
        --keep;
    return text.substr(0, keep);
}

} // namespace

void ImportReport::Note(std::vector<StatementTally>& list, std::string_view fullKind, int line,
                        std::string_view reason)
{
    bool cut = false;
    const std::string_view shortKind = Shortened(fullKind, StatementTally::kMaxKindBytes, cut);
    const std::string kind = std::string(shortKind) + (cut ? "..." : "");
    for (StatementTally& tally : list) {
        if (tally.kind == kind) {
            ++tally.count;
            if (tally.firstLines.size() < StatementTally::kMaxLines)
                tally.firstLines.push_back(line);
            return;
        }
    }
    StatementTally tally;
    tally.kind = kind;
    tally.count = 1;
    tally.firstLines.push_back(line);
    tally.firstReason = std::string(Shortened(reason, StatementTally::kMaxReasonBytes, cut)) + (cut ? "..." : "");
    list.push_back(std::move(tally));
}

int ImportReport::SkippedCount() const
{
    int count = 0;
    for (const StatementTally& tally : skipped)
        count += tally.count;
    return count;
}

int ImportReport::UnreadableCount() const
{
    int count = 0;
    for (const StatementTally& tally : unreadable)
        count += tally.count;
    return count;
}

void ImportReport::Cut(std::string& text, size_t limit)
{
    if (text.size() <= limit)
        return;
    size_t keep = limit;
    while (keep > 0 && (static_cast<unsigned char>(text[keep]) & 0xC0) == 0x80)
        --keep;
    droppedCharacters += text.size() - keep;
    truncated = true;
    text.resize(keep);
}
