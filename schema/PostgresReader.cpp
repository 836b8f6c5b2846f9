// PostgreSQL: the server's own parser (libpg_query) reads the statements
// that shape tables; a statement it rejects (syntax newer than its version)
// goes to the tolerant reader alone.
#include "AsciiCase.h"
#include "CSchemaBuilder.h"
#include "CSqlTokenizer.h"
#include "CTolerantReader.h"
#include "DialectReaders.h"
#include "ImportReport.h"

#include "CJsonDocument.h"

#include <pg_query.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

// Text handed to the parser at once: statements that shape tables, with
// everything else blanked out so that offsets stay the script's.
constexpr size_t kChunkBytes = size_t(256) << 10;
// Parenthesis depth beyond which a statement is not handed to the parser
// (its tree would be walked recursively).
constexpr int kMaxParserDepth = 1000;
// Failed statements in a chunk before each statement is parsed alone.
constexpr int kMaxRetries = 8;
// Operators in one statement beyond which it is not handed to the parser:
// a long chain of them nests as deep in the tree, which is written and read
// recursively.
constexpr int kMaxParserOperators = 4000;

struct Statement {
    size_t begin = 0;
    size_t end = 0; // past its semicolon
    int line = 1;
    std::string kind;
    bool schema = false; // handed to the parser
    int depth = 0;       // deepest parenthesis nesting
    int operators = 0;   // operator signs and AND/OR/NOT
};


void Blank(std::string& text, size_t begin, size_t end)
{
    for (size_t i = begin; i < end && i < text.size(); ++i)
        if (text[i] != '\n')
            text[i] = ' ';
}

void Classify(const std::vector<std::string>& words, Statement& statement)
{
    auto at = [&words](size_t i) { return i < words.size() ? words[i] : std::string(); };
    statement.kind = at(0);
    if (at(0) == "CREATE") {
        size_t i = 1;
        bool temporary = false;
        bool unique = false;
        while (at(i) == "GLOBAL" || at(i) == "LOCAL" || at(i) == "TEMP" || at(i) == "TEMPORARY" ||
               at(i) == "UNLOGGED" || at(i) == "UNIQUE" || at(i) == "OR" || at(i) == "REPLACE") {
            temporary = temporary || at(i) == "TEMP" || at(i) == "TEMPORARY";
            unique = unique || at(i) == "UNIQUE";
            ++i;
        }
        statement.kind = std::string("CREATE ") + (temporary ? "TEMPORARY " : "") + (unique ? "UNIQUE " : "") + at(i);
        statement.schema = !temporary && (at(i) == "TABLE" || (unique && at(i) == "INDEX"));
    } else if (at(0) == "ALTER" || at(0) == "DROP") {
        statement.kind = at(0) + " " + at(1);
        // ALTER TABLE [ONLY] [schema.]name OWNER TO ...: nothing to parse for.
        const bool owner = std::find(words.begin(), words.end(), "OWNER") != words.end();
        statement.schema = at(1) == "TABLE" && !(at(0) == "ALTER" && owner);
    } else if (at(0) == "COMMENT") {
        statement.kind = "COMMENT ON " + at(2);
        statement.schema = at(2) == "TABLE" || at(2) == "COLUMN";
    } else if (at(0) == "SELECT" && std::find(words.begin(), words.end(), "INTO") != words.end()) {
        statement.kind = "SELECT INTO";
    }
}

