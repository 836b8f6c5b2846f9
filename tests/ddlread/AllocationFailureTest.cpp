// Runs imports with the n-th allocation refused, for every n, through a malloc
// of this executable that the library's calls (and the C library's own) reach.
// Each run must end in a clean failure or in the normal result, and every
// block allocated during the run must be freed by its end.

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "ImportRun.h"
#include "ddlread.h"

#if defined(__SANITIZE_ADDRESS__)
#define DDLREAD_OWN_MALLOC 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(memory_sanitizer)
#define DDLREAD_OWN_MALLOC 0
#endif
#endif
#ifndef DDLREAD_OWN_MALLOC
#define DDLREAD_OWN_MALLOC 1
#endif

#if DDLREAD_OWN_MALLOC

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);
void __libc_free(void* block);
}

namespace {

// Counts allocations while active and refuses the one the countdown reaches.
struct AllocationBudget {
    bool active = false;
    long countdown = -1;
    bool refused = false;
    long live = 0;
};

AllocationBudget g_budget;

bool Refuse()
{
    if (!g_budget.active || g_budget.countdown < 0) {
        return false;
    }
    if (g_budget.countdown == 0) {
        g_budget.countdown = -1;
        g_budget.refused = true;
        errno = ENOMEM;
        return true;
    }
    --g_budget.countdown;
    return false;
}

void* Counted(void* block)
{
    if (block && g_budget.active) {
        ++g_budget.live;
    }
    return block;
}

}  // namespace

extern "C" void* malloc(size_t size)
{
    return Refuse() ? nullptr : Counted(__libc_malloc(size));
}

extern "C" void* calloc(size_t count, size_t size)
{
    return Refuse() ? nullptr : Counted(__libc_calloc(count, size));
}

extern "C" void* realloc(void* block, size_t size)
{
    if (!block) {
        return malloc(size);
    }
    if (size == 0) {
        free(block);
        return nullptr;
    }
    return Refuse() ? nullptr : __libc_realloc(block, size);
}

extern "C" void free(void* block)
{
    if (block && g_budget.active) {
        --g_budget.live;
    }
    __libc_free(block);
}

namespace {

// FNV-1a over every record field, taken without allocating.
struct Fingerprint {
    uint64_t value = 1469598103934665603ull;

    void Add(const void* data, size_t size)
    {
        const unsigned char* bytes = static_cast<const unsigned char*>(data);
        for (size_t i = 0; i < size; ++i) {
            value = (value ^ bytes[i]) * 1099511628211ull;
        }
    }
    void AddText(const char* text) { Add(text, strlen(text) + 1); }
};

uint64_t FingerprintOf(const TableData* list)
{
    Fingerprint print;
    for (const TableData* table = list; table; table = table->next) {
        print.AddText(table->name);
        for (const ColumnData* c = table->columns; c; c = c->next) {
            print.Add(&c->flags, sizeof c->flags);
            for (const char* text : { c->name, c->type, c->defaultValue, c->refTable,
                                      c->refColumns, c->check }) {
                print.AddText(text);
            }
        }
        for (const ConstraintData* c = table->constraints; c; c = c->next) {
            print.Add(&c->kind, sizeof c->kind);
            for (const char* text : { c->refTable, c->columns, c->refColumns, c->check }) {
                print.AddText(text);
            }
        }
    }
    return print.value;
}

struct Outcome {
    bool succeeded = false;
    uint64_t fingerprint = 0;
    char error[500] = {};
    bool refused = false;
    long leaked = 0;
};

Outcome ImportWithBudget(const std::string& path, const char* tracePath, long countdown)
{
    Outcome outcome;
    g_budget = AllocationBudget{};
    g_budget.countdown = countdown;
    g_budget.active = true;
    TableData* list = ImportSQLTables(path.c_str(), outcome.error, sizeof outcome.error,
                                      tracePath);
    outcome.succeeded = list != nullptr;
    outcome.fingerprint = FingerprintOf(list);
    FreeTableData(list);
    g_budget.active = false;
    outcome.refused = g_budget.refused;
    outcome.leaked = g_budget.live;
    return outcome;
}

void SweepAllocationFailures(const std::string& sql, bool withTrace)
{
    ScratchFile script(sql);
    ScratchFile trace;
    const char* tracePath = withTrace ? trace.Path().c_str() : nullptr;
    const Outcome reference = ImportWithBudget(script.Path(), tracePath, -1);
    ASSERT_EQ(reference.leaked, 0);

    for (long countdown = 0;; ++countdown) {
        ASSERT_LT(countdown, 100000) << "the import never stops allocating";
        Outcome outcome = ImportWithBudget(script.Path(), tracePath, countdown);
        ASSERT_EQ(outcome.leaked, 0) << "allocation " << countdown << " refused";
        if (!outcome.refused) {
            // Every run allocates at least the file, the scanner and a table.
            EXPECT_GT(countdown, 5);
            EXPECT_EQ(outcome.succeeded, reference.succeeded);
            EXPECT_EQ(outcome.fingerprint, reference.fingerprint);
            EXPECT_STREQ(outcome.error, reference.error);
            break;
        }
        if (outcome.succeeded) {
            // Only a refusal the C library works around (an unbuffered read
            // instead of a buffered one) may still give the normal result.
            ASSERT_TRUE(reference.succeeded) << "allocation " << countdown;
            ASSERT_EQ(outcome.fingerprint, reference.fingerprint) << "allocation " << countdown;
        } else {
            ASSERT_NE(outcome.error[0], '\0') << "allocation " << countdown;
        }
    }
}

}  // namespace

TEST(DdlreadAllocation, EveryRefusedAllocationFailsCleanly)
{
    SweepAllocationFailures(
        "-- schema\n"
        "CREATE TABLE a (x INT NOT NULL PRIMARY KEY, y VARCHAR(20) DEFAULT 'q' UNIQUE,\n"
        "  z DECIMAL(10, 2) CHECK (z BETWEEN 1 AND 2 OR z IN ((SELECT MAX(b) FROM t))),\n"
        "  FOREIGN KEY (x, y) REFERENCES b (c, d), CHECK (NOT EXISTS (SELECT * FROM u)));\n"
        "CREATE TABLE b (c INT 'open\n, d DOUBLE PRECISION REFERENCES a (x))\n",
        false);
}

TEST(DdlreadAllocation, RefusalsWithATraceFile)
{
    SweepAllocationFailures("CREATE TABLE t (a INT NOT NULL, PRIMARY KEY (a));", true);
}

TEST(DdlreadAllocation, RefusalsWhileTheInputBufferAndParserStackGrow)
{
    const std::string nested = std::string(300, '(') + "a = 1" + std::string(300, ')');
    SweepAllocationFailures("CREATE TABLE t (a CHAR DEFAULT '" + std::string(40000, 'v') +
                                "' CHECK (" + nested + "));",
                            false);
}

TEST(DdlreadAllocation, RefusalsInAScriptThatDoesNotParse)
{
    SweepAllocationFailures("CREATE TABLE t (a INT, b INT CHECK (a = ), c INT);", false);
}

#else

TEST(DdlreadAllocation, EveryRefusedAllocationFailsCleanly)
{
    GTEST_SKIP() << "the sanitizer owns malloc in this build";
}

#endif
