// The statements of the tolerant reader other than CREATE TABLE: which
// statement a script holds, CREATE INDEX, ALTER TABLE, COMMENT ON, DROP
// TABLE and SQL Server's extended properties.
#include "CSchemaBuilder.h"
#include "CTolerantReader.h"
#include "ImportReport.h"
#include "SqlWords.h"

#include <array>

using namespace sqlwords;

void CTolerantReader::Dispatch(const SqlToken& first, std::string& kind)
{
    auto skip = [&](std::string what) {
        kind = std::move(what);
        SkipStatement();
        m_report.Skip(kind, first.line);
    };
    if (first.kind != SqlTokenKind::Word) {
        skip(first.kind == SqlTokenKind::Symbol ? "statement starting with " + std::string(first.text) : "statement");
        return;
    }
    const std::string word = AsciiUpperCopy(first.text);
    if (word == "CREATE") {
        Take();
        bool unique = false;
        bool temporary = false;
        for (;;) {
            const SqlToken& t = Peek();
            if (t.Is("OR") || t.Is("REPLACE") || t.Is("GLOBAL") || t.Is("LOCAL") || t.Is("UNLOGGED") ||
                t.Is("CLUSTERED") || t.Is("NONCLUSTERED") || t.Is("BITMAP") || t.Is("FULLTEXT") ||
                t.Is("SPATIAL") || t.Is("DEFINER") || t.Is("ALGORITHM") || t.Is("EDITIONABLE") ||
                t.Is("NONEDITIONABLE") || t.Is("MULTISET") || t.Is("COLUMN") || t.Is("ROW")) {
                Take();
                if (AcceptSymbol('=')) // MySQL's DEFINER = user@host
                    while (!Peek().EndsStatement() && Peek().kind != SqlTokenKind::Word)
                        Take();
            } else if (t.Is("UNIQUE")) {
                unique = true;
                Take();
            } else if (t.Is("TEMPORARY") || t.Is("TEMP") || t.Is("VOLATILE")) {
                temporary = true;
                Take();
            } else {
                break;
            }
        }
        const SqlToken& what = Peek();
        if (what.Is("TABLE") && !temporary) {
            kind = "CREATE TABLE";
            Take();
            CreateTable(first);
        } else if (what.Is("INDEX")) {
            kind = unique ? "CREATE UNIQUE INDEX" : "CREATE INDEX";
            Take();
            CreateIndex(unique);
        } else {
            std::string object = what.kind == SqlTokenKind::Word ? AsciiUpperCopy(what.text) : std::string();
            if (temporary)
                object = "TEMPORARY " + object;
            // Bodies with semicolons: to the end of the batch or block.
            const bool routine = IsOneOf(what, kRoutineWords);
            kind = "CREATE " + object;
            if (routine && m_dialect == SqlDialect::SqlServer) {
                while (!(Peek().kind == SqlTokenKind::Delimiter && Peek().text != ";") && Peek().kind != SqlTokenKind::End &&
                       Peek().begin < m_rangeEnd)
                    Take();
                if (Peek().kind == SqlTokenKind::Delimiter)
                    Take();
                m_closed = true;
                m_report.Skip(kind, first.line);
            } else if (routine && m_dialect == SqlDialect::Oracle) {
                // PL/SQL ends at a line holding only a slash.
                const size_t from = Peek().begin;
                const int line = Peek().line;
                while (!(Peek().kind == SqlTokenKind::Delimiter && Peek().text != ";") &&
                       Peek().kind != SqlTokenKind::End && Peek().begin < m_rangeEnd)
                    Take();
                if (Peek().kind == SqlTokenKind::End) {
                    m_tokens.Seek(from, line); // no slash: the block ends as blocks do
                    SkipStatement();
                } else {
                    Take();
                }
                m_closed = true;
                m_report.Skip(kind, first.line);
            } else {
                skip(kind);
            }
        }
    } else if (word == "ALTER") {
        Take();
        if (Peek().Is("TABLE")) {
            kind = "ALTER TABLE";
            Take();
            AlterTable(first);
        } else {
            skip("ALTER " + (Peek().kind == SqlTokenKind::Word ? AsciiUpperCopy(Peek().text) : std::string()));
        }
    } else if (word == "COMMENT") {
        Take();
        if (Peek().Is("ON")) {
            kind = "COMMENT ON";
            CommentOn(first);
        } else {
            skip("COMMENT");
        }
    } else if (word == "DROP") {
        Take();
        if (Peek().Is("TABLE")) {
            kind = "DROP TABLE";
            Take();
            DropTable();
        } else {
            skip("DROP " + (Peek().kind == SqlTokenKind::Word ? AsciiUpperCopy(Peek().text) : std::string()));
        }
    } else if ((word == "EXEC" || word == "EXECUTE") && m_dialect == SqlDialect::SqlServer) {
        kind = word;
        Take();
        ExecProcedure(first);
    } else if ((word == "BEGIN" || word == "DECLARE") && m_dialect == SqlDialect::Oracle) {
        kind = "PL/SQL BLOCK";
        const size_t from = Peek().begin;
        const int line = Peek().line;
        while (!(Peek().kind == SqlTokenKind::Delimiter && Peek().text != ";") && Peek().kind != SqlTokenKind::End &&
               Peek().begin < m_rangeEnd)
            Take();
        if (Peek().kind == SqlTokenKind::End) {
            m_tokens.Seek(from, line);
            SkipStatement();
        } else {
            Take();
        }
        m_closed = true;
        m_report.Skip(kind, first.line);
    } else {
        skip(word);
    }
}

