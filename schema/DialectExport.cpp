#include "DialectExport.h"

#include "AsciiCase.h"
#include "CKorvoDoc.h"
#include "DiagramCheck.h"
#include "DiagramLabels.h"
#include "SqlExpression.h"
#include "SqlQuoting.h"
#include "SqlType.h"
#include "SqlTypeMap.h"
#include "SqlUtf8.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

using namespace SqlUtf8;

namespace {

struct ColumnPlan {
    std::string name;
    std::string sqlName;
    std::string description;
    const SqlType* type = nullptr; // read once per distinct text, see TypeOf
    SqlDefault def;
    int keyLength = 0;
    ColumnSql sql;
    std::string check;
};

struct TablePlan {
    const KorvoTableView* table = nullptr;
    std::string sqlName;
    std::string description;
    std::string check;
    std::vector<ColumnPlan> columns;
    std::vector<size_t> outgoing; // usable relations from this table, in document order
    std::vector<std::string> comments;
    bool leftOut = false;
};

struct RelationPlan {
    size_t source = 0;
    size_t dest = 0;
    std::vector<int> sourceColumns;
    std::vector<int> destColumns;
    std::string constraintName;
    bool deferred = false;
};

// Text from the model may still hold single-byte characters from older
// diagrams; the script is UTF-8 throughout, with LF line ends.
std::string Clean(const std::string& text)
{
    std::string out = RepairUtf8(text);
    size_t at = 0;
    while ((at = out.find('\r', at)) != std::string::npos) {
        if (at + 1 < out.size() && out[at + 1] == '\n')
            out.erase(at, 1);
        else
            out[at] = '\n';
    }
    return out;
}

std::vector<std::string_view> Lines(std::string_view text)
{
    std::vector<std::string_view> lines;
    size_t start = 0;
    for (size_t at = text.find('\n'); at != std::string_view::npos; at = text.find('\n', start)) {
        lines.push_back(text.substr(start, at - start));
        start = at + 1;
    }
    lines.push_back(text.substr(start));
    return lines;
}

// Constraint names are plain lower-case ASCII so that no target quotes them.
std::string NamePart(std::string_view name)
{
    std::string part;
    for (char c : name) {
        const bool keep = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
        const char lower = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        if (keep || (c >= 'A' && c <= 'Z'))
            part += lower;
        else if (!part.empty() && part.back() != '_')
            part += '_';
    }
    while (!part.empty() && part.back() == '_')
        part.pop_back();
    return part.empty() ? "t" : part;
}

size_t ConstraintNameLimit(SqlDialect dialect)
{
    switch (dialect) {
    case SqlDialect::MySql: return 64;
    case SqlDialect::SqlServer: return 128;
    default: return 63;
    }
}

// MySQL keeps comments up to these lengths and refuses longer ones.
constexpr size_t kMySQLColumnComment = 1024;
constexpr size_t kMySQLTableComment = 2048;
// An extended property holds 7,500 bytes: 3,750 UTF-16 characters.
constexpr size_t kSQLServerDescription = 3750;

// Builds one dialect's script from a diagram: plans every table, column
// and relation first, then writes them in dependency order.
class CDialectScript {
public:
    CDialectScript(const CKorvoDoc& doc, SqlDialect dialect, ExportNotes& notes)
        : m_doc(doc), m_dialect(dialect), m_notes(notes)
    {
    }

    std::string Write()
    {
        PlanTables();
        PlanRelations();
        PlanKeyLengths();
        PlanColumns();
        PlanOrder();
        NameConstraints();

        std::string out = "-- " + std::string(DialectDisplayName(m_dialect)) + " script written by Korvo\n";
        if (m_dialect == SqlDialect::MySql)
            out += "SET NAMES utf8mb4;\n";
        out += '\n';
        for (size_t t : m_order)
            WriteTable(out, t);
        WriteDeferredKeys(out);
        if (m_dialect == SqlDialect::SqlServer)
            WriteSQLServerDescriptions(out);
        return out;
    }

private:
    void Note(size_t table, int column, const std::string& text)
    {
        const KorvoTableView& view = *m_tables[table].table;
        const std::string label = column >= 0 ? ColumnLabel(view, static_cast<int>(table), column)
                                              : TableLabel(view, static_cast<int>(table));
        std::string line = label + ": " + text;
        for (char& c : line)
            if (c == '\n' || c == '\r')
                c = ' ';
        m_notes.push_back({static_cast<int>(table), column, line});
        m_tables[table].comments.push_back(line);
    }

