#pragma once

#include "CKorvoDoc.h"
#include "Geometry.h"

#include <cstddef>
#include <string>

// What a paste came to. A payload that cannot be read whole changes nothing
// and carries a message; relation records that do not resolve against the
// pasted tables are left out and counted.
struct PasteOutcome {
    bool ok = true;
    std::string message;
    int tablesAdded = 0;
    int relationsAdded = 0;
    int relationsSkipped = 0;
};

// The private clipboard format: the selected tables as archived
// KorvoTableView objects in document order, then every relation whose two
// ends are both among them, with the first column of each side.
std::string BuildClipboardPayload(const CKorvoDoc& doc);

// Adds the payload's tables (selected, moved so that the group's top-left
// corner lies at scrollLog) and relations to the document. Every table of
// the document that was selected before loses its selection.
PasteOutcome PasteClipboardPayload(CKorvoDoc& doc, const void* data, size_t size, CPoint scrollLog);
