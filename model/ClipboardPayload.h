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

// How far right and down a paste beside its originals goes per step, and how
// many steps it tries.
inline constexpr int32_t kPasteStep = 360;
inline constexpr int kPasteBesideTries = 64;

// Adds the payload's tables and relations as PasteClipboardPayload does, but
// beside the tables they were copied from: one step right and down, and as
// many steps more as it takes for no pasted table to land on the top-left
// corner of a table of the diagram or to lie wholly under one. So a copy
// never covers its original, and pasting again does not cover the first copy.
PasteOutcome PasteClipboardPayloadBeside(CKorvoDoc& doc, const void* data, size_t size, int32_t step = kPasteStep);
