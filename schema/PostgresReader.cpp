// PostgreSQL: the server's own parser (libpg_query) reads the statements
// that shape tables; a statement it rejects (syntax newer than its version)
// goes to the tolerant reader alone.
#include "CSchemaBuilder.h"
#include "CSqlTokenizer.h"
#include "CTolerantReader.h"
#include "DialectReaders.h"
#include "ImportReport.h"

#include <pg_query.h>
#include <pg_query/pg_query.pb-c.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

// Text handed to the parser at once: statements that shape tables, with
// everything else blanked out so that offsets stay the script's.
constexpr size_t kChunkBytes = size_t(1) << 20;
// Parenthesis depth beyond which a statement is not handed to the parser
// (its tree would be walked recursively).
constexpr int kMaxParserDepth = 1000;
// Failed statements in a chunk before each statement is parsed alone.
constexpr int kMaxRetries = 8;

// A bump allocator for one unpacked parse tree, released at once.
class CArena {
public:
    CArena()
    {
        m_allocator.alloc = &CArena::Alloc;
        m_allocator.free = &CArena::Free;
        m_allocator.allocator_data = this;
    }
    ProtobufCAllocator* Allocator() { return &m_allocator; }
    void Reset()
    {
        if (m_blocks.size() > 1)
            m_blocks.erase(m_blocks.begin(), m_blocks.end() - 1);
        m_used = 0;
    }

private:
    static constexpr size_t kBlock = size_t(1) << 20;

    static void* Alloc(void* data, size_t size)
    {
        auto* arena = static_cast<CArena*>(data);
        size = (size + 15) & ~size_t(15);
        if (size > kBlock / 4) {
            arena->m_large.push_back(std::make_unique<char[]>(size));
            return arena->m_large.back().get();
        }
        if (arena->m_blocks.empty() || arena->m_used + size > kBlock) {
            arena->m_blocks.push_back(std::make_unique<char[]>(kBlock));
            arena->m_used = 0;
        }
        void* p = arena->m_blocks.back().get() + arena->m_used;
        arena->m_used += size;
        return p;
    }
    static void Free(void*, void*) {}

    ProtobufCAllocator m_allocator{};
    std::vector<std::unique_ptr<char[]>> m_blocks;
    std::vector<std::unique_ptr<char[]>> m_large;
    size_t m_used = 0;
};

struct Statement {
    size_t begin = 0;
    size_t end = 0; // past its semicolon
    int line = 1;
    std::string kind;
    bool schema = false; // handed to the parser
    int depth = 0;       // deepest parenthesis nesting
};

