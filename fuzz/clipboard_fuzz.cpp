// Arbitrary bytes as a clipboard payload pasted into a small diagram: either
// the paste is refused whole or every relation it adds has both ends among
// the document's tables and columns, and every pasted text is well-formed
// UTF-8 that copies out and pastes back unchanged.
#include "ClipboardPayload.h"
#include "CKorvoDoc.h"
#include "TextEncoding.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>

namespace {

bool Owns(const KorvoTableView* table, const CColumn* column)
{
    for (const auto& c : table->m_def.m_columns)
        if (c.get() == column)
            return true;
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CKorvoDoc doc;
    auto table = std::make_unique<KorvoTableView>();
    table->m_def.m_strName = "existing";
    table->m_def.AddColumn(std::make_unique<CColumn>("id", "int", true, "", true, false, "", ""));
    doc.AddTable(std::move(table));
    const size_t before = doc.m_tables.size();

    const PasteOutcome outcome = PasteClipboardPayload(doc, data, size, CPoint{1500, -1500});
    if (!outcome.ok && doc.m_tables.size() != before)
        std::abort();
    for (const auto& relation : doc.m_relations) {
        const int s = doc.GetTableIndex(relation->m_pSource);
        const int d = doc.GetTableIndex(relation->m_pDest);
        if (s < 0 || d < 0 || relation->m_sourceColumns.empty() || relation->m_destColumns.empty())
            std::abort();
        if (!std::all_of(relation->m_sourceColumns.begin(), relation->m_sourceColumns.end(),
                         [&](const CColumn* c) { return Owns(relation->m_pSource, c); }) ||
            !std::all_of(relation->m_destColumns.begin(), relation->m_destColumns.end(),
                         [&](const CColumn* c) { return Owns(relation->m_pDest, c); }))
            std::abort();
    }
    // What was pasted copies out again, with the same texts.
    for (auto& t : doc.m_tables)
        t->m_bSelected = true;
    const std::string copied = BuildClipboardPayload(doc);
    CKorvoDoc other;
    if (!PasteClipboardPayload(other, copied.data(), copied.size(), CPoint{0, 0}).ok
        || other.m_tables.size() != doc.m_tables.size())
        std::abort();
    for (size_t i = 0; i < doc.m_tables.size(); ++i) {
        const CTableDef& pasted = doc.m_tables[i]->m_def;
        const CTableDef& again = other.m_tables[i]->m_def;
        if (!TextEncoding::IsUtf8(pasted.m_strName) || !TextEncoding::IsUtf8(pasted.m_strDescription)
            || pasted.m_strName != again.m_strName || pasted.m_strCheck != again.m_strCheck
            || pasted.m_strDescription != again.m_strDescription || pasted.m_columns.size() != again.m_columns.size())
            std::abort();
        for (size_t c = 0; c < pasted.m_columns.size(); ++c)
            if (!TextEncoding::IsUtf8(pasted.m_columns[c]->m_strName)
                || pasted.m_columns[c]->m_strName != again.m_columns[c]->m_strName
                || pasted.m_columns[c]->m_strDescription != again.m_columns[c]->m_strDescription)
                std::abort();
    }
    return 0;
}
