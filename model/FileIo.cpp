#include "FileIo.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// As many links as the kernel follows in one path before it gives up.
constexpr int kMaxLinkHops = 40;

std::string Describe(const char* what, const std::string& path, const std::string& reason)
{
    return std::string(what) + " '" + path + "': " + reason;
}

FileResult Failure(FileError error, const char* what, const std::string& path, int errorNumber)
{
    return {false, Describe(what, path, std::strerror(errorNumber)), error};
}

FileResult Refusal(const std::string& path, const char* reason)
{
    return {false, Describe("Cannot create file", path, reason), FileError::Open};
}

std::string DirectoryOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    // Room for the dot and the suffix within the 255 bytes of a name.
    if (base.size() > 100)
        base.resize(100);
    return base;
}

// True when the entry at path lies in a sticky folder that everybody may
// write to and belongs to neither this user nor the folder's owner: someone
// else may have put it there to catch what this program writes.
bool PlantedByAnotherUser(const std::string& path, const struct stat& entry)
{
    struct stat dir {};
    if (::stat(DirectoryOf(path).c_str(), &dir) != 0)
        return false;
    const bool shared = (dir.st_mode & S_ISVTX) && (dir.st_mode & S_IWOTH);
    return shared && entry.st_uid != ::geteuid() && entry.st_uid != dir.st_uid;
}

bool ReadLink(const std::string& path, std::string& target)
{
    std::string buffer(256, '\0');
    for (;;) {
        const ssize_t n = ::readlink(path.c_str(), buffer.data(), buffer.size());
        if (n < 0)
            return false;
        if (static_cast<size_t>(n) < buffer.size()) {
            buffer.resize(static_cast<size_t>(n));
            break;
        }
        buffer.resize(buffer.size() * 2);
    }
    target = !buffer.empty() && buffer[0] == '/' ? buffer : DirectoryOf(path) + "/" + buffer;
    return true;
}

// What a writer finds at a path once the links at its end are followed.
struct Target {
    enum class Kind { Missing, Regular, Stream } kind = Kind::Missing;
    std::string path; // the final name, no longer a link
    struct stat st {};
};

bool Resolve(const std::string& path, Target& target, FileResult& failure)
{
    std::string current = path;
    for (int hops = 0;; ++hops) {
        struct stat st {};
        if (::lstat(current.c_str(), &st) != 0) {
            const int error = errno;
            if (error == ENOENT && hops > 0) {
                failure = Refusal(path, "it is a symbolic link to a file that does not exist");
                return false;
            }
            if (error != ENOENT) {
                failure = Failure(FileError::Open, "Cannot create file", path, error);
                return false;
            }
            target.kind = Target::Kind::Missing;
            target.path = current;
            return true;
        }
        if (S_ISLNK(st.st_mode)) {
            if (hops >= kMaxLinkHops) {
                failure = Failure(FileError::Open, "Cannot create file", path, ELOOP);
                return false;
            }
            if (PlantedByAnotherUser(current, st)) {
                failure = Refusal(path, "it is a symbolic link that another user owns in a shared folder");
                return false;
            }
            std::string next;
            if (!ReadLink(current, next)) {
                failure = Failure(FileError::Open, "Cannot create file", path, errno);
                return false;
            }
            current = next;
            continue;
        }
        if (S_ISDIR(st.st_mode)) {
            failure = Failure(FileError::Open, "Cannot create file", path, EISDIR);
            return false;
        }
        if (!S_ISREG(st.st_mode) && !S_ISFIFO(st.st_mode) && !S_ISCHR(st.st_mode)) {
            failure = Refusal(path, "it is not a regular file, a named pipe or a character device");
            return false;
        }
        if (PlantedByAnotherUser(current, st)) {
            failure = Refusal(path, "the file belongs to another user in a shared folder");
            return false;
        }
        target.kind = S_ISREG(st.st_mode) ? Target::Kind::Regular : Target::Kind::Stream;
        target.path = current;
        target.st = st;
        return true;
    }
}

bool WriteAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

