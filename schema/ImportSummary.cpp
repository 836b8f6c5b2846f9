#include "ImportSummary.h"

#include <algorithm>

namespace {

std::string Plural(int count, const char* one, const char* many)
{
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

std::string Lines(const StatementTally& tally)
{
    std::string out = tally.firstLines.size() == 1 ? "line " : "lines ";
    for (size_t i = 0; i < tally.firstLines.size(); ++i)
        out += (i ? ", " : "") + std::to_string(tally.firstLines[i]);
    if (size_t(tally.count) > tally.firstLines.size())
        out += ", ...";
    return out;
}

// A box holds a screenful: a script of thousands of statements, each of
// another unreadable kind, or a schema whose every key the diagram cannot
// show, is told by its first few and a count of the rest.
constexpr size_t kMaxKindsShown = 8;
constexpr size_t kMaxNotShownLines = 10;

std::string Tallies(const std::vector<StatementTally>& list, bool reasons)
{
    std::string out;
    const size_t shown = std::min(list.size(), kMaxKindsShown);
    for (size_t i = 0; i < shown; ++i) {
        const StatementTally& tally = list[i];
        out += (out.empty() ? "" : "; ") + tally.kind + " x" + std::to_string(tally.count) + " (" + Lines(tally);
        if (reasons && !tally.firstReason.empty())
            out += ": " + tally.firstReason;
        out += ")";
    }
    if (list.size() > shown)
        out += "; " + Plural(int(list.size() - shown), "other kind", "other kinds");
    return out;
}

std::string NotShownLines(const MergeResult& merge)
{
    std::string text;
    const size_t shown = std::min(merge.notShown.size(), kMaxNotShownLines);
    for (size_t i = 0; i < shown; ++i)
        text += "Not shown: " + merge.notShown[i] + "\n";
    if (merge.notShown.size() > shown)
        text += "Not shown: " + std::to_string(merge.notShown.size() - shown) + " more.\n";
    return text;
}

std::string Headline(const ImportReport& report, const MergeResult& merge)
{
    const int tables = merge.tablesCreated + merge.tablesUpdated;
    return "Imported " + Plural(tables, "table", "tables") + " and " +
           Plural(merge.relationsAdded, "relation", "relations") + " from " +
           std::string(DialectDisplayName(report.dialect)) + (report.dialectDetected ? " (detected)." : ".");
}

} // namespace

std::string ImportSummaryText(const ImportReport& report, const MergeResult& merge)
{
    std::string text = Headline(report, merge) + "\n";
    if (!report.skipped.empty())
        text += "Skipped " + Plural(report.SkippedCount(), "statement", "statements") + ": " +
                Tallies(report.skipped, false) + "\n";
    if (!report.unreadable.empty())
        text += "Could not read " + Plural(report.UnreadableCount(), "statement", "statements") + ": " +
                Tallies(report.unreadable, true) + "\n";
    text += NotShownLines(merge);
    if (report.droppedCharacters > 0)
        text += "Dropped or replaced " + std::to_string(report.droppedCharacters) +
                (report.droppedCharacters == 1 ? " character" : " characters") +
                " (NUL bytes, bytes that are not UTF-8, over-long names and texts).\n";
    return text;
}

std::string ImportSummaryLines(const ImportReport& report, const MergeResult& merge)
{
    std::string text = Headline(report, merge);
    std::string second;
    if (report.SkippedCount() > 0)
        second += Plural(report.SkippedCount(), "statement", "statements") + " skipped";
    if (report.UnreadableCount() > 0)
        second += (second.empty() ? "" : ", ") + Plural(report.UnreadableCount(), "statement", "statements") +
                  " could not be read (first at line " +
                  std::to_string(report.unreadable.front().firstLines.front()) + ")";
    if (!merge.notShown.empty())
        second += (second.empty() ? "" : ", ") + std::to_string(merge.notShown.size()) + " not shown";
    return second.empty() ? text + "\n" : text + "\n" + second + ".\n";
}

std::string DatabaseSummaryText(const DatabaseSource& source, const MergeResult& merge)
{
    const int tables = merge.tablesCreated + merge.tablesUpdated;
    return "Imported " + Plural(tables, "table", "tables") + " and " +
           Plural(merge.relationsAdded, "relation", "relations") + " from " + source.Describe() + ".\n" +
           NotShownLines(merge);
}
