#include "CDiagramRenderer.h"

#include "CKorvoDC.h"
#include "CKorvoDoc.h"

#include <QColor>

#include <algorithm>
#include <cmath>

namespace {

// Nothing this far from the origin reaches the drawing calls.
constexpr int32_t kCoordMin = -32767;
constexpr int32_t kCoordMax = 32768;

// Zoomed out, the range widens with the window's reach in twips, so that
// what the window shows is drawn; it stays the same number of pixels.
int64_t CoordReach(const CKorvoDC& dc, int32_t limit)
{
    return dc.Zoom() < 100 ? int64_t(limit) * 100 / dc.Zoom() : limit;
}

// Text is drawn while a line of it is at least this many pixels high
// (Arial's letters are then about five pixels tall); zoomed out further,
// tables are boxes and relations lines.
constexpr int64_t kMinTextPixels = 7;

int32_t MidOf(const std::vector<int32_t>& ys)
{
    auto [lo, hi] = std::minmax_element(ys.begin(), ys.end());
    return Saturate(*lo + (int64_t(*hi) - *lo) / 2);
}

// A table's box with the origin subtracted, in 64 bits: left, top, right,
// bottom with top above bottom.
struct Box {
    int64_t left, top, right, bottom;
};

Box TableBox(const KorvoTableView& table, CPoint origin)
{
    const int64_t L = int64_t(table.m_x) - origin.x;
    const int64_t T = int64_t(table.m_y) - origin.y;
    return Box{L, T, L + table.m_cx, T - table.m_cy};
}

bool Meets(const Box& box, const CRect& area)
{
    return !(box.right < area.left || box.left > area.right || box.bottom > area.top || box.top < area.bottom);
}

// The surface's visible rectangle in logical units, widened by a device
// pixel on every side so that the truncating conversion never leaves out a
// shape that reaches the last pixel.
CRect DrawingArea(const CKorvoDC& dc)
{
    const CRect rc = dc.ClientRectLogical();
    const int32_t pixel = Saturate(int64_t(kTwipsPerInch) * 100 / (int64_t(dc.Dpi()) * dc.Zoom()) + 1);
    return CRect{rc.left - pixel, rc.top + pixel, rc.right + pixel, rc.bottom - pixel};
}

CRect ToRect(int64_t left, int64_t top, int64_t right, int64_t bottom)
{
    return CRect{Saturate(left), Saturate(top), Saturate(right), Saturate(bottom)};
}

// Whether any part of the relation can reach the drawing area (the client
// area, the page or the picture). Every segment, dot and mark lies within a
// stub, a dot and a mark of the two tables' boxes (sizes as measured when the
// tables were last drawn), so a relation whose box is outside cannot show and
// costs no row lookups.
bool MayBeVisible(const CKorvoDC& dc, const CRelation& relation, CPoint origin, int32_t reach)
{
    const Box S = TableBox(*relation.m_pSource, origin);
    const Box D = TableBox(*relation.m_pDest, origin);
    const Box both{std::min(S.left, D.left) - reach, std::max(S.top, D.top) + reach,
                   std::max(S.right, D.right) + reach, std::min(S.bottom, D.bottom) - reach};
    return Meets(both, DrawingArea(dc));
}

} // namespace

void CDiagramRenderer::DrawPageGrid(CKorvoDC& dc, const CRect& rectCanvas, int32_t pw, int32_t ph, CPoint origin)
{
    if (pw <= 0 || ph <= 0)
        return;
    // Only the cells that can meet the client area are visited, so a canvas
    // of many pages paints as fast as a small one.
    const CRect client = dc.ClientRectLogical();
    const int64_t seenLeft = int64_t(client.left) + origin.x - pw;
    const int64_t seenRight = int64_t(client.right) + origin.x + pw;
    const int64_t seenTop = int64_t(client.top) + origin.y + ph;
    const int64_t seenBottom = int64_t(client.bottom) + origin.y - ph;
    const int64_t firstX = rectCanvas.left + std::max<int64_t>(0, (seenLeft - rectCanvas.left) / pw) * pw;
    const int64_t firstY = rectCanvas.top - std::max<int64_t>(0, (rectCanvas.top - seenTop) / ph) * ph;
    dc.SetPenColor(QColor(127, 127, 127));
    for (int64_t x = firstX; x < rectCanvas.right && x <= seenRight; x += pw) {
        for (int64_t y = firstY; y > rectCanvas.bottom && y >= seenBottom; y -= ph) {
            CPoint pts[3] = {
                CPoint{int32_t(x + pw), int32_t(y)} - origin,
                CPoint{int32_t(x + pw), int32_t(y - ph)} - origin,
                CPoint{int32_t(x), int32_t(y - ph)} - origin,
            };
            if (IsPolylineVisible(dc, pts, 3)) {
                dc.Line(pts[0], pts[1]);
                dc.Line(pts[1], pts[2]);
            }
        }
    }
    dc.SetPenColor(Qt::black);
}

