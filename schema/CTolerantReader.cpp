#include "CTolerantReader.h"

#include "CSchemaBuilder.h"
#include "ImportReport.h"

#include <algorithm>
#include <array>

namespace {

// Words that end a data type and start a column's constraints or options.
constexpr std::string_view kTypeStops[] = {
    "NOT",         "NULL",      "DEFAULT",   "CONSTRAINT", "PRIMARY",       "UNIQUE",     "REFERENCES",
    "CHECK",       "COLLATE",   "GENERATED", "AUTO_INCREMENT", "AUTOINCREMENT", "IDENTITY", "COMMENT",
    "AS",          "ON",        "CHARSET",   "ENABLE",     "DISABLE",       "SPARSE",     "ROWGUIDCOL",
    "FILESTREAM",  "VISIBLE",   "INVISIBLE", "STORAGE",    "COLUMN_FORMAT", "ENCRYPTED",  "MASKED",
    "INLINE",      "IMPLICITLY", "LOGGED",   "COMPACT",    "DEFERRABLE",    "INITIALLY",  "SERIAL",
    "SRID",        "COMPRESSION", "HIDDEN",  "PERSISTED",  "STORED",        "VIRTUAL",    "KEY",
};

// Words that end a DEFAULT expression.
constexpr std::string_view kExpressionStops[] = {
    "NOT",        "NULL",     "CONSTRAINT", "PRIMARY",   "UNIQUE",   "REFERENCES", "CHECK",
    "COLLATE",    "GENERATED", "AUTO_INCREMENT", "AUTOINCREMENT", "IDENTITY", "COMMENT", "ON",
    "ENABLE",     "DISABLE",  "SPARSE",     "ROWGUIDCOL", "CHARACTER", "CHARSET",  "VISIBLE",
    "INVISIBLE",  "FOR",      "INLINE",     "IMPLICITLY", "HIDDEN",    "DEFAULT",  "AS",
    "WITH",
};

// Words that open a statement of their own on a new line of a SQL Server
// batch, where no semicolon is needed.
constexpr std::string_view kBatchStatementStarts[] = {
    "CREATE", "ALTER", "DROP", "INSERT", "EXEC", "EXECUTE", "USE", "GRANT", "PRINT",
};

// Statements whose bodies hold semicolons of their own.
constexpr std::string_view kRoutineWords[] = {
    "PROCEDURE", "FUNCTION", "TRIGGER", "PACKAGE", "TYPE", "EVENT", "VIEW",
};

template <size_t N>
bool IsOneOf(const SqlToken& token, const std::string_view (&words)[N])
{
    if (token.kind != SqlTokenKind::Word)
        return false;
    for (std::string_view word : words)
        if (EqualsIgnoreCase(token.text, word))
            return true;
    return false;
}

std::string Upper(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
    return out;
}

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

// Length of the longest prefix of text, at most limit bytes, that ends on a
// character boundary of UTF-8.
size_t Utf8Prefix(std::string_view text, size_t limit)
{
    if (text.size() <= limit)
        return text.size();
    size_t n = limit;
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80)
        --n;
    return n;
}

} // namespace

CTolerantReader::CTolerantReader(std::string_view script, SqlDialect dialect, CSchemaBuilder& builder,
                                 ImportReport& report)
    : m_tokens(script, dialect), m_dialect(dialect), m_builder(builder), m_report(report),
      m_rangeEnd(script.size())
{
}

// ---------------------------------------------------------------------------
// Tokens

SqlToken CTolerantReader::Take()
{
    SqlToken token = m_tokens.Next();
    if (token.kind != SqlTokenKind::End)
        m_lastEnd = token.end;
    return token;
}

bool CTolerantReader::Accept(std::string_view keyword)
{
    if (!Peek().Is(keyword))
        return false;
    Take();
    return true;
}

void CTolerantReader::Expect(std::string_view keyword)
{
    if (!Accept(keyword))
        Fail("expected " + std::string(keyword));
}

bool CTolerantReader::AcceptSymbol(char c)
{
    if (!Peek().IsSymbol(c))
        return false;
    Take();
    return true;
}

void CTolerantReader::ExpectSymbol(char c)
{
    if (!AcceptSymbol(c))
        Fail(std::string("expected ") + c);
}

