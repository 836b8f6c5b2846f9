// Arbitrary bytes as an .erd file: the reader must answer with an outcome,
// never crash, hang or allocate by a count it has not checked. A file that
// loads must save and load again to the same bytes.
#include "CKorvoDoc.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CKorvoDoc doc;
    const LoadOutcome outcome = doc.LoadFromBytes(data, size);
    if (!outcome.Opens())
        return 0;
    const std::string saved = doc.SaveToBytes();
    CKorvoDoc again;
    if (!again.LoadFromBytes(saved.data(), saved.size()).Opens() || again.SaveToBytes() != saved)
        std::abort();
    return 0;
}
