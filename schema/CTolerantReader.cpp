#include "CTolerantReader.h"

#include "CSchemaBuilder.h"
#include "ImportReport.h"
#include "SqlWords.h"

#include <algorithm>
#include <array>

namespace {

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

using namespace sqlwords;

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
        ReadStatement();
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
        ReadStatement();
}

bool CTolerantReader::ReadStatement()
{
    const SqlToken first = Peek();
    if (first.kind == SqlTokenKind::Delimiter) {
        Take();
        return true;
    }
    if (first.kind == SqlTokenKind::ClientCommand) {
        Take();
        std::string_view word = first.text.substr(0, first.text.find_first_of(" \t\r"));
        m_report.Skip(word.size() > 24 ? "client command" : AsciiUpperCopy(word), first.line);
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
        m_report.Unreadable(kind.empty() ? AsciiUpperCopy(first.text.substr(0, 24)) : kind, first.line, failure.reason);
        SkipStatement();
        return false;
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
