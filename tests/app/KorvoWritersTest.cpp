// Every file a batch verb writes: pipes, devices and standard output, paths
// that must be refused, a full disk, the PDF of a print without printer, and
// running out of memory.
#include "CRecordingSeam.h"
#include "PipeReader.h"
#include "TestBytes.h"
#include "ProgramRun.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPrinterInfo>
#include <QTemporaryDir>

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <thread>
#include <unistd.h>

#include <gtest/gtest.h>

namespace {

const QString kExample = QStringLiteral(KORVO_EXAMPLE);

QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

mode_t TypeOf(const QString& path)
{
    struct stat st {};
    return lstat(QFile::encodeName(path).constData(), &st) == 0 ? (st.st_mode & S_IFMT) : 0;
}

} // namespace

// Regression: a named pipe, a device or a link to standard output became a
// plain file, and the verb reported success.
TEST(KorvoWriters, PipesDevicesAndStandardOutputAreWrittenDirectly)
{
    QTemporaryDir dir;
    const QString reference = dir.filePath(QStringLiteral("reference.sql"));
    ASSERT_EQ(Korvo({"--export-sql", kExample, reference}).exitCode, 0);
    const QByteArray sql = ReadFile(reference);
    ASSERT_TRUE(sql.startsWith("CREATE TABLE "));

    const QString pipe = dir.filePath(QStringLiteral("pipe"));
    ASSERT_EQ(mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    {
        PipeReader reader(QFile::encodeName(pipe).toStdString());
        const ProgramRun run = Korvo({"--export-sql", kExample, pipe});
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        EXPECT_EQ(reader.Bytes(), sql.toStdString());
    }
    {
        PipeReader reader(QFile::encodeName(pipe).toStdString());
        const ProgramRun run = Korvo({"--render", kExample, pipe, "--format", "svg"});
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        EXPECT_NE(reader.Bytes().find("<svg"), std::string::npos);
    }
    EXPECT_EQ(TypeOf(pipe), mode_t(S_IFIFO));

    const ProgramRun toStdout = Korvo({"--export-sql", kExample, "-"});
    EXPECT_EQ(toStdout.exitCode, 0) << toStdout.err.toStdString();
    EXPECT_EQ(toStdout.out, sql);
    const struct {
        QStringList format;
        QByteArray start;
    } pictures[] = {
        {{}, QByteArray("\x89PNG")},
        {{"--format", "svg"}, QByteArray("<?xml")},
        {{"--format=pdf"}, QByteArray("%PDF")},
    };
    for (const auto& picture : pictures) {
        const ProgramRun run = Korvo(QStringList{"--render", kExample, "-"} + picture.format);
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        EXPECT_TRUE(run.out.startsWith(picture.start)) << picture.start.toStdString();
    }

    // The null device's node, made here (never the system's /dev).
    const QString device = dir.filePath(QStringLiteral("null"));
    ASSERT_EQ(mknod(QFile::encodeName(device).constData(), S_IFCHR | 0666, makedev(1, 3)), 0);
    const QString script = dir.filePath(QStringLiteral("t.sql"));
    WriteBytes(script, "CREATE TABLE t (a INT);\n");
    EXPECT_EQ(Korvo({"--import-sql", script, "-o", device}).exitCode, 0);
    EXPECT_EQ(Korvo({"--render", kExample, device, "--format", "png"}).exitCode, 0);
    EXPECT_EQ(TypeOf(device), mode_t(S_IFCHR));
}

TEST(KorvoWriters, FoldersAndDanglingLinksAreRefused)
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("folder.png"));
    ASSERT_TRUE(QDir().mkdir(folder));
    const QString dangling = dir.filePath(QStringLiteral("dangling.sql"));
    const QString nowhere = dir.filePath(QStringLiteral("nowhere.sql"));
    ASSERT_EQ(symlink(QFile::encodeName(nowhere).constData(), QFile::encodeName(dangling).constData()), 0);

    const ProgramRun toFolder = Korvo({"--render", kExample, folder});
    EXPECT_EQ(toFolder.exitCode, 1);
    EXPECT_EQ(KorvoLines(toFolder.err),
              QStringList{"korvo: " + kExample + ": Cannot create file '" + folder + "': Is a directory"});

    const ProgramRun toDangling = Korvo({"--export-sql", kExample, dangling});
    EXPECT_EQ(toDangling.exitCode, 1);
    EXPECT_EQ(KorvoLines(toDangling.err),
              QStringList{"korvo: " + dangling + ": Export SQL Error: Unable to open output file."});
    const QString script = dir.filePath(QStringLiteral("t.sql"));
    WriteBytes(script, "CREATE TABLE t (a INT);\n");
    const ProgramRun importToDangling = Korvo({"--import-sql", script, "-o", dangling});
    EXPECT_EQ(importToDangling.exitCode, 1);
    EXPECT_EQ(KorvoLines(importToDangling.err),
              QStringList{"korvo: Cannot create file '" + dangling +
                          "': it is a symbolic link to a file that does not exist"});
    EXPECT_FALSE(QFileInfo::exists(nowhere));
    EXPECT_EQ(TypeOf(dangling), mode_t(S_IFLNK));
}

