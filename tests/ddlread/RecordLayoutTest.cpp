#include <cstddef>
#include <cstdio>
#include <set>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "ddlread.h"

// Every field up to the first pointer keeps the offset Korvo reads it at on
// every target; the pointers follow one another without padding. The exact
// 32-bit sizes are checked by Layout32Check.c.
constexpr size_t kPointer = sizeof(void*);

static_assert(offsetof(TableData, name) == 0);
static_assert(offsetof(TableData, columns) == 100);
static_assert(offsetof(TableData, constraints) == 100 + kPointer);
static_assert(offsetof(TableData, next) == 100 + 2 * kPointer);
static_assert(sizeof(TableData) == 100 + 3 * kPointer);

static_assert(offsetof(ColumnData, flags) == 0);
static_assert(offsetof(ColumnData, name) == 4);
static_assert(offsetof(ColumnData, type) == 104);
static_assert(offsetof(ColumnData, defaultValue) == 204);
static_assert(offsetof(ColumnData, refTable) == 304);
static_assert(offsetof(ColumnData, refColumns) == 404);
static_assert(offsetof(ColumnData, check) == 904);
static_assert(offsetof(ColumnData, next) == 1104);
static_assert(sizeof(ColumnData) == 1104 + kPointer);

static_assert(offsetof(ConstraintData, kind) == 0);
static_assert(offsetof(ConstraintData, refTable) == 4);
static_assert(offsetof(ConstraintData, columns) == 104);
static_assert(offsetof(ConstraintData, refColumns) == 604);
static_assert(offsetof(ConstraintData, check) == 1104);
static_assert(offsetof(ConstraintData, next) == 1304);
static_assert(sizeof(ConstraintData) == 1304 + kPointer);

static_assert(sizeof(void*) != 4 ||
              (sizeof(TableData) == 112 && sizeof(ColumnData) == 1108 &&
               sizeof(ConstraintData) == 1308));

namespace {

// Names the library defines in its dynamic symbol table.
std::set<std::string> ExportedNames(const std::string& library)
{
    std::set<std::string> names;
    std::string command = "nm -D --defined-only '" + library + "' 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) {
        return names;
    }
    char line[1024];
    while (fgets(line, sizeof line, pipe)) {
        std::istringstream fields(line);
        std::string address, kind, name;
        if (fields >> address >> kind >> name) {
            names.insert(name);
        }
    }
    pclose(pipe);
    return names;
}

}  // namespace

TEST(DdlreadExports, OnlyTheTwoEntryPointsAreExported)
{
    if (std::system("nm --version >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "nm is not installed";
    }
    std::set<std::string> names = ExportedNames(DDLREAD_LIBRARY_PATH);
    // Symbols the linker adds to every shared object are not the library's.
    for (const char* linkerName : { "_edata", "_end", "__bss_start", "_init", "_fini" }) {
        names.erase(linkerName);
    }
    EXPECT_EQ(names, (std::set<std::string>{ "FreeTableData", "ImportSQLTables" }));
}