    // Diagrams repeat a few type texts many times: each is read once.
    const SqlType& TypeOf(const std::string& text)
    {
        const auto it = m_types.find(text);
        if (it != m_types.end())
            return it->second;
        return m_types.emplace(text, ParseSqlType(text)).first->second;
    }

    void PlanTables()
    {
        m_tables.resize(m_doc.m_tables.size());
        for (size_t i = 0; i < m_doc.m_tables.size(); ++i) {
            const KorvoTableView& view = *m_doc.m_tables[i];
            TablePlan& plan = m_tables[i];
            plan.table = &view;
            m_position.emplace(&view, i);
            plan.sqlName = SqlName(Clean(view.m_def.m_strName), m_dialect);
            plan.description = Clean(view.m_def.m_strDescription);
            plan.check = view.m_def.m_strCheck.empty() ? "" : MapCheck(Clean(view.m_def.m_strCheck), m_dialect);
            for (const auto& column : view.m_def.m_columns) {
                ColumnPlan c;
                c.name = Clean(column->m_strName);
                c.sqlName = SqlName(c.name, m_dialect);
                c.description = Clean(column->m_strDescription);
                c.type = &TypeOf(Clean(column->m_strType));
                c.def = ParseSqlDefault(Clean(column->m_strDefault));
                plan.columns.push_back(std::move(c));
            }
            if (plan.columns.empty() && m_dialect != SqlDialect::PostgreSql) {
                plan.leftOut = true;
                Note(i, -1, "left out: " + std::string(DialectDisplayName(m_dialect)) + " makes no table without columns");
            }
        }
    }

    void PlanRelations()
    {
        for (const auto& relation : m_doc.m_relations) {
            const auto source = m_position.find(relation->m_pSource);
            const auto dest = m_position.find(relation->m_pDest);
            if (source == m_position.end() || dest == m_position.end())
                continue;
            RelationPlan plan;
            plan.source = source->second;
            plan.dest = dest->second;
            for (const CColumn* column : relation->m_sourceColumns)
                plan.sourceColumns.push_back(relation->m_pSource->IndexOfColumn(column));
            for (const CColumn* column : relation->m_destColumns)
                plan.destColumns.push_back(relation->m_pDest->IndexOfColumn(column));
            if (m_tables[plan.source].leftOut)
                continue;
            const int firstColumn = plan.sourceColumns.empty() || plan.sourceColumns[0] < 0 ? -1 : plan.sourceColumns[0];
            const std::string reason = RelationProblem(*relation, plan);
            if (!reason.empty()) {
                Note(plan.source, firstColumn,
                     "foreign key to " + TableLabel(*m_tables[plan.dest].table, static_cast<int>(plan.dest))
                         + " left out: " + reason);
                continue;
            }
            // The key's column order: MySQL finds the referenced index only so,
            // and the pairs mean the same in any order.
            std::vector<std::pair<int, int>> pairs;
            for (size_t k = 0; k < plan.destColumns.size(); ++k)
                pairs.emplace_back(plan.destColumns[k], plan.sourceColumns[k]);
            std::sort(pairs.begin(), pairs.end());
            for (size_t k = 0; k < pairs.size(); ++k) {
                plan.destColumns[k] = pairs[k].first;
                plan.sourceColumns[k] = pairs[k].second;
            }
            m_tables[plan.source].outgoing.push_back(m_relations.size());
            m_relations.push_back(std::move(plan));
        }
    }

