// The description merge against the record merge of Import SQL: every
// Korvo-language script, merged both ways into the same starting diagram,
// must save to the same .erd bytes.
#include "CKorvoDoc.h"
#include "CSchemaMerge.h"
#include "CSqlImporter.h"
#include "DdlreadDescription.h"
#include "FakeSurface.h"
#include "TestFiles.h"
#include "ddlread.h"

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include <gtest/gtest.h>

namespace {

constexpr CRect kCanvas{0, 0, 54000, -75600};

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

struct Outcome {
    bool imported = false;
    bool modified = false;
    std::string bytes;
};

// Loads the starting diagram, imports the script one way or the other and
// saves the result.
Outcome MergeBothWays(const std::string& start, const std::string& scriptPath, bool viaDescription,
                      CRect canvas = kCanvas)
{
    CKorvoDoc doc;
    if (!start.empty()) {
        EXPECT_TRUE(doc.LoadFromBytes(start.data(), start.size()).Opens());
    }
    char error[500] = "";
    TableData* list = ImportSQLTables(scriptPath.c_str(), error, int(sizeof error), nullptr);
    Outcome outcome;
    if (!list)
        return outcome;
    FakeSurface surface(210);
    if (viaDescription)
        CSchemaMerge(doc, surface, canvas).Merge(DescribeTableData(list));
    else
        CSqlImporter(doc, surface, canvas).ImportTables(list);
    FreeTableData(list);
    outcome.imported = true;
    outcome.modified = doc.IsModified();
    outcome.bytes = doc.SaveToBytes();
    return outcome;
}

// A Korvo-language script with the shapes that make the merge rules differ:
// repeated table names, forward and backward references, references with
// and without column lists, keys over several columns, repeated columns,
// several checks, and names missing from the referenced table.
std::string RandomScript(unsigned seed)
{
    std::mt19937 rng(seed);
    auto pick = [&rng](int n) { return int(rng() % unsigned(n)); };
    const int tables = 1 + pick(12);
    std::ostringstream s;
    for (int t = 0; t < tables; ++t) {
        s << "CREATE TABLE t" << pick(tables + 2) << " (";
        const int columns = 1 + pick(6);
        for (int c = 0; c < columns; ++c) {
            if (c)
                s << ", ";
            s << "c" << pick(8) << " " << (pick(2) ? "INT" : "VARCHAR(20)");
            if (pick(3) == 0)
                s << " NOT NULL";
            if (pick(5) == 0)
                s << " PRIMARY KEY";
            if (pick(6) == 0)
                s << " UNIQUE";
            if (pick(6) == 0)
                s << " DEFAULT " << pick(100);
            if (pick(7) == 0)
                s << " CHECK (c" << pick(8) << " > " << pick(9) << ")";
            if (pick(4) == 0) {
                s << " REFERENCES t" << pick(tables + 2);
                if (pick(2))
                    s << " (c" << pick(8) << (pick(3) == 0 ? " , c" + std::to_string(pick(8)) : "") << ")";
            }
        }
        const int constraints = pick(4);
        for (int k = 0; k < constraints; ++k) {
            switch (pick(4)) {
            case 0:
                s << ", PRIMARY KEY (c" << pick(8) << (pick(2) ? ", c" + std::to_string(pick(8)) : "") << ")";
                break;
            case 1:
                s << ", UNIQUE (c" << pick(8) << (pick(2) ? ", c" + std::to_string(pick(8)) : "") << ")";
                break;
            case 2:
                s << ", CHECK (c" << pick(8) << " <> " << pick(5) << ")";
                break;
            default:
                s << ", FOREIGN KEY (c" << pick(8) << (pick(2) ? ", c" + std::to_string(pick(8)) : "")
                  << ") REFERENCES t" << pick(tables + 2);
                if (pick(2))
                    s << " (c" << pick(8) << (pick(2) ? ", c" + std::to_string(pick(8)) : "") << ")";
                break;
            }
        }
        s << ");\n";
    }
    return s.str();
}

class MergeEquivalenceTest : public ::testing::Test {
protected:
    void ExpectSameDiagram(const std::string& start, const std::string& script, const std::string& what,
                           CRect canvas = kCanvas)
    {
        const std::string path = m_dir.File("script.sql");
        std::ofstream(path, std::ios::binary) << script;
        const Outcome records = MergeBothWays(start, path, false, canvas);
        const Outcome description = MergeBothWays(start, path, true, canvas);
        ASSERT_EQ(records.imported, description.imported) << what;
        EXPECT_EQ(records.modified, description.modified) << what;
        EXPECT_TRUE(records.bytes == description.bytes) << what << "\n" << script;
        if (records.imported)
            ++m_imported;
    }

    std::string ExampleDiagram() const { return ReadFile(std::string(KORVO_SOURCE_DIR) + "/examples/example.erd"); }

    TempDir m_dir;
    int m_imported = 0;
};

} // namespace

