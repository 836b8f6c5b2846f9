#include "DiagramArrange.h"

#include "BoxLayout.h"
#include "CKorvoDoc.h"
#include "DiagramMetrics.h"
#include "LayeredLayout.h"
#include "MeasureSurface.h"
#include "TableClusters.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <map>
#include <numeric>
#include <unordered_map>

namespace {

// Connected groups larger than this are first split into clusters of at
// most kClusterSize tables, drawn one by one and then arranged as wholes:
// a single layered drawing of hundreds of tables runs every layer the length
// of the diagram, so lines between modules of a schema would cross it all.
constexpr size_t kClusterAbove = 100;
constexpr size_t kClusterSize = 60;
// Lines per table up to which a large group also gets a single drawing, and
// the size above which it never does (Graphviz's time grows faster than the
// group, and a cancel cannot stop it) and its clusters are simply packed in
// rows (rating the other placement would cost seconds).
constexpr double kTreeLike = 1.25;
constexpr size_t kWholeAtMost = 2000;

class UnionFind {
public:
    explicit UnionFind(size_t n) : m_parent(n) { std::iota(m_parent.begin(), m_parent.end(), 0); }
    int Find(int v)
    {
        while (m_parent[size_t(v)] != v) {
            m_parent[size_t(v)] = m_parent[size_t(m_parent[size_t(v)])];
            v = m_parent[size_t(v)];
        }
        return v;
    }
    void Join(int a, int b)
    {
        a = Find(a);
        b = Find(b);
        if (a != b)
            m_parent[size_t(std::max(a, b))] = std::min(a, b);
    }

private:
    std::vector<int> m_parent;
};

// The tables an arrangement moves, in document order.
std::vector<int> TablesToArrange(const CKorvoDoc& doc, ArrangeScope scope)
{
    std::vector<int> tables;
    for (size_t i = 0; i < doc.m_tables.size(); ++i)
        if (scope == ArrangeScope::All || doc.m_tables[i]->m_bSelected)
            tables.push_back(int(i));
    return tables;
}

// Lines between the arranged tables (by position in the arranged list), one
// per pair of tables with the count of relations as weight, from the
// referenced table (left) to the referencing one (right). A line names the
// rows of the first column on each side where that orders the lines leaving
// one side of a table from different rows; elsewhere a row would only pull
// the tables out of line (a chain joined from a lower row to the top row
// would run downhill).
std::vector<LayeredEdge> EdgesBetween(const CKorvoDoc& doc, const std::vector<int>& local)
{
    std::vector<LayeredEdge> edges;
    std::map<std::pair<int, int>, size_t> byPair;
    std::unordered_map<const KorvoTableView*, int> indexOf;
    for (size_t i = 0; i < doc.m_tables.size(); ++i)
        indexOf.emplace(doc.m_tables[i].get(), int(i));
    for (const auto& relation : doc.m_relations) {
        const auto source = indexOf.find(relation->m_pSource);
        const auto dest = indexOf.find(relation->m_pDest);
        if (source == indexOf.end() || dest == indexOf.end() || source->second == dest->second)
            continue;
        const int head = local[size_t(source->second)];
        const int tail = local[size_t(dest->second)];
        if (head < 0 || tail < 0)
            continue;
        auto [it, inserted] = byPair.emplace(std::make_pair(tail, head), edges.size());
        if (!inserted) {
            ++edges[it->second].weight;
            continue;
        }
        LayeredEdge edge;
        edge.tail = tail;
        edge.head = head;
        if (!relation->m_destColumns.empty())
            edge.tailRow = relation->m_pDest->IndexOfColumn(relation->m_destColumns.front());
        if (!relation->m_sourceColumns.empty())
            edge.headRow = relation->m_pSource->IndexOfColumn(relation->m_sourceColumns.front());
        edges.push_back(edge);
    }
    std::map<std::pair<int, bool>, std::vector<int>> rowsOnSide; // (table, tail side) -> rows
    for (const LayeredEdge& edge : edges) {
        rowsOnSide[{edge.tail, true}].push_back(edge.tailRow);
        rowsOnSide[{edge.head, false}].push_back(edge.headRow);
    }
    auto varied = [&](int node, bool tailSide) {
        const std::vector<int>& rows = rowsOnSide[{node, tailSide}];
        return std::any_of(rows.begin(), rows.end(), [&](int row) { return row != rows.front(); });
    };
    for (LayeredEdge& edge : edges) {
        if (!varied(edge.tail, true))
            edge.tailRow = -1;
        if (!varied(edge.head, false))
            edge.headRow = -1;
    }
    return edges;
}

// How readable a candidate layout of some tables is: crossing lines (lines
// hidden behind a table count as crossings too) and their total length.
struct Quality {
    int64_t crossings = 0;
    double length = 0;
    double area = 0; // of the bounding box
};

// Clearly fewer crossings win; about as many (within a tenth): clearly less
// room (a fifth), then shorter lines.
bool Better(const Quality& a, const Quality& b)
{
    if (double(a.crossings) < 0.9 * double(b.crossings) - 1)
        return true;
    if (double(b.crossings) < 0.9 * double(a.crossings) - 1)
        return false;
    if (a.area < 0.8 * b.area)
        return true;
    if (b.area < 0.8 * a.area)
        return false;
    return a.length < b.length;
}

// Rates the boxes of a set that stand for the given tables of a group.
using Score = std::function<Quality(const BoxSet& set, const std::vector<int>& tables)>;

// The state of one arrangement run: Graphviz, progress and the outcome.
class Arranger {
public:
    Arranger(const ArrangeProgress& progress, int total, double aspect)
        : m_progress(progress), m_total(total), m_aspect(aspect)
    {
        m_spacing.nodeGap = kArrangeGap;
        m_spacing.layerGap = kArrangeLayerGap;
    }

