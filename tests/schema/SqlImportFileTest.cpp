// The one call that reads a script into records: what it hands out, what it
// says when it cannot, and that the records go back to ddlread on every path
// (the sanitizer build reports any that do not).
#include "SqlImportFile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class SqlImportFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/korvo-schema-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_dir = pattern;
    }
    void TearDown() override { std::system(("rm -rf '" + m_dir + "'").c_str()); }

    std::string Script(const std::string& name, const std::string& text) const
    {
        const std::string path = m_dir + "/" + name;
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }

    std::string m_dir;
};

TEST_F(SqlImportFileTest, GivesTheTablesOfTheScriptInOrder)
{
    std::string error = "stale";
    const SqlTableList list = ImportSqlFile(
        Script("two.sql", "CREATE TABLE a (x INT NOT NULL);\nCREATE TABLE b (y INT, PRIMARY KEY (y));\n"), error);
    ASSERT_TRUE(list) << error;
    EXPECT_EQ(error, "");
    // The records are packed to 4 bytes: their pointers are read into locals
    // before any check takes them by reference.
    const TableData* first = list.get();
    const ColumnData* column = first->columns;
    const TableData* second = first->next;
    EXPECT_STREQ(first->name, "a");
    ASSERT_NE(column, nullptr);
    EXPECT_STREQ(column->name, "x");
    EXPECT_EQ(column->flags, DDL_COLUMN_NOT_NULL);
    ASSERT_NE(second, nullptr);
    const ConstraintData* key = second->constraints;
    const TableData* third = second->next;
    EXPECT_STREQ(second->name, "b");
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->kind, DDL_CONSTRAINT_PRIMARY_KEY);
    EXPECT_EQ(third, nullptr);
}

TEST_F(SqlImportFileTest, FailuresCarryTheLibrarysText)
{
    const std::string pipe = m_dir + "/pipe.sql";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    const struct {
        std::string path;
        std::string error;
    } table[] = {
        {m_dir + "/absent.sql", "Error opening file."},
        {pipe, "Error opening file."},
        {m_dir, "Error opening file."},
        {Script("bad.sql", "CREATE TABLE t (a INT,\n KEY);"), "2: parse error at KEY\n"},
        {Script("none.sql", "nothing here\n"), "2: parse error at \n"},
    };
    for (const auto& row : table) {
        std::string error;
        EXPECT_FALSE(ImportSqlFile(row.path, error)) << row.path;
        EXPECT_EQ(error, row.error) << row.path;
    }
}

TEST_F(SqlImportFileTest, RecordsGoBackWhenTheUserThrows)
{
    const std::string path = Script("t.sql", "CREATE TABLE t (a INT);");
    std::string error;
    EXPECT_THROW(
        {
            const SqlTableList list = ImportSqlFile(path, error);
            ASSERT_TRUE(list);
            throw std::runtime_error("merge failed");
        },
        std::runtime_error);
}

} // namespace