    // Why no engine would take the relation as a foreign key, or nothing.
    std::string RelationProblem(const CRelation& relation, const RelationPlan& plan) const
    {
        if (m_tables[plan.dest].leftOut)
            return "its table is left out";
        if (plan.sourceColumns.empty() || plan.destColumns.empty())
            return "a side has no columns";
        if (plan.sourceColumns.size() != plan.destColumns.size())
            return std::to_string(plan.sourceColumns.size()) + " columns refer to "
                + std::to_string(plan.destColumns.size());
        const auto missing = [](int index) { return index < 0; };
        if (std::any_of(plan.sourceColumns.begin(), plan.sourceColumns.end(), missing)
            || std::any_of(plan.destColumns.begin(), plan.destColumns.end(), missing))
            return "it names a column of another table";
        if (!RelationEndsOnKey(relation))
            return "the columns it refers to are neither the primary key nor unique";
        return "";
    }

    // MySQL and SQL Server index no unbounded string; each key's strings
    // share the key's byte limit, and a foreign key's two sides agree.
    void PlanKeyLengths()
    {
        if (KeyStringLength(m_dialect, 1) == 0)
            return;
        const auto applyKey = [this](TablePlan& table, const std::vector<int>& columns) {
            int strings = 0;
            for (int c : columns)
                strings += IsKeyString(*table.columns[c].type) ? 1 : 0;
            const int length = KeyStringLength(m_dialect, strings);
            for (int c : columns) {
                ColumnPlan& column = table.columns[c];
                if (IsKeyString(*column.type))
                    column.keyLength = column.keyLength ? std::min(column.keyLength, length) : length;
            }
        };
        for (TablePlan& table : m_tables) {
            std::vector<int> primaryKey;
            for (size_t c = 0; c < table.columns.size(); ++c) {
                const CColumn& column = *table.table->m_def.m_columns[c];
                if (column.m_bPrimaryKey)
                    primaryKey.push_back(static_cast<int>(c));
                if (column.m_bUnique)
                    applyKey(table, {static_cast<int>(c)});
            }
            if (!primaryKey.empty())
                applyKey(table, primaryKey);
        }
        for (const RelationPlan& relation : m_relations)
            applyKey(m_tables[relation.source], relation.sourceColumns);
        // A chain of references may pass a shorter length along; each pass
        // shortens at least one column or ends the loop.
        for (bool changed = true; changed;) {
            changed = false;
            for (const RelationPlan& relation : m_relations)
                for (size_t k = 0; k < relation.sourceColumns.size(); ++k) {
                    ColumnPlan& a = m_tables[relation.source].columns[relation.sourceColumns[k]];
                    ColumnPlan& b = m_tables[relation.dest].columns[relation.destColumns[k]];
                    if (a.keyLength > 0 && b.keyLength > 0 && a.keyLength != b.keyLength) {
                        a.keyLength = b.keyLength = std::min(a.keyLength, b.keyLength);
                        changed = true;
                    }
                }
        }
    }

    void PlanColumns()
    {
        for (size_t t = 0; t < m_tables.size(); ++t) {
            TablePlan& table = m_tables[t];
            if (table.leftOut)
                continue;
            const auto& columns = table.table->m_def.m_columns;
            int firstKey = -1;
            int keyCount = 0;
            for (size_t c = 0; c < columns.size(); ++c)
                if (columns[c]->m_bPrimaryKey) {
                    firstKey = firstKey < 0 ? static_cast<int>(c) : firstKey;
                    ++keyCount;
                }
            bool numbered = false;
            for (size_t c = 0; c < columns.size(); ++c) {
                const CColumn& column = *columns[c];
                ColumnPlan& plan = table.columns[c];
                ColumnContext context;
                context.sqlName = plan.sqlName;
                context.keyLength = plan.keyLength;
                context.leadsKey = (column.m_bPrimaryKey && static_cast<int>(c) == firstKey) || column.m_bUnique;
                context.solePrimaryKey = column.m_bPrimaryKey && keyCount == 1;
                context.tableHasAutoIncrement = numbered;
                plan.sql = MapColumn(*plan.type, plan.def, m_dialect, context);
                numbered = numbered || plan.sql.autoIncrement;
                for (const std::string& note : plan.sql.notes)
                    Note(t, static_cast<int>(c), note);
                if (!column.m_strCheck.empty())
                    plan.check = MapCheck(Clean(column.m_strCheck), m_dialect);
                if (!plan.check.empty() && plan.sql.autoIncrement && m_dialect == SqlDialect::MySql) {
                    Note(t, static_cast<int>(c), "CHECK left out: MariaDB takes none on an AUTO_INCREMENT column");
                    plan.check.clear();
                }
            }
        }
    }