bool CDiagramRenderer::ShowsText(const CKorvoDC& dc)
{
    if (dc.IsPrinting() || dc.Zoom() >= 100)
        return true;
    // Unrounded: line height x dpi x zoom against the threshold x 144000.
    return int64_t(dc.GetLineHeight()) * dc.Dpi() * dc.Zoom() >= kMinTextPixels * kTwipsPerInch * 100;
}

void CDiagramRenderer::DrawTablesAndRelations(CKorvoDC& dc, CKorvoDoc& doc, CPoint origin)
{
    if (dc.IsPrinting()) {
        for (auto& table : doc.m_tables)
            table->Measure(dc);
        DrawBackToFront(dc, doc, origin);
        return;
    }
    if (!ShowsText(dc)) {
        DrawOverview(dc, doc, origin);
        return;
    }
    for (auto& table : doc.m_tables) {
        if (DrawTable(dc, *table, origin)) {
            const Box box = TableBox(*table, origin);
            dc.ExcludeClipRect(ToRect(box.left, box.top, box.right, box.bottom));
        }
    }
    for (auto& relation : doc.m_relations)
        DrawRelation(dc, *relation, origin);
    dc.ClearClip();
}

// Paper and pictures show no selection marks, so the order of painting alone
// gives what the clip region gives on screen: the relations first, then the
// tables from the last to the first, each box opaque, so that an earlier
// table lies over a later one and lines pass behind tables. A region that
// grows with every table is thereby avoided: the PDF engine writes the whole
// region out again for every text. Only what meets the surface is drawn.
void CDiagramRenderer::DrawBackToFront(CKorvoDC& dc, CKorvoDoc& doc, CPoint origin)
{
    const CRect area = DrawingArea(dc);
    for (auto& relation : doc.m_relations)
        DrawRelation(dc, *relation, origin);
    for (auto it = doc.m_tables.rbegin(); it != doc.m_tables.rend(); ++it)
        if (Meets(TableBox(**it, origin), area))
            DrawTable(dc, **it, origin);
}

// Zoomed out too far to read: every table a white box with a one-pixel
// frame, every relation the line of its route (the one hit tests use),
// painted back to front as on paper, each kind in one drawing call so that
// ten thousand tables paint at once. Selection marks keep their size and
// lie over the lines and boxes.
void CDiagramRenderer::DrawOverview(CKorvoDC& dc, CKorvoDoc& doc, CPoint origin)
{
    for (auto& table : doc.m_tables)
        table->Measure(dc);
    const CRect area = DrawingArea(dc);
    const int32_t hw = dc.ScreenLength(m_nHandleWidth);
    const int32_t hh = dc.ScreenLength(m_nHandleHeight);
    const int32_t reach = m_nStubLength + hw;
    auto mark = [&](CPoint c) {
        dc.InvertRect(ToRect(int64_t(c.x) - hw / 2, int64_t(c.y) + hh / 2, int64_t(c.x) + hw / 2,
                             int64_t(c.y) - hh / 2));
    };

    std::vector<CPoint> lines;
    std::vector<CPoint> relationMarks;
    for (auto& relation : doc.m_relations) {
        if (relation->m_sourceColumns.empty() || relation->m_destColumns.empty())
            continue;
        if (!MayBeVisible(dc, *relation, origin, reach))
            continue;
        // Every table was measured just now: rows need no second measure.
        std::vector<CPoint> route = Route(*relation, [](KorvoTableView& table, const CColumn* column) {
            const int index = table.IndexOfColumn(column);
            return index < 0 ? -1 : table.RowCentreY(index);
        });
        for (CPoint& p : route)
            p = p - origin;
        bool visible = false;
        for (size_t i = 0; i + 1 < route.size(); ++i) {
            if (IsPolylineVisible(dc, &route[i], 2)) {
                lines.push_back(route[i]);
                lines.push_back(route[i + 1]);
                visible = true;
            }
        }
        if (relation->m_bSelected && visible) {
            const size_t first = route.size() == 4 ? 1 : 0;
            relationMarks.push_back(route[first]);
            relationMarks.push_back(route[first + 1]);
        }
    }
    dc.SetPenColor(Qt::black);
    dc.Lines(lines);
    for (const CPoint& c : relationMarks)
        mark(c);

    std::vector<CRect> boxes;
    std::vector<CPoint> tableMarks;
    for (auto it = doc.m_tables.rbegin(); it != doc.m_tables.rend(); ++it) {
        KorvoTableView& table = **it;
        const Box box = TableBox(table, origin);
        if (!Meets(box, area))
            continue;
        const int32_t L = Saturate(box.left), T = Saturate(box.top), R = Saturate(box.right),
                      B = Saturate(box.bottom);
        CPoint outline[5] = {{L, T}, {L, B}, {R, B}, {R, T}, {L, T}};
        if (!IsPolylineVisible(dc, outline, 5))
            continue;
        boxes.push_back(CRect{L, T, R, B});
        if (table.m_bSelected)
            tableMarks.insert(tableMarks.end(), {CPoint{L, T}, CPoint{R, T}, CPoint{R, B}, CPoint{L, B}});
    }
    dc.Boxes(boxes, Qt::white, Qt::black);
    for (const CPoint& c : tableMarks)
        mark(c);
}

