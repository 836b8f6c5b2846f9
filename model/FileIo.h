#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Where writing a file stopped: the file could not be created at all (or the
// path names something no writer may replace), it could be created but not
// written in full, or the name was taken where nothing may be replaced.
enum class FileError {
    None,
    Open,
    Write,
    Exists,
};

struct FileResult {
    bool ok = true;
    std::string message; // names the file and the system's reason
    FileError error = FileError::None;
};

// The one way the program writes a whole file: saves, exports, pictures, the
// PDF of a print and the settings. Symbolic links at the end of path are
// followed first, then what they lead to decides:
// - a regular file or nothing: the bytes go to an unnamed temporary file in
//   the same folder (a named ".NAME.XXXXXX" one where the file system has no
//   unnamed ones), which is flushed to disk and then takes the file's place,
//   with the old file's permissions and owner; on failure the old file stays;
// - a named pipe or a character device: the bytes are written to it directly;
// - a folder, a link to nothing, anything else: refused.
// In a sticky folder that everybody may write to (/tmp), a link, pipe or file
// that belongs to another user (neither the writer nor the folder's owner) is
// neither followed nor replaced, as the kernel's protected_symlinks,
// protected_fifos and protected_regular settings would have it.
FileResult WriteFileAtomically(const std::string& path, std::string_view bytes);

// As WriteFileAtomically, for a file that only makes sense as a regular file
// (the settings): a named pipe or device there is refused rather than
// written, so nothing waits for a reader that never comes.
FileResult WriteRegularFileAtomically(const std::string& path, std::string_view bytes);

// Creates a new regular file at path with the bytes, complete or not at all;
// never replaces anything: a name in use gives FileError::Exists.
FileResult WriteNewFile(const std::string& path, std::string_view bytes);

// Writes all bytes to an open descriptor (standard output, say); name is what
// the message calls it.
FileResult WriteToDescriptor(int fd, std::string_view bytes, const std::string& name);

// Reads a whole regular file of at most maxBytes bytes. A named pipe, a device
// or a folder is refused without blocking; the message names the file and the
// reason.
bool ReadRegularFile(const std::string& path, std::string& bytes, std::string& message,
                     size_t maxBytes = static_cast<size_t>(-1));