    // Each table after the tables it refers to, otherwise in document
    // order; a reference back into the path being walked closes a cycle.
    void PlanOrder()
    {
        std::vector<bool> done(m_tables.size()), onPath(m_tables.size());
        struct Frame {
            size_t table;
            size_t next;
        };
        for (size_t start = 0; start < m_tables.size(); ++start) {
            if (done[start] || m_tables[start].leftOut)
                continue;
            std::vector<Frame> path{{start, 0}};
            onPath[start] = true;
            while (!path.empty()) {
                Frame& frame = path.back();
                const std::vector<size_t>& outgoing = m_tables[frame.table].outgoing;
                if (frame.next < outgoing.size()) {
                    const size_t dest = m_relations[outgoing[frame.next++]].dest;
                    if (!done[dest] && !onPath[dest]) {
                        onPath[dest] = true;
                        path.push_back({dest, 0});
                    }
                    continue;
                }
                done[frame.table] = true;
                onPath[frame.table] = false;
                m_order.push_back(frame.table);
                for (size_t r : outgoing) {
                    RelationPlan& relation = m_relations[r];
                    relation.deferred = relation.dest != frame.table && !done[relation.dest];
                }
                path.pop_back();
            }
        }
    }

    void NameConstraints()
    {
        std::unordered_set<std::string> used;
        for (const TablePlan& table : m_tables)
            used.insert(AsciiLowerCopy(RepairUtf8(table.table->m_def.m_strName)));
        const size_t limit = ConstraintNameLimit(m_dialect);
        for (RelationPlan& relation : m_relations) {
            std::string base = "fk_" + NamePart(RepairUtf8(m_tables[relation.source].table->m_def.m_strName)) + "_"
                + NamePart(RepairUtf8(m_tables[relation.dest].table->m_def.m_strName));
            base.resize(std::min(base.size(), limit));
            std::string name = base;
            for (int n = 2; used.count(name); ++n) {
                const std::string suffix = "_" + std::to_string(n);
                name = base.substr(0, std::min(base.size(), limit - suffix.size())) + suffix;
            }
            used.insert(name);
            relation.constraintName = name;
        }
    }

    std::string ColumnList(const TablePlan& table, const std::vector<int>& columns) const
    {
        std::string list;
        for (size_t i = 0; i < columns.size(); ++i)
            list += (i ? ", " : "") + table.columns[columns[i]].sqlName;
        return list;
    }

    std::string ForeignKey(const RelationPlan& relation) const
    {
        const TablePlan& source = m_tables[relation.source];
        const TablePlan& dest = m_tables[relation.dest];
        return "CONSTRAINT " + relation.constraintName + " FOREIGN KEY (" + ColumnList(source, relation.sourceColumns)
            + ") REFERENCES " + dest.sqlName + " (" + ColumnList(dest, relation.destColumns) + ")";
    }

    // Ends the current line with the text's first line as a comment; its
    // other lines follow as comment lines of their own.
    static void AppendTrailingComment(std::string& out, const std::string& text, const char* indent)
    {
        if (text.empty()) {
            out += '\n';
            return;
        }
        const std::vector<std::string_view> lines = Lines(text);
        for (size_t i = 0; i < lines.size(); ++i) {
            if (i > 0)
                out += indent;
            else
                out += ' ';
            out += lines[i].empty() ? "--" : "-- ";
            out += lines[i];
            out += '\n';
        }
    }

