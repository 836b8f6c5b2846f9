#include "DiagramCheck.h"

#include "AsciiCase.h"
#include "CKorvoDoc.h"
#include "DiagramLabels.h"
#include "SqlQuoting.h"
#include "SqlType.h"

#include <algorithm>
#include <unordered_map>

namespace {

// How a target compares two names beyond byte for byte.
enum class Fold {
    None,      // Korvo's own script, or no target
    Cut,       // PostgreSQL: the first 63 bytes
    AsciiCase, // MySQL, SQLite, SQL Server: without regard to ASCII letter case
};

Fold FoldOf(std::optional<SqlDialect> dialect)
{
    if (!dialect)
        return Fold::None;
    switch (*dialect) {
    case SqlDialect::PostgreSql: return Fold::Cut;
    case SqlDialect::MySql:
    case SqlDialect::Sqlite:
    case SqlDialect::SqlServer: return Fold::AsciiCase;
    default: return Fold::None;
    }
}

struct FoldedHash {
    bool ignoreCase;
    size_t operator()(std::string_view text) const
    {
        size_t hash = 14695981039346656037ull;
        for (char c : text) {
            hash ^= static_cast<unsigned char>(ignoreCase ? AsciiLower(c) : c);
            hash *= 1099511628211ull;
        }
        return hash;
    }
};

struct FoldedEqual {
    bool ignoreCase;
    bool operator()(std::string_view a, std::string_view b) const
    {
        if (!ignoreCase)
            return a == b;
        return a.size() == b.size()
            && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return AsciiLower(x) == AsciiLower(y); });
    }
};

// Finds each name's first holder in one list: exactly, and as the target
// compares names. Views into the diagram's own strings, so nothing is
// copied; a short list (a table's columns) is searched from end to end.
class CNameRegister {
public:
    CNameRegister(std::optional<SqlDialect> dialect, size_t expected)
        : m_fold(FoldOf(dialect)), m_linear(expected <= kLinear),
          m_folded(0, FoldedHash{m_fold == Fold::AsciiCase}, FoldedEqual{m_fold == Fold::AsciiCase})
    {
        if (m_linear) {
            m_names.reserve(expected);
        } else {
            m_exact.reserve(expected);
            if (m_fold != Fold::None)
                m_folded.reserve(expected);
        }
    }

    // The earlier holder of the same name, or -1; onlyFolded tells whether
    // it is only the target that takes the two names as one.
    int Add(std::string_view name, int index, bool& onlyFolded)
    {
        onlyFolded = false;
        const std::string_view key = Key(name);
        const FoldedEqual folded{m_fold == Fold::AsciiCase};
        if (m_linear) {
            for (const auto& [other, otherIndex] : m_names) {
                if (other == name)
                    return otherIndex;
            }
            for (const auto& [other, otherIndex] : m_names) {
                if (m_fold != Fold::None && folded(Key(other), key)) {
                    onlyFolded = true;
                    return otherIndex;
                }
            }
            m_names.emplace_back(name, index);
            return -1;
        }
        const auto exact = m_exact.emplace(name, index);
        if (!exact.second)
            return exact.first->second;
        if (m_fold == Fold::None)
            return -1;
        const auto same = m_folded.emplace(key, index);
        if (!same.second) {
            onlyFolded = true;
            return same.first->second;
        }
        return -1;
    }

private:
    static constexpr size_t kLinear = 24;

    std::string_view Key(std::string_view name) const
    {
        if (m_fold == Fold::Cut && name.size() > 63)
            return name.substr(0, NameKey(name, SqlDialect::PostgreSql).size());
        return name;
    }

    Fold m_fold;
    bool m_linear;
    std::vector<std::pair<std::string_view, int>> m_names;
    std::unordered_map<std::string_view, int> m_exact;
    std::unordered_map<std::string_view, int, FoldedHash, FoldedEqual> m_folded;
};

// What decides whether two column types hold the same values: spelling,
// string lengths and numbering (serial against integer) aside.
struct TypeKey {
    TypeKind family = TypeKind::None;
    TypeKind kind = TypeKind::None;
    int bytes = 0;
    bool isUnsigned = false;
    int precision = -1;
    int scale = -1;
    bool withTimeZone = false;
    int arrayDims = 0;
    std::string name;
    std::vector<std::string> values; // enum and set values, or the arguments of an unknown type
};

