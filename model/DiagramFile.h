#pragma once

#include "CKorvoDoc.h"

#include <string>
#include <string_view>

// Where writing a file stopped: the file could not be created at all, or it
// could be created but not written in full.
enum class FileError {
    None,
    Open,
    Write,
};

struct FileResult {
    bool ok = true;
    std::string message; // names the file and the system's reason
    FileError error = FileError::None;
};

// Reads a whole .erd file into the (empty) document. A file that cannot be
// read gives LoadStatus::IoError with a message naming the file.
LoadOutcome LoadDiagramFile(const std::string& path, CKorvoDoc& doc);

// Writes the document as a version-2 .erd file, replacing the old one only
// when the whole file has been written.
FileResult SaveDiagramFile(const std::string& path, const CKorvoDoc& doc);

// Writes the bytes to a temporary file beside the target, flushes it to disk
// and renames it over the target. On failure the old file stays as it was.
FileResult WriteFileAtomically(const std::string& path, std::string_view bytes);
