#include "ImportReport.h"

void ImportReport::Note(std::vector<StatementTally>& list, std::string_view kind, int line, std::string_view reason)
{
    for (StatementTally& tally : list) {
        if (tally.kind == kind) {
            ++tally.count;
            if (tally.firstLines.size() < StatementTally::kMaxLines)
                tally.firstLines.push_back(line);
            return;
        }
    }
    StatementTally tally;
    tally.kind = std::string(kind);
    tally.count = 1;
    tally.firstLines.push_back(line);
    tally.firstReason = std::string(reason);
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