bool CDiagramRenderer::DrawTable(CKorvoDC& dc, KorvoTableView& table, CPoint origin)
{
    table.Measure(dc);
    const int32_t lh = table.m_nLineHeight;
    const int32_t vp = table.m_nVertPadding;
    const int32_t hp = table.m_nHorzPadding;
    const int32_t bw = table.m_nBorderWidth;

    // A box far out saturates at the end of the range, where the 16-bit
    // test rejects it on screen; on paper only a box that meets the page
    // comes here.
    const Box box = TableBox(table, origin);
    const int32_t L = Saturate(box.left);
    const int32_t T = Saturate(box.top);
    const int32_t R = Saturate(box.right);
    const int32_t B = Saturate(box.bottom);

    const CRect area = DrawingArea(dc);
    CPoint outline[5] = {{L, T}, {L, B}, {R, B}, {R, T}, {L, T}};
    if (!IsPolylineVisible(dc, outline, 5) || (dc.IsPrinting() && !Meets(box, area)))
        return false;

    dc.FillSolidRect(CRect{L, T, R, B}, Qt::white);
    dc.FillSolidRect(CRect{L, T, R, T - bw}, Qt::black);
    dc.FillSolidRect(CRect{L, B + bw, R, B}, Qt::black);
    dc.FillSolidRect(CRect{L, T, L + bw, B}, Qt::black);
    dc.FillSolidRect(CRect{R - bw, T, R, B}, Qt::black);

    dc.DrawText(table.m_def.m_strName, CRect{L, T - vp / 4, R, T - vp / 4 - lh}, Qt::AlignHCenter | Qt::AlignVCenter);

    dc.FillSolidRect(CRect{L, T - vp / 2 - lh, R, T - vp / 2 - lh - bw}, Qt::black);

    // Rows wholly outside the drawing area are passed over: on paper a table
    // of many columns crosses many pages.
    const int32_t textLeft = L + hp / 2 + lh / 2;
    const int32_t textRight = R - hp / 2;
    int64_t top = int64_t(T) - vp / 4 - vp / 2 - lh;
    const bool types = dc.ShowsColumnTypes();
    const KorvoTableView::TypeColumns typeColumns =
        types ? table.LayOutTypeColumns(dc, lh) : KorvoTableView::TypeColumns();
    dc.SetPenColor(Qt::black);
    dc.SetBrushColor(QColor(Qt::white));
    for (const auto& column : table.m_def.m_columns) {
        const int64_t bottom = top - lh;
        if (top < area.bottom)
            break;
        if (bottom <= area.top) {
            const CRect text{textLeft, Saturate(top), textRight, Saturate(bottom)};
            if (column->m_bPrimaryKey)
                DrawKeySymbol(dc, CRect{text.left - lh / 2, text.top - lh / 4, text.left, text.bottom + lh / 4});
            dc.DrawText(column->m_strName, text, Qt::AlignLeft | Qt::AlignVCenter);
            if (types)
                DrawTypeAndMarks(dc, *column, text, typeColumns);
        }
        top = bottom;
    }

    if (table.m_bSelected && !dc.IsPrinting()) {
        const int32_t hw = dc.ScreenLength(table.m_nHandleWidth);
        const int32_t hh = dc.ScreenLength(table.m_nHandleHeight);
        const CPoint corners[4] = {{L, T}, {R, T}, {R, B}, {L, B}};
        for (const CPoint& c : corners)
            dc.InvertRect(CRect{c.x - hw / 2, c.y + hh / 2, c.x + hw / 2, c.y - hh / 2});
    }
    return true;
}

