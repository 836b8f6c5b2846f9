// Arbitrary bytes as an .erd file: the reader must answer with an outcome,
// never crash, hang or allocate by a count it has not checked. Every text of
// a file that loads is well-formed UTF-8, narrow or wide as it was stored,
// and the file saves and loads again to the same bytes.
#include "CKorvoDoc.h"
#include "TextEncoding.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

void RequireUtf8(const std::string& text)
{
    if (!TextEncoding::IsUtf8(text))
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CKorvoDoc doc;
    const LoadOutcome outcome = doc.LoadFromBytes(data, size);
    if (!outcome.Opens())
        return 0;
    for (const auto& table : doc.m_tables) {
        RequireUtf8(table->m_def.m_strName);
        RequireUtf8(table->m_def.m_strCheck);
        RequireUtf8(table->m_def.m_strDescription);
        for (const auto& column : table->m_def.m_columns) {
            RequireUtf8(column->m_strName);
            RequireUtf8(column->m_strType);
            RequireUtf8(column->m_strDefault);
            RequireUtf8(column->m_strCheck);
            RequireUtf8(column->m_strDescription);
        }
    }
    const std::string saved = doc.SaveToBytes();
    CKorvoDoc again;
    if (!again.LoadFromBytes(saved.data(), saved.size()).Opens() || again.SaveToBytes() != saved)
        std::abort();
    return 0;
}
