#pragma once

#include "CKorvoDoc.h"
#include "FileIo.h"

#include <string>

// Reads a whole .erd file into the (empty) document. A file that cannot be
// read gives LoadStatus::IoError with a message naming the file.
LoadOutcome LoadDiagramFile(const std::string& path, CKorvoDoc& doc);

// Writes the document as a version-2 .erd file through WriteFileAtomically:
// the old file is replaced only when the whole new one has been written.
FileResult SaveDiagramFile(const std::string& path, const CKorvoDoc& doc);

