#include <sys/resource.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ImportRun.h"
#include "ddlread.h"

namespace {

// Virtual size of this process in kB, from /proc/self/status.
long VirtualKilobytes()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.compare(0, 7, "VmSize:") == 0) {
            return std::atol(line.c_str() + 7);
        }
    }
    return -1;
}

// Tables of ten columns and a key each: about 11 KB of records per table.
std::string ManyTables(int count)
{
    std::string script;
    for (int t = 0; t < count; ++t) {
        script += "CREATE TABLE t" + std::to_string(t) + " (";
        for (int c = 0; c < 10; ++c) {
            script += "c" + std::to_string(c) + " INT NOT NULL, ";
        }
        script += "PRIMARY KEY (c0));\n";
    }
    return script;
}

std::vector<TableData*> TablesOf(TableData* list)
{
    std::vector<TableData*> tables;
    for (; list; list = list->next) {
        tables.push_back(list);
    }
    return tables;
}

}  // namespace

TEST(DdlreadRecordMemory, ReleasedRecordsGiveTheirMemoryBack)
{
    if (VirtualKilobytes() < 0) {
        GTEST_SKIP() << "no /proc/self/status";
    }
    // 3000 tables make about 33 MB of records, several slabs.
    ScratchFile script(ManyTables(3000));
    char error[500];
    TableData* warmUp = ImportSQLTables(script.Path().c_str(), error, sizeof error, nullptr);
    ASSERT_NE(warmUp, nullptr) << error;
    FreeTableData(warmUp);

    const long before = VirtualKilobytes();
    for (int round = 0; round < 10; ++round) {
        TableData* list = ImportSQLTables(script.Path().c_str(), error, sizeof error, nullptr);
        ASSERT_NE(list, nullptr) << error;
        std::vector<TableData*> tables = TablesOf(list);
        ASSERT_EQ(tables.size(), 3000u);
        if (round % 2 == 0) {
            FreeTableData(list);
        } else {
            // Any tail of the list may go first; the rest follows later.
            const size_t split = 1000 + static_cast<size_t>(round) * 100;
            tables[split - 1]->next = nullptr;
            FreeTableData(tables[split]);
            FreeTableData(list);
        }
    }
    // Ten imports kept would hold over 300 MB; allow for allocator noise.
    EXPECT_LT(VirtualKilobytes() - before, 16 * 1024);
}

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
TEST(DdlreadRecordMemory, ImportFailsCleanlyWhenMemoryRunsOut)
{
    // In a child process with little address space to spare: the import of a
    // script whose records need about 60 MB fails with a message instead of
    // ending the process, and a small import afterwards works.
    ScratchFile big(ManyTables(5500));
    ScratchFile small("CREATE TABLE t (a INT);");
    EXPECT_EXIT(
        {
            const long spareKilobytes = 24 * 1024;
            rlimit limit{};
            limit.rlim_cur = limit.rlim_max =
                static_cast<rlim_t>(VirtualKilobytes() + spareKilobytes) * 1024;
            if (setrlimit(RLIMIT_AS, &limit) != 0) {
                std::exit(3);
            }
            char error[500] = "";
            TableData* list = ImportSQLTables(big.Path().c_str(), error, sizeof error, nullptr);
            if (list || error[0] == '\0') {
                std::exit(4);
            }
            list = ImportSQLTables(small.Path().c_str(), error, sizeof error, nullptr);
            if (!list) {
                std::exit(5);
            }
            FreeTableData(list);
            std::exit(0);
        },
        testing::ExitedWithCode(0), "");
}
#endif
