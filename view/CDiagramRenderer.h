#pragma once

#include "Geometry.h"
#include "KorvoTableView.h"

#include <cstdint>
#include <functional>
#include <vector>

class CColumn;
class CKorvoDC;
class CKorvoDoc;
class CRelation;

// Draws a diagram on a CKorvoDC: page grid, table boxes, relation lines and
// selection marks, and answers the geometric questions that hit tests and
// printing ask (relation routes, visibility, the tables' extent). The screen,
// print preview, paper and image export all draw through it.
class CDiagramRenderer {
public:
    virtual ~CDiagramRenderer() = default;

    // Tables in document order (earlier ones cover later ones), then the
    // relations, which pass behind the tables. No grid here. Zoomed out so
    // far that text cannot be read, boxes and lines only.
    void DrawTablesAndRelations(CKorvoDC& dc, CKorvoDoc& doc, CPoint origin);
    // Whether text is drawn on dc: always at actual size and larger, on
    // paper and in pictures; zoomed out while a line is 7 pixels or more.
    static bool ShowsText(const CKorvoDC& dc);
    // The right and bottom edge of every page area of the canvas.
    void DrawPageGrid(CKorvoDC& dc, const CRect& rectCanvas, int32_t pw, int32_t ph, CPoint origin);

    bool DrawTable(CKorvoDC& dc, KorvoTableView& table, CPoint origin);
    static void DrawKeySymbol(CKorvoDC& dc, const CRect& box);
    void DrawRelation(CKorvoDC& dc, CRelation& relation, CPoint origin);
    // Two or four logical points along the relation (no origin subtracted).
    std::vector<CPoint> GetRelationRoute(CKorvoDC& dc, CRelation& relation);
    // Within 5 pixels of the route; point in device units.
    bool RelationHitTest(CKorvoDC& dc, CRelation& relation, CPoint ptDevice, CPoint origin);
    static bool IsNearSegment(CPoint a, CPoint b, CPoint p, int tol);
    static bool IsNearLine(CPoint a, CPoint b, CPoint p, int tol);
    // Points in logical units with the origin already subtracted.
    static bool IsPolylineVisible(const CKorvoDC& dc, const CPoint* points, int count);
    // (largest m_x + m_cx, largest m_cy - m_y), each at least 0.
    static CSize GetDiagramExtent(const CKorvoDoc& doc);
    static CRect IntersectLogicalRect(const CRect& a, const CRect& b);

    // Printing: pages follow the tables' extent, numbered row by row; the
    // count is not bounded here (a table two billion twips out asks for
    // about two hundred thousand pages).
    static int64_t PageCount(const CKorvoDoc& doc, int32_t pw, int32_t ph);
    // Draws page (1-based) on a printing surface whose font is the diagram's
    // and on which every table has been measured. Only the tables and
    // relations that meet the page are drawn.
    void PrintPage(CKorvoDC& dc, CKorvoDoc& doc, int page, int32_t pw, int32_t ph);

    int32_t m_nStubLength = 180;
    int32_t m_nDotSize = 70;
    int32_t m_nHandleWidth = 90;
    int32_t m_nHandleHeight = 90;

private:
    void DrawBackToFront(CKorvoDC& dc, CKorvoDoc& doc, CPoint origin);
    void DrawOverview(CKorvoDC& dc, CKorvoDoc& doc, CPoint origin);
    static void DrawTypeAndMarks(CKorvoDC& dc, const CColumn& column, const CRect& text,
                                 const KorvoTableView::TypeColumns& columns);

    // The logical y of a column's row in its table.
    using RowLookup = std::function<int32_t(KorvoTableView&, const CColumn*)>;
    // Rows found by measuring the table first, as hit tests and drawing do.
    static RowLookup MeasuredRows(CKorvoDC& dc);
    std::vector<CPoint> Route(CRelation& relation, const RowLookup& rowY);

    struct RelationEnds {
        int32_t eS, jS, midS, eD, jD, midD;
        std::vector<int32_t> yS, yD;
    };
    RelationEnds ComputeEnds(CRelation& relation, const RowLookup& rowY);
};