void CTolerantReader::Fail(std::string reason)
{
    const SqlToken& at = Peek();
    if (at.kind == SqlTokenKind::End)
        reason += " at the end of the script";
    else if (at.unterminated)
        reason += ", but a quote or comment is never closed";
    else if (at.kind == SqlTokenKind::Delimiter)
        reason += " before the statement's end";
    else
        reason += " at \"" + std::string(at.text.substr(0, Utf8Prefix(at.text, 40))) + "\"";
    throw Failure{std::move(reason), at.line};
}

void CTolerantReader::SkipBalanced()
{
    ExpectSymbol('(');
    int depth = 1;
    while (depth > 0) {
        const SqlToken& t = Peek();
        if (t.EndsStatement() || t.kind == SqlTokenKind::ClientCommand)
            Fail("expected )");
        if (t.IsSymbol('('))
            ++depth;
        else if (t.IsSymbol(')'))
            --depth;
        Take();
    }
}

// Skips what is left of a table element or an ALTER action: up to a comma
// or closing parenthesis at the element's own depth.
void CTolerantReader::SkipToElementEnd()
{
    for (;;) {
        const SqlToken& t = Peek();
        if (t.EndsStatement() || t.kind == SqlTokenKind::ClientCommand || t.IsSymbol(',') || t.IsSymbol(')'))
            return;
        if (m_dialect == SqlDialect::SqlServer && AtNewStatement())
            return;
        if (t.IsSymbol('('))
            SkipBalanced();
        else
            Take();
    }
}

bool CTolerantReader::AtNewStatement()
{
    const SqlToken& t = Peek();
    if (!IsOneOf(t, kBatchStatementStarts))
        return false;
    const std::string_view script = m_tokens.Script();
    size_t p = t.begin;
    while (p > 0 && (script[p - 1] == ' ' || script[p - 1] == '\t'))
        --p;
    return p == 0 || script[p - 1] == '\n';
}

// Skips to the end of the statement. A statement with a body of its own
// (procedure, trigger ...) runs to the end of its batch or block.
void CTolerantReader::SkipStatement()
{
    m_closed = true;
    int depth = 0;
    bool took = false;
    for (;;) {
        const SqlToken& t = Peek();
        if (t.kind == SqlTokenKind::End || t.kind == SqlTokenKind::ClientCommand || t.begin >= m_rangeEnd)
            return;
        if (t.kind == SqlTokenKind::Delimiter && depth <= 0) {
            Take();
            return;
        }
        if (took && depth <= 0 && m_dialect == SqlDialect::SqlServer && AtNewStatement())
            return;
        // BEGIN ... END blocks hold semicolons that do not end the statement.
        if (t.Is("BEGIN") || t.Is("CASE")) {
            ++depth;
        } else if (t.Is("END")) {
            Take();
            took = true;
            const SqlToken& next = Peek();
            if (!(next.Is("IF") || next.Is("LOOP") || next.Is("WHILE") || next.Is("REPEAT") || next.Is("FOR")))
                --depth;
            continue;
        }
        Take();
        took = true;
    }
}

std::string CTolerantReader::Cut(std::string text, size_t limit)
{
    const size_t keep = Utf8Prefix(text, limit);
    if (keep < text.size()) {
        m_report.droppedCharacters += text.size() - keep;
        m_report.truncated = true;
        text.resize(keep);
    }
    return text;
}

std::string CTolerantReader::Fold(std::string name) const
{
    // Unquoted names: PostgreSQL folds them to lower case, Oracle and DB2 to
    // upper case; the others keep them as written.
    if (m_dialect == SqlDialect::PostgreSql) {
        for (char& c : name)
            if (c >= 'A' && c <= 'Z')
                c = char(c - 'A' + 'a');
    } else if (m_dialect == SqlDialect::Oracle || m_dialect == SqlDialect::Db2) {
        for (char& c : name)
            if (c >= 'a' && c <= 'z')
                c = char(c - 'a' + 'A');
    }
    return name;
}

std::string CTolerantReader::Name()
{
    const SqlToken& t = Peek();
    if (t.kind == SqlTokenKind::Word) {
        std::string name(t.text);
        Take();
        return Cut(Fold(std::move(name)), kMaxNameBytes);
    }
    if (t.kind == SqlTokenKind::QuotedName) {
        if (t.unterminated)
            Fail("a quoted name is never closed");
        std::string name = CSqlTokenizer::NameText(t);
        Take();
        return Cut(std::move(name), kMaxNameBytes);
    }
    // SQLite also takes a string where a name belongs.
    if (t.kind == SqlTokenKind::String && m_dialect == SqlDialect::Sqlite) {
        std::string name = m_tokens.StringValue(t);
        Take();
        return Cut(std::move(name), kMaxNameBytes);
    }
    Fail("expected a name");
}