// ---------------------------------------------------------------------------
// Other statements

void CTolerantReader::CreateIndex(bool unique)
{
    Accept("CONCURRENTLY");
    if (Accept("IF")) {
        Expect("NOT");
        Expect("EXISTS");
    }
    if (!Peek().Is("ON"))
        ReadQualifiedName();
    Expect("ON");
    Accept("ONLY");
    const QualifiedName on = ReadQualifiedName();
    if (Accept("USING"))
        Take();
    ExpectSymbol('(');
    std::vector<std::string> columns;
    bool plain = true;
    do {
        const SqlToken& t = Peek();
        if (!t.IsName()) {
            plain = false;
        } else {
            columns.push_back(Name());
            if (Peek().IsSymbol('(') && m_dialect != SqlDialect::MySql)
                plain = false; // a function call: an expression, not a column
        }
        SkipToElementEnd();
    } while (AcceptSymbol(','));
    ExpectSymbol(')');
    bool partial = false;
    while (!Peek().EndsStatement() && Peek().kind != SqlTokenKind::ClientCommand && Peek().begin < m_rangeEnd &&
           !(m_dialect == SqlDialect::SqlServer && AtNewStatement())) {
        if (Peek().Is("WHERE"))
            partial = true;
        if (Peek().IsSymbol('('))
            SkipBalanced();
        else
            Take();
    }
    SchemaTable* table = m_builder.Find(on.schema, on.name);
    if (!unique || !plain || partial || !table) {
        m_report.Skip(unique ? "CREATE UNIQUE INDEX" : "CREATE INDEX", on.line);
        return;
    }
    table->uniqueKeys.push_back(std::move(columns));
}

void CTolerantReader::AlterTable(const SqlToken& first)
{
    Accept("ONLY");
    if (Accept("IF"))
        Expect("EXISTS");
    const QualifiedName qn = ReadQualifiedName();
    AcceptSymbol('*');
    SchemaTable* table = m_builder.Find(qn.schema, qn.name);
    // Changes apply together or not at all.
    SchemaTable before;
    if (table)
        before = *table;
    auto needTable = [&] {
        if (!table)
            Fail("table " + qn.name + " is not defined");
    };
    bool applied = false;
    bool other = false;
    try {
        bool addingColumns = false;
        do {
            if (addingColumns && !(Peek().Is("ADD") || Peek().Is("DROP") || Peek().Is("ALTER") ||
                                   Peek().Is("MODIFY") || Peek().Is("CHANGE") || Peek().Is("RENAME") ||
                                   Peek().Is("WITH"))) {
                ColumnDefinition(*table, false); // SQL Server's ADD a INT, b INT
                continue;
            }
            addingColumns = false;
            if (Accept("WITH")) { // SQL Server's WITH CHECK ADD ...
                if (!Accept("CHECK"))
                    Accept("NOCHECK");
            }
            if (Accept("ADD")) {
                needTable();
                applied = true;
                if (Accept("COLUMN")) {
                    if (Accept("IF")) {
                        Expect("NOT");
                        Expect("EXISTS");
                    }
                    ColumnDefinition(*table, false);
                    continue;
                }
                if (AcceptSymbol('(')) { // Oracle's ADD (column, column)
                    while (!Peek().IsSymbol(')')) {
                        if (!TableElement(*table))
                            ColumnDefinition(*table, false);
                        if (!AcceptSymbol(','))
                            break;
                    }
                    ExpectSymbol(')');
                    continue;
                }
                std::string constraintName;
                if (Accept("CONSTRAINT"))
                    constraintName = Name();
                if (Accept("DEFAULT")) { // SQL Server's ADD DEFAULT value FOR column
                    std::string value = ExpressionText();
                    Expect("FOR");
                    const std::string columnName = Name();
                    SchemaColumn* column = CSchemaBuilder::ResolveColumn(*table, columnName);
                    if (!column)
                        Fail("column " + columnName + " is not defined");
                    column->defaultValue = std::move(value);
                    SkipToElementEnd();
                    continue;
                }
                if (TableConstraint(*table, constraintName))
                    continue;
                if (!constraintName.empty())
                    Fail("expected a constraint");
                ColumnDefinition(*table, false);
                addingColumns = m_dialect == SqlDialect::SqlServer;
            } else if (Accept("ATTACH")) {
                needTable();
                Expect("PARTITION");
                const QualifiedName child = ReadQualifiedName();
                m_builder.AttachPartition(table, m_builder.Find(child.schema, child.name));
                applied = true;
                SkipToElementEnd();
            } else {
                other = true;
                SkipToElementEnd();
            }
        } while (AcceptSymbol(','));
    } catch (...) {
        if (table)
            *table = std::move(before);
        throw;
    }
    if (!applied && other)
        m_report.Skip("ALTER TABLE", first.line); // changes that shape no key or column here
}