    bool Report(int work)
    {
        m_done += work;
        if (m_progress && !m_progress(m_done, m_total))
            m_cancelled = true;
        return !m_cancelled;
    }
    bool Cancelled() const { return m_cancelled; }
    const std::string& Error() const { return m_error; }

    // Lays out one connected group of tables; false on failure or cancel.
    // A large group is drawn in clusters. When it is nearly a tree and not
    // huge it is also drawn whole, and the better drawing kept: with many
    // more lines than tables a single drawing would only run long lines
    // across long layers (and Graphviz would take seconds over the many
    // layers they span).
    bool LayOutGroup(const std::vector<LayeredNode>& nodes, const std::vector<LayeredEdge>& edges,
                     const Score& score, BoxSet& out)
    {
        std::vector<int> all(nodes.size());
        std::iota(all.begin(), all.end(), 0);
        if (nodes.size() <= kClusterAbove)
            return Draw(nodes, edges, all, &score, out) && Report(int(nodes.size()));
        if (!DrawClustered(nodes, edges, score, out))
            return false;
        if (double(edges.size()) > kTreeLike * double(nodes.size()) || nodes.size() > kWholeAtMost)
            return true;
        BoxSet whole;
        if (!Draw(nodes, edges, all, &score, whole))
            return false;
        if (Better(score(whole, all), score(out, all)))
            out = std::move(whole);
        return true;
    }

private:
    // The group split into clusters, each drawn on its own; then the
    // clusters placed as whole boxes.
    bool DrawClustered(const std::vector<LayeredNode>& nodes, const std::vector<LayeredEdge>& edges,
                       const Score& score, BoxSet& out)
    {
        std::vector<std::pair<int, int>> links;
        for (const LayeredEdge& edge : edges)
            links.emplace_back(edge.tail, edge.head);
        const std::vector<int> cluster = ClusterNodes(nodes.size(), links, kClusterSize);
        const size_t clusters = size_t(*std::max_element(cluster.begin(), cluster.end())) + 1;

        std::vector<int> within(nodes.size());
        std::vector<std::vector<int>> members(clusters);
        std::vector<std::vector<LayeredNode>> clusterNodes(clusters);
        std::vector<std::vector<LayeredEdge>> clusterEdges(clusters);
        for (size_t i = 0; i < nodes.size(); ++i) {
            const size_t c = size_t(cluster[i]);
            within[i] = int(clusterNodes[c].size());
            clusterNodes[c].push_back(nodes[i]);
            members[c].push_back(int(i));
        }
        std::map<std::pair<int, int>, size_t> between; // cluster pair -> its line
        std::vector<LayeredEdge> clusterLinks;
        for (const LayeredEdge& edge : edges) {
            const int a = cluster[size_t(edge.tail)];
            const int b = cluster[size_t(edge.head)];
            if (a == b) {
                LayeredEdge inner = edge;
                inner.tail = within[size_t(edge.tail)];
                inner.head = within[size_t(edge.head)];
                clusterEdges[size_t(a)].push_back(inner);
                continue;
            }
            auto [it, inserted] = between.emplace(std::make_pair(a, b), clusterLinks.size());
            if (inserted)
                clusterLinks.push_back({a, b, -1, -1, edge.weight});
            else
                clusterLinks[it->second].weight += edge.weight;
        }
        std::vector<BoxSet> drawn(clusters);
        std::vector<LayeredNode> boxes;
        for (size_t c = 0; c < clusters; ++c) {
            if (!Draw(clusterNodes[c], clusterEdges[c], members[c], &score, drawn[c])
                || !Report(int(clusterNodes[c].size())))
                return false;
            boxes.push_back({Saturate(drawn[c].width), Saturate(drawn[c].height), 0});
        }
        // The clusters as boxes: packed in rows in the order a walk along
        // their heaviest links visits them, or in layers (compacted and
        // folded), whichever reads better. Beyond kWholeAtMost tables only
        // the rows: rating a layout then costs seconds of its own.
        BoxSet packed;
        for (const LayeredNode& box : boxes)
            packed.Add(box.cx, box.cy);
        PackInOrder(packed, WalkOrder(clusters, clusterLinks), TargetWidth(packed), kArrangeGap);
        auto place = [&](const BoxSet& whole) {
            BoxSet set;
            for (size_t i = 0; i < nodes.size(); ++i) {
                const size_t c = size_t(cluster[i]);
                const size_t k = size_t(within[i]);
                set.Add(nodes[i].cx, nodes[i].cy);
                set.x.back() = whole.x[c] + drawn[c].x[k];
                set.y.back() = whole.y[c] + drawn[c].y[k];
            }
            set.links = links;
            set.Normalize();
            return set;
        };
        out = place(packed);
        if (nodes.size() > kWholeAtMost)
            return true;
        BoxSet layered;
        if (!Draw(boxes, clusterLinks, {}, nullptr, layered))
            return false;
        BoxSet inLayers = place(layered);
        std::vector<int> all(nodes.size());
        std::iota(all.begin(), all.end(), 0);
        if (Better(score(inLayers, all), score(out, all)))
            out = std::move(inLayers);
        return true;
    }