std::string Upper(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
    return out;
}

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
        statement.schema = at(1) == "TABLE";
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
        if (t.kind == SqlTokenKind::Word) {
            if (words.size() < 6)
                words.push_back(Upper(t.text));
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

std::string StringOf(const PgQuery__Node* node)
{
    return node && node->node_case == PG_QUERY__NODE__NODE_STRING && node->string && node->string->sval
               ? std::string(node->string->sval)
               : std::string();
}

std::vector<std::string> Strings(PgQuery__Node** nodes, size_t count)
{
    std::vector<std::string> out;
    for (size_t i = 0; i < count; ++i)
        out.push_back(StringOf(nodes[i]));
    return out;
}

std::vector<std::string> ListStrings(const PgQuery__Node* node)
{
    if (!node || node->node_case != PG_QUERY__NODE__NODE_LIST || !node->list)
        return {};
    return Strings(node->list->items, node->list->n_items);
}

std::string Text(const char* s)
{
    return s ? std::string(s) : std::string();
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
        description = m_builder.Finish(m_report);
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
            else if (s.depth > kMaxParserDepth)
                m_fallback.ReadRange(s.begin, s.end, s.line);
            else
                selected.push_back(&s);
        }
        if (selected.empty())
            return;
        const size_t base = statements[first].begin;
        const size_t end = statements[last - 1].end;
        std::string batch(end - base, ' ');
        for (const Statement* s : selected)
            std::memcpy(batch.data() + (s->begin - base), m_text.data() + s->begin, s->end - s->begin);
        for (size_t i = 0; i < batch.size(); ++i)
            if (m_text[base + i] == '\n')
                batch[i] = '\n';

        std::vector<bool> failed(selected.size(), false);
        for (int attempt = 0; attempt <= kMaxRetries; ++attempt) {
            PgQueryProtobufParseResult result = pg_query_parse_protobuf(batch.c_str());
            if (!result.error) {
                const bool applied = ApplyBatch(result, selected, failed, base);
                pg_query_free_protobuf_parse_result(result);
                if (applied)
                    return;
                break;
            }
            const size_t at = ByteOffset(batch, result.error->cursorpos);
            pg_query_free_protobuf_parse_result(result);
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
        for (const Statement* s : selected) {
            const std::string one(m_text, s->begin, s->end - s->begin);
            PgQueryProtobufParseResult result = pg_query_parse_protobuf(one.c_str());
            if (result.error) {
                pg_query_free_protobuf_parse_result(result);
                m_fallback.ReadRange(s->begin, s->end, s->line);
                continue;
            }
            std::vector<bool> none(1, false);
            std::vector<const Statement*> just{s};
            if (!ApplyBatch(result, just, none, s->begin))
                m_fallback.ReadRange(s->begin, s->end, s->line);
            pg_query_free_protobuf_parse_result(result);
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
    bool ApplyBatch(const PgQueryProtobufParseResult& result, const std::vector<const Statement*>& selected,
                    const std::vector<bool>& failed, size_t base)
    {
        m_arena.Reset();
        PgQuery__ParseResult* tree = pg_query__parse_result__unpack(
            m_arena.Allocator(), result.parse_tree.len, reinterpret_cast<const uint8_t*>(result.parse_tree.data));
        if (!tree)
            return false;
        const size_t expected = size_t(std::count(failed.begin(), failed.end(), false));
        if (tree->n_stmts != expected)
            return false;
        size_t next = 0;
        for (size_t i = 0; i < selected.size(); ++i) {
            const Statement& s = *selected[i];
            if (failed[i]) {
                m_fallback.ReadRange(s.begin, s.end, s.line);
                continue;
            }
            Apply(tree->stmts[next++]->stmt, s, base);
        }
        return true;
    }

    void Unreadable(const Statement& s, std::string reason) { m_report.Unreadable(s.kind, s.line, reason); }

    void Apply(const PgQuery__Node* node, const Statement& s, size_t base)
    {
        if (!node)
            return;
        switch (node->node_case) {
        case PG_QUERY__NODE__NODE_CREATE_STMT:
            CreateTable(node->create_stmt, s, base);
            break;
        case PG_QUERY__NODE__NODE_ALTER_TABLE_STMT:
            AlterTable(node->alter_table_stmt, s, base);
            break;
        case PG_QUERY__NODE__NODE_COMMENT_STMT:
            Comment(node->comment_stmt, s);
            break;
        case PG_QUERY__NODE__NODE_INDEX_STMT:
            Index(node->index_stmt, s);
            break;
        case PG_QUERY__NODE__NODE_DROP_STMT:
            Drop(node->drop_stmt, s);
            break;
        case PG_QUERY__NODE__NODE_CREATE_TABLE_AS_STMT:
            Unreadable(s, "its columns come from a query");
            break;
        default:
            m_report.Skip(s.kind, s.line);
            break;
        }
    }

    SchemaColumn Column(const PgQuery__ColumnDef* def, SchemaTable& table, size_t base)
    {
        SchemaColumn column;
        column.name = Text(def->colname);
        if (def->type_name) {
            if (def->type_name->location >= 0)
                column.type = m_spans.TypeAt(base + size_t(def->type_name->location));
            if (column.type.empty()) {
                std::vector<std::string> names = Strings(def->type_name->names, def->type_name->n_names);
                column.type = names.empty() ? std::string() : names.back();
            }
            // serial is integer NOT NULL with a sequence default.
            std::vector<std::string> names = Strings(def->type_name->names, def->type_name->n_names);
            if (names.size() == 1 && (names[0] == "serial" || names[0] == "bigserial" || names[0] == "smallserial" ||
                                      names[0] == "serial2" || names[0] == "serial4" || names[0] == "serial8"))
                column.notNull = true;
        }
        column.notNull = column.notNull || def->is_not_null;
        for (size_t i = 0; i < def->n_constraints; ++i) {
            const PgQuery__Node* n = def->constraints[i];
            if (!n || n->node_case != PG_QUERY__NODE__NODE_CONSTRAINT)
                continue;
            ColumnConstraint(n->constraint, column, table, base);
        }
        return column;
    }

    void ColumnConstraint(const PgQuery__Constraint* c, SchemaColumn& column, SchemaTable& table, size_t base)
    {
        switch (c->contype) {
        case PG_QUERY__CONSTR_TYPE__CONSTR_NOTNULL:
        case PG_QUERY__CONSTR_TYPE__CONSTR_IDENTITY:
            column.notNull = true;
            break;
        case PG_QUERY__CONSTR_TYPE__CONSTR_DEFAULT:
            if (c->location >= 0)
                column.defaultValue = m_spans.DefaultAt(base + size_t(c->location));
            break;
        case PG_QUERY__CONSTR_TYPE__CONSTR_CHECK: {
            std::string check = c->location >= 0 ? m_spans.CheckAt(base + size_t(c->location)) : std::string();
            if (column.check.empty())
                column.check = std::move(check);
            else
                table.checks.push_back(std::move(check));
            break;
        }
        case PG_QUERY__CONSTR_TYPE__CONSTR_PRIMARY:
            column.primaryKey = true;
            if (std::find(table.primaryKey.begin(), table.primaryKey.end(), column.name) == table.primaryKey.end())
                table.primaryKey.push_back(column.name);
            break;
        case PG_QUERY__CONSTR_TYPE__CONSTR_UNIQUE:
            table.uniqueKeys.push_back({column.name});
            break;
        case PG_QUERY__CONSTR_TYPE__CONSTR_FOREIGN: {
            SchemaForeignKey key = ForeignKey(c);
            key.columns = {column.name};
            key.columnLevel = true;
            table.foreignKeys.push_back(std::move(key));
            break;
        }
        default:
            break;
        }
    }

    static SchemaForeignKey ForeignKey(const PgQuery__Constraint* c)
    {
        SchemaForeignKey key;
        key.name = Text(c->conname);
        if (c->pktable) {
            key.refSchema = Text(c->pktable->schemaname);
            key.refTable = Text(c->pktable->relname);
        }
        key.columns = Strings(c->fk_attrs, c->n_fk_attrs);
        key.refColumns = Strings(c->pk_attrs, c->n_pk_attrs);
        return key;
    }

    // A table constraint; false for kinds that shape no key.
    bool TableConstraint(const PgQuery__Constraint* c, SchemaTable& table, size_t base)
    {
        switch (c->contype) {
        case PG_QUERY__CONSTR_TYPE__CONSTR_PRIMARY:
            if (table.primaryKey.empty())
                table.primaryKey = Strings(c->keys, c->n_keys);
            return true;
        case PG_QUERY__CONSTR_TYPE__CONSTR_UNIQUE:
            table.uniqueKeys.push_back(Strings(c->keys, c->n_keys));
            return true;
        case PG_QUERY__CONSTR_TYPE__CONSTR_FOREIGN:
            table.foreignKeys.push_back(ForeignKey(c));
            return true;
        case PG_QUERY__CONSTR_TYPE__CONSTR_CHECK:
            table.checks.push_back(c->location >= 0 ? m_spans.CheckAt(base + size_t(c->location)) : std::string());
            return true;
        default:
            return false;
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

    void CreateTable(const PgQuery__CreateStmt* c, const Statement& s, size_t base)
    {
        if (!c->relation) {
            Unreadable(s, "no table name");
            return;
        }
        if (c->relation->relpersistence && std::strcmp(c->relation->relpersistence, "t") == 0) {
            m_report.Skip("CREATE TEMPORARY TABLE", s.line);
            return;
        }
        if (c->of_typename) {
            Unreadable(s, "its columns come from a type");
            return;
        }
        SchemaTable local;
        std::vector<SchemaTable*> parents;
        for (size_t i = 0; i < c->n_inh_relations; ++i) {
            const PgQuery__Node* n = c->inh_relations[i];
            if (!n || n->node_case != PG_QUERY__NODE__NODE_RANGE_VAR)
                continue;
            SchemaTable* parent = m_builder.Find(Text(n->range_var->schemaname), Text(n->range_var->relname));
            if (!parent) {
                Unreadable(s, "table " + Text(n->range_var->relname) + " is not defined");
                return;
            }
            parents.push_back(parent);
        }
        // Inherited columns come first; a partition's columns are its parent's.
        for (const SchemaTable* parent : parents) {
            CopyColumns(local, *parent);
            if (!c->partbound)
                local.checks.insert(local.checks.end(), parent->checks.begin(), parent->checks.end());
        }
        for (size_t i = 0; i < c->n_table_elts; ++i) {
            const PgQuery__Node* n = c->table_elts[i];
            if (!n)
                continue;
            if (n->node_case == PG_QUERY__NODE__NODE_COLUMN_DEF) {
                SchemaColumn column = Column(n->column_def, local, base);
                if (SchemaColumn* inherited = local.FindColumn(column.name)) {
                    inherited->notNull = inherited->notNull || column.notNull;
                    if (!column.defaultValue.empty())
                        inherited->defaultValue = column.defaultValue;
                    if (!column.check.empty())
                        inherited->check = column.check;
                    if (parents.empty()) {
                        Unreadable(s, "column " + column.name + " is given twice");
                        return;
                    }
                } else {
                    local.columns.push_back(std::move(column));
                }
            } else if (n->node_case == PG_QUERY__NODE__NODE_CONSTRAINT) {
                TableConstraint(n->constraint, local, base);
            } else if (n->node_case == PG_QUERY__NODE__NODE_TABLE_LIKE_CLAUSE && n->table_like_clause->relation) {
                const PgQuery__RangeVar* r = n->table_like_clause->relation;
                const SchemaTable* from = m_builder.Find(Text(r->schemaname), Text(r->relname));
                if (!from) {
                    Unreadable(s, "table " + Text(r->relname) + " is not defined");
                    return;
                }
                CopyColumns(local, *from);
            }
        }
        SchemaTable* table = m_builder.Create(Text(c->relation->schemaname), Text(c->relation->relname));
        if (!table) {
            if (!c->if_not_exists)
                Unreadable(s, "table " + Text(c->relation->relname) + " exists already");
            return;
        }
        local.schema = table->schema;
        local.name = table->name;
        *table = std::move(local);
        if (c->partbound && !parents.empty())
            m_builder.AttachPartition(parents.front(), table);
    }

    void AlterTable(const PgQuery__AlterTableStmt* a, const Statement& s, size_t base)
    {
        if (!a->relation || a->objtype != PG_QUERY__OBJECT_TYPE__OBJECT_TABLE) {
            m_report.Skip(s.kind, s.line);
            return;
        }
        const std::string tableName = Text(a->relation->relname);
        SchemaTable* table = m_builder.Find(Text(a->relation->schemaname), tableName);
        SchemaTable before;
        if (table)
            before = *table;
        bool applied = false;
        std::string failure;
        for (size_t i = 0; i < a->n_cmds && failure.empty(); ++i) {
            const PgQuery__Node* n = a->cmds[i];
            if (!n || n->node_case != PG_QUERY__NODE__NODE_ALTER_TABLE_CMD)
                continue;
            const PgQuery__AlterTableCmd* cmd = n->alter_table_cmd;
            const PgQuery__Node* def = cmd->def;
            const bool shapes = cmd->subtype == PG_QUERY__ALTER_TABLE_TYPE__AT_AddColumn ||
                                cmd->subtype == PG_QUERY__ALTER_TABLE_TYPE__AT_AddConstraint ||
                                cmd->subtype == PG_QUERY__ALTER_TABLE_TYPE__AT_ColumnDefault ||
                                cmd->subtype == PG_QUERY__ALTER_TABLE_TYPE__AT_SetNotNull ||
                                cmd->subtype == PG_QUERY__ALTER_TABLE_TYPE__AT_DropNotNull ||
                                cmd->subtype == PG_QUERY__ALTER_TABLE_TYPE__AT_DropColumn ||
                                cmd->subtype == PG_QUERY__ALTER_TABLE_TYPE__AT_AttachPartition;
            if (!shapes)
                continue;
            if (!table) {
                failure = "table " + tableName + " is not defined";
                break;
            }
            SchemaColumn* named = cmd->name ? CSchemaBuilder::ResolveColumn(*table, cmd->name) : nullptr;
            switch (cmd->subtype) {
            case PG_QUERY__ALTER_TABLE_TYPE__AT_AddColumn:
                if (def && def->node_case == PG_QUERY__NODE__NODE_COLUMN_DEF) {
                    SchemaColumn column = Column(def->column_def, *table, base);
                    if (table->FindColumn(column.name)) {
                        if (!cmd->missing_ok)
                            failure = "column " + column.name + " exists already";
                    } else {
                        table->columns.push_back(std::move(column));
                    }
                }
                break;
            case PG_QUERY__ALTER_TABLE_TYPE__AT_AddConstraint:
                if (def && def->node_case == PG_QUERY__NODE__NODE_CONSTRAINT)
                    TableConstraint(def->constraint, *table, base);
                break;
            case PG_QUERY__ALTER_TABLE_TYPE__AT_ColumnDefault:
                if (!named)
                    failure = "column " + Text(cmd->name) + " is not defined";
                else
                    named->defaultValue = def ? m_spans.DefaultAt(s.begin) : std::string();
                break;
            case PG_QUERY__ALTER_TABLE_TYPE__AT_SetNotNull:
            case PG_QUERY__ALTER_TABLE_TYPE__AT_DropNotNull:
                if (!named)
                    failure = "column " + Text(cmd->name) + " is not defined";
                else
                    named->notNull = cmd->subtype == PG_QUERY__ALTER_TABLE_TYPE__AT_SetNotNull;
                break;
            case PG_QUERY__ALTER_TABLE_TYPE__AT_DropColumn:
                if (named) {
                    const std::string name = named->name;
                    std::erase_if(table->columns, [&name](const SchemaColumn& c) { return c.name == name; });
                } else if (!cmd->missing_ok) {
                    failure = "column " + Text(cmd->name) + " is not defined";
                }
                break;
            case PG_QUERY__ALTER_TABLE_TYPE__AT_AttachPartition:
                if (def && def->node_case == PG_QUERY__NODE__NODE_PARTITION_CMD && def->partition_cmd->name) {
                    const PgQuery__RangeVar* r = def->partition_cmd->name;
                    SchemaTable* child = m_builder.Find(Text(r->schemaname), Text(r->relname));
                    if (!child)
                        failure = "table " + Text(r->relname) + " is not defined";
                    else
                        m_builder.AttachPartition(table, child);
                }
                break;
            default:
                break;
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

    void Comment(const PgQuery__CommentStmt* c, const Statement& s)
    {
        std::vector<std::string> names = ListStrings(c->object);
        const bool onColumn = c->objtype == PG_QUERY__OBJECT_TYPE__OBJECT_COLUMN;
        if ((c->objtype != PG_QUERY__OBJECT_TYPE__OBJECT_TABLE && !onColumn) || names.size() < (onColumn ? 2u : 1u)) {
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
        const std::string text = Text(c->comment);
        if (!onColumn) {
            table->comment = text;
            return;
        }
        SchemaColumn* column = CSchemaBuilder::ResolveColumn(*table, names.back());
        if (!column) {
            Unreadable(s, "column " + names.back() + " is not defined");
            return;
        }
        column->comment = text;
    }

    void Index(const PgQuery__IndexStmt* index, const Statement& s)
    {
        std::vector<std::string> columns;
        bool plain = index->unique && !index->where_clause && index->relation;
        for (size_t i = 0; plain && i < index->n_index_params; ++i) {
            const PgQuery__Node* n = index->index_params[i];
            if (n && n->node_case == PG_QUERY__NODE__NODE_INDEX_ELEM && n->index_elem->name && *n->index_elem->name)
                columns.push_back(n->index_elem->name);
            else
                plain = false;
        }
        SchemaTable* table =
            plain ? m_builder.Find(Text(index->relation->schemaname), Text(index->relation->relname)) : nullptr;
        if (!table || columns.empty()) {
            m_report.Skip(s.kind, s.line); // partial, on expressions, or on a view
            return;
        }
        table->uniqueKeys.push_back(std::move(columns));
    }

    void Drop(const PgQuery__DropStmt* d, const Statement& s)
    {
        if (d->remove_type != PG_QUERY__OBJECT_TYPE__OBJECT_TABLE) {
            m_report.Skip(s.kind, s.line);
            return;
        }
        for (size_t i = 0; i < d->n_objects; ++i) {
            std::vector<std::string> names = ListStrings(d->objects[i]);
            if (names.empty())
                continue;
            m_builder.Drop(names.size() >= 2 ? names[names.size() - 2] : std::string(), names.back());
        }
    }

    std::string& m_text;
    ImportReport& m_report;
    ImportReport m_spanReport; // texts cut while reading spans are counted by the tree walk
    CSchemaBuilder m_builder;
    CTolerantReader m_spans;
    CTolerantReader m_fallback;
    CArena m_arena;
};

} // namespace

bool ReadPostgresScript(std::string_view script, SchemaDescription& description, ImportReport& report,
                        const ReaderProgress& progress)
{
    std::string text(script);
    CPostgresReader reader(text, report);
    return reader.Read(progress, description);
}