    std::string Literal(const std::string& text, size_t limit, size_t table, int column, const char* what)
    {
        if (Utf8Length(text) <= limit)
            return SqlStringLiteral(text, m_dialect);
        Note(table, column, std::string(what) + " cut to " + std::to_string(limit) + " characters");
        return SqlStringLiteral(std::string(Utf8Prefix(text, limit)), m_dialect);
    }

    std::string ColumnDefinition(size_t t, size_t c)
    {
        const TablePlan& table = m_tables[t];
        const CColumn& column = *table.table->m_def.m_columns[c];
        const ColumnPlan& plan = table.columns[c];
        const ColumnSql& sql = plan.sql;
        std::string line = plan.sqlName;
        if (!sql.type.empty())
            line += " " + sql.type;
        const bool mysql = m_dialect == SqlDialect::MySql;
        const bool notNull = column.m_bRequired
            && !(sql.generated && m_dialect == SqlDialect::SqlServer && sql.type.find("PERSISTED") == std::string::npos);
        if (!mysql && !sql.defaultValue.empty())
            line += " DEFAULT " + sql.defaultValue;
        if (notNull)
            line += " NOT NULL";
        if (mysql && !sql.defaultValue.empty())
            line += " DEFAULT " + sql.defaultValue;
        if (!sql.autoSuffix.empty())
            line += " " + sql.autoSuffix;
        if (column.m_bUnique)
            line += " UNIQUE";
        if (mysql && !plan.description.empty())
            line += " COMMENT " + Literal(plan.description, kMySQLColumnComment, t, static_cast<int>(c), "description");
        if (!plan.check.empty())
            line += " CHECK (" + plan.check + ")";
        if (!sql.check.empty())
            line += " CHECK (" + sql.check + ")";
        return line;
    }

    void WriteTable(std::string& out, size_t t)
    {
        TablePlan& table = m_tables[t];
        const bool sqlite = m_dialect == SqlDialect::Sqlite;
        for (const std::string& comment : table.comments)
            out += "-- " + comment + "\n";
        for (size_t r : table.outgoing)
            if (sqlite && m_relations[r].deferred)
                out += "-- " + TableLabel(*table.table, static_cast<int>(t)) + " refers to "
                    + TableLabel(*m_tables[m_relations[r].dest].table, static_cast<int>(m_relations[r].dest))
                    + ", which comes later: SQLite checks foreign keys when rows change, so the reference stays in "
                      "the table.\n";

        // SQLite keeps the statement's text, comments included, in its
        // schema: the table's description follows the opening parenthesis,
        // each column's ends the column's line.
        out += "CREATE TABLE " + table.sqlName + " (";
        AppendTrailingComment(out, sqlite ? table.description : std::string(), "\t");
        std::vector<std::string> parts;
        std::vector<std::string> comments;
        std::vector<int> primaryKey;
        for (size_t c = 0; c < table.columns.size(); ++c) {
            parts.push_back("\t" + ColumnDefinition(t, c));
            comments.push_back(sqlite ? table.columns[c].description : std::string());
            if (table.table->m_def.m_columns[c]->m_bPrimaryKey)
                primaryKey.push_back(static_cast<int>(c));
        }
        if (!primaryKey.empty())
            parts.push_back("\tPRIMARY KEY (" + ColumnList(table, primaryKey) + ")");
        if (!table.check.empty())
            parts.push_back("\tCHECK (" + table.check + ")");
        for (size_t r : table.outgoing)
            if (sqlite || !m_relations[r].deferred)
                parts.push_back("\t" + ForeignKey(m_relations[r]));
        comments.resize(parts.size());
        for (size_t i = 0; i < parts.size(); ++i) {
            out += parts[i];
            if (i + 1 < parts.size())
                out += ',';
            AppendTrailingComment(out, comments[i], "\t\t");
        }
        out += ")";
        if (m_dialect == SqlDialect::MySql) {
            out += " ENGINE=InnoDB DEFAULT CHARSET=utf8mb4";
            if (!table.description.empty())
                out += " COMMENT=" + Literal(table.description, kMySQLTableComment, t, -1, "description");
        }
        out += ";\n";
        if (m_dialect == SqlDialect::PostgreSql)
            WritePostgresComments(out, table);
        out += '\n';
    }