void CTolerantReader::CommentOn(const SqlToken& first)
{
    Expect("ON");
    const bool onTable = Accept("TABLE");
    const bool onColumn = !onTable && Accept("COLUMN");
    if (!onTable && !onColumn) {
        const std::string object = Peek().kind == SqlTokenKind::Word ? AsciiUpperCopy(Peek().text) : std::string();
        SkipStatement();
        m_report.Skip("COMMENT ON " + object, first.line);
        return;
    }
    std::vector<std::string> parts{Name()};
    while (AcceptSymbol('.'))
        parts.push_back(Name());
    Expect("IS");
    std::string text;
    if (!Accept("NULL")) {
        if (Peek().kind != SqlTokenKind::String)
            Fail("expected the comment's text");
        text = Cut(m_tokens.StringValue(Peek()), kMaxTextBytes);
        Take();
    }
    const size_t tableParts = onColumn ? parts.size() - 1 : parts.size();
    if (tableParts == 0)
        Fail("expected table.column");
    const std::string& tableName = parts[tableParts - 1];
    const std::string schema = tableParts >= 2 ? parts[tableParts - 2] : std::string();
    SchemaTable* table = m_builder.Find(schema, tableName);
    if (!table)
        Fail("table " + tableName + " is not defined");
    if (onTable) {
        table->comment = std::move(text);
        return;
    }
    SchemaColumn* column = CSchemaBuilder::ResolveColumn(*table, parts.back());
    if (!column)
        Fail("column " + parts.back() + " is not defined");
    column->comment = std::move(text);
}

void CTolerantReader::DropTable()
{
    if (Accept("IF"))
        Expect("EXISTS");
    do {
        const QualifiedName qn = ReadQualifiedName();
        m_builder.Drop(qn.schema, qn.name);
    } while (AcceptSymbol(','));
    while (!Peek().EndsStatement() && Peek().kind != SqlTokenKind::ClientCommand && Peek().begin < m_rangeEnd &&
           !(m_dialect == SqlDialect::SqlServer && AtNewStatement()))
        Take(); // CASCADE, PURGE ...
}

// SQL Server keeps descriptions as extended properties:
// EXEC sys.sp_addextendedproperty @name = N'MS_Description', @value = N'...',
//   @level0type = N'SCHEMA', @level0name = N'dbo', @level1type = N'TABLE',
//   @level1name = N'Album' [, @level2type = N'COLUMN', @level2name = N'Title']
void CTolerantReader::ExecProcedure(const SqlToken& first)
{
    static constexpr std::array<std::string_view, 8> kParameters{
        "@name", "@value", "@level0type", "@level0name", "@level1type", "@level1name", "@level2type", "@level2name"};
    std::vector<std::string> parts{Name()};
    while (AcceptSymbol('.'))
        parts.push_back(Name());
    if (!EqualsIgnoreCase(parts.back(), "sp_addextendedproperty")) {
        SkipStatement();
        m_report.Skip("EXEC", first.line);
        return;
    }
    std::array<std::string, 8> values;
    size_t position = 0;
    while (!Peek().EndsStatement() && !AtNewStatement()) {
        size_t slot = position;
        if (Peek().kind == SqlTokenKind::Word && Peek().text.front() == '@') {
            const std::string_view parameter = Peek().text;
            Take();
            ExpectSymbol('=');
            slot = kParameters.size();
            for (size_t i = 0; i < kParameters.size(); ++i)
                if (EqualsIgnoreCase(parameter, kParameters[i]))
                    slot = i;
        }
        const SqlToken value = Take();
        if (slot < values.size())
            values[slot] = value.kind == SqlTokenKind::String ? m_tokens.StringValue(value) : std::string(value.text);
        ++position;
        if (!AcceptSymbol(','))
            break;
    }
    if (!EqualsIgnoreCase(values[0], "MS_Description") || !EqualsIgnoreCase(values[4], "TABLE")) {
        m_report.Skip("EXEC", first.line);
        return;
    }
    SchemaTable* table = m_builder.Find(values[3], values[5]);
    if (!table)
        Fail("table " + values[5] + " is not defined");
    std::string text = Cut(std::move(values[1]), kMaxTextBytes);
    if (values[6].empty()) {
        table->comment = std::move(text);
        return;
    }
    SchemaColumn* column = CSchemaBuilder::ResolveColumn(*table, values[7]);
    if (!column)
        Fail("column " + values[7] + " is not defined");
    column->comment = std::move(text);
}

