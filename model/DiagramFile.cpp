#include "DiagramFile.h"

LoadOutcome LoadDiagramFile(const std::string& path, CKorvoDoc& doc)
{
    std::string bytes;
    std::string message;
    if (!ReadRegularFile(path, bytes, message))
        return LoadOutcome{LoadStatus::IoError, message, ""};
    return doc.LoadFromBytes(bytes.data(), bytes.size());
}

FileResult SaveDiagramFile(const std::string& path, const CKorvoDoc& doc)
{
    return WriteFileAtomically(path, doc.SaveToBytes());
}
