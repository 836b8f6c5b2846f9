#pragma once

#include "Geometry.h"

#include <cstdint>
#include <vector>

class CKorvoDoc;
class CRelation;
class KorvoTableView;

// A straight piece of a relation line in logical units.
struct LineSegment {
    CPoint a;
    CPoint b;
};

// The line pieces the diagram window draws for a relation, from the tables'
// positions and last measured sizes: a stub out of each source column row to
// the source junction, one out of each destination row (starting at the
// dot's centre) to the destination junction, and the segment between the two
// junctions. Empty when a side has no table or no column.
std::vector<LineSegment> RelationSegments(const CRelation& relation);

// How readable a diagram's layout is, from the last measured table sizes.
struct LayoutMetrics {
    // Points where lines of two different relations cross (segments that
    // touch or run along each other do not count).
    int64_t crossings = 0;
    // Pairs of tables whose boxes share some area (touching edges do not count).
    int64_t overlaps = 0;
    // Relation segments that pass through a table box other than the two the
    // relation joins; the window draws them hidden behind that table.
    int64_t hiddenSegments = 0;
    // Sum of the lengths of all relation segments, in logical units.
    double lineLength = 0;
};

LayoutMetrics MeasureLayout(const CKorvoDoc& doc);
// The same for a layout in the making: some tables, each with the top-left
// corner to use instead of its own (topLeft, in the same order), and the
// relations to count; a relation with a table not in the list is skipped.
LayoutMetrics MeasureLayout(const std::vector<const KorvoTableView*>& tables, const std::vector<CPoint>& topLeft,
                            const std::vector<const CRelation*>& relations);

// Pairs of tables whose boxes come closer than gap (0: that overlap).
int64_t CountTablesCloserThan(const CKorvoDoc& doc, int32_t gap);
