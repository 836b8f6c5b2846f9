// libFuzzer targets for the schema readers: arbitrary bytes as a script of
// one dialect, read into a description and merged into a diagram. Built
// three times: SCHEMA_FUZZ_READER 1 PostgreSQL (libpg_query), 2 SQLite (the
// engine), 3 the tolerant reader (the first byte picks MySQL, SQL Server,
// Oracle or DB2).

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "CKorvoDoc.h"
#include "CSchemaMerge.h"
#include "MeasureSurface.h"
#include "SchemaImport.h"

namespace {

class FuzzSurface : public CMeasureSurface {
public:
    int32_t GetTextWidth(std::string_view text) const override { return 100 * static_cast<int32_t>(text.size() % 1000); }
    int32_t GetLineHeight() const override { return 240; }
    CPoint LPtoDP(CPoint pt) const override { return {pt.x / 15, -pt.y / 15}; }
    CPoint DPtoLP(CPoint pt) const override { return {pt.x * 15, -pt.y * 15}; }
    CSize LPtoDP(CSize size) const override { return {size.cx / 15, size.cy / 15}; }
};

bool ValidUtf8(std::string_view text)
{
    size_t i = 0;
    while (i < text.size()) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (n == 0 || i + n > text.size())
            return false;
        for (size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
                return false;
        i += n;
    }
    return true;
}

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string_view script(reinterpret_cast<const char*>(data), size);
#if SCHEMA_FUZZ_READER == 1
    const SqlDialect dialect = SqlDialect::PostgreSql;
#elif SCHEMA_FUZZ_READER == 2
    const SqlDialect dialect = SqlDialect::Sqlite;
#else
    static constexpr SqlDialect kTolerant[] = {SqlDialect::MySql, SqlDialect::SqlServer, SqlDialect::Oracle,
                                               SqlDialect::Db2};
    const SqlDialect dialect = size > 0 ? kTolerant[data[0] % 4] : SqlDialect::MySql;
    if (size > 0)
        script.remove_prefix(1);
#endif
    const ScriptImport result = ReadSchemaText(script, dialect);
    Check(result.ok == !result.description.tables.empty());
    Check(result.ok || !result.readerError.empty());
    for (const SchemaTable& table : result.description.tables) {
        Check(ValidUtf8(table.name) && ValidUtf8(table.schema) && ValidUtf8(table.comment));
        Check(table.name.size() <= ImportReport::kMaxNameBytes);
        for (const SchemaColumn& column : table.columns) {
            Check(ValidUtf8(column.name) && ValidUtf8(column.type) && ValidUtf8(column.defaultValue) &&
                  ValidUtf8(column.check) && ValidUtf8(column.comment));
            Check(column.defaultValue.size() <= ImportReport::kMaxTextBytes);
        }
    }
    if (result.ok) {
        CKorvoDoc doc;
        FuzzSurface surface;
        const MergeResult merged = CSchemaMerge(doc, surface, CRect{0, 0, 54000, -75600}).Merge(result.description);
        Check(size_t(merged.tablesCreated) == doc.m_tables.size());
        for (const auto& relation : doc.m_relations)
            Check(relation->m_sourceColumns.size() == relation->m_destColumns.size() &&
                  !relation->m_sourceColumns.empty());
    }
    return 0;
}