// Cuts the script into statements by PostgreSQL's lexical rules: quotes,
// E'' strings, dollar-quoted bodies, nested comments, BEGIN ATOMIC bodies.
// psql's backslash lines and the data after COPY ... FROM stdin are blanked
// out of the text, which the parser never sees.
std::vector<Statement> SplitStatements(std::string& text, ImportReport& report, const ReaderProgress& progress,
                                       bool& stopped)
{
    std::vector<Statement> statements;
    CSqlTokenizer tokens(text, SqlDialect::PostgreSql);
    Statement current;
    std::vector<std::string> words;
    bool open = false;
    int parens = 0;
    int atomic = 0;
    bool copyFromStdin = false;
    for (;;) {
        const SqlToken t = tokens.Next();
        if (t.kind == SqlTokenKind::ClientCommand) {
            report.Skip("psql " + std::string(t.text.substr(0, std::min<size_t>(t.text.find_first_of(" \t\r"), 12))),
                        t.line);
            Blank(text, t.begin, t.end);
            continue;
        }
        if (t.kind == SqlTokenKind::End || (t.kind == SqlTokenKind::Delimiter && parens <= 0 && atomic <= 0)) {
            if (open) {
                current.end = t.kind == SqlTokenKind::End ? text.size() : t.end;
                Classify(words, current);
                statements.push_back(current);
                if (progress && (statements.size() & 1023) == 0 && !progress(current.end)) {
                    stopped = true;
                    return statements;
                }
            }
            if (t.kind == SqlTokenKind::End)
                break;
            if (open && copyFromStdin) {
                // The rows follow on the next line, up to a line holding \. alone.
                size_t dataBegin = text.find('\n', t.end);
                dataBegin = dataBegin == std::string::npos ? text.size() : dataBegin + 1;
                size_t dataEnd = dataBegin;
                int lines = 0;
                for (;;) {
                    if (dataEnd >= text.size())
                        break;
                    size_t lineEnd = text.find('\n', dataEnd);
                    if (lineEnd == std::string::npos)
                        lineEnd = text.size();
                    std::string_view lineText(text.data() + dataEnd, lineEnd - dataEnd);
                    if (!lineText.empty() && lineText.back() == '\r')
                        lineText.remove_suffix(1);
                    dataEnd = lineEnd < text.size() ? lineEnd + 1 : lineEnd;
                    ++lines;
                    if (lineText == "\\.")
                        break;
                }
                Blank(text, dataBegin, dataEnd);
                tokens.Seek(dataEnd, t.line + 1 + lines);
            }
            open = false;
            words.clear();
            parens = 0;
            atomic = 0;
            copyFromStdin = false;
            continue;
        }
        if (!open) {
            open = true;
            current = Statement();
            current.begin = t.begin;
            current.line = t.line;
        }
        if (t.kind == SqlTokenKind::Symbol && !t.IsSymbol('(') && !t.IsSymbol(')') && !t.IsSymbol(',') &&
            !t.IsSymbol('.'))
            ++current.operators;
        if (t.kind == SqlTokenKind::Word) {
            if (t.Is("AND") || t.Is("OR") || t.Is("NOT"))
                ++current.operators;
            if (words.size() < 6)
                words.push_back(AsciiUpperCopy(t.text));
            if (t.Is("ATOMIC") && !words.empty() && words.size() >= 2)
                ++atomic;
            else if (atomic > 0 && t.Is("CASE"))
                ++atomic;
            else if (atomic > 0 && t.Is("END"))
                --atomic;
            if (t.Is("STDIN") && !words.empty() && words.front() == "COPY")
                copyFromStdin = true;
        } else if (t.IsSymbol('(')) {
            current.depth = std::max(current.depth, ++parens);
        } else if (t.IsSymbol(')')) {
            --parens;
        }
    }
    return statements;
}

using Json = CJsonDocument::Value;

// The one member of a node object ({"CreateStmt": {...}}) and its name.
std::string_view NodeType(const Json* node, const Json** inner)
{
    if (!node || node->kind != CJsonDocument::Kind::Object || node->count != 1) {
        *inner = nullptr;
        return {};
    }
    *inner = &node->members[0].value;
    return node->members[0].key;
}

std::string Str(const Json* v)
{
    return v ? std::string(v->Text()) : std::string();
}

// The text of a {"String": {"sval": ...}} node.
std::string StringNode(const Json& node)
{
    const Json* inner = nullptr;
    if (NodeType(&node, &inner) != "String" || !inner)
        return {};
    return Str(inner->Get("sval"));
}

std::vector<std::string> Strings(const Json* list)
{
    std::vector<std::string> out;
    if (list)
        for (const Json& item : *list)
            out.push_back(StringNode(item));
    return out;
}