    // The width of a row packing of the set's boxes that has the target shape.
    int64_t TargetWidth(const BoxSet& set) const
    {
        double area = 0;
        int64_t widest = 0;
        for (size_t i = 0; i < set.Size(); ++i) {
            area += double(set.cx[i] + kArrangeGap) * double(set.cy[i] + kArrangeGap);
            widest = std::max(widest, set.cx[i]);
        }
        return std::max<int64_t>(widest, std::llround(std::sqrt(area * m_aspect)));
    }

    // Clusters in the order of a walk that starts at the first and always
    // goes on to the unvisited cluster most strongly linked to those visited
    // so far (ties: the lower number); unlinked ones follow in order.
    static std::vector<size_t> WalkOrder(size_t count, const std::vector<LayeredEdge>& links)
    {
        std::vector<std::vector<std::pair<size_t, int>>> adjacent(count);
        for (const LayeredEdge& link : links) {
            adjacent[size_t(link.tail)].emplace_back(size_t(link.head), link.weight);
            adjacent[size_t(link.head)].emplace_back(size_t(link.tail), link.weight);
        }
        std::vector<int64_t> pull(count, 0);
        std::vector<bool> visited(count, false);
        std::vector<size_t> order;
        for (size_t start = 0; start < count; ++start) {
            if (visited[start])
                continue;
            size_t next = start;
            for (;;) {
                visited[next] = true;
                order.push_back(next);
                for (const auto& [other, weight] : adjacent[next])
                    if (!visited[other])
                        pull[other] += weight;
                size_t best = count;
                for (size_t c = 0; c < count; ++c)
                    if (!visited[c] && pull[c] > 0 && (best == count || pull[c] > pull[best]))
                        best = c;
                if (best == count)
                    break;
                next = best;
            }
        }
        return order;
    }