TypeKey KeyOf(const std::string& text)
{
    const SqlType t = ParseSqlType(text);
    TypeKey key;
    key.kind = t.kind;
    switch (t.kind) {
    case TypeKind::Char:
    case TypeKind::Varchar:
    case TypeKind::Text: key.family = TypeKind::Text; break;
    case TypeKind::Binary:
    case TypeKind::Varbinary:
    case TypeKind::Blob: key.family = TypeKind::Blob; break;
    default: key.family = t.kind; break;
    }
    key.bytes = t.bytes;
    key.isUnsigned = t.isUnsigned;
    key.precision = t.precision;
    key.scale = std::max(t.scale, 0);
    key.withTimeZone = t.withTimeZone;
    key.arrayDims = t.arrayDims;
    key.name = t.name;
    key.values = t.kind == TypeKind::Other ? t.args : t.values;
    return key;
}

bool SameType(const TypeKey& a, const TypeKey& b)
{
    if (a.kind == TypeKind::None || b.kind == TypeKind::None)
        return true; // reported as a column without a type
    if (a.arrayDims != b.arrayDims || a.family != b.family)
        return false;
    switch (a.kind) {
    case TypeKind::Integer: return a.bytes == b.bytes && a.isUnsigned == b.isUnsigned;
    case TypeKind::Float: return a.bytes == b.bytes;
    case TypeKind::Decimal: return a.precision == b.precision && a.scale == b.scale;
    case TypeKind::Timestamp:
    case TypeKind::Time: return a.withTimeZone == b.withTimeZone;
    case TypeKind::Enum:
    case TypeKind::Set: return a.values == b.values;
    case TypeKind::Other: return a.name == b.name && a.values == b.values;
    default: return true;
    }
}

class CDiagramChecker {
public:
    CDiagramChecker(const CKorvoDoc& doc, std::optional<SqlDialect> dialect) : m_doc(doc), m_dialect(dialect) {}

    std::vector<DiagramProblem> Run()
    {
        m_position.reserve(m_doc.m_tables.size());
        CNameRegister tables(m_dialect, m_doc.m_tables.size());
        for (size_t t = 0; t < m_doc.m_tables.size(); ++t) {
            m_position.emplace(m_doc.m_tables[t].get(), static_cast<int>(t));
            CheckTable(static_cast<int>(t), tables);
        }
        for (const auto& relation : m_doc.m_relations)
            CheckRelation(*relation);
        return std::move(m_problems);
    }

private:
    void Report(ProblemSeverity severity, int table, int column, const std::string& text)
    {
        const KorvoTableView& view = *m_doc.m_tables[table];
        const std::string label = column >= 0 ? ColumnLabel(view, table, column) : TableLabel(view, table);
        m_problems.push_back({severity, table, column, label + ": " + text});
    }

    std::string Title() const { return std::string(DialectDisplayName(*m_dialect)); }

    void CheckName(const std::string& name, int table, int column, const char* what, CNameRegister& names, int index)
    {
        if (name.empty()) {
            Report(ProblemSeverity::Error, table, column, std::string("the ") + what + " has no name");
            return;
        }
        bool onlyFolded = false;
        const int earlier = names.Add(name, index, onlyFolded);
        if (earlier >= 0) {
            const std::string other = std::string(what) + " " + std::to_string(earlier + 1);
            if (onlyFolded)
                Report(ProblemSeverity::Error, table, column,
                       Title() + " takes this name as the same as that of " + other);
            else
                Report(ProblemSeverity::Error, table, column, std::string("duplicate ") + what + " name (" + other + " has it too)");
        }
        if (!m_dialect)
            return;
        const std::string refusal = NameRefusal(name, *m_dialect);
        if (!refusal.empty()) {
            Report(ProblemSeverity::Error, table, column, Title() + " cannot take this name: " + refusal);
            return;
        }
        const QuoteReason reason = NameQuoteReason(name, *m_dialect);
        if (reason == QuoteReason::None)
            return;
        if (*m_dialect == SqlDialect::Korvo)
            Report(ProblemSeverity::Error, table, column,
                   "Korvo's script writes names as they are, and Import SQL cannot read this one back: it "
                       + std::string(QuoteReasonText(reason)));
        else
            Report(ProblemSeverity::Warning, table, column,
                   Title() + " needs this name in quotes: it " + std::string(QuoteReasonText(reason)));
    }

    void CheckTable(int t, CNameRegister& tables)
    {
        const CTableDef& def = m_doc.m_tables[t]->m_def;
        CheckName(def.m_strName, t, -1, "table", tables, t);
        CNameRegister columns(m_dialect, def.m_columns.size());
        bool hasKey = false;
        for (size_t c = 0; c < def.m_columns.size(); ++c) {
            const CColumn& column = *def.m_columns[c];
            const int index = static_cast<int>(c);
            CheckName(column.m_strName, t, index, "column", columns, index);
            if (column.m_strType.find_first_not_of(" \t\r\n") == std::string::npos)
                Report(ProblemSeverity::Error, t, index, "the column has no type");
            hasKey = hasKey || column.m_bPrimaryKey;
        }
        if (!hasKey)
            Report(ProblemSeverity::Warning, t, -1, "the table has no primary key");
    }