// The type, then the marks, each in its own column after the names, in a
// grey that sets them apart from the names.
void CDiagramRenderer::DrawTypeAndMarks(CKorvoDC& dc, const CColumn& column, const CRect& text,
                                        const KorvoTableView::TypeColumns& columns)
{
    const QColor grey(96, 96, 96);
    if (!column.m_strType.empty())
        dc.DrawText(column.m_strType, CRect{Saturate(int64_t(text.left) + columns.typeX), text.top, text.right,
                                            text.bottom},
                    Qt::AlignLeft | Qt::AlignVCenter, grey);
    const std::string marks = KorvoTableView::ColumnMarks(column, dc.RelationSides(column));
    if (!marks.empty())
        dc.DrawText(marks, CRect{Saturate(int64_t(text.left) + columns.marksX), text.top, text.right, text.bottom},
                    Qt::AlignLeft | Qt::AlignVCenter, grey);
}

void CDiagramRenderer::DrawKeySymbol(CKorvoDC& dc, const CRect& box)
{
    const int32_t l = box.left, t = box.top, r = box.right, b = box.bottom;
    const int32_t w = r - l;
    const int32_t h = b - t;
    dc.Ellipse(CRect{l + w / 4, t, r - w / 4, b - h / 2});
    dc.Line(CPoint{l + w / 2, t + h / 2}, CPoint{l + w / 2, b});
    dc.Line(CPoint{l + w / 2, b}, CPoint{l + w / 4 + w / 2, b});
    dc.Line(CPoint{l + w / 2, t + h / 4 + h / 2}, CPoint{l + w / 4 + w / 2, t + h / 4 + h / 2});
}

CDiagramRenderer::RelationEnds CDiagramRenderer::ComputeEnds(CRelation& relation, const RowLookup& rowY)
{
    KorvoTableView& S = *relation.m_pSource;
    KorvoTableView& D = *relation.m_pDest;
    const int32_t r = m_nDotSize / 2;
    RelationEnds e{};

    for (CColumn* column : relation.m_sourceColumns)
        e.yS.push_back(rowY(S, column));
    for (CColumn* column : relation.m_destColumns)
        e.yD.push_back(rowY(D, column));

    // The lines leave the source on the side facing the destination.
    const int64_t sx = S.m_x, dx = D.m_x, stub = m_nStubLength;
    if (sx + S.m_cx / 2 < dx) {
        e.eS = Saturate(sx + S.m_cx);
        e.jS = Saturate(sx + S.m_cx + stub);
    } else {
        e.eS = S.m_x;
        e.jS = Saturate(sx - stub);
    }
    if (dx + D.m_cx / 2 < sx) {
        e.eD = Saturate(dx + D.m_cx + r);
        e.jD = Saturate(dx + D.m_cx + r + stub);
    } else {
        e.eD = Saturate(dx - r);
        e.jD = Saturate(dx - r - stub);
    }
    e.midS = e.yS.empty() ? 0 : MidOf(e.yS);
    e.midD = e.yD.empty() ? 0 : MidOf(e.yD);
    return e;
}

void CDiagramRenderer::DrawRelation(CKorvoDC& dc, CRelation& relation, CPoint origin)
{
    if (relation.m_sourceColumns.empty() || relation.m_destColumns.empty())
        return;
    const int32_t hw = dc.ScreenLength(m_nHandleWidth);
    const int32_t hh = dc.ScreenLength(m_nHandleHeight);
    if (!MayBeVisible(dc, relation, origin, m_nStubLength + m_nDotSize + hw))
        return;
    const RelationEnds e = ComputeEnds(relation, MeasuredRows(dc));
    const int32_t r = m_nDotSize / 2;

    dc.SetPenColor(Qt::black);
    dc.SetBrushColor(QColor(Qt::black));

    for (int32_t y : e.yS) {
        CPoint seg[2] = {CPoint{e.eS, y} - origin, CPoint{e.jS, e.midS} - origin};
        if (IsPolylineVisible(dc, seg, 2))
            dc.Line(seg[0], seg[1]);
    }
    for (int32_t y : e.yD) {
        CPoint seg[2] = {CPoint{e.eD, y} - origin, CPoint{e.jD, e.midD} - origin};
        if (IsPolylineVisible(dc, seg, 2)) {
            dc.Line(seg[0], seg[1]);
            dc.Ellipse(ToRect(int64_t(seg[0].x) - r, int64_t(seg[0].y) - r, int64_t(seg[0].x) + r,
                              int64_t(seg[0].y) + r));
        }
    }
    CPoint mid[2] = {CPoint{e.jS, e.midS} - origin, CPoint{e.jD, e.midD} - origin};
    const bool midVisible = IsPolylineVisible(dc, mid, 2);
    if (midVisible)
        dc.Line(mid[0], mid[1]);

    dc.SetBrushColor(QColor(Qt::white));

    if (relation.m_bSelected && !dc.IsPrinting() && midVisible) {
        for (const CPoint& c : mid)
            dc.InvertRect(CRect{c.x - hw / 2, c.y + hh / 2, c.x + hw / 2, c.y - hh / 2});
    }
}

