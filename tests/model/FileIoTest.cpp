// The one writer of whole files: what it does with each kind of target, the
// shared-folder rule, new files that never replace anything, and what a
// killed or failed write leaves behind.
#include "FileIo.h"
#include "PipeReader.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <atomic>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr uid_t kOtherUser = 65534;

mode_t TypeOf(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? (st.st_mode & S_IFMT) : 0;
}

void MakeSocket(const std::string& path)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    ASSERT_LT(path.size(), sizeof address.sun_path);
    std::strcpy(address.sun_path, path.c_str());
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(fd);
}

TEST(FileIo, EachKindOfTargetIsWrittenReplacedOrRefused)
{
    TempDir dir;
    const std::string file = dir.File("file.sql");
    WriteWholeFile(file, "old");
    ASSERT_EQ(::symlink(file.c_str(), dir.File("link.sql").c_str()), 0);
    ASSERT_EQ(::symlink("link.sql", dir.File("chain.sql").c_str()), 0);
    ASSERT_EQ(::symlink(dir.File("gone.sql").c_str(), dir.File("dangling.sql").c_str()), 0);
    ASSERT_EQ(::symlink("loop-b", dir.File("loop-a").c_str()), 0);
    ASSERT_EQ(::symlink("loop-a", dir.File("loop-b").c_str()), 0);
    ASSERT_EQ(::mkdir(dir.File("folder").c_str(), 0755), 0);
    ASSERT_EQ(::symlink("folder", dir.File("folder-link").c_str()), 0);
    // The device node is the null device's, made here: tests never write to
    // the system's /dev.
    ASSERT_EQ(::mknod(dir.File("null").c_str(), S_IFCHR | 0666, makedev(1, 3)), 0) << std::strerror(errno);
    ASSERT_NO_FATAL_FAILURE(MakeSocket(dir.File("socket")));

    const struct {
        const char* name;
        bool ok;
        std::string message;
    } table[] = {
        {"new.sql", true, ""},
        {"file.sql", true, ""},
        {"link.sql", true, ""},
        {"chain.sql", true, ""},
        {"null", true, ""},
        {"folder", false, "Is a directory"},
        {"folder-link", false, "Is a directory"},
        {"dangling.sql", false, "it is a symbolic link to a file that does not exist"},
        {"loop-a", false, "Too many levels of symbolic links"},
        {"socket", false, "it is not a regular file, a named pipe or a character device"},
    };
    for (const auto& row : table) {
        const std::string path = dir.File(row.name);
        const FileResult result = WriteFileAtomically(path, "new");
        EXPECT_EQ(result.ok, row.ok) << row.name << ": " << result.message;
        if (!row.ok) {
            EXPECT_EQ(result.error, FileError::Open) << row.name;
            EXPECT_EQ(result.message, "Cannot create file '" + path + "': " + row.message);
        }
    }
    EXPECT_EQ(ReadWholeFile(dir.File("new.sql")), "new");
    EXPECT_EQ(ReadWholeFile(file), "new");
    // Links stay links, the device stays a device, and nothing appears where
    // the dangling link points.
    EXPECT_EQ(TypeOf(dir.File("link.sql")), S_IFLNK);
    EXPECT_EQ(TypeOf(dir.File("chain.sql")), S_IFLNK);
    EXPECT_EQ(TypeOf(dir.File("null")), S_IFCHR);
    EXPECT_EQ(TypeOf(dir.File("socket")), S_IFSOCK);
    EXPECT_EQ(TypeOf(dir.File("gone.sql")), 0u);
    EXPECT_EQ(dir.EntryCount(), 11u); // the ten names above and new.sql, no temporary files
}

// Regression: a named pipe was replaced by a regular file, and the writer
// reported success.
TEST(FileIo, ANamedPipeReceivesTheBytesAndStaysAPipe)
{
    TempDir dir;
    const std::string pipe = dir.File("out.sql");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    ASSERT_EQ(::symlink(pipe.c_str(), dir.File("to-pipe").c_str()), 0);
    const std::string bytes(200000, 'x'); // more than a pipe holds at once
    for (const std::string& path : {pipe, dir.File("to-pipe")}) {
        PipeReader reader(pipe);
        const FileResult result = WriteFileAtomically(path, bytes);
        EXPECT_TRUE(result.ok) << result.message;
        EXPECT_EQ(reader.Bytes(), bytes);
        EXPECT_EQ(TypeOf(pipe), S_IFIFO);
    }
    EXPECT_EQ(dir.EntryCount(), 2u);
}

