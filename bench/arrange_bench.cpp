// Times the automatic arrangement (Graphviz dot) of schema-like diagrams and
// the placement of an import, and reports how the arrangement reads compared
// with the import's column layout.
//
// usage: arrange_bench [--rows]

#include "BenchTiming.h"
#include "DiagramArrange.h"
#include "DiagramMetrics.h"
#include "FakeSurface.h"
#include "GeneratedDiagrams.h"
#include "Placement.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <numeric>
#include <string>
#include <vector>

namespace {

constexpr int kRuns = 5;
// Letter paper less quarter-inch margins, the program's default page.
constexpr PageArea kPage{11520 - 720, 15840 - 720};

double Time(const std::function<void()>& step)
{
    return MedianTime(kRuns, step);
}

void Check(bool ok, const char* what)
{
    CheckStep("arrange_bench", ok, what);
}

std::vector<int> AllTables(const CKorvoDoc& doc)
{
    std::vector<int> all(doc.m_tables.size());
    std::iota(all.begin(), all.end(), 0);
    return all;
}

ArrangeResult Arrange(const CKorvoDoc& doc)
{
    ArrangeOptions options;
    options.page = kPage;
    ArrangeResult result = ArrangeTables(doc, options);
    Check(result.status == ArrangeStatus::Arranged, "arrange");
    return result;
}

// A schema-like diagram (modules, hub tables, about 1.5 relations per table),
// measured with round numbers close to 12-point Arial.
std::unique_ptr<CKorvoDoc> Diagram(generated::Shape shape, int tableCount)
{
    auto doc = generated::Build(shape, tableCount);
    MeasureTables(*doc, FakeSurface());
    return doc;
}

// One tab-separated row per step for `make bench`: operation, tables,
// median ms, tables per second.
void PrintRows()
{
    for (int tableCount : {200, 1000}) {
        auto doc = Diagram(generated::Shape::Schema, tableCount);
        const double ms = Time([&] { Arrange(*doc); });
        std::printf("arrange tables (dot)\t%d\t%.2f\t%.0f tables/s\n", tableCount, ms, tableCount / (ms / 1000.0));
    }
    for (int tableCount : {1000, 10000}) {
        auto doc = Diagram(generated::Shape::Schema, tableCount);
        const double ms = Time([&] { PlaceImportedTables(*doc, AllTables(*doc), kPage); });
        std::printf("place imported tables\t%d\t%.2f\t%.0f tables/s\n", tableCount, ms, tableCount / (ms / 1000.0));
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && std::string(argv[1]) == "--rows") {
        PrintRows();
        return 0;
    }
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    std::printf("%-8s %-6s %-9s %10s | %-27s | %-27s | %s\n", "shape", "tables", "relations", "ms",
                "import: crossings / hidden", "arranged: crossings / hidden", "pages");
    for (generated::Shape shape : {generated::Shape::Schema, generated::Shape::Tree, generated::Shape::Star,
                                   generated::Shape::Dense}) {
        for (int tableCount : {200, 1000, 5000}) {
            auto doc = Diagram(shape, tableCount);
            // The median of several runs up to 1,000 tables, one run beyond.
            double ms = 0;
            if (tableCount <= 1000) {
                ms = Time([&] { Arrange(*doc); });
            } else {
                const auto start = std::chrono::steady_clock::now();
                Arrange(*doc);
                ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
            }
            ApplyMoves(*doc, PlaceImportedTables(*doc, AllTables(*doc), kPage));
            const LayoutMetrics before = MeasureLayout(*doc);
            ApplyMoves(*doc, Arrange(*doc).change);
            const LayoutMetrics after = MeasureLayout(*doc);
            Check(after.overlaps == 0, "no overlaps");
            std::printf("%-8s %-6d %-9zu %10.1f | %12lld / %-12lld | %12lld / %-13lld | %dx%d\n",
                        generated::ShapeName(shape), tableCount, doc->m_relations.size(), ms,
                        (long long)before.crossings, (long long)before.hiddenSegments, (long long)after.crossings,
                        (long long)after.hiddenSegments, doc->m_nMaxPagesX, doc->m_nMaxPagesY);
        }
    }
    return 0;
}
