// Times saving, loading and exporting a large diagram at three sizes, so a
// step that grows faster than the diagram shows in the per-table column.
//
// usage: model_bench [directory for the temporary files]

#include "BenchTiming.h"
#include "CKorvoDoc.h"
#include "DiagramFile.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kColumnsPerTable = 10;
constexpr int kRuns = 5;

std::unique_ptr<CKorvoDoc> BuildDiagram(int tableCount)
{
    auto doc = std::make_unique<CKorvoDoc>();
    std::mt19937 random(20240601);
    for (int t = 0; t < tableCount; ++t) {
        auto table = std::make_unique<KorvoTableView>();
        table->m_def.m_strName = "table_" + std::to_string(t);
        table->m_def.m_strDescription = "benchmark table";
        table->m_x = (t % 100) * 2000;
        table->m_y = -(t / 100) * 3000;
        for (int c = 0; c < kColumnsPerTable; ++c)
            table->m_def.AddColumn(std::make_unique<CColumn>("column_" + std::to_string(c), "varchar(40)", c == 0,
                                                             c == 3 ? "'none'" : "", c == 0, c == 1, "", ""));
        doc->AddTable(std::move(table));
    }
    std::uniform_int_distribution<int> anyTable(0, tableCount - 1);
    std::uniform_int_distribution<int> anyColumn(1, kColumnsPerTable - 1);
    for (int r = 0; r < tableCount; ++r) {
        KorvoTableView* source = doc->GetTable(anyTable(random));
        KorvoTableView* dest = doc->GetTable(anyTable(random));
        doc->AddRelation(std::make_unique<CRelation>(source, CKorvoDoc::GetColumn(source, anyColumn(random)), dest,
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
    CheckStep("model_bench", ok, what);
}

} // namespace

// One tab-separated row per file operation for `make bench`: operation,
// tables, median ms, MB/s of the file written or read.
int PrintRows(const std::string& erd, const std::string& sql)
{
    for (int tableCount : {1000, 10000}) {
        const std::unique_ptr<CKorvoDoc> doc = BuildDiagram(tableCount);
        const double erdMb = double(doc->SaveToBytes().size()) / (1024.0 * 1024.0);
        const double sqlMb = double(doc->ExportSQLText().size()) / (1024.0 * 1024.0);
        const double save = Time([&] { Check(SaveDiagramFile(erd, *doc).ok, "save file"); });
        const double load = Time([&] {
            CKorvoDoc back;
            Check(LoadDiagramFile(erd, back).status == LoadStatus::Loaded, "load file");
        });
        const double exportMs = Time([&] {
            char error[500] = "";
            Check(doc->ExportSQL(sql.c_str(), error, sizeof error), "export file");
        });
        std::printf("load .erd file\t%d\t%.2f\t%.1f MB/s\n", tableCount, load, erdMb / (load / 1000.0));
        std::printf("save .erd file\t%d\t%.2f\t%.1f MB/s\n", tableCount, save, erdMb / (save / 1000.0));
        std::printf("export SQL file\t%d\t%.2f\t%.1f MB/s\n", tableCount, exportMs, sqlMb / (exportMs / 1000.0));
    }
    return 0;
}

int main(int argc, char** argv)
{
    const bool rows = argc > 1 && std::string(argv[1]) == "--rows";
    if (rows) {
        --argc;
        ++argv;
    }
    const std::filesystem::path dir = argc > 1 ? argv[1] : std::filesystem::temp_directory_path();
    const std::string erd = (dir / "korvo_model_bench.erd").string();
    const std::string sql = (dir / "korvo_model_bench.sql").string();
    if (rows) {
        const int status = PrintRows(erd, sql);
        std::filesystem::remove(erd);
        std::filesystem::remove(sql);
        return status;
    }

    std::printf("%-8s %-9s %-10s %-28s %10s %14s\n", "tables", "columns", "relations", "step", "median ms",
                "us per table");
    for (int tableCount : {2500, 10000, 40000}) {
        const std::unique_ptr<CKorvoDoc> doc = BuildDiagram(tableCount);
        const std::string bytes = doc->SaveToBytes();

        struct Step {
            const char* name;
            std::function<void()> run;
        };
        const std::vector<Step> steps = {
            {"save to memory", [&] { Check(doc->SaveToBytes().size() == bytes.size(), "save"); }},
            {"load from memory",
             [&] {
                 CKorvoDoc back;
                 Check(back.LoadFromBytes(bytes.data(), bytes.size()).status == LoadStatus::Loaded, "load");
                 Check(back.m_relations.size() == doc->m_relations.size(), "load relations");
             }},
            {"save + load from memory",
             [&] {
                 const std::string saved = doc->SaveToBytes();
                 CKorvoDoc back;
                 Check(back.LoadFromBytes(saved.data(), saved.size()).status == LoadStatus::Loaded, "load");
             }},
            {"save file (with fsync)", [&] { Check(SaveDiagramFile(erd, *doc).ok, "save file"); }},
            {"load file",
             [&] {
                 CKorvoDoc back;
                 Check(LoadDiagramFile(erd, back).status == LoadStatus::Loaded, "load file");
             }},
            {"export SQL text", [&] { Check(!doc->ExportSQLText().empty(), "export"); }},
            {"export SQL file (with fsync)",
             [&] {
                 char error[500] = "";
                 Check(doc->ExportSQL(sql.c_str(), error, sizeof error), "export file");
             }},
        };
        for (const Step& step : steps) {
            const double ms = Time(step.run);
            std::printf("%-8d %-9d %-10zu %-28s %10.1f %14.2f\n", tableCount, tableCount * kColumnsPerTable,
                        doc->m_relations.size(), step.name, ms, ms * 1000.0 / tableCount);
        }
        std::printf("%-8d file %zu bytes, script %zu bytes\n", tableCount, bytes.size(), doc->ExportSQLText().size());
    }
    std::filesystem::remove(erd);
    std::filesystem::remove(sql);
    return 0;
}