void SyncDirectory(const std::string& dir)
{
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

std::string PassingName(const std::string& dir, const std::string& base)
{
    static std::mt19937 generator{std::random_device{}()};
    char suffix[8];
    std::snprintf(suffix, sizeof suffix, "%06x", static_cast<unsigned>(generator() & 0xFFFFFF));
    return dir + "/." + base + "." + suffix;
}

// The new contents of a file, written beside its final name: an unnamed file
// where the file system allows it, so that a kill leaves nothing behind, or a
// hidden named one that is removed unless it was given the final name.
class PendingFile {
public:
    PendingFile() = default;
    ~PendingFile()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        if (!m_name.empty())
            ::unlink(m_name.c_str());
    }
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    // 0 or the reason it could not be created.
    int Create(const std::string& dir, const std::string& base)
    {
        m_dir = dir;
        m_base = base;
        // The unnamed file is linked in through /proc, as the kernel allows
        // without privileges.
        m_fd = ::open(dir.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
        if (m_fd >= 0 && ::access("/proc/self/fd", X_OK) == 0)
            return 0;
        if (m_fd >= 0)
            ::close(m_fd);
        std::string pattern = dir + "/." + base + ".XXXXXX";
        m_fd = ::mkostemp(pattern.data(), O_CLOEXEC);
        if (m_fd < 0)
            return errno;
        m_name = pattern;
        return 0;
    }

    int Fd() const { return m_fd; }

    // Gives the file its final name, replacing what is there or failing with
    // EEXIST. 0 or the reason.
    int Commit(const std::string& target, bool replace)
    {
        if (m_name.empty()) {
            const std::string self = "/proc/self/fd/" + std::to_string(m_fd);
            if (!replace) {
                if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, target.c_str(), AT_SYMLINK_FOLLOW) != 0)
                    return errno;
                // Whole or not at all: a file that fails to close goes again.
                const int error = Closed();
                if (error)
                    ::unlink(target.c_str());
                return error;
            }
            // A link cannot replace a file: the unnamed file takes a passing
            // name for the moment of the rename.
            for (int attempt = 0; m_name.empty(); ++attempt) {
                const std::string name = PassingName(m_dir, m_base);
                if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0)
                    m_name = name;
                else if (errno != EEXIST || attempt == 100)
                    return errno;
            }
        }
        if (const int error = Closed())
            return error;
        if (replace) {
            if (::rename(m_name.c_str(), target.c_str()) != 0)
                return errno;
        } else if (::renameat2(AT_FDCWD, m_name.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) != 0) {
            if (errno != EINVAL && errno != ENOSYS)
                return errno;
            // A file system without the no-replace rename: a hard link fails
            // the same way on a name in use.
            if (::link(m_name.c_str(), target.c_str()) != 0)
                return errno;
            ::unlink(m_name.c_str());
        }
        m_name.clear();
        return 0;
    }

private:
    // Closing reports the error that a delayed write may surface only now.
    int Closed()
    {
        const int rc = ::close(m_fd);
        m_fd = -1;
        return rc == 0 ? 0 : errno;
    }

    int m_fd = -1;
    std::string m_dir;
    std::string m_base;
    std::string m_name; // the named file on disk, removed unless committed
};

// Writes a regular file (new, or replacing target.path) through a pending file.
FileResult WriteReplacing(const std::string& path, const Target& target, std::string_view bytes, bool replace)
{
    const bool exists = target.kind == Target::Kind::Regular;
    // The replacement keeps the old file's permissions, and a file that could
    // not be opened for writing is not replaced behind the user's back.
    mode_t mode;
    if (exists) {
        if (::access(target.path.c_str(), W_OK) != 0)
            return Failure(FileError::Open, "Cannot create file", path, errno);
        mode = target.st.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }

    const std::string dir = DirectoryOf(target.path);
    PendingFile pending;
    if (const int error = pending.Create(dir, BaseOf(target.path)))
        return Failure(FileError::Open, "Cannot create file", path, error);
    // The old owner is kept where the system allows it; where it does not,
    // the file simply belongs to whoever saved it.
    if (exists && ::fchown(pending.Fd(), target.st.st_uid, target.st.st_gid) != 0)
        errno = 0;
    if (::fchmod(pending.Fd(), mode) != 0 || !WriteAll(pending.Fd(), bytes) || ::fsync(pending.Fd()) != 0)
        return Failure(FileError::Write, "Cannot write file", path, errno);
    if (const int error = pending.Commit(target.path, replace))
        return Failure(error == EEXIST ? FileError::Exists : FileError::Write, "Cannot write file", path, error);
    SyncDirectory(dir);
    return {};
}