    int PositionOf(const KorvoTableView* table) const
    {
        const auto it = m_position.find(table);
        return it == m_position.end() ? -1 : it->second;
    }

    void CheckRelation(const CRelation& relation)
    {
        const int source = PositionOf(relation.m_pSource);
        const int dest = PositionOf(relation.m_pDest);
        if (source < 0 || dest < 0)
            return;
        const KorvoTableView& from = *relation.m_pSource;
        const KorvoTableView& to = *relation.m_pDest;
        const int first = relation.m_sourceColumns.empty() ? -1 : from.IndexOfColumn(relation.m_sourceColumns[0]);
        const std::string target = "the relation to " + TableLabel(to, dest);
        const size_t sources = relation.m_sourceColumns.size();
        const size_t dests = relation.m_destColumns.size();
        if (sources == 0 || dests == 0) {
            Report(ProblemSeverity::Error, source, first, target + " has no columns on one side");
            return;
        }
        if (sources != dests) {
            Report(ProblemSeverity::Error, source, first,
                   target + " has " + std::to_string(sources) + (sources == 1 ? " source column" : " source columns")
                       + " but " + std::to_string(dests) + (dests == 1 ? " destination column" : " destination columns"));
        } else {
            for (size_t k = 0; k < sources; ++k)
                CheckTypes(from, source, relation.m_sourceColumns[k], to, dest, relation.m_destColumns[k]);
        }
        if (!RelationEndsOnKey(relation)) {
            std::string names;
            for (size_t k = 0; k < dests; ++k)
                names += (k ? ", " : "") + relation.m_destColumns[k]->m_strName;
            Report(ProblemSeverity::Error, source, first,
                   target + " ends on " + TableLabel(to, dest) + " (" + names + "), which is neither its primary key nor unique");
        }
    }

    void CheckTypes(const KorvoTableView& from, int source, const CColumn* a, const KorvoTableView& to, int dest,
                    const CColumn* b)
    {
        const int ai = from.IndexOfColumn(a);
        const int bi = to.IndexOfColumn(b);
        if (ai < 0 || bi < 0 || a->m_strType == b->m_strType || SameType(KeyFor(a->m_strType), KeyFor(b->m_strType)))
            return;
        Report(ProblemSeverity::Error, source, ai,
               "type \"" + a->m_strType + "\" differs from " + ColumnLabel(to, dest, bi) + " (\"" + b->m_strType + "\")");
    }

    // Diagrams repeat a few type texts many times: each is read once.
    const TypeKey& KeyFor(const std::string& type)
    {
        const auto it = m_types.find(type);
        if (it != m_types.end())
            return it->second;
        return m_types.emplace(type, KeyOf(type)).first->second;
    }

    const CKorvoDoc& m_doc;
    std::optional<SqlDialect> m_dialect;
    std::unordered_map<const KorvoTableView*, int> m_position;
    std::unordered_map<std::string_view, TypeKey> m_types;
    std::vector<DiagramProblem> m_problems;
};

} // namespace

bool RelationEndsOnKey(const CRelation& relation)
{
    const KorvoTableView* dest = relation.m_pDest;
    const std::vector<CColumn*>& columns = relation.m_destColumns;
    if (!dest || columns.empty())
        return false;
    if (columns.size() == 1 && columns[0]->m_bUnique)
        return true;
    // The whole key, each of its columns once: as many key columns named,
    // none twice, as the table has.
    size_t keyColumns = 0;
    for (const auto& column : dest->m_def.m_columns)
        keyColumns += column->m_bPrimaryKey ? 1 : 0;
    if (keyColumns != columns.size())
        return false;
    for (size_t i = 0; i < columns.size(); ++i) {
        if (!columns[i]->m_bPrimaryKey || dest->IndexOfColumn(columns[i]) < 0)
            return false;
        for (size_t j = 0; j < i; ++j)
            if (columns[j] == columns[i])
                return false;
    }
    return true;
}

std::vector<DiagramProblem> CheckDiagram(const CKorvoDoc& doc, std::optional<SqlDialect> dialect)
{
    // Only a dialect that scripts are written in has names to judge.
    if (dialect && (*dialect == SqlDialect::Auto || *dialect == SqlDialect::Oracle || *dialect == SqlDialect::Db2))
        dialect.reset();
    return CDiagramChecker(doc, dialect).Run();
}
