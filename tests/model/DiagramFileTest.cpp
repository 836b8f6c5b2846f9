#include "DiagramFile.h"
#include "TestDiagrams.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

CKorvoDoc* MakeDiagram(CKorvoDoc& doc)
{
    KorvoTableView* a = AddTestTable(doc, "a", {"id"}, 100, -100);
    KorvoTableView* b = AddTestTable(doc, "b", {"id", "a_id"}, 3000, -100);
    Relate(doc, b, {1}, a, {0});
    doc.m_nMaxPagesX = 3;
    return &doc;
}

TEST(DiagramFileIo, SaveThenLoadGivesTheSameDiagram)
{
    TempDir dir;
    const std::string path = dir.File("diagram.erd");
    CKorvoDoc doc;
    MakeDiagram(doc);
    const FileResult saved = SaveDiagramFile(path, doc);
    ASSERT_TRUE(saved.ok) << saved.message;
    EXPECT_EQ(ReadWholeFile(path), doc.SaveToBytes());
    EXPECT_EQ(dir.EntryCount(), 1u); // no temporary file left behind

    CKorvoDoc back;
    const LoadOutcome outcome = LoadDiagramFile(path, back);
    EXPECT_EQ(outcome.status, LoadStatus::Loaded);
    EXPECT_EQ(back.SaveToBytes(), doc.SaveToBytes());
}

TEST(DiagramFileIo, UnreadableFilesNameTheFileAndTheReason)
{
    TempDir dir;
    // A named pipe without a writer must neither block nor be read.
    ASSERT_EQ(mkfifo(dir.File("pipe.erd").c_str(), 0600), 0);
    struct Case {
        std::string path;
        std::string message;
    };
    const std::vector<Case> cases = {
        {dir.File("x.erd"), "Cannot open file '" + dir.File("x.erd") + "': No such file or directory"},
        {dir.Path(), "Cannot open file '" + dir.Path() + "': Is a directory"},
        {dir.File("pipe.erd"), "Cannot open file '" + dir.File("pipe.erd") + "': Not a regular file"},
        {"/dev/zero", "Cannot open file '/dev/zero': Not a regular file"},
    };
    for (const Case& c : cases) {
        CKorvoDoc doc;
        const LoadOutcome outcome = LoadDiagramFile(c.path, doc);
        EXPECT_EQ(outcome.status, LoadStatus::IoError);
        EXPECT_FALSE(outcome.Opens());
        EXPECT_EQ(outcome.text, c.message);
    }
}

TEST(DiagramFileIo, ZeroLengthFileOpensEmptyWithoutAMessage)
{
    TempDir dir;
    WriteWholeFile(dir.File("empty.erd"), "");
    CKorvoDoc doc;
    const LoadOutcome outcome = LoadDiagramFile(dir.File("empty.erd"), doc);
    EXPECT_EQ(outcome.status, LoadStatus::Loaded);
    EXPECT_EQ(outcome.text, "");
    EXPECT_TRUE(doc.m_tables.empty());
}

TEST(DiagramFileIo, ReplacingAFileKeepsItsPermissions)
{
    TempDir dir;
    const std::string path = dir.File("diagram.erd");
    WriteWholeFile(path, "old");
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    CKorvoDoc doc;
    ASSERT_TRUE(SaveDiagramFile(path, doc).ok);
    struct stat st {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(ReadWholeFile(path), doc.SaveToBytes());
}

TEST(DiagramFileIo, SavingThroughALinkReplacesTheLinkedFile)
{
    TempDir dir;
    const std::string target = dir.File("real.erd");
    const std::string link = dir.File("link.erd");
    WriteWholeFile(target, "old");
    ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
    CKorvoDoc doc;
    ASSERT_TRUE(SaveDiagramFile(link, doc).ok);
    struct stat st {};
    ASSERT_EQ(lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(ReadWholeFile(target), doc.SaveToBytes());
}

TEST(DiagramFileIo, AFileThatCannotBeCreatedIsAnOpenFailure)
{
    TempDir dir;
    CKorvoDoc doc;
    const std::string path = dir.File("missing/diagram.erd");
    const FileResult result = SaveDiagramFile(path, doc);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.error, FileError::Open);
    EXPECT_EQ(result.message, "Cannot create file '" + path + "': No such file or directory");
}

TEST(DiagramFileIo, AReadOnlyFileIsNotReplaced)
{
    // The folder is writable, so only the file's own permission can stop the
    // rename. Root may write anything: check as an ordinary user then.
    TempDir dir;
    ASSERT_EQ(chmod(dir.Path().c_str(), 0777), 0);
    const std::string path = dir.File("locked.erd");
    WriteWholeFile(path, "old");
    ASSERT_EQ(chmod(path.c_str(), 0444), 0);

    const int status = RunInChild([&] {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            return 3;
        const FileResult result = SaveDiagramFile(path, CKorvoDoc());
        if (result.ok)
            return 1;
        const std::string expected = "Cannot create file '" + path + "': Permission denied";
        return result.error == FileError::Open && result.message == expected ? 0 : 2;
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(ReadWholeFile(path), "old");
}

// Regression: a save that runs out of room must not leave a cut-off diagram
// where the old one was.
TEST(DiagramFileIo, AFailedSaveLeavesTheOldFileIntact)
{
    TempDir dir;
    const std::string path = dir.File("diagram.erd");
    CKorvoDoc small;
    MakeDiagram(small);
    ASSERT_TRUE(SaveDiagramFile(path, small).ok);
    const std::string before = ReadWholeFile(path);

    CKorvoDoc big;
    for (int i = 0; i < 500; ++i)
        AddTestTable(big, "table" + std::to_string(i), {"id", "name"});
    ASSERT_GT(big.SaveToBytes().size(), 4096u);

    auto save = [&] {
        const FileResult result = SaveDiagramFile(path, big);
        if (result.ok)
            return 1;
        const std::string expected = "Cannot write file '" + path + "': File too large";
        return result.error == FileError::Write && result.message == expected ? 0 : 2;
    };
    const int status = RunInChild(save, 4096);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(ReadWholeFile(path), before);
    EXPECT_EQ(dir.EntryCount(), 1u);

    CKorvoDoc back;
    EXPECT_EQ(LoadDiagramFile(path, back).status, LoadStatus::Loaded);
    EXPECT_EQ(back.m_tables.size(), 2u);
}

} // namespace