FileResult WriteStream(const std::string& path, const Target& target, std::string_view bytes)
{
    // The links were followed already: a link put in the final name since
    // then is refused, not followed.
    const int fd = ::open(target.path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return Failure(FileError::Open, "Cannot open file", path, errno);
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !(S_ISFIFO(st.st_mode) || S_ISCHR(st.st_mode))) {
        ::close(fd);
        return Refusal(path, "it changed while it was being opened");
    }
    const bool written = WriteAll(fd, bytes);
    const int error = errno;
    if (::close(fd) != 0 && written)
        return Failure(FileError::Write, "Cannot write file", path, errno);
    if (!written)
        return Failure(FileError::Write, "Cannot write file", path, error);
    return {};
}

FileResult WriteFile(const std::string& path, std::string_view bytes, bool streams)
{
    if (path.empty())
        return Failure(FileError::Open, "Cannot create file", path, ENOENT);
    Target target;
    FileResult failure;
    if (!Resolve(path, target, failure))
        return failure;
    if (target.kind == Target::Kind::Stream) {
        if (!streams)
            return Refusal(path, "it is not a regular file");
        return WriteStream(path, target, bytes);
    }
    return WriteReplacing(path, target, bytes, true);
}

} // namespace

FileResult WriteFileAtomically(const std::string& path, std::string_view bytes)
{
    return WriteFile(path, bytes, true);
}

FileResult WriteRegularFileAtomically(const std::string& path, std::string_view bytes)
{
    return WriteFile(path, bytes, false);
}

FileResult WriteNewFile(const std::string& path, std::string_view bytes)
{
    if (path.empty())
        return Failure(FileError::Open, "Cannot create file", path, ENOENT);
    // Anything at all under that name, a dangling link included, is in use.
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0)
        return Failure(FileError::Exists, "Cannot create file", path, EEXIST);
    Target target;
    target.path = path;
    return WriteReplacing(path, target, bytes, false);
}

FileResult WriteToDescriptor(int fd, std::string_view bytes, const std::string& name)
{
    if (!WriteAll(fd, bytes))
        return Failure(FileError::Write, "Cannot write file", name, errno);
    // A regular file behind the descriptor reports a delayed error only here.
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::fsync(fd) != 0 && errno != EINVAL)
        return Failure(FileError::Write, "Cannot write file", name, errno);
    return {};
}

bool ReadRegularFile(const std::string& path, std::string& bytes, std::string& message, size_t maxBytes)
{
    auto fail = [&](const char* what, int error) {
        message = Describe(what, path, std::strerror(error));
        return false;
    };
    // Not blocking on open keeps a named pipe from hanging the program; only
    // regular files are read, so a device cannot feed bytes without end.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return fail("Cannot open file", errno);
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int error = errno;
        ::close(fd);
        return fail("Cannot read file", error);
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        if (S_ISDIR(st.st_mode))
            return fail("Cannot open file", EISDIR);
        message = Describe("Cannot open file", path, "Not a regular file");
        return false;
    }
    if (static_cast<unsigned long long>(st.st_size) > maxBytes) {
        ::close(fd);
        return fail("Cannot read file", EFBIG);
    }

    bytes.clear();
    bytes.reserve(static_cast<size_t>(st.st_size));
    char chunk[65536];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const int error = errno;
            ::close(fd);
            return fail("Cannot read file", error);
        }
        if (n == 0)
            break;
        if (bytes.size() + static_cast<size_t>(n) > maxBytes) {
            ::close(fd);
            return fail("Cannot read file", EFBIG);
        }
        bytes.append(chunk, static_cast<size_t>(n));
    }
    ::close(fd);
    return true;
}