    // A layered drawing, folded when far off the target shape. Compacting it
    // closes the empty room that uneven layers leave but may let a table
    // slide past the ones it is related to; with a score both are tried and
    // the better kept, without one (boxes that are whole clusters, whose
    // layers need not line up) it is always compacted.
    bool Draw(const std::vector<LayeredNode>& nodes, const std::vector<LayeredEdge>& edges,
              const std::vector<int>& tables, const Score* score, BoxSet& out)
    {
        out = BoxSet();
        if (nodes.size() == 1) {
            out.Add(nodes[0].cx, nodes[0].cy);
            out.Normalize();
            return true;
        }
        const LayeredDrawing drawing = m_layered.Draw(nodes, edges, m_spacing);
        if (!drawing.ok) {
            m_error = drawing.error;
            return false;
        }
        for (size_t i = 0; i < nodes.size(); ++i) {
            out.Add(nodes[i].cx, nodes[i].cy);
            out.x[i] = drawing.x[i];
            out.y[i] = drawing.y[i];
        }
        for (const LayeredEdge& edge : edges)
            out.links.emplace_back(edge.tail, edge.head);
        out.Normalize();
        BoxSet compacted = out;
        Compact(compacted, kArrangeGap);
        Fold(compacted, m_aspect, kArrangeGap);
        if (!score) {
            out = std::move(compacted);
            return true;
        }
        Fold(out, m_aspect, kArrangeGap);
        if (Better((*score)(compacted, tables), (*score)(out, tables)))
            out = std::move(compacted);
        return true;
    }

    const ArrangeProgress& m_progress;
    int m_total;
    int m_done = 0;
    bool m_cancelled = false;
    std::string m_error;
    double m_aspect;
    CLayeredLayout m_layered;
    LayeredSpacing m_spacing;
};

} // namespace

void MeasureTables(CKorvoDoc& doc, const CMeasureSurface& surface)
{
    for (const auto& table : doc.m_tables)
        table->Measure(surface);
}

bool AnyTableSelected(const CKorvoDoc& doc)
{
    return std::any_of(doc.m_tables.begin(), doc.m_tables.end(),
                       [](const auto& table) { return table->m_bSelected; });
}