CTolerantReader::QualifiedName CTolerantReader::ReadQualifiedName()
{
    QualifiedName qn;
    qn.line = Peek().line;
    std::vector<std::string> parts{Name()};
    while (AcceptSymbol('.')) {
        if (Peek().IsSymbol('.')) { // SQL Server's db..table
            parts.emplace_back();
            continue;
        }
        parts.push_back(Name());
    }
    qn.name = parts.back();
    if (parts.size() >= 2)
        qn.schema = parts[parts.size() - 2];
    return qn;
}

std::string CTolerantReader::Text(size_t begin, size_t end, size_t limit)
{
    std::string_view text = m_tokens.Script().substr(begin, end > begin ? end - begin : 0);
    while (!text.empty() && IsSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsSpace(text.back()))
        text.remove_suffix(1);
    return Cut(std::string(text), limit);
}

// ---------------------------------------------------------------------------
// Statements

bool CTolerantReader::ReadAll()
{
    m_rangeEnd = m_tokens.Script().size();
    int statements = 0;
    while (Peek().kind != SqlTokenKind::End) {
        ReadStatement(m_rangeEnd);
        if (m_progress && (++statements & 255) == 0 && !m_progress(Peek().begin))
            return false;
    }
    return true;
}

void CTolerantReader::ReadRange(size_t begin, size_t end, int line)
{
    m_tokens.Seek(begin, line);
    m_rangeEnd = end;
    while (Peek().kind != SqlTokenKind::End && Peek().begin < end)
        ReadStatement(end);
}

bool CTolerantReader::ReadStatement(size_t end)
{
    (void)end;
    const SqlToken first = Peek();
    if (first.kind == SqlTokenKind::Delimiter) {
        Take();
        return true;
    }
    if (first.kind == SqlTokenKind::ClientCommand) {
        Take();
        std::string_view word = first.text.substr(0, first.text.find_first_of(" \t\r"));
        m_report.Skip(word.size() > 24 ? "client command" : Upper(word), first.line);
        return true;
    }
    std::string kind;
    m_closed = false;
    try {
        Dispatch(first, kind);
        if (m_closed)
            return true;
        // A statement read in full ends here.
        const SqlToken& next = Peek();
        if (next.kind == SqlTokenKind::Delimiter)
            Take();
        else if (!next.EndsStatement() && next.kind != SqlTokenKind::ClientCommand && next.begin < m_rangeEnd &&
                 !(m_dialect == SqlDialect::SqlServer && AtNewStatement()))
            Fail("expected the statement's end");
        return true;
    } catch (const Failure& failure) {
        m_report.Unreadable(kind.empty() ? Upper(first.text.substr(0, 24)) : kind, first.line, failure.reason);
        SkipStatement();
        return false;
    }
}

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
    const std::string word = Upper(first.text);
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
            std::string object = what.kind == SqlTokenKind::Word ? Upper(what.text) : std::string();
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
            skip("ALTER " + (Peek().kind == SqlTokenKind::Word ? Upper(Peek().text) : std::string()));
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
            skip("DROP " + (Peek().kind == SqlTokenKind::Word ? Upper(Peek().text) : std::string()));
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
// CREATE TABLE

