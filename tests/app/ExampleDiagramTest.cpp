// The committed example diagram is exactly what its generator writes, and it
// reads back as the diagram the generator describes.
#include "CKorvoDoc.h"
#include "DiagramFile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

namespace {

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace

TEST(ExampleDiagram, CommittedFileMatchesItsGenerator)
{
    const std::string out = testing::TempDir() + "example-regenerated.erd";
    const std::string command = std::string(MAKE_EXAMPLE) + " '" + out + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const std::string committed = ReadAll(KORVO_EXAMPLE);
    ASSERT_FALSE(committed.empty());
    EXPECT_EQ(ReadAll(out), committed) << "regenerate with: cmake --build build --target example_erd";
}

TEST(ExampleDiagram, HoldsRelatedTablesWithKeys)
{
    CKorvoDoc doc;
    ASSERT_EQ(LoadDiagramFile(KORVO_EXAMPLE, doc).status, LoadStatus::Loaded);
    ASSERT_EQ(doc.m_tables.size(), 4u);
    EXPECT_EQ(doc.m_relations.size(), 3u);
    for (const auto& table : doc.m_tables) {
        bool hasKey = false;
        for (const CColumn* column : table->GetColumns())
            hasKey = hasKey || column->m_bPrimaryKey;
        EXPECT_TRUE(hasKey) << table->GetName();
    }
    for (const auto& relation : doc.m_relations) {
        EXPECT_NE(relation->m_pSource, relation->m_pDest);
        EXPECT_EQ(relation->m_sourceColumns.size(), relation->m_destColumns.size());
    }
}