// {"List": {"items": [...]}}
std::vector<std::string> ListStrings(const Json* node)
{
    const Json* inner = nullptr;
    if (NodeType(node, &inner) != "List" || !inner)
        return {};
    return Strings(inner->Get("items"));
}

size_t Location(const Json* node)
{
    const int64_t location = node ? node->Number(-1) : -1;
    return location < 0 ? std::string::npos : size_t(location);
}

class CPostgresReader {
public:
    CPostgresReader(std::string& text, ImportReport& report)
        : m_text(text), m_report(report), m_builder(SqlDialect::PostgreSql),
          m_spans(text, SqlDialect::PostgreSql, m_builder, m_spanReport),
          m_fallback(text, SqlDialect::PostgreSql, m_builder, report)
    {
    }

    bool Read(const ReaderProgress& progress, SchemaDescription& description)
    {
        bool stopped = false;
        std::vector<Statement> statements = SplitStatements(m_text, m_report, progress, stopped);
        if (stopped)
            return false;
        size_t first = 0;
        while (first < statements.size()) {
            size_t last = first;
            while (last < statements.size() && statements[last].end - statements[first].begin < kChunkBytes)
                ++last;
            last = std::max(last, first + 1);
            ReadChunk(statements, first, last);
            if (progress && !progress(statements[last - 1].end))
                return false;
            first = last;
        }
        description = m_builder.Finish();
        return true;
    }

private:
    void ReadChunk(const std::vector<Statement>& statements, size_t first, size_t last)
    {
        std::vector<const Statement*> selected;
        for (size_t i = first; i < last; ++i) {
            const Statement& s = statements[i];
            if (!s.schema)
                m_report.Skip(s.kind, s.line);
            else
                selected.push_back(&s);
        }
        if (selected.empty())
            return;
        const size_t base = statements[first].begin;
        const size_t end = statements[last - 1].end;
        std::string batch(end - base, ' ');
        for (size_t i = 0; i < batch.size(); ++i)
            if (m_text[base + i] == '\n')
                batch[i] = '\n';
        // Statements too deep for the parser's recursive tree go to the tolerant reader.
        std::vector<bool> failed(selected.size(), false);
        for (size_t i = 0; i < selected.size(); ++i) {
            const Statement* s = selected[i];
            if (s->depth > kMaxParserDepth || s->operators > kMaxParserOperators)
                failed[i] = true;
            else
                std::memcpy(batch.data() + (s->begin - base), m_text.data() + s->begin, s->end - s->begin);
        }

        for (int attempt = 0; attempt <= kMaxRetries; ++attempt) {
            PgQueryParseResult result = pg_query_parse(batch.c_str());
            if (!result.error) {
                const bool applied = ApplyBatch(result.parse_tree, selected, failed, base);
                pg_query_free_parse_result(result);
                if (applied)
                    return;
                break;
            }
            const size_t at = ByteOffset(batch, result.error->cursorpos);
            pg_query_free_parse_result(result);
            size_t hit = selected.size();
            for (size_t i = 0; i < selected.size(); ++i)
                if (!failed[i] && at >= selected[i]->begin - base && at < selected[i]->end - base)
                    hit = i;
            if (hit == selected.size())
                break;
            failed[hit] = true;
            Blank(batch, selected[hit]->begin - base, selected[hit]->end - base);
        }
        // One statement at a time.
        for (size_t i = 0; i < selected.size(); ++i) {
            const Statement* s = selected[i];
            if (s->depth > kMaxParserDepth || s->operators > kMaxParserOperators) {
                m_fallback.ReadRange(s->begin, s->end, s->line);
                continue;
            }
            const std::string one(m_text, s->begin, s->end - s->begin);
            PgQueryParseResult result = pg_query_parse(one.c_str());
            std::vector<bool> none(1, false);
            std::vector<const Statement*> just{s};
            if (result.error || !ApplyBatch(result.parse_tree, just, none, s->begin))
                m_fallback.ReadRange(s->begin, s->end, s->line);
            pg_query_free_parse_result(result);
        }
    }