void CTolerantReader::CreateTable(const SqlToken& first)
{
    bool ifNotExists = false;
    if (Accept("IF")) {
        Expect("NOT");
        Expect("EXISTS");
        ifNotExists = true;
    }
    const QualifiedName qn = ReadQualifiedName();
    SchemaTable local;
    SchemaTable* partitionParent = nullptr;
    if (Peek().Is("AS"))
        Fail("its columns come from a query");
    if (Accept("LIKE")) { // MySQL's copy of another table's definition
        const QualifiedName from = ReadQualifiedName();
        SchemaTable* source = m_builder.Find(from.schema, from.name);
        if (!source)
            Fail("table " + from.name + " is not defined");
        CopyColumns(local, *source);
        local.primaryKey = source->primaryKey;
        local.uniqueKeys = source->uniqueKeys;
        for (size_t i = 0; i < source->columns.size(); ++i)
            local.columns[i].unique = source->columns[i].unique;
    } else if (Accept("PARTITION")) {
        Expect("OF");
        const QualifiedName parent = ReadQualifiedName();
        partitionParent = m_builder.Find(parent.schema, parent.name);
        if (!partitionParent)
            Fail("table " + parent.name + " is not defined");
        CopyColumns(local, *partitionParent);
        if (Peek().IsSymbol('(')) {
            Take();
            while (!AcceptSymbol(')')) {
                if (!TableElement(local))
                    ColumnDefinition(local, true);
                if (!AcceptSymbol(','))
                    if (!Peek().IsSymbol(')'))
                        Fail("expected , or )");
            }
        }
    } else {
        if (Peek().Is("OF"))
            Fail("its columns come from a type");
        ExpectSymbol('(');
        while (!Peek().IsSymbol(')')) {
            if (!TableElement(local))
                ColumnDefinition(local, false);
            if (!AcceptSymbol(','))
                break;
        }
        ExpectSymbol(')');
    }
    SkipTableOptions(local);

    SchemaTable* table = m_builder.Create(qn.schema, qn.name);
    if (!table) {
        if (ifNotExists)
            return; // the engine keeps the table it has
        throw Failure{"table " + qn.name + " exists already", first.line};
    }
    local.schema = table->schema;
    local.name = table->name;
    *table = std::move(local);
    if (partitionParent)
        m_builder.AttachPartition(partitionParent, table);
}

bool CTolerantReader::TableElement(SchemaTable& table)
{
    if (Accept("CONSTRAINT")) {
        const std::string name = Peek().IsName() && !Peek().Is("PRIMARY") && !Peek().Is("UNIQUE") &&
                                         !Peek().Is("FOREIGN") && !Peek().Is("CHECK")
                                     ? Name()
                                     : std::string();
        if (!TableConstraint(table, name))
            Fail("expected a constraint");
        return true;
    }
    return TableConstraint(table, std::string());
}

bool CTolerantReader::TableConstraint(SchemaTable& table, const std::string& constraintName)
{
    const SqlToken& t = Peek();
    if (t.Is("PRIMARY")) {
        Take();
        Expect("KEY");
        while (Accept("CLUSTERED") || Accept("NONCLUSTERED")) {
        }
        if (Accept("USING"))
            Take();
        std::vector<std::string> columns = KeyColumns();
        if (table.primaryKey.empty())
            table.primaryKey = std::move(columns);
    } else if (t.Is("UNIQUE")) {
        Take();
        if (!Accept("KEY"))
            Accept("INDEX");
        while (Accept("CLUSTERED") || Accept("NONCLUSTERED")) {
        }
        if (Accept("NULLS")) {
            Accept("NOT");
            Expect("DISTINCT");
        }
        if (Peek().IsName() && !Peek().Is("USING"))
            Name(); // MySQL's index name
        if (Accept("USING"))
            Take();
        table.uniqueKeys.push_back(KeyColumns());
    } else if (t.Is("FOREIGN")) {
        Take();
        Expect("KEY");
        if (Peek().IsName())
            Name(); // MySQL's index name
        std::vector<std::string> columns = KeyColumns();
        Expect("REFERENCES");
        SchemaForeignKey key = References();
        key.name = constraintName;
        key.columns = std::move(columns);
        table.foreignKeys.push_back(std::move(key));
    } else if (t.Is("CHECK")) {
        Take();
        table.checks.push_back(CheckBody());
    } else if (t.Is("LIKE")) {
        Take();
        const QualifiedName from = ReadQualifiedName();
        SchemaTable* source = m_builder.Find(from.schema, from.name);
        if (!source)
            Fail("table " + from.name + " is not defined");
        CopyColumns(table, *source);
    } else if (((t.Is("KEY") || t.Is("INDEX") || t.Is("FULLTEXT") || t.Is("SPATIAL")) &&
                m_dialect == SqlDialect::MySql) ||
               (t.Is("INDEX") && m_dialect == SqlDialect::SqlServer) || t.Is("EXCLUDE")) {
        Take(); // an index, which shapes no key
    } else if (t.Is("PERIOD") && m_dialect != SqlDialect::PostgreSql) {
        Take();
    } else {
        return false;
    }
    SkipToElementEnd();
    return true;
}

void CTolerantReader::CopyColumns(SchemaTable& table, const SchemaTable& from)
{
    for (SchemaColumn column : from.columns) {
        column.primaryKey = false;
        column.unique = false;
        if (!table.FindColumn(column.name))
            table.columns.push_back(std::move(column));
    }
}