CDiagramRenderer::RowLookup CDiagramRenderer::MeasuredRows(CKorvoDC& dc)
{
    return [&dc](KorvoTableView& table, const CColumn* column) { return table.GetColumnRowY(dc, column); };
}

std::vector<CPoint> CDiagramRenderer::GetRelationRoute(CKorvoDC& dc, CRelation& relation)
{
    return Route(relation, MeasuredRows(dc));
}

std::vector<CPoint> CDiagramRenderer::Route(CRelation& relation, const RowLookup& rowY)
{
    KorvoTableView& S = *relation.m_pSource;
    KorvoTableView& D = *relation.m_pDest;
    const int32_t stub = m_nStubLength;
    std::vector<CPoint> route;

    const int64_t sx = S.m_x, dx = D.m_x;
    if (relation.m_sourceColumns.size() == 1 && relation.m_destColumns.size() == 1) {
        const int32_t yS = rowY(S, relation.m_sourceColumns[0]);
        const int32_t yD = rowY(D, relation.m_destColumns[0]);
        if (sx + S.m_cx / 2 >= dx) {
            route.push_back({S.m_x, yS});
            route.push_back({Saturate(sx - stub), yS});
        } else {
            route.push_back({Saturate(sx + S.m_cx), yS});
            route.push_back({Saturate(sx + S.m_cx + stub), yS});
        }
        if (dx + D.m_cx / 2 >= sx) {
            route.push_back({Saturate(dx - stub), yD});
            route.push_back({D.m_x, yD});
        } else {
            route.push_back({Saturate(dx + D.m_cx + stub), yD});
            route.push_back({Saturate(dx + D.m_cx), yD});
        }
        return route;
    }

    if (relation.m_sourceColumns.empty() || relation.m_destColumns.empty())
        return route;
    const RelationEnds e = ComputeEnds(relation, rowY);
    route.push_back({e.jS, e.midS});
    if (dx + D.m_cx / 2 < sx)
        route.push_back({Saturate(dx + D.m_cx + stub), e.midD});
    else
        route.push_back({Saturate(dx - stub), e.midD});
    return route;
}

bool CDiagramRenderer::RelationHitTest(CKorvoDC& dc, CRelation& relation, CPoint ptDevice, CPoint origin)
{
    std::vector<CPoint> route = GetRelationRoute(dc, relation);
    for (CPoint& pt : route)
        pt = dc.LPtoDP(pt - origin);
    for (size_t i = 0; i + 1 < route.size(); ++i)
        if (IsNearSegment(route[i], route[i + 1], ptDevice, 5))
            return true;
    return false;
}

bool CDiagramRenderer::IsNearSegment(CPoint a, CPoint b, CPoint p, int tol)
{
    const int64_t left = std::min(a.x, b.x) - int64_t(tol);
    const int64_t right = std::max(a.x, b.x) + int64_t(tol);
    const int64_t top = std::min(a.y, b.y) - int64_t(tol);
    const int64_t bottom = std::max(a.y, b.y) + int64_t(tol);
    if (p.x < left || p.x > right || p.y < top || p.y > bottom)
        return false;
    if (a.y == b.y)
        return std::llabs(int64_t(a.y) - p.y) <= tol;
    if (a.x == b.x)
        return std::llabs(int64_t(a.x) - p.x) <= tol;
    if (std::llabs(int64_t(a.y) - b.y) < std::llabs(int64_t(a.x) - b.x))
        return IsNearLine(a, b, p, tol);
    return IsNearLine(CPoint{a.y, a.x}, CPoint{b.y, b.x}, CPoint{p.y, p.x}, tol);
}