// A link, pipe or file that another user put into a sticky folder open to
// everybody is neither followed nor replaced; the user's own are.
TEST(FileIo, EntriesOfAnotherUserInASharedFolderAreRefused)
{
    TempDir outer;
    const std::string shared = outer.File("shared");
    ASSERT_EQ(::mkdir(shared.c_str(), 0777), 0);
    ASSERT_EQ(::chmod(shared.c_str(), 01777), 0);
    const std::string victim = outer.File("victim.sql");
    WriteWholeFile(victim, "victim");

    auto link = [&](const char* name, uid_t owner) {
        const std::string path = shared + "/" + name;
        EXPECT_EQ(::symlink(victim.c_str(), path.c_str()), 0);
        EXPECT_EQ(::lchown(path.c_str(), owner, owner), 0) << std::strerror(errno);
        return path;
    };
    const std::string planted = link("planted.sql", kOtherUser);
    FileResult result = WriteFileAtomically(planted, "secret");
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.message,
              "Cannot create file '" + planted + "': it is a symbolic link that another user owns in a shared folder");
    EXPECT_EQ(ReadWholeFile(victim), "victim");

    const std::string plantedFile = shared + "/file.sql";
    WriteWholeFile(plantedFile, "theirs");
    ASSERT_EQ(::chown(plantedFile.c_str(), kOtherUser, kOtherUser), 0);
    const std::string plantedPipe = shared + "/pipe.sql";
    ASSERT_EQ(::mkfifo(plantedPipe.c_str(), 0666), 0);
    ASSERT_EQ(::chown(plantedPipe.c_str(), kOtherUser, kOtherUser), 0);
    for (const std::string& path : {plantedFile, plantedPipe}) {
        result = WriteFileAtomically(path, "secret");
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(result.message,
                  "Cannot create file '" + path + "': the file belongs to another user in a shared folder");
    }
    EXPECT_EQ(ReadWholeFile(plantedFile), "theirs");

    // The user's own link in the same folder is followed.
    const std::string own = link("own.sql", ::geteuid());
    result = WriteFileAtomically(own, "mine");
    EXPECT_TRUE(result.ok) << result.message;
    EXPECT_EQ(ReadWholeFile(victim), "mine");
}

TEST(FileIo, ANewFileNeverReplacesAnything)
{
    TempDir dir;
    WriteWholeFile(dir.File("taken.pdf"), "old");
    ASSERT_EQ(::symlink(dir.File("nowhere").c_str(), dir.File("dangling.pdf").c_str()), 0);

    FileResult result = WriteNewFile(dir.File("free.pdf"), "new");
    EXPECT_TRUE(result.ok) << result.message;
    EXPECT_EQ(ReadWholeFile(dir.File("free.pdf")), "new");
    struct stat st {};
    ASSERT_EQ(::stat(dir.File("free.pdf").c_str(), &st), 0);
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask);

    for (const char* name : {"taken.pdf", "dangling.pdf", "free.pdf"}) {
        result = WriteNewFile(dir.File(name), "newer");
        EXPECT_FALSE(result.ok) << name;
        EXPECT_EQ(result.error, FileError::Exists) << name;
    }
    EXPECT_EQ(ReadWholeFile(dir.File("taken.pdf")), "old");
    EXPECT_EQ(ReadWholeFile(dir.File("free.pdf")), "new");
    EXPECT_EQ(TypeOf(dir.File("nowhere")), 0u);
    EXPECT_EQ(dir.EntryCount(), 3u);
}

// Regression: a save killed half-way left a hidden ".NAME.XXXXXX" file. The
// child here dies of SIGXFSZ in the middle of its write.
TEST(FileIo, AWriterKilledHalfWayLeavesNothingBehind)
{
    TempDir dir;
    const std::string path = dir.File("diagram.erd");
    WriteWholeFile(path, "old");
    const std::string bytes(1 << 20, 'x');
    for (bool fresh : {false, true}) {
        const std::string target = fresh ? dir.File("fresh.erd") : path;
        std::fflush(nullptr);
        const pid_t pid = ::fork();
        if (pid == 0) {
            rlimit limit{65536, 65536};
            ::setrlimit(RLIMIT_FSIZE, &limit);
            WriteFileAtomically(target, bytes);
            _exit(0);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFSIGNALED(status));
        EXPECT_EQ(WTERMSIG(status), SIGXFSZ);
    }
    EXPECT_EQ(ReadWholeFile(path), "old");
    EXPECT_EQ(dir.EntryCount(), 1u);
}

TEST(FileIo, WriteErrorsAreReportedAndKeepTheOldFile)
{
    TempDir dir;
    const std::string path = dir.File("out.sql");
    WriteWholeFile(path, "old");
    const int status = RunInChild(
        [&] {
            const FileResult result = WriteFileAtomically(path, std::string(100000, 'x'));
            return !result.ok && result.error == FileError::Write &&
                           result.message == "Cannot write file '" + path + "': File too large"
                       ? 0
                       : 1;
        },
        4096);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(ReadWholeFile(path), "old");
    EXPECT_EQ(dir.EntryCount(), 1u);

    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    ::close(fds[1]);
    const FileResult closed = WriteToDescriptor(fds[1], "x", "standard output");
    EXPECT_FALSE(closed.ok);
    EXPECT_EQ(closed.message, "Cannot write file 'standard output': Bad file descriptor");
    ::close(fds[0]);
}

TEST(FileIo, OnlyRegularFilesAreRead)
{
    TempDir dir;
    WriteWholeFile(dir.File("small"), "12345");
    ASSERT_EQ(::mkfifo(dir.File("pipe").c_str(), 0600), 0);
    ASSERT_EQ(::mknod(dir.File("zero").c_str(), S_IFCHR | 0666, makedev(1, 5)), 0);

    std::string bytes;
    std::string message;
    EXPECT_TRUE(ReadRegularFile(dir.File("small"), bytes, message, 5));
    EXPECT_EQ(bytes, "12345");
    EXPECT_FALSE(ReadRegularFile(dir.File("small"), bytes, message, 4));
    EXPECT_EQ(message, "Cannot read file '" + dir.File("small") + "': File too large");
    for (const char* name : {"pipe", "zero"}) {
        EXPECT_FALSE(ReadRegularFile(dir.File(name), bytes, message));
        EXPECT_EQ(message, "Cannot open file '" + dir.File(name) + "': Not a regular file");
    }
}

} // namespace