void CTolerantReader::InheritColumns(SchemaTable& table, const std::vector<const SchemaTable*>& parents)
{
    // Inherited columns come first, in the parents' order; a column of the
    // same name merges into the inherited one.
    std::vector<SchemaColumn> own = std::move(table.columns);
    table.columns.clear();
    for (const SchemaTable* parent : parents)
        CopyColumns(table, *parent);
    for (const SchemaTable* parent : parents)
        for (const std::string& check : parent->checks)
            table.checks.push_back(check);
    for (SchemaColumn& column : own) {
        if (SchemaColumn* inherited = table.FindColumn(column.name)) {
            inherited->notNull = inherited->notNull || column.notNull;
            if (!column.defaultValue.empty())
                inherited->defaultValue = column.defaultValue;
            if (!column.check.empty())
                inherited->check = column.check;
            inherited->primaryKey = column.primaryKey;
            inherited->unique = column.unique;
            if (!column.comment.empty())
                inherited->comment = column.comment;
        } else {
            table.columns.push_back(std::move(column));
        }
    }
}

void CTolerantReader::SkipTableOptions(SchemaTable& table)
{
    for (;;) {
        const SqlToken& t = Peek();
        if (t.EndsStatement() || t.kind == SqlTokenKind::ClientCommand || t.begin >= m_rangeEnd)
            return;
        if (m_dialect == SqlDialect::SqlServer && AtNewStatement())
            return;
        if (t.Is("INHERITS")) {
            Take();
            ExpectSymbol('(');
            std::vector<const SchemaTable*> parents;
            do {
                const QualifiedName parent = ReadQualifiedName();
                const SchemaTable* found = m_builder.Find(parent.schema, parent.name);
                if (!found)
                    Fail("table " + parent.name + " is not defined");
                parents.push_back(found);
            } while (AcceptSymbol(','));
            ExpectSymbol(')');
            InheritColumns(table, parents);
        } else if (t.Is("COMMENT")) {
            Take();
            AcceptSymbol('=');
            if (Peek().kind == SqlTokenKind::String) {
                table.comment = Cut(m_tokens.StringValue(Peek()), kMaxTextBytes);
                Take();
            }
        } else if (t.IsSymbol('(')) {
            SkipBalanced();
        } else if (t.IsSymbol(')')) {
            Fail("unexpected )");
        } else {
            Take();
        }
    }
}

void CTolerantReader::ColumnDefinition(SchemaTable& table, bool allowExisting)
{
    const SqlToken at = Peek();
    std::string name = Name();
    if (allowExisting) {
        // A partition's own options for a column its parent gives.
        if (SchemaColumn* existing = table.FindColumn(name)) {
            if (Accept("WITH"))
                Expect("OPTIONS");
            ColumnConstraints(table, *existing);
            return;
        }
    }
    if (table.FindColumn(name))
        throw Failure{"column " + name + " is given twice", at.line};
    SchemaColumn column;
    column.name = std::move(name);
    column.type = TypeText();
    ColumnConstraints(table, column);
    table.columns.push_back(std::move(column));
}

std::string CTolerantReader::TypeText()
{
    size_t begin = Peek().begin;
    size_t end = begin;
    bool any = false;
    for (;;) {
        const SqlToken& t = Peek();
        if (t.EndsStatement() || t.kind == SqlTokenKind::ClientCommand || t.IsSymbol(',') || t.IsSymbol(')'))
            break;
        if (t.IsSymbol('(')) {
            if (!any)
                break;
            SkipBalanced();
            end = m_lastEnd;
            continue;
        }
        if (IsOneOf(t, kTypeStops) && !(t.Is("SERIAL") && !any))
            break;
        // WITH [LOCAL] TIME ZONE, CHARACTER VARYING and FOR BIT DATA belong to
        // the type; WITH DEFAULT, CHARACTER SET and the rest do not.
        if (any && (t.Is("WITH") || t.Is("CHARACTER") || t.Is("FOR"))) {
            const SqlToken word = t;
            Take();
            const SqlToken& next = Peek();
            const bool partOfType = (word.Is("WITH") && (next.Is("TIME") || next.Is("LOCAL"))) ||
                                    (word.Is("CHARACTER") && next.Is("VARYING")) ||
                                    (word.Is("FOR") && (next.Is("BIT") || next.Is("SBCS") || next.Is("MIXED")));
            if (!partOfType) {
                m_tokens.Seek(word.begin, word.line);
                break;
            }
            end = word.end;
            continue;
        }
        if (!any)
            begin = t.begin;
        Take();
        end = t.end;
        any = true;
    }
    return any ? Text(begin, end, kMaxTextBytes) : std::string();
}

