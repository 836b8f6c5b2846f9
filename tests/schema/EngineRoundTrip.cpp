#include "EngineRoundTrip.h"

#include "CKorvoDoc.h"
#include "DiagramCheck.h"
#include "DialectExport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <utility>

namespace {

void PrintList(const std::vector<std::string>& names, std::ostream* out)
{
    *out << "(";
    for (size_t i = 0; i < names.size(); ++i)
        *out << (i ? ", " : "") << names[i];
    *out << ")";
}

} // namespace

void PrintTo(const CatalogTable& table, std::ostream* out)
{
    *out << table.name << " [";
    for (size_t i = 0; i < table.columns.size(); ++i)
        *out << (i ? ", " : "") << table.columns[i].name << (table.columns[i].notNull ? " NOT NULL" : "");
    *out << "] key ";
    PrintList(table.primaryKey, out);
    *out << " unique ";
    PrintList(table.unique, out);
    for (const CatalogForeignKey& fk : table.foreignKeys) {
        *out << " fk ";
        PrintList(fk.columns, out);
        *out << " -> " << fk.refTable;
        PrintList(fk.refColumns, out);
    }
}

std::vector<CatalogTable> ExpectedCatalog(const CKorvoDoc& doc, SqlDialect dialect)
{
    std::vector<CatalogTable> tables;
    for (const auto& view : doc.m_tables) {
        const CTableDef& def = view->m_def;
        if (def.m_columns.empty() && dialect != SqlDialect::PostgreSql)
            continue;
        CatalogTable table;
        table.name = def.m_strName;
        for (const auto& column : def.m_columns) {
            const bool keyNotNull = column->m_bPrimaryKey && dialect != SqlDialect::Sqlite;
            table.columns.push_back({column->m_strName, column->m_bRequired || keyNotNull, column->m_strType, ""});
            if (column->m_bPrimaryKey)
                table.primaryKey.push_back(column->m_strName);
            if (column->m_bUnique)
                table.unique.push_back(column->m_strName);
        }
        std::sort(table.unique.begin(), table.unique.end());
        for (const auto& relation : doc.m_relations) {
            if (relation->m_pSource != view.get())
                continue;
            const auto& from = relation->m_sourceColumns;
            const auto& to = relation->m_destColumns;
            const bool madeDest = !relation->m_pDest->m_def.m_columns.empty() || dialect == SqlDialect::PostgreSql;
            if (!madeDest || from.empty() || from.size() != to.size() || !RelationEndsOnKey(*relation))
                continue;
            std::vector<std::pair<int, std::string>> pairs;
            for (size_t k = 0; k < from.size(); ++k)
                pairs.emplace_back(relation->m_pDest->IndexOfColumn(to[k]), from[k]->m_strName);
            std::sort(pairs.begin(), pairs.end());
            CatalogForeignKey fk;
            fk.refTable = relation->m_pDest->m_def.m_strName;
            for (const auto& [index, name] : pairs) {
                fk.columns.push_back(name);
                fk.refColumns.push_back(relation->m_pDest->m_def.m_columns[index]->m_strName);
            }
            table.foreignKeys.push_back(std::move(fk));
        }
        std::sort(table.foreignKeys.begin(), table.foreignKeys.end());
        tables.push_back(std::move(table));
    }
    std::sort(tables.begin(), tables.end(), [](const CatalogTable& a, const CatalogTable& b) { return a.name < b.name; });
    return tables;
}

std::unique_ptr<CKorvoDoc> DiagramFromCatalog(const std::vector<CatalogTable>& tables)
{
    auto doc = std::make_unique<CKorvoDoc>();
    const auto has = [](const std::vector<std::string>& names, const std::string& name) {
        return std::find(names.begin(), names.end(), name) != names.end();
    };
    for (const CatalogTable& t : tables) {
        auto table = std::make_unique<KorvoTableView>();
        table->m_def.m_strName = t.name;
        for (const CatalogColumn& c : t.columns)
            table->m_def.AddColumn(std::make_unique<CColumn>(c.name, c.type, c.notNull, c.defaultValue,
                                                             has(t.primaryKey, c.name), has(t.unique, c.name), "", ""));
        doc->AddTable(std::move(table));
    }
    const auto column = [](const KorvoTableView* table, const std::string& name) -> CColumn* {
        for (const auto& c : table->m_def.m_columns)
            if (c->m_strName == name)
                return c.get();
        return nullptr;
    };
    for (size_t i = 0; i < tables.size(); ++i)
        for (const CatalogForeignKey& fk : tables[i].foreignKeys) {
            KorvoTableView* source = doc->GetTable(static_cast<int>(i));
            KorvoTableView* dest = doc->FindTable(fk.refTable);
            if (!dest)
                continue;
            auto relation = std::make_unique<CRelation>(source, nullptr, dest, nullptr);
            relation->m_sourceColumns.clear();
            relation->m_destColumns.clear();
            for (size_t k = 0; k < fk.columns.size(); ++k) {
                relation->m_sourceColumns.push_back(column(source, fk.columns[k]));
                relation->m_destColumns.push_back(column(dest, fk.refColumns[k]));
            }
            doc->AddRelation(std::move(relation));
        }
    return doc;
}

void ExpectEngineTakesDiagram(const CKorvoDoc& doc, CSqlEngine& engine)
{
    ExportNotes notes;
    const std::string script = ExportDialectSql(doc, engine.Dialect(), notes);
    const std::string error = engine.RunScript(script);
    ASSERT_EQ(error, "") << script;
    const std::vector<CatalogTable> actual = engine.ReadCatalog();
    const std::vector<CatalogTable> expected = ExpectedCatalog(doc, engine.Dialect());
    ASSERT_EQ(actual.size(), expected.size()) << script;
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(actual[i], expected[i]) << script;
}
