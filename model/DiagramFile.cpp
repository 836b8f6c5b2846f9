#include "DiagramFile.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string Describe(const char* what, const std::string& path, int error)
{
    return std::string(what) + " '" + path + "': " + std::strerror(error);
}

FileResult Failure(FileError error, const char* what, const std::string& path, int errorNumber)
{
    return {false, Describe(what, path, errorNumber), error};
}

// Closes a descriptor and removes the temporary file unless told otherwise.
class TemporaryFile {
public:
    TemporaryFile(int fd, std::string path) : m_fd(fd), m_path(std::move(path)) {}
    ~TemporaryFile()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        if (!m_kept)
            ::unlink(m_path.c_str());
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    int Fd() const { return m_fd; }
    const std::string& Path() const { return m_path; }
    // Closing reports the error that a delayed write may surface only now.
    int Close()
    {
        const int rc = ::close(m_fd);
        m_fd = -1;
        return rc;
    }
    void Keep() { m_kept = true; }

private:
    int m_fd;
    std::string m_path;
    bool m_kept = false;
};

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

} // namespace

LoadOutcome LoadDiagramFile(const std::string& path, CKorvoDoc& doc)
{
    auto ioError = [&path](const char* what, int error) {
        return LoadOutcome{LoadStatus::IoError, Describe(what, path, error), ""};
    };
    // Not blocking on open keeps a named pipe from hanging the program; only
    // regular files are read, so a device cannot feed bytes without end.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return ioError("Cannot open file", errno);
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int error = errno;
        ::close(fd);
        return ioError("Cannot read file", error);
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        if (S_ISDIR(st.st_mode))
            return ioError("Cannot open file", EISDIR);
        return LoadOutcome{LoadStatus::IoError, "Cannot open file '" + path + "': Not a regular file", ""};
    }

    std::string bytes;
    char chunk[65536];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const int error = errno;
            ::close(fd);
            return ioError("Cannot read file", error);
        }
        if (n == 0)
            break;
        bytes.append(chunk, static_cast<size_t>(n));
    }
    ::close(fd);
    return doc.LoadFromBytes(bytes.data(), bytes.size());
}

FileResult SaveDiagramFile(const std::string& path, const CKorvoDoc& doc)
{
    return WriteFileAtomically(path, doc.SaveToBytes());
}

FileResult WriteFileAtomically(const std::string& path, std::string_view bytes)
{
    if (path.empty())
        return Failure(FileError::Open, "Cannot create file", path, ENOENT);

    // Writing through a symbolic link replaces the file it points at, not the link.
    std::string target = path;
    struct stat st {};
    bool exists = ::lstat(target.c_str(), &st) == 0;
    if (exists && S_ISLNK(st.st_mode)) {
        if (char* resolved = ::realpath(path.c_str(), nullptr)) {
            target = resolved;
            std::free(resolved);
        }
        exists = ::stat(target.c_str(), &st) == 0;
    }

    // The replacement keeps the old file's permissions, and a file that
    // could not be opened for writing is not replaced behind the user's back.
    mode_t mode;
    if (exists) {
        if (S_ISDIR(st.st_mode))
            return Failure(FileError::Open, "Cannot create file", path, EISDIR);
        if (::access(target.c_str(), W_OK) != 0)
            return Failure(FileError::Open, "Cannot create file", path, errno);
        mode = st.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }

    const size_t slash = target.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : target.substr(0, slash);
    std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    if (base.size() > 100)
        base.resize(100);
    std::string pattern = dir + "/." + base + ".XXXXXX";
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0)
        return Failure(FileError::Open, "Cannot create file", path, errno);
    TemporaryFile temp(fd, pattern);

    // The old owner is kept where the system allows it; where it does not,
    // the file simply belongs to whoever saved it.
    if (exists && ::fchown(temp.Fd(), st.st_uid, st.st_gid) != 0)
        errno = 0;
    if (::fchmod(temp.Fd(), mode) != 0 || !WriteAll(temp.Fd(), bytes) || ::fsync(temp.Fd()) != 0
        || temp.Close() != 0)
        return Failure(FileError::Write, "Cannot write file", path, errno);
    if (::rename(temp.Path().c_str(), target.c_str()) != 0)
        return Failure(FileError::Write, "Cannot write file", path, errno);
    temp.Keep();
    SyncDirectory(dir);
    return {};
}