ArrangeResult ArrangeTables(const CKorvoDoc& doc, const ArrangeOptions& options, const ArrangeProgress& progress)
{
    ArrangeResult result;
    DiagramMoves& change = result.change;
    change.pagesXBefore = change.pagesXAfter = doc.m_nMaxPagesX;
    change.pagesYBefore = change.pagesYAfter = doc.m_nMaxPagesY;
    const std::vector<int> arranged = TablesToArrange(doc, options.scope);
    if (arranged.empty())
        return result;

    // The page's shape (width / height) is the shape the arrangement aims
    // for, so that it grows the page counts evenly. (Not the canvas's: that
    // changes with the page counts the arrangement itself sets, and arranging
    // twice should give the same layout.)
    const PageArea page{std::max(options.page.width, 1440), std::max(options.page.height, 1440)};
    const double aspect = double(page.width) / double(page.height);
    Arranger arranger(progress, int(arranged.size()) + 1, aspect);
    auto stopped = [&]() {
        result.status = arranger.Cancelled() ? ArrangeStatus::Cancelled : ArrangeStatus::Failed;
        result.error = arranger.Cancelled() ? std::string() : arranger.Error();
        result.change.moves.clear();
        return result;
    };
    if (!arranger.Report(0))
        return stopped();

    std::vector<int> local(doc.m_tables.size(), -1);
    for (size_t i = 0; i < arranged.size(); ++i)
        local[size_t(arranged[i])] = int(i);
    const std::vector<LayeredEdge> edges = EdgesBetween(doc, local);
    auto sizeOf = [&](int i) {
        const KorvoTableView& table = *doc.m_tables[size_t(arranged[size_t(i)])];
        return CSize{std::max(table.m_cx, 1), std::max(table.m_cy, 1)};
    };

    // Connected groups, in the order of their first table.
    UnionFind groups(arranged.size());
    for (const LayeredEdge& edge : edges)
        groups.Join(edge.tail, edge.head);
    std::map<int, std::vector<int>> members;
    for (size_t i = 0; i < arranged.size(); ++i)
        members[groups.Find(int(i))].push_back(int(i));
    std::map<int, std::vector<LayeredEdge>> groupEdges;
    for (const LayeredEdge& edge : edges)
        groupEdges[groups.Find(edge.tail)].push_back(edge);
    // The relations drawn within each group, for rating its layouts.
    std::unordered_map<const KorvoTableView*, int> groupOf;
    for (size_t i = 0; i < arranged.size(); ++i)
        groupOf.emplace(doc.m_tables[size_t(arranged[i])].get(), groups.Find(int(i)));
    std::map<int, std::vector<const CRelation*>> groupRelations;
    for (const auto& relation : doc.m_relations) {
        const auto source = groupOf.find(relation->m_pSource);
        const auto dest = groupOf.find(relation->m_pDest);
        if (source != groupOf.end() && dest != groupOf.end() && source->second == dest->second)
            groupRelations[source->second].push_back(relation.get());
    }

    std::vector<BoxSet> blocks;              // one per group of related tables
    std::vector<std::vector<int>> blockTables; // positions in the arranged list
    std::vector<int> loose;                  // tables without relations
    for (const auto& [root, group] : members) {
        if (group.size() == 1) {
            loose.push_back(group.front());
            continue;
        }
        std::vector<int> position(arranged.size(), -1);
        std::vector<LayeredNode> nodes;
        for (int v : group) {
            position[size_t(v)] = int(nodes.size());
            const CSize size = sizeOf(v);
            nodes.push_back({size.cx, size.cy, int(doc.m_tables[size_t(arranged[size_t(v)])]->m_def.m_columns.size())});
        }
        std::vector<LayeredEdge> inGroup = groupEdges[root];
        for (LayeredEdge& edge : inGroup) {
            edge.tail = position[size_t(edge.tail)];
            edge.head = position[size_t(edge.head)];
        }
        const std::vector<const CRelation*>& relations = groupRelations[root];
        const Score score = [&](const BoxSet& set, const std::vector<int>& tables) {
            std::vector<const KorvoTableView*> views;
            std::vector<CPoint> topLeft;
            for (size_t k = 0; k < tables.size(); ++k) {
                views.push_back(doc.m_tables[size_t(arranged[size_t(group[size_t(tables[k])])])].get());
                topLeft.push_back({Saturate(set.x[k]), Saturate(set.y[k])});
            }
            const LayoutMetrics metrics = MeasureLayout(views, topLeft, relations);
            int64_t right = 0, depth = 0;
            for (size_t k = 0; k < tables.size(); ++k) {
                right = std::max(right, set.x[k] + views[k]->m_cx);
                depth = std::max(depth, views[k]->m_cy - set.y[k]);
            }
            return Quality{metrics.crossings + metrics.hiddenSegments, metrics.lineLength,
                           double(right) * double(depth)};
        };
        BoxSet block;
        if (!arranger.LayOutGroup(nodes, inGroup, score, block))
            return stopped();
        blocks.push_back(std::move(block));
        blockTables.push_back(group);
    }

    // The groups fill rows about as wide as the canvas's shape asks for their
    // area; the loose tables stand in a grid to their right, at least as high
    // as the rows, so that the whole keeps that shape as well.
    double blockArea = 0;
    int64_t widest = 0;
    std::vector<std::pair<int64_t, int64_t>> blockSizes;
    for (const BoxSet& block : blocks) {
        blockArea += double(block.width + kArrangeGap) * double(block.height + kArrangeGap);
        widest = std::max(widest, block.width);
        blockSizes.emplace_back(block.width, block.height);
    }
    const Packing packing = PackInRows(
        blockSizes, std::max<int64_t>(widest, std::llround(std::sqrt(blockArea * aspect))), kArrangeGap);
    std::vector<std::pair<int64_t, int64_t>> topLeft = packing.topLeft;
    if (!loose.empty()) {
        std::vector<std::pair<int64_t, int64_t>> sizes;
        double looseArea = 0;
        for (int v : loose) {
            const CSize size = sizeOf(v);
            sizes.emplace_back(size.cx, size.cy);
            looseArea += double(size.cx + kArrangeGap) * double(size.cy + kArrangeGap);
        }
        const double wholeHeight = std::sqrt((double(packing.width) * double(packing.height) + looseArea) / aspect);
        blocks.push_back(
            FittingGrid(sizes, std::max<int64_t>(packing.height, std::llround(wholeHeight)), kArrangeGap));
        blockTables.push_back(loose);
        topLeft.emplace_back(blocks.size() == 1 ? 0 : packing.width + kArrangeGap, 0);
        if (!arranger.Report(int(loose.size())))
            return stopped();
    }
    int64_t width = 0, height = 0;
    for (size_t b = 0; b < blocks.size(); ++b) {
        width = std::max(width, topLeft[b].first + blocks[b].width);
        height = std::max(height, -topLeft[b].second + blocks[b].height);
    }

    // Where the arrangement's top-left corner goes: the canvas's top-left
    // margin, or for a selection its old top-left corner when the others keep
    // clear of that area, else beside or below the others.
    int64_t originX = kPlacementMargin;
    int64_t originY = -kPlacementMargin;
    if (options.scope == ArrangeScope::Selected) {
        int64_t minX = std::numeric_limits<int64_t>::max();
        int64_t maxTop = std::numeric_limits<int64_t>::min();
        for (int t : arranged) {
            minX = std::min<int64_t>(minX, doc.m_tables[size_t(t)]->m_x);
            maxTop = std::max<int64_t>(maxTop, doc.m_tables[size_t(t)]->m_y);
        }
        originX = std::max<int64_t>(minX, 0);
        originY = std::min<int64_t>(maxTop, 0);
        std::vector<CRect> others;
        bool clear = true;
        for (size_t i = 0; i < doc.m_tables.size(); ++i) {
            if (local[i] >= 0)
                continue;
            const KorvoTableView& table = *doc.m_tables[i];
            const CRect box = TableBox(table.m_x, table.m_y, table.m_cx, table.m_cy);
            others.push_back(box);
            if (box.left < originX + width + kArrangeGap && originX - kArrangeGap < box.right
                && box.bottom < originY + kArrangeGap && originY - height - kArrangeGap < box.top)
                clear = false;
        }
        if (!clear) {
            const ColumnPlacement placed = PlaceInColumns(others, {CSize{Saturate(width), Saturate(height)}}, page,
                                                          doc.m_nMaxPagesX, doc.m_nMaxPagesY);
            originX = placed.topLeft.front().x;
            originY = placed.topLeft.front().y;
        }
    }

    int64_t right = 0, depth = 0;
    for (size_t i = 0; i < doc.m_tables.size(); ++i) {
        const KorvoTableView& table = *doc.m_tables[i];
        if (local[i] >= 0)
            continue;
        right = std::max<int64_t>(right, int64_t(table.m_x) + table.m_cx);
        depth = std::max<int64_t>(depth, int64_t(table.m_cy) - table.m_y);
    }
    for (size_t b = 0; b < blocks.size(); ++b) {
        for (size_t i = 0; i < blockTables[b].size(); ++i) {
            const int index = arranged[size_t(blockTables[b][i])];
            const KorvoTableView& table = *doc.m_tables[size_t(index)];
            const CPoint to{Saturate(originX + topLeft[b].first + blocks[b].x[i]),
                            Saturate(originY + topLeft[b].second + blocks[b].y[i])};
            right = std::max<int64_t>(right, int64_t(to.x) + table.m_cx);
            depth = std::max<int64_t>(depth, int64_t(table.m_cy) - to.y);
            const CPoint from{table.m_x, table.m_y};
            if (!(from == to))
                change.moves.push_back({index, from, to});
        }
    }
    std::sort(change.moves.begin(), change.moves.end(),
              [](const TableMove& a, const TableMove& b) { return a.table < b.table; });
    GrowPagesToHold(right, depth, page, change.pagesXAfter, change.pagesYAfter);
    if (!arranger.Report(1))
        return stopped();
    return result;
}