    // The parser's error position counts characters; the text is UTF-8.
    static size_t ByteOffset(const std::string& text, int cursor)
    {
        size_t chars = 0;
        for (size_t i = 0; i < text.size(); ++i) {
            if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
                if (++chars == size_t(std::max(cursor, 1)))
                    return i;
            }
        }
        return text.size();
    }

    // Applies the trees of a parse in statement order; false when the trees
    // do not match the statements one to one.
    bool ApplyBatch(const char* json, const std::vector<const Statement*>& selected, const std::vector<bool>& failed,
                    size_t base)
    {
        if (!json || !m_json.Parse(json))
            return false;
        const Json* stmts = m_json.Root().Get("stmts");
        const size_t expected = size_t(std::count(failed.begin(), failed.end(), false));
        if (expected > 0 && (!stmts || stmts->count != expected))
            return false;
        size_t next = 0;
        for (size_t i = 0; i < selected.size(); ++i) {
            const Statement& s = *selected[i];
            if (failed[i]) {
                m_fallback.ReadRange(s.begin, s.end, s.line);
                continue;
            }
            Apply(stmts->items[next++].Get("stmt"), s, base);
        }
        return true;
    }

    void Unreadable(const Statement& s, std::string reason) { m_report.Unreadable(s.kind, s.line, reason); }

    void Apply(const Json* node, const Statement& s, size_t base)
    {
        const Json* stmt = nullptr;
        const std::string_view type = NodeType(node, &stmt);
        if (!stmt)
            return;
        if (type == "CreateStmt")
            CreateTable(*stmt, s, base);
        else if (type == "AlterTableStmt")
            AlterTable(*stmt, s, base);
        else if (type == "CommentStmt")
            Comment(*stmt, s);
        else if (type == "IndexStmt")
            Index(*stmt, s);
        else if (type == "DropStmt")
            Drop(*stmt, s);
        else if (type == "CreateTableAsStmt")
            Unreadable(s, "its columns come from a query");
        else
            m_report.Skip(s.kind, s.line);
    }

    SchemaColumn Column(const Json& def, SchemaTable& table, size_t base)
    {
        SchemaColumn column;
        column.name = Str(def.Get("colname"));
        if (const Json* typeName = def.Get("typeName")) {
            const size_t location = Location(typeName->Get("location"));
            if (location != std::string::npos)
                column.type = m_spans.TypeAt(base + location);
            const std::vector<std::string> names = Strings(typeName->Get("names"));
            if (column.type.empty() && !names.empty())
                column.type = names.back();
            // serial is integer NOT NULL with a sequence default.
            if (names.size() == 1 && (names[0] == "serial" || names[0] == "bigserial" || names[0] == "smallserial" ||
                                      names[0] == "serial2" || names[0] == "serial4" || names[0] == "serial8"))
                column.notNull = true;
        }
        if (const Json* notNull = def.Get("is_not_null"))
            column.notNull = column.notNull || notNull->Bool();
        if (const Json* constraints = def.Get("constraints")) {
            for (const Json& item : *constraints) {
                const Json* c = nullptr;
                if (NodeType(&item, &c) == "Constraint" && c)
                    ColumnConstraint(*c, column, table, base);
            }
        }
        return column;
    }

    void ColumnConstraint(const Json& c, SchemaColumn& column, SchemaTable& table, size_t base)
    {
        const std::string_view type = c.Get("contype") ? c.Get("contype")->Text() : std::string_view();
        const size_t location = Location(c.Get("location"));
        if (type == "CONSTR_NOTNULL" || type == "CONSTR_IDENTITY") {
            column.notNull = true;
        } else if (type == "CONSTR_DEFAULT") {
            if (location != std::string::npos)
                column.defaultValue = m_spans.DefaultAt(base + location);
        } else if (type == "CONSTR_CHECK") {
            std::string check = location != std::string::npos ? m_spans.CheckAt(base + location) : std::string();
            if (column.check.empty())
                column.check = std::move(check);
            else
                table.checks.push_back(std::move(check));
        } else if (type == "CONSTR_PRIMARY") {
            column.primaryKey = true;
            if (std::find(table.primaryKey.begin(), table.primaryKey.end(), column.name) == table.primaryKey.end())
                table.primaryKey.push_back(column.name);
        } else if (type == "CONSTR_UNIQUE") {
            table.uniqueKeys.push_back({column.name});
        } else if (type == "CONSTR_FOREIGN") {
            SchemaForeignKey key = ForeignKey(c);
            key.columns = {column.name};
            key.columnLevel = true;
            table.foreignKeys.push_back(std::move(key));
        }
    }

    static SchemaForeignKey ForeignKey(const Json& c)
    {
        SchemaForeignKey key;
        key.name = Str(c.Get("conname"));
        if (const Json* pktable = c.Get("pktable")) {
            key.refSchema = Str(pktable->Get("schemaname"));
            key.refTable = Str(pktable->Get("relname"));
        }
        key.columns = Strings(c.Get("fk_attrs"));
        key.refColumns = Strings(c.Get("pk_attrs"));
        return key;
    }

    void TableConstraint(const Json& c, SchemaTable& table, size_t base)
    {
        const std::string_view type = c.Get("contype") ? c.Get("contype")->Text() : std::string_view();
        if (type == "CONSTR_PRIMARY") {
            if (table.primaryKey.empty())
                table.primaryKey = Strings(c.Get("keys"));
        } else if (type == "CONSTR_UNIQUE") {
            table.uniqueKeys.push_back(Strings(c.Get("keys")));
        } else if (type == "CONSTR_FOREIGN") {
            table.foreignKeys.push_back(ForeignKey(c));
        } else if (type == "CONSTR_CHECK") {
            const size_t location = Location(c.Get("location"));
            table.checks.push_back(location != std::string::npos ? m_spans.CheckAt(base + location) : std::string());
        }
    }

    static void CopyColumns(SchemaTable& table, const SchemaTable& from)
    {
        for (SchemaColumn column : from.columns) {
            column.primaryKey = false;
            column.unique = false;
            if (!table.FindColumn(column.name))
                table.columns.push_back(std::move(column));
        }
    }

    SchemaTable* FindRange(const Json* rangeVar)
    {
        return rangeVar ? m_builder.Find(Str(rangeVar->Get("schemaname")), Str(rangeVar->Get("relname"))) : nullptr;
    }

    void CreateTable(const Json& c, const Statement& s, size_t base)
    {
        const Json* relation = c.Get("relation");
        if (!relation) {
            Unreadable(s, "no table name");
            return;
        }
        if (Str(relation->Get("relpersistence")) == "t") {
            m_report.Skip("CREATE TEMPORARY TABLE", s.line);
            return;
        }
        if (c.Get("ofTypename")) {
            Unreadable(s, "its columns come from a type");
            return;
        }
        const bool partition = c.Get("partbound") != nullptr;
        SchemaTable local;
        std::vector<SchemaTable*> parents;
        if (const Json* inherits = c.Get("inhRelations")) {
            for (const Json& item : *inherits) {
                const Json* r = nullptr;
                if (NodeType(&item, &r) != "RangeVar" || !r)
                    continue;
                SchemaTable* parent = FindRange(r);
                if (!parent) {
                    Unreadable(s, "table " + Str(r->Get("relname")) + " is not defined");
                    return;
                }
                parents.push_back(parent);
            }
        }
        // Inherited columns come first; a partition's columns are its parent's.
        for (const SchemaTable* parent : parents) {
            CopyColumns(local, *parent);
            if (!partition)
                local.checks.insert(local.checks.end(), parent->checks.begin(), parent->checks.end());
        }
        if (const Json* elements = c.Get("tableElts")) {
            for (const Json& item : *elements) {
                const Json* e = nullptr;
                const std::string_view type = NodeType(&item, &e);
                if (!e)
                    continue;
                if (type == "ColumnDef") {
                    SchemaColumn column = Column(*e, local, base);
                    if (SchemaColumn* inherited = local.FindColumn(column.name)) {
                        if (parents.empty()) {
                            Unreadable(s, "column " + column.name + " is given twice");
                            return;
                        }
                        inherited->notNull = inherited->notNull || column.notNull;
                        if (!column.defaultValue.empty())
                            inherited->defaultValue = column.defaultValue;
                        if (!column.check.empty())
                            inherited->check = column.check;
                    } else {
                        local.columns.push_back(std::move(column));
                    }
                } else if (type == "Constraint") {
                    TableConstraint(*e, local, base);
                } else if (type == "TableLikeClause") {
                    const SchemaTable* from = FindRange(e->Get("relation"));
                    if (!from) {
                        Unreadable(s, "the table of LIKE is not defined");
                        return;
                    }
                    CopyColumns(local, *from);
                }
            }
        }
        SchemaTable* table = m_builder.Create(Str(relation->Get("schemaname")), Str(relation->Get("relname")));
        if (!table) {
            if (!(c.Get("if_not_exists") && c.Get("if_not_exists")->Bool()))
                Unreadable(s, "table " + Str(relation->Get("relname")) + " exists already");
            return;
        }
        local.schema = table->schema;
        local.name = table->name;
        *table = std::move(local);
        if (partition && !parents.empty())
            m_builder.AttachPartition(parents.front(), table);
    }

    void AlterTable(const Json& a, const Statement& s, size_t base)
    {
        if (!a.Get("relation") || Str(a.Get("objtype")) != "OBJECT_TABLE") {
            m_report.Skip(s.kind, s.line);
            return;
        }
        const std::string tableName = Str(a.Get("relation")->Get("relname"));
        SchemaTable* table = FindRange(a.Get("relation"));
        SchemaTable before;
        if (table)
            before = *table;
        bool applied = false;
        std::string failure;
        const Json* cmds = a.Get("cmds");
        for (const Json* item = cmds ? cmds->begin() : nullptr; cmds && item != cmds->end() && failure.empty();
             ++item) {
            const Json* cmd = nullptr;
            if (NodeType(item, &cmd) != "AlterTableCmd" || !cmd)
                continue;
            const std::string subtype = Str(cmd->Get("subtype"));
            const bool shapes = subtype == "AT_AddColumn" || subtype == "AT_AddConstraint" ||
                                subtype == "AT_ColumnDefault" || subtype == "AT_SetNotNull" ||
                                subtype == "AT_DropNotNull" || subtype == "AT_DropColumn" ||
                                subtype == "AT_AttachPartition";
            if (!shapes)
                continue;
            if (!table) {
                failure = "table " + tableName + " is not defined";
                break;
            }
            const std::string name = Str(cmd->Get("name"));
            SchemaColumn* named = name.empty() ? nullptr : CSchemaBuilder::ResolveColumn(*table, name);
            const bool missingOk = cmd->Get("missing_ok") && cmd->Get("missing_ok")->Bool();
            const Json* def = nullptr;
            const std::string_view defType = NodeType(cmd->Get("def"), &def);
            if (subtype == "AT_AddColumn" && defType == "ColumnDef" && def) {
                SchemaColumn column = Column(*def, *table, base);
                if (table->FindColumn(column.name)) {
                    if (!missingOk)
                        failure = "column " + column.name + " exists already";
                } else {
                    table->columns.push_back(std::move(column));
                }
            } else if (subtype == "AT_AddConstraint" && defType == "Constraint" && def) {
                TableConstraint(*def, *table, base);
            } else if (subtype == "AT_ColumnDefault") {
                if (!named)
                    failure = "column " + name + " is not defined";
                else
                    named->defaultValue = def ? m_spans.DefaultAt(s.begin) : std::string();
            } else if (subtype == "AT_SetNotNull" || subtype == "AT_DropNotNull") {
                if (!named)
                    failure = "column " + name + " is not defined";
                else
                    named->notNull = subtype == "AT_SetNotNull";
            } else if (subtype == "AT_DropColumn") {
                if (named) {
                    const std::string dropped = named->name;
                    std::erase_if(table->columns, [&dropped](const SchemaColumn& c) { return c.name == dropped; });
                } else if (!missingOk) {
                    failure = "column " + name + " is not defined";
                }
            } else if (subtype == "AT_AttachPartition" && defType == "PartitionCmd" && def) {
                SchemaTable* child = FindRange(def->Get("name"));
                if (!child)
                    failure = "the partition to attach is not defined";
                else
                    m_builder.AttachPartition(table, child);
            }
            applied = true;
        }
        if (!failure.empty()) {
            if (table)
                *table = std::move(before);
            Unreadable(s, failure);
        } else if (!applied) {
            m_report.Skip(s.kind, s.line); // OWNER TO, SET ... : nothing a diagram shows
        }
    }

    void Comment(const Json& c, const Statement& s)
    {
        const std::string objtype = Str(c.Get("objtype"));
        const bool onColumn = objtype == "OBJECT_COLUMN";
        std::vector<std::string> names = ListStrings(c.Get("object"));
        if ((objtype != "OBJECT_TABLE" && !onColumn) || names.size() < (onColumn ? 2u : 1u)) {
            m_report.Skip(s.kind, s.line);
            return;
        }
        const size_t tableAt = onColumn ? names.size() - 2 : names.size() - 1;
        const std::string schema = tableAt >= 1 ? names[tableAt - 1] : std::string();
        SchemaTable* table = m_builder.Find(schema, names[tableAt]);
        if (!table) {
            Unreadable(s, "table " + names[tableAt] + " is not defined");
            return;
        }
        std::string text = Str(c.Get("comment"));
        if (text.size() > CTolerantReader::kMaxTextBytes) {
            m_report.droppedCharacters += text.size() - CTolerantReader::kMaxTextBytes;
            text.resize(CTolerantReader::kMaxTextBytes);
            while (!text.empty() && (static_cast<unsigned char>(text.back()) & 0xC0) == 0x80)
                text.pop_back();
            if (!text.empty() && static_cast<unsigned char>(text.back()) >= 0xC0)
                text.pop_back();
        }
        if (!onColumn) {
            table->comment = std::move(text);
            return;
        }
        SchemaColumn* column = CSchemaBuilder::ResolveColumn(*table, names.back());
        if (!column) {
            Unreadable(s, "column " + names.back() + " is not defined");
            return;
        }
        column->comment = std::move(text);
    }

    void Index(const Json& index, const Statement& s)
    {
        std::vector<std::string> columns;
        bool plain = index.Get("unique") && index.Get("unique")->Bool() && !index.Get("whereClause");
        if (const Json* params = index.Get("indexParams")) {
            for (const Json& item : *params) {
                const Json* e = nullptr;
                if (NodeType(&item, &e) == "IndexElem" && e && e->Get("name"))
                    columns.push_back(Str(e->Get("name")));
                else
                    plain = false;
            }
        }
        SchemaTable* table = plain ? FindRange(index.Get("relation")) : nullptr;
        if (!table || columns.empty()) {
            m_report.Skip(s.kind, s.line); // partial, on expressions, or on a view
            return;
        }
        table->uniqueKeys.push_back(std::move(columns));
    }

    void Drop(const Json& d, const Statement& s)
    {
        if (Str(d.Get("removeType")) != "OBJECT_TABLE") {
            m_report.Skip(s.kind, s.line);
            return;
        }
        if (const Json* objects = d.Get("objects")) {
            for (const Json& object : *objects) {
                std::vector<std::string> names = ListStrings(&object);
                if (!names.empty())
                    m_builder.Drop(names.size() >= 2 ? names[names.size() - 2] : std::string(), names.back());
            }
        }
    }

    std::string& m_text;
    ImportReport& m_report;
    ImportReport m_spanReport; // texts cut while reading spans are counted by the tree walk
    CSchemaBuilder m_builder;
    CTolerantReader m_spans;
    CTolerantReader m_fallback;
    CJsonDocument m_json;
};

} // namespace

bool ReadPostgresScript(std::string& script, SchemaDescription& description, ImportReport& report,
                        const ReaderProgress& progress)
{
    CPostgresReader reader(script, report);
    return reader.Read(progress, description);
}

std::vector<std::pair<size_t, size_t>> PostgresStatementSpans(std::string_view script)
{
    std::string text(script);
    ImportReport report;
    bool stopped = false;
    std::vector<std::pair<size_t, size_t>> spans;
    for (const Statement& s : SplitStatements(text, report, {}, stopped))
        spans.emplace_back(s.begin, s.end);
    return spans;
}
