// Times the diagram check and the dialect exports on large diagrams; the
// check must stay well under 100 ms for 10,000 tables.
//
// usage: export_bench [--rows]

#include "BenchTiming.h"
#include "CKorvoDoc.h"
#include "DiagramCheck.h"
#include "DialectExport.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kColumnsPerTable = 10;
constexpr int kRuns = 7;

const char* const kTypes[kColumnsPerTable] = {"integer", "varchar(40)", "text", "numeric(10,2)", "timestamp",
                                              "boolean", "int4", "date", "varchar(120)", "int unsigned"};

// Tables of ten columns of mixed types and one relation each (from column 6
// to another table's key). One table in fifty has a name PostgreSQL must
// quote, one in ten a reserved column name, one in a hundred no key.
std::unique_ptr<CKorvoDoc> BuildDiagram(int tableCount)
{
    auto doc = std::make_unique<CKorvoDoc>();
    std::mt19937 random(20240611);
    for (int t = 0; t < tableCount; ++t) {
        auto table = std::make_unique<KorvoTableView>();
        table->m_def.m_strName = (t % 50 == 0 ? "Order " : "table_") + std::to_string(t);
        table->m_def.m_strDescription = "benchmark table";
        for (int c = 0; c < kColumnsPerTable; ++c)
            table->m_def.AddColumn(std::make_unique<CColumn>(c == 5 && t % 10 == 0 ? "user" : "column_" + std::to_string(c), kTypes[c],
                                                             c == 0, c == 3 ? "0" : "", c == 0 && t % 100 != 1, c == 1,
                                                             c == 3 ? "column_3 >= 0" : "", ""));
        doc->AddTable(std::move(table));
    }
    std::uniform_int_distribution<int> anyTable(0, tableCount - 1);
    for (int r = 0; r < tableCount; ++r) {
        KorvoTableView* source = doc->GetTable(anyTable(random));
        KorvoTableView* dest = doc->GetTable(anyTable(random));
        doc->AddRelation(std::make_unique<CRelation>(source, CKorvoDoc::GetColumn(source, 6), dest,
                                                     CKorvoDoc::GetColumn(dest, 0)));
    }
    return doc;
}

double Time(const std::function<void()>& step)
{
    return MedianTime(kRuns, step);
}

void Check(bool ok, const char* what)
{
    CheckStep("export_bench", ok, what);
}

struct Row {
    std::string operation;
    int tables;
    double ms;
    std::string throughput;
};

std::vector<Row> Measure(int tableCount)
{
    const std::unique_ptr<CKorvoDoc> doc = BuildDiagram(tableCount);
    std::vector<Row> rows;
    char text[64];
    for (std::optional<SqlDialect> dialect : {std::optional<SqlDialect>(), std::optional(SqlDialect::PostgreSql)}) {
        size_t found = 0;
        const double ms = Time([&] {
            found = CheckDiagram(*doc, dialect).size();
            Check(found > 0, "check");
        });
        std::snprintf(text, sizeof text, "%.0f tables/s", tableCount / (ms / 1000.0));
        rows.push_back({dialect ? "check diagram (" + std::string(DialectKeyword(*dialect)) + ")" : "check diagram",
                        tableCount, ms, text});
    }
    for (SqlDialect dialect : {SqlDialect::PostgreSql, SqlDialect::MySql, SqlDialect::Sqlite, SqlDialect::SqlServer}) {
        size_t bytes = 0;
        const double ms = Time([&] {
            ExportNotes notes;
            bytes = ExportDialectSql(*doc, dialect, notes).size();
            Check(bytes > 0, "export");
        });
        std::snprintf(text, sizeof text, "%.1f MB/s", double(bytes) / (1024.0 * 1024.0) / (ms / 1000.0));
        rows.push_back({"export SQL (" + std::string(DialectKeyword(dialect)) + ")", tableCount, ms, text});
    }
    return rows;
}

} // namespace

int main(int argc, char** argv)
{
    const bool tabbed = argc > 1 && std::string(argv[1]) == "--rows";
    if (!tabbed)
        std::printf("%-28s %8s %12s %18s\n", "operation", "tables", "median ms", "throughput");
    for (int tableCount : {1000, 10000}) {
        for (const Row& row : Measure(tableCount)) {
            if (tabbed)
                std::printf("%s\t%d\t%.2f\t%s\n", row.operation.c_str(), row.tables, row.ms, row.throughput.c_str());
            else
                std::printf("%-28s %8d %12.2f %18s\n", row.operation.c_str(), row.tables, row.ms, row.throughput.c_str());
        }
    }
    return 0;
}
