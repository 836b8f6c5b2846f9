// Throughput of the SQL import: a generated script of 10,000 CREATE TABLE
// statements read by ImportSQLTables and released by FreeTableData. Prints
// MB/s and the peak resident memory of the import.

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "ddlread.h"

namespace {

struct Random {
    uint64_t state;
    uint32_t Next()
    {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<uint32_t>(state >> 33);
    }
    int Between(int low, int high) { return low + static_cast<int>(Next() % (high - low + 1)); }
    bool Chance(int percent) { return Between(1, 100) <= percent; }
};

std::string ColumnType(Random& random)
{
    switch (random.Between(0, 6)) {
    case 0: return "INTEGER";
    case 1: return "VARCHAR(" + std::to_string(random.Between(1, 255)) + ")";
    case 2: return "CHAR ( " + std::to_string(random.Between(1, 20)) + " )";
    case 3:
        return "DECIMAL(" + std::to_string(random.Between(5, 18)) + ", " +
               std::to_string(random.Between(0, 4)) + ")";
    case 4: return "DOUBLE PRECISION";
    case 5: return "DATE";
    default: return "NUMERIC(10,2)";
    }
}

// Table i has columns c0..cN; c0 is its key, c1 may refer to an earlier table.
std::string GenerateScript(int tables, Random& random)
{
    std::string script = "-- generated schema\n";
    for (int t = 0; t < tables; ++t) {
        const std::string name = "table_" + std::to_string(t);
        const int columns = random.Between(5, 15);
        script += "CREATE TABLE " + name + " (\n";
        for (int c = 0; c < columns; ++c) {
            const std::string column = "col_" + std::to_string(c);
            script += "    " + column + " " + (c == 0 ? std::string("INTEGER") : ColumnType(random));
            if (c == 0 || random.Chance(40)) {
                script += " NOT NULL";
            }
            if (c > 1 && random.Chance(10)) {
                script += " UNIQUE";
            }
            if (c > 1 && random.Chance(25)) {
                script += random.Chance(50) ? " DEFAULT 0" : " DEFAULT 'none'";
            }
            if (c > 1 && random.Chance(15)) {
                script += " CHECK (" + column + " >= 0 AND " + column + " < " +
                          std::to_string(random.Between(10, 100000)) + ")";
            }
            script += ",\n";
        }
        script += "    PRIMARY KEY (col_0)";
        if (t > 0 && random.Chance(60)) {
            script += ",\n    FOREIGN KEY (col_1) REFERENCES table_" +
                      std::to_string(random.Between(0, t - 1)) + " (col_0)";
        }
        script += "\n);\n\n";
    }
    return script;
}

// A value in kB from /proc/self/status, or -1.
long StatusKilobytes(const char* field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    const size_t length = std::strlen(field);
    while (std::getline(status, line)) {
        if (line.compare(0, length, field) == 0 && line[length] == ':') {
            return std::atol(line.c_str() + length + 1);
        }
    }
    return -1;
}

// Lets VmHWM measure from now on; false where the kernel does not allow it.
bool ResetPeakMemory()
{
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    clear.flush();
    return static_cast<bool>(clear);
}

struct Counts {
    long tables = 0;
    long columns = 0;
    long constraints = 0;
};

Counts CountRecords(const TableData* list)
{
    Counts counts;
    for (const TableData* table = list; table; table = table->next) {
        ++counts.tables;
        for (const ColumnData* c = table->columns; c; c = c->next) {
            ++counts.columns;
        }
        for (const ConstraintData* c = table->constraints; c; c = c->next) {
            ++counts.constraints;
        }
    }
    return counts;
}

}  // namespace

