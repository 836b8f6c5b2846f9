#pragma once

#include "CKorvoDoc.h"
#include "DiagramArrange.h"
#include "DiagramMetrics.h"
#include "FakeSurface.h"
#include "Placement.h"

#include <numeric>
#include <vector>

// The printable page of the default paper and margins: letter, quarter-inch margins.
inline constexpr PageArea kLetterPage{11520 - 720, 15840 - 720};

// Measures every table and lays the diagram out as an import of all its
// tables into an empty diagram does, in document order.
inline void LayOutAsImport(CKorvoDoc& doc, const CMeasureSurface& surface, PageArea page = kLetterPage)
{
    std::vector<int> all(doc.m_tables.size());
    std::iota(all.begin(), all.end(), 0);
    ApplyMoves(doc, PlaceImportedTables(doc, all, page, &surface));
}

// Measures, arranges the whole diagram and applies the result.
inline ArrangeResult ArrangeAll(CKorvoDoc& doc, const CMeasureSurface& surface, PageArea page = kLetterPage)
{
    MeasureTables(doc, surface);
    ArrangeOptions options;
    options.page = page;
    ArrangeResult result = ArrangeTables(doc, options);
    if (result.status == ArrangeStatus::Arranged)
        ApplyMoves(doc, result.change);
    return result;
}