std::string CTolerantReader::ExpressionText()
{
    const SqlToken first = Peek();
    if (first.EndsStatement() || first.IsSymbol(',') || first.IsSymbol(')'))
        Fail("expected an expression");
    const size_t begin = first.begin;
    size_t end = first.end;
    bool any = false;
    for (;;) {
        const SqlToken& t = Peek();
        if (t.EndsStatement() || t.kind == SqlTokenKind::ClientCommand || t.IsSymbol(',') || t.IsSymbol(')'))
            break;
        if (any && IsOneOf(t, kExpressionStops))
            break;
        if (t.IsSymbol('(')) {
            SkipBalanced();
            end = m_lastEnd;
        } else {
            // A sign or a cast operator joins what follows it.
            const bool joins = t.IsSymbol('-') || t.IsSymbol('+') || t.IsSymbol(':');
            Take();
            end = t.end;
            if (joins) {
                any = false;
                continue;
            }
        }
        any = true;
    }
    return Text(begin, end, kMaxTextBytes);
}

std::string CTolerantReader::CheckBody()
{
    ExpectSymbol('(');
    const size_t begin = Peek().begin;
    size_t end = begin;
    int depth = 1;
    for (;;) {
        const SqlToken& t = Peek();
        if (t.EndsStatement() || t.kind == SqlTokenKind::ClientCommand)
            Fail("expected )");
        if (t.IsSymbol('('))
            ++depth;
        else if (t.IsSymbol(')') && --depth == 0)
            break;
        end = t.end;
        Take();
    }
    Take();
    return Text(begin, end, kMaxTextBytes);
}

std::vector<std::string> CTolerantReader::KeyColumns()
{
    ExpectSymbol('(');
    std::vector<std::string> names;
    do {
        names.push_back(Name());
        SkipToElementEnd(); // ASC, DESC, a prefix length, an operator class
    } while (AcceptSymbol(','));
    ExpectSymbol(')');
    return names;
}

SchemaForeignKey CTolerantReader::References()
{
    SchemaForeignKey key;
    const QualifiedName ref = ReadQualifiedName();
    key.refSchema = ref.schema;
    key.refTable = ref.name;
    if (Peek().IsSymbol('('))
        key.refColumns = KeyColumns();
    for (;;) {
        const SqlToken& t = Peek();
        if (t.Is("ON")) {
            Take();
            if (!Accept("DELETE"))
                Expect("UPDATE");
            if (Accept("SET")) {
                Take(); // NULL or DEFAULT
                if (Peek().IsSymbol('('))
                    SkipBalanced();
            } else if (Accept("NO")) {
                Expect("ACTION");
            } else {
                Take(); // CASCADE, RESTRICT
            }
        } else if (t.Is("MATCH") || t.Is("INITIALLY")) {
            Take();
            Take();
        } else if (t.Is("DEFERRABLE") || t.Is("ENFORCED") || t.Is("ENABLE") || t.Is("DISABLE") ||
                   t.Is("VALIDATE") || t.Is("NOVALIDATE") || t.Is("RELY") || t.Is("NORELY")) {
            Take();
        } else if (t.Is("NOT")) {
            const SqlToken notToken = t;
            Take();
            if (Accept("DEFERRABLE") || Accept("ENFORCED")) {
                continue;
            }
            if (Accept("FOR")) {
                Expect("REPLICATION");
                continue;
            }
            m_tokens.Seek(notToken.begin, notToken.line); // NOT NULL belongs to the column
            break;
        } else {
            break;
        }
    }
    return key;
}