// One tab-separated row per size for `make bench`: operation, tables, median
// ms, MB/s of script.
int PrintRows()
{
    for (int tables : {1000, 10000}) {
        Random random{12345};
        const std::string script = GenerateScript(tables, random);
        char path[] = "/tmp/ddlread_bench_XXXXXX";
        int fd = mkstemp(path);
        if (fd < 0 || write(fd, script.data(), script.size()) != static_cast<ssize_t>(script.size()))
            return 1;
        close(fd);
        std::vector<double> seconds;
        char error[500];
        for (int run = 0; run < 7; ++run) {
            const auto start = std::chrono::steady_clock::now();
            TableData* list = ImportSQLTables(path, error, sizeof error, nullptr);
            if (!list)
                return 1;
            FreeTableData(list);
            const auto stop = std::chrono::steady_clock::now();
            seconds.push_back(std::chrono::duration<double>(stop - start).count());
        }
        std::remove(path);
        std::sort(seconds.begin(), seconds.end());
        const double median = seconds[seconds.size() / 2];
        std::printf("parse SQL (ddlread)\t%d\t%.2f\t%.1f MB/s\n", tables, median * 1000.0,
                    static_cast<double>(script.size()) / (1024.0 * 1024.0) / median);
    }
    return 0;
}

int main(int argc, char** argv)
{
    if (argc > 1 && std::string(argv[1]) == "--rows")
        return PrintRows();
    const int tables = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 7;
    Random random{ 12345 };
    std::string script = GenerateScript(tables, random);

    char path[] = "/tmp/ddlread_bench_XXXXXX";
    int fd = mkstemp(path);
    if (fd < 0 || write(fd, script.data(), script.size()) != static_cast<ssize_t>(script.size())) {
        std::perror("ddlread_bench: cannot write the script");
        return 1;
    }
    close(fd);
    const double megabytes = static_cast<double>(script.size()) / (1024.0 * 1024.0);
    script.clear();
    script.shrink_to_fit();

    char error[500];
    TableData* list = ImportSQLTables(path, error, sizeof error, nullptr);
    if (!list) {
        std::fprintf(stderr, "ddlread_bench: the generated script does not import: %s", error);
        std::remove(path);
        return 1;
    }
    const Counts counts = CountRecords(list);
    FreeTableData(list);

    // Peak memory of one import, measured on its own.
    const long baseline = StatusKilobytes("VmRSS");
    const bool peakReset = ResetPeakMemory();
    list = ImportSQLTables(path, error, sizeof error, nullptr);
    const long peak = StatusKilobytes("VmHWM");
    FreeTableData(list);

    std::vector<double> seconds;
    for (int run = 0; run < runs; ++run) {
        const auto start = std::chrono::steady_clock::now();
        list = ImportSQLTables(path, error, sizeof error, nullptr);
        FreeTableData(list);
        const auto stop = std::chrono::steady_clock::now();
        seconds.push_back(std::chrono::duration<double>(stop - start).count());
    }
    std::remove(path);
    std::sort(seconds.begin(), seconds.end());
    const double best = seconds.front();
    const double median = seconds[seconds.size() / 2];

    const double recordMegabytes =
        (static_cast<double>(counts.tables) * sizeof(TableData) +
         static_cast<double>(counts.columns) * sizeof(ColumnData) +
         static_cast<double>(counts.constraints) * sizeof(ConstraintData)) /
        (1024.0 * 1024.0);
    std::printf("ddlread: script %.2f MB: %ld tables, %ld columns, %ld constraints\n",
                megabytes, counts.tables, counts.columns, counts.constraints);
    std::printf("ddlread: ImportSQLTables + FreeTableData, %d runs: best %.3f s (%.1f MB/s), "
                "median %.3f s (%.1f MB/s)\n",
                runs, best, megabytes / best, median, megabytes / median);
    if (peakReset && baseline > 0 && peak > 0) {
        std::printf("ddlread: peak resident memory %.1f MB (%.1f MB above the %.1f MB before "
                    "the import); records %.1f MB\n",
                    peak / 1024.0, (peak - baseline) / 1024.0, baseline / 1024.0,
                    recordMegabytes);
    } else {
        std::printf("ddlread: peak resident memory of the process %.1f MB; records %.1f MB\n",
                    StatusKilobytes("VmHWM") / 1024.0, recordMegabytes);
    }
    return 0;
}