bool CDiagramRenderer::IsNearLine(CPoint a, CPoint b, CPoint p, int tol)
{
    const double m = double(b.y - a.y) / double(b.x - a.x);
    const double k = a.y - m * a.x;
    const double k2 = p.y + p.x / m;
    const int64_t fx = static_cast<int64_t>((k2 - k) / (m + 1 / m));
    const int64_t fy = static_cast<int64_t>(fx * m + k);
    const double dx = double(fx - p.x);
    const double dy = double(fy - p.y);
    return std::sqrt(dy * dy + dx * dx) <= tol;
}

bool CDiagramRenderer::IsPolylineVisible(const CKorvoDC& dc, const CPoint* points, int count)
{
    if (dc.IsPrinting())
        return true;
    const CRect rc = dc.ClientRectLogical(); // top above bottom
    const int64_t low = CoordReach(dc, kCoordMin);
    const int64_t high = CoordReach(dc, kCoordMax);
    for (int i = 0; i < count; ++i) {
        if (points[i].x < low || points[i].x > high || points[i].y < low || points[i].y > high)
            return false;
    }
    auto inside = [&](CPoint p) { return p.x >= rc.left && p.x <= rc.right && p.y <= rc.top && p.y >= rc.bottom; };
    auto crossesHorizontal = [&](CPoint a, CPoint b, int32_t y0) {
        if ((a.y < y0 && b.y < y0) || (a.y > y0 && b.y > y0))
            return false;
        if (a.y == b.y)
            return false; // parallel to the edge
        double x;
        if (a.x == b.x)
            x = a.x;
        else
            x = a.x + double(b.x - a.x) * double(y0 - a.y) / double(b.y - a.y);
        return x >= rc.left && x <= rc.right;
    };
    auto crossesVertical = [&](CPoint a, CPoint b, int32_t x0) {
        if ((a.x < x0 && b.x < x0) || (a.x > x0 && b.x > x0))
            return false;
        if (a.x == b.x)
            return false;
        const double y = a.y + double(b.y - a.y) * double(x0 - a.x) / double(b.x - a.x);
        return y >= rc.bottom && y <= rc.top;
    };
    for (int i = 0; i + 1 < count; ++i) {
        const CPoint a = points[i];
        const CPoint b = points[i + 1];
        if (inside(a) || inside(b) || crossesHorizontal(a, b, rc.top) || crossesHorizontal(a, b, rc.bottom) ||
            crossesVertical(a, b, rc.left) || crossesVertical(a, b, rc.right))
            return true;
    }
    return false;
}

CSize CDiagramRenderer::GetDiagramExtent(const CKorvoDoc& doc)
{
    int64_t right = 0;
    int64_t depth = 0;
    for (const auto& table : doc.m_tables) {
        right = std::max(right, int64_t(table->m_x) + table->m_cx);
        depth = std::max(depth, int64_t(table->m_cy) - table->m_y);
    }
    return CSize{Saturate(right), Saturate(depth)};
}

CRect CDiagramRenderer::IntersectLogicalRect(const CRect& a, const CRect& b)
{
    CRect r{std::max(a.left, b.left), std::min(a.top, b.top), std::min(a.right, b.right),
            std::max(a.bottom, b.bottom)};
    if (r.right < r.left || r.top < r.bottom)
        return CRect{0, 0, 0, 0};
    return r;
}

int64_t CDiagramRenderer::PageCount(const CKorvoDoc& doc, int32_t pw, int32_t ph)
{
    if (pw <= 0 || ph <= 0)
        return 1;
    const CSize extent = GetDiagramExtent(doc);
    return (int64_t(extent.cx) / pw + 1) * (int64_t(extent.cy) / ph + 1);
}

void CDiagramRenderer::PrintPage(CKorvoDC& dc, CKorvoDoc& doc, int page, int32_t pw, int32_t ph)
{
    if (pw <= 0 || ph <= 0 || page < 1)
        return;
    const CSize extent = GetDiagramExtent(doc);
    const int64_t across = int64_t(extent.cx) / pw + 1;
    const int64_t i = page - 1;
    const CPoint origin{Saturate(pw * (i % across)), Saturate(-(ph * (i / across)))};
    // One fixed clip, the page's drawing rectangle: nothing spills into the
    // margins, and the clip does not grow with the tables.
    dc.ClipToClient();
    DrawBackToFront(dc, doc, origin);
    dc.ClearClip();
}