// Regression: the SVG and PDF writers ignored a failed write, and PNG, SVG,
// PDF and the print's PDF replaced the old file with a cut-off one and
// exited with 0.
TEST(KorvoWriters, AFullDiskFailsEveryPictureAndKeepsTheOldFile)
{
    QTemporaryDir dir;
    ProgramLimits full;
    full.fileSize = 2048;
    for (const char* name : {"out.png", "out.svg", "out.pdf"}) {
        const QString out = dir.filePath(QString::fromLatin1(name));
        WriteBytes(out, "old");
        const ProgramRun run = Korvo({"--render", kExample, out}, full);
        EXPECT_EQ(run.exitCode, 1) << name;
        EXPECT_EQ(KorvoLines(run.err),
                  QStringList{"korvo: " + kExample + ": Cannot write file '" + out + "': File too large"});
        EXPECT_EQ(ReadFile(out), QByteArray("old")) << name;
    }
    if (QPrinterInfo::defaultPrinter().isNull()) {
        const QString diagram = dir.filePath(QStringLiteral("orders.erd"));
        ASSERT_TRUE(QFile::copy(kExample, diagram));
        const ProgramRun print = Korvo({"-p", diagram}, full);
        EXPECT_EQ(print.exitCode, 1);
        const QString pdf = dir.filePath(QStringLiteral("orders.pdf"));
        EXPECT_EQ(KorvoLines(print.err), QStringList{"korvo: Cannot write file '" + pdf + "': File too large"});
        EXPECT_TRUE(print.out.isEmpty());
        EXPECT_FALSE(QFileInfo::exists(pdf));
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).size(), 4)
        << "no temporary file is left";
}

// Regression: without a printer, -p replaced an existing PDF that nobody had
// named.
TEST(KorvoWriters, PrintWithoutPrinterTakesTheFirstFreeName)
{
    if (!QPrinterInfo::defaultPrinter().isNull())
        GTEST_SKIP() << "this machine has a printer; printing would use it";
    QTemporaryDir dir;
    const QString diagram = dir.filePath(QStringLiteral("orders.erd"));
    ASSERT_TRUE(QFile::copy(kExample, diagram));
    const QString mine = dir.filePath(QStringLiteral("orders.pdf"));
    WriteBytes(mine, "my own PDF");
    for (const char* expected : {"orders-1.pdf", "orders-2.pdf"}) {
        const ProgramRun run = Korvo({"-p", diagram});
        ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
        const QString pdf = dir.filePath(QString::fromLatin1(expected));
        EXPECT_EQ(QString::fromLocal8Bit(run.out), QFileInfo(pdf).absoluteFilePath() + QLatin1Char('\n'));
        EXPECT_TRUE(ReadFile(pdf).startsWith("%PDF")) << expected;
    }
    EXPECT_EQ(ReadFile(mine), QByteArray("my own PDF"));
}

#if !defined(__SANITIZE_ADDRESS__) && !(defined(__has_feature) && __has_feature(address_sanitizer))
// Regression: under a memory limit the verbs ended with an uncaught
// std::bad_alloc (abort, core dump). They now end with status 1 and one line.
// (Not built with the sanitizers, which need more address space than any
// limit here allows.)
TEST(KorvoWriters, RunningOutOfMemoryEndsWithOneLine)
{
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("out"));
    // The smallest limit of these under which the program does its work on a
    // small diagram...
    rlim_t enough = 0;
    for (rlim_t megabytes : {96, 128, 160, 192, 256, 320, 384, 512, 768, 1024}) {
        ProgramLimits limits;
        limits.addressSpace = megabytes << 20;
        if (Korvo({"--export-sql", kExample, out + QStringLiteral(".sql")}, limits).exitCode == 0) {
            enough = limits.addressSpace;
            break;
        }
    }
    ASSERT_NE(enough, 0u) << "korvo does not even start under 1 GB of address space";

    // ... is far too small for a table check of 64 MB, read, kept and written.
    QByteArray big = Int32(0x45524420) + Int32(2) + Int32(1);
    const QByteArray check(64 << 20, 'x');
    big += Int32(0) + QByteArray("\x01t", 2) + Int32(720) + Int32(-720) + Int32(0) + Int32(0);
    big += QByteArray("\xff\xff\xff", 3) + Int32(int32_t(check.size())) + check + QByteArray("\x00", 1);
    QByteArray font(60, '\0');
    font.replace(0, 4, Int32(-13));
    big += Int32(0) + font + Int32(5) + Int32(5);
    const QString diagram = dir.filePath(QStringLiteral("big.erd"));
    WriteBytes(diagram, big);
    const QString script = dir.filePath(QStringLiteral("t.sql"));
    WriteBytes(script, "CREATE TABLE t (a INT);\n");

    ProgramLimits tight;
    tight.addressSpace = enough + (32 << 20);
    const QList<QStringList> runs = {
        {"--export-sql", diagram, out + QStringLiteral(".sql")},
        {"--import-sql", script, "--into", diagram, "-o", out + QStringLiteral(".erd")},
        {"--render", diagram, out + QStringLiteral(".svg")},
        {"--render", diagram, out + QStringLiteral(".pdf")},
    };
    for (const QStringList& arguments : runs) {
        const ProgramRun run = Korvo(arguments, tight);
        EXPECT_FALSE(run.crashed) << arguments.join(' ').toStdString();
        EXPECT_EQ(run.exitCode, 1) << arguments.join(' ').toStdString();
        EXPECT_EQ(KorvoLines(run.err), QStringList{"korvo: " + arguments.at(1) + ": out of memory"})
            << run.err.toStdString();
    }
}
#endif