void CTolerantReader::ColumnConstraints(SchemaTable& table, SchemaColumn& column)
{
    for (;;) {
        const SqlToken t = Peek();
        if (t.EndsStatement() || t.kind == SqlTokenKind::ClientCommand || t.IsSymbol(',') || t.IsSymbol(')'))
            return;
        if (m_dialect == SqlDialect::SqlServer && AtNewStatement())
            return;
        if (t.Is("CONSTRAINT")) {
            Take();
            Name();
        } else if (t.Is("NOT")) {
            Take();
            if (Accept("NULL"))
                column.notNull = true;
            else if (Accept("FOR"))
                Accept("REPLICATION");
            else
                Take(); // DEFERRABLE, LOGGED, HIDDEN
        } else if (t.Is("NULL")) {
            Take();
        } else if (t.Is("PRIMARY")) {
            Take();
            Expect("KEY");
            column.primaryKey = true;
            if (std::find(table.primaryKey.begin(), table.primaryKey.end(), column.name) == table.primaryKey.end())
                table.primaryKey.push_back(column.name);
        } else if (t.Is("UNIQUE")) {
            Take();
            Accept("KEY");
            table.uniqueKeys.push_back({column.name});
        } else if (t.Is("DEFAULT")) {
            Take();
            if (Accept("ON")) // Oracle's DEFAULT ON NULL
                Expect("NULL");
            column.defaultValue = ExpressionText();
        } else if (t.Is("WITH")) {
            Take();
            if (Accept("DEFAULT")) { // DB2's WITH DEFAULT [value]
                const SqlToken& next = Peek();
                if (!(next.EndsStatement() || next.IsSymbol(',') || next.IsSymbol(')') ||
                      IsOneOf(next, kExpressionStops)))
                    column.defaultValue = ExpressionText();
            } else if (Peek().IsSymbol('(')) {
                SkipBalanced();
            }
        } else if (t.Is("CHECK")) {
            Take();
            std::string check = CheckBody();
            if (column.check.empty())
                column.check = std::move(check);
            else
                table.checks.push_back(std::move(check));
        } else if (t.Is("REFERENCES")) {
            Take();
            SchemaForeignKey key = References();
            key.columns.push_back(column.name);
            key.columnLevel = true;
            table.foreignKeys.push_back(std::move(key));
        } else if (t.Is("COMMENT")) {
            Take();
            if (Peek().kind == SqlTokenKind::String) {
                column.comment = Cut(m_tokens.StringValue(Peek()), kMaxTextBytes);
                Take();
            }
        } else if (t.Is("IDENTITY")) {
            Take();
            if (Peek().IsSymbol('('))
                SkipBalanced();
            column.notNull = true; // identity columns take no NULL
        } else if (t.Is("GENERATED")) {
            Take();
            if (!Accept("ALWAYS")) {
                Expect("BY");
                Expect("DEFAULT");
                if (Accept("ON"))
                    Expect("NULL");
            }
            Expect("AS");
            if (Accept("IDENTITY")) {
                if (Peek().IsSymbol('('))
                    SkipBalanced();
                column.notNull = true;
            } else if (Peek().IsSymbol('(')) {
                SkipBalanced(); // a generated column's expression
            } else {
                Take(); // ROW START and the like
            }
        } else if (t.Is("AS")) {
            Take();
            if (Peek().IsSymbol('('))
                SkipBalanced();
        } else if (t.Is("ON")) {
            Take();
            if (Accept("UPDATE")) // MySQL's ON UPDATE CURRENT_TIMESTAMP
                ExpressionText();
        } else if (t.Is("CHARACTER")) {
            Take();
            Accept("SET");
            Take();
        } else if (t.Is("COLLATE") || t.Is("CHARSET")) {
            Take();
            Take();
        } else if (t.IsSymbol('(')) {
            SkipBalanced();
        } else {
            Take(); // AUTO_INCREMENT, ENABLE, SPARSE and other options that shape no key
        }
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
        const std::string object = Peek().kind == SqlTokenKind::Word ? Upper(Peek().text) : std::string();
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

// ---------------------------------------------------------------------------
// Texts for the readers of parse trees

std::string CTolerantReader::TypeAt(size_t offset)
{
    try {
        m_tokens.Seek(offset, 1);
        return TypeText();
    } catch (const Failure&) {
        return {};
    }
}

std::string CTolerantReader::DefaultAt(size_t offset)
{
    try {
        m_tokens.Seek(offset, 1);
        while (!Peek().EndsStatement() && !Peek().Is("DEFAULT"))
            Take();
        Expect("DEFAULT");
        return ExpressionText();
    } catch (const Failure&) {
        return {};
    }
}

std::string CTolerantReader::CheckAt(size_t offset)
{
    try {
        m_tokens.Seek(offset, 1);
        while (!Peek().EndsStatement() && !Peek().Is("CHECK"))
            Take();
        Expect("CHECK");
        return CheckBody();
    } catch (const Failure&) {
        return {};
    }
}