    void WritePostgresComments(std::string& out, const TablePlan& table) const
    {
        if (!table.description.empty())
            out += "COMMENT ON TABLE " + table.sqlName + " IS " + SqlStringLiteral(table.description, m_dialect) + ";\n";
        for (const ColumnPlan& column : table.columns)
            if (!column.description.empty())
                out += "COMMENT ON COLUMN " + table.sqlName + "." + column.sqlName + " IS "
                    + SqlStringLiteral(column.description, m_dialect) + ";\n";
    }

    void WriteDeferredKeys(std::string& out) const
    {
        if (m_dialect == SqlDialect::Sqlite)
            return;
        bool any = false;
        for (size_t t : m_order)
            for (size_t r : m_tables[t].outgoing) {
                if (!m_relations[r].deferred)
                    continue;
                if (!any)
                    out += "-- Foreign keys that close a cycle, added once both tables exist.\n";
                any = true;
                out += "ALTER TABLE " + m_tables[t].sqlName + " ADD " + ForeignKey(m_relations[r]) + ";\n";
            }
        if (any)
            out += '\n';
    }

    // SQL Server keeps descriptions as MS_Description extended properties,
    // where its own tools show them; they name the objects unquoted.
    void WriteSQLServerDescriptions(std::string& out)
    {
        std::string block;
        const auto property = [&](size_t t, int c, const std::string& text, const std::string& level) {
            const TablePlan& table = m_tables[t];
            block += "EXEC sys.sp_addextendedproperty @name = N'MS_Description', @value = "
                + Literal(text, kSQLServerDescription, t, c, "description")
                + ", @level0type = N'SCHEMA', @level0name = @schema, @level1type = N'TABLE', @level1name = "
                + SqlStringLiteral(Clean(table.table->m_def.m_strName), m_dialect) + level + ";\n";
        };
        for (size_t t : m_order) {
            const TablePlan& table = m_tables[t];
            if (!table.description.empty())
                property(t, -1, table.description, "");
            for (size_t c = 0; c < table.columns.size(); ++c)
                if (!table.columns[c].description.empty())
                    property(t, static_cast<int>(c), table.columns[c].description,
                             ", @level2type = N'COLUMN', @level2name = " + SqlStringLiteral(table.columns[c].name, m_dialect));
        }
        if (block.empty())
            return;
        out += "-- Descriptions, kept as MS_Description extended properties.\n";
        out += "DECLARE @schema sysname = SCHEMA_NAME();\n";
        out += block;
        out += '\n';
    }

    const CKorvoDoc& m_doc;
    SqlDialect m_dialect;
    ExportNotes& m_notes;
    std::vector<TablePlan> m_tables;
    std::vector<RelationPlan> m_relations;
    std::vector<size_t> m_order;
    std::unordered_map<const KorvoTableView*, size_t> m_position;
    std::unordered_map<std::string, SqlType> m_types;
};

} // namespace

bool DialectCanExport(SqlDialect dialect)
{
    switch (dialect) {
    case SqlDialect::Korvo:
    case SqlDialect::PostgreSql:
    case SqlDialect::MySql:
    case SqlDialect::Sqlite:
    case SqlDialect::SqlServer: return true;
    default: return false;
    }
}

std::string ExportDialectSql(const CKorvoDoc& doc, SqlDialect dialect, ExportNotes& notes)
{
    if (dialect == SqlDialect::Korvo) {
        // The program's own export only sets and clears its per-table work
        // marks; the diagram itself stays as it is.
        return const_cast<CKorvoDoc&>(doc).ExportSQLText();
    }
    if (!DialectCanExport(dialect)) {
        notes.push_back({-1, -1, "no " + std::string(DialectDisplayName(dialect)) + " script can be written"});
        return "";
    }
    return CDialectScript(doc, dialect, notes).Write();
}