TEST_F(MergeEquivalenceTest, ScriptsOfTheImportTestsGiveTheSameDiagram)
{
    const char* const scripts[] = {
        "CREATE TABLE t (a INT NOT NULL, b VARCHAR(20) UNIQUE DEFAULT 'x' CHECK (b <> 'y'),"
        " c NUMERIC(10,2) PRIMARY KEY, PRIMARY KEY (a), UNIQUE (a, c), CHECK (a > 0), CHECK (c < 9));",
        "CREATE TABLE t (p INT NOT NULL, r TEXT, x INT);",
        "CREATE TABLE a (id INT); CREATE TABLE b (id INT, a_id INT REFERENCES a (id));",
        "CREATE TABLE b (id INT, a_id INT);",
        "CREATE TABLE child (id INT, p INT REFERENCES parent (id), q INT,"
        " FOREIGN KEY (q) REFERENCES parent (id)); CREATE TABLE parent (id INT);",
        "CREATE TABLE t (a INT, b INT, z INT); CREATE TABLE u (a INT, b INT, FOREIGN KEY (a, b) REFERENCES t);",
        "CREATE TABLE t (x INT, y INT, w INT); CREATE TABLE u (v INT REFERENCES t (x, y, nope));",
        "CREATE TABLE t (a INT, b INT); CREATE TABLE t (b TEXT, c INT);",
        "CREATE TABLE self (id INT, up INT, FOREIGN KEY (up) REFERENCES self (id), "
        "down INT REFERENCES self (id));",
        "CREATE TABLE t (a INT, a TEXT NOT NULL, b INT, UNIQUE (a, nope), PRIMARY KEY (nope));",
        "CREATE TABLE s.t (a INT) ; CREATE TABLE u (a INT REFERENCES s.t (a));",
        "CREATE TABLE x (a INT)\n---\n",
    };
    for (const char* script : scripts) {
        ExpectSameDiagram("", script, script);
        ExpectSameDiagram(ExampleDiagram(), script, std::string("into the example: ") + script);
    }
    // Four and nine tables for the column layout; sixteen on a small canvas
    // for its wrapping.
    for (int n : {4, 9, 16}) {
        std::string s;
        for (int i = 0; i < n; ++i)
            s += "CREATE TABLE t" + std::to_string(i) + " (a INT);\n";
        ExpectSameDiagram("", s, std::to_string(n) + " tables");
        ExpectSameDiagram("", s, std::to_string(n) + " tables, small canvas", CRect{0, 0, 3000, -3500});
    }
    EXPECT_EQ(m_imported, 2 * 12 + 6);
}

TEST_F(MergeEquivalenceTest, FuzzSeedsAndTheExampleExportGiveTheSameDiagram)
{
    const std::string corpus = std::string(KORVO_SOURCE_DIR) + "/fuzz/corpus/ddlread";
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
        const std::string script = ReadFile(entry.path().string());
        ExpectSameDiagram("", script, entry.path().string());
        ExpectSameDiagram(ExampleDiagram(), script, entry.path().string() + " into the example");
        ++files;
    }
    EXPECT_GE(files, 5);

    // Korvo's own export of the example, imported back into an empty diagram
    // and over the example itself.
    CKorvoDoc example;
    const std::string bytes = ExampleDiagram();
    ASSERT_TRUE(example.LoadFromBytes(bytes.data(), bytes.size()).Opens());
    const std::string exported = example.ExportSQLText();
    ExpectSameDiagram("", exported, "example export");
    ExpectSameDiagram(bytes, exported, "example export over the example");
}

TEST_F(MergeEquivalenceTest, GeneratedScriptsGiveTheSameDiagramIntoEmptyAndFilledDiagrams)
{
    // A starting diagram made by the record merge, with names the scripts reuse.
    const std::string startPath = m_dir.File("start.sql");
    std::ofstream(startPath, std::ios::binary) << RandomScript(7);
    const std::string start = MergeBothWays(ExampleDiagram(), startPath, false).bytes;
    ASSERT_FALSE(start.empty());

    for (unsigned seed = 1; seed <= 300; ++seed) {
        const std::string script = RandomScript(seed);
        ExpectSameDiagram("", script, "seed " + std::to_string(seed));
        ExpectSameDiagram(start, script, "seed " + std::to_string(seed) + " into a filled diagram");
    }
    EXPECT_GT(m_imported, 300) << "most generated scripts should import";
}

TEST_F(MergeEquivalenceTest, WideTableGivesTheSameDiagram)
{
    std::string s = "CREATE TABLE wide (";
    for (int i = 0; i < 3000; ++i)
        s += (i ? ", c" : "c") + std::to_string(i % 2900) + " INT";
    s += ", PRIMARY KEY (c5, c7));\n";
    ExpectSameDiagram("", s, "3000 columns");
    ExpectSameDiagram("", s + s, "3000 columns twice");
}
