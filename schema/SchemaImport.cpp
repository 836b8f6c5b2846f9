#include "SchemaImport.h"

#include "CSchemaBuilder.h"
#include "CTolerantReader.h"
#include "DdlreadDescription.h"
#include "DialectReaders.h"
#include "ddlread.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr char kReplacement[] = "\xEF\xBF\xBD"; // U+FFFD

// Length of the valid UTF-8 sequence at p, or 0.
size_t Utf8SequenceLength(const unsigned char* p, const unsigned char* end)
{
    const unsigned char c = p[0];
    size_t n;
    unsigned min;
    if (c >= 0xC2 && c <= 0xDF) {
        n = 2;
        min = 0x80;
    } else if (c >= 0xE0 && c <= 0xEF) {
        n = 3;
        min = 0x800;
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4;
        min = 0x10000;
    } else {
        return 0;
    }
    if (size_t(end - p) < n)
        return 0;
    unsigned value = c & (0xFF >> (n + 1));
    for (size_t i = 1; i < n; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return 0;
        value = (value << 6) | (p[i] & 0x3F);
    }
    if (value < min || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return 0;
    return n;
}

// Text the readers can take: NUL bytes become blanks and bytes that are not
// UTF-8 become U+FFFD, each counted as dropped.
std::string Sanitized(std::string_view script, ImportReport& report)
{
    std::string out;
    out.reserve(script.size());
    const auto* p = reinterpret_cast<const unsigned char*>(script.data());
    const auto* end = p + script.size();
    while (p < end) {
        const unsigned char* run = p;
        while (p < end && *p < 0x80 && *p != 0)
            ++p;
        out.append(reinterpret_cast<const char*>(run), size_t(p - run));
        if (p >= end)
            break;
        if (*p == 0) {
            out += ' ';
            ++report.droppedCharacters;
            ++p;
        } else if (size_t n = Utf8SequenceLength(p, end)) {
            out.append(reinterpret_cast<const char*>(p), n);
            p += n;
        } else {
            out += kReplacement;
            ++report.droppedCharacters;
            ++p;
        }
    }
    return out;
}

struct FileText {
    bool ok = false;
    std::string text;
    std::string error;
};

FileText ReadWholeFile(const std::string& path)
{
    FileText file;
    // Opened without waiting, and read only when it is a regular file: a
    // named pipe without a writer must not hold the import up for good, nor
    // a device feed it without end.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    struct stat st {};
    if (fd >= 0 && (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))) {
        ::close(fd);
        file.error = "The script cannot be opened.";
        return file;
    }
    std::unique_ptr<FILE, int (*)(FILE*)> in(fd < 0 ? nullptr : ::fdopen(fd, "rb"), &std::fclose);
    if (!in) {
        if (fd >= 0)
            ::close(fd);
        file.error = "The script cannot be opened.";
        return file;
    }
    char buffer[1 << 16];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, in.get())) > 0) {
        if (file.text.size() + n > kMaxScriptBytes) {
            file.error = "The script is larger than " + std::to_string(kMaxScriptBytes >> 20) + " MB.";
            file.text = std::string();
            return file;
        }
        file.text.append(buffer, n);
    }
    if (std::ferror(in.get())) {
        file.error = "The script cannot be read.";
        file.text = std::string();
        return file;
    }
    file.ok = true;
    return file;
}

struct DdlreadRun {
    std::unique_ptr<TableData, void (*)(TableData*)> list{nullptr, &FreeTableData};
    std::string error;
};

DdlreadRun RunDdlread(const std::string& path)
{
    DdlreadRun run;
    char error[500] = "";
    run.list.reset(ImportSQLTables(path.c_str(), error, int(sizeof error), nullptr));
    run.error = error;
    return run;
}

ScriptImport KorvoResult(const DdlreadRun& run)
{
    ScriptImport result;
    result.report.dialect = SqlDialect::Korvo;
    if (run.list) {
        result.description = DescribeTableData(run.list.get());
        result.ok = true;
    } else {
        result.errorText = run.error;
    }
    return result;
}

bool IsWordByte(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '$';
}

} // namespace

size_t CountNameCharactersDdlreadDrops(std::string_view script)
{
    size_t dropped = 0;
    size_t pos = 0;
    while ((pos = script.find("CREATE", pos)) != std::string_view::npos) {
        size_t p = pos + 6;
        while (p < script.size() && (script[p] == ' ' || script[p] == '\t'))
            ++p;
        if (p == pos + 6 || script.compare(p, 5, "TABLE") != 0) {
            pos += 6;
            continue;
        }
        // The statement's body, up to its semicolon outside literals.
        for (p += 5; p < script.size() && script[p] != ';'; ++p) {
            const char c = script[p];
            if (c == '\'') {
                while (++p < script.size() && script[p] != '\'' && script[p] != '\n') {
                }
            } else if (c == '-' && p + 1 < script.size() && script[p + 1] == '-') {
                while (p < script.size() && script[p] != '\n')
                    ++p;
            } else if (c == '"' || c == '`' || c == '[') {
                const char close = c == '[' ? ']' : c;
                const size_t start = p + 1;
                size_t end = start;
                while (end < script.size() && script[end] != close && script[end] != '\n')
                    ++end;
                const std::string_view name = script.substr(start, end - start);
                const bool plain = !name.empty() && std::isalpha(static_cast<unsigned char>(name[0])) &&
                                   std::all_of(name.begin(), name.end(), IsWordByte);
                if (!plain)
                    dropped += std::max<size_t>(name.size(), 1);
                p = end;
            } else if (static_cast<unsigned char>(c) >= 0x80) {
                ++dropped;
            }
        }
        pos = p;
    }
    return dropped;
}

SqlDialect DetectDialect(std::string_view script)
{
    // Cues are read from the script's start, where dumps and tools name
    // themselves and the first tables stand.
    const size_t kWindow = size_t(1) << 20;
    std::string text(script.substr(0, std::min(script.size(), kWindow)));
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    auto has = [&text](std::string_view cue) { return text.find(cue) != std::string::npos; };
    struct Cue {
        SqlDialect dialect;
        std::string_view text;
        int weight;
    };
    static constexpr Cue kCues[] = {
        {SqlDialect::PostgreSql, "postgresql", 3},      {SqlDialect::PostgreSql, "pg_catalog", 3},
        {SqlDialect::PostgreSql, "nextval(", 3},        {SqlDialect::PostgreSql, "::regclass", 3},
        {SqlDialect::PostgreSql, "$$", 3},              {SqlDialect::PostgreSql, "alter table only", 3},
        {SqlDialect::PostgreSql, "owner to", 2},        {SqlDialect::PostgreSql, "search_path", 2},
        {SqlDialect::PostgreSql, "create extension", 3}, {SqlDialect::PostgreSql, "bigserial", 3},
        {SqlDialect::PostgreSql, " serial", 2},         {SqlDialect::PostgreSql, "\n\\c ", 3},
        {SqlDialect::PostgreSql, "from stdin", 3},      {SqlDialect::PostgreSql, "plpgsql", 3},
        {SqlDialect::PostgreSql, "jsonb", 3},           {SqlDialect::PostgreSql, "bytea", 2},
        {SqlDialect::PostgreSql, "::", 1},
        {SqlDialect::MySql, "`", 3},                    {SqlDialect::MySql, "auto_increment", 3},
        {SqlDialect::MySql, "engine=", 3},              {SqlDialect::MySql, "engine =", 3},
        {SqlDialect::MySql, "/*!", 3},                  {SqlDialect::MySql, "\ndelimiter ", 3},
        {SqlDialect::MySql, "mysql", 3},                {SqlDialect::MySql, "mariadb", 3},
        {SqlDialect::MySql, "lock tables", 2},          {SqlDialect::MySql, "set names", 2},
        {SqlDialect::MySql, "charset", 2},              {SqlDialect::MySql, "unsigned", 1},
        {SqlDialect::MySql, "tinyint", 1},              {SqlDialect::MySql, "longtext", 2},
        {SqlDialect::MySql, "on update current_timestamp", 2},
        {SqlDialect::SqlServer, "\ngo\n", 4},           {SqlDialect::SqlServer, "\ngo\r\n", 4},
        {SqlDialect::SqlServer, "[dbo]", 4},            {SqlDialect::SqlServer, "identity(", 3},
        {SqlDialect::SqlServer, "nvarchar(max)", 3},    {SqlDialect::SqlServer, "clustered", 2},
        {SqlDialect::SqlServer, "set ansi_nulls", 3},   {SqlDialect::SqlServer, "set quoted_identifier", 3},
        {SqlDialect::SqlServer, "sqlserver", 3},        {SqlDialect::SqlServer, "sql server", 3},
        {SqlDialect::SqlServer, "uniqueidentifier", 3}, {SqlDialect::SqlServer, "datetime2", 3},
        {SqlDialect::SqlServer, "sp_addextendedproperty", 3},
        {SqlDialect::Oracle, "varchar2", 4},            {SqlDialect::Oracle, "nvarchar2", 4},
        {SqlDialect::Oracle, "number(", 2},             {SqlDialect::Oracle, " number", 1},
        {SqlDialect::Oracle, "sysdate", 3},             {SqlDialect::Oracle, "oracle", 3},
        {SqlDialect::Oracle, "tablespace", 1},          {SqlDialect::Oracle, "\nprompt ", 2},
        {SqlDialect::Oracle, "\n/\n", 2},               {SqlDialect::Oracle, "nocache", 2},
        {SqlDialect::Oracle, "pl/sql", 3},              {SqlDialect::Oracle, "\nexit;", 1},
        {SqlDialect::Db2, "db2", 4},                    {SqlDialect::Db2, "--#set terminator", 4},
        {SqlDialect::Db2, "vargraphic", 3},             {SqlDialect::Db2, "organize by", 3},
        {SqlDialect::Db2, "ccsid", 3},                  {SqlDialect::Db2, "for bit data", 3},
        {SqlDialect::Db2, "runstats", 3},               {SqlDialect::Db2, "with default", 2},
        {SqlDialect::Sqlite, "sqlite", 4},              {SqlDialect::Sqlite, "autoincrement", 4},
        {SqlDialect::Sqlite, "pragma", 3},              {SqlDialect::Sqlite, "without rowid", 4},
        {SqlDialect::Sqlite, "insert or replace", 2},   {SqlDialect::Sqlite, "insert or ignore", 2},
        {SqlDialect::Sqlite, "begin transaction", 1},
    };
    int scores[8] = {};
    for (const Cue& cue : kCues)
        if (has(cue.text))
            scores[int(cue.dialect)] += cue.weight;
    SqlDialect best = SqlDialect::Sqlite;
    int bestScore = 0;
    for (SqlDialect d : {SqlDialect::PostgreSql, SqlDialect::MySql, SqlDialect::SqlServer, SqlDialect::Oracle,
                         SqlDialect::Db2, SqlDialect::Sqlite}) {
        if (scores[int(d)] > bestScore) {
            best = d;
            bestScore = scores[int(d)];
        }
    }
    return best;
}

ScriptImport ReadSchemaText(std::string_view script, SqlDialect dialect, const ImportOptions& options)
{
    ScriptImport result;
    result.report.dialect = dialect;
    if (script.size() > kMaxScriptBytes) {
        result.readerError = "The script is larger than " + std::to_string(kMaxScriptBytes >> 20) + " MB.";
        return result;
    }
    std::string text = Sanitized(script, result.report);
    const double total = double(std::max<size_t>(text.size(), 1));
    ReaderProgress progress;
    if (options.progress)
        progress = [&options, total](size_t offset) { return options.progress(double(offset) / total); };

    bool finished = true;
    switch (dialect) {
    case SqlDialect::PostgreSql:
        finished = ReadPostgresScript(text, result.description, result.report, progress);
        break;
    case SqlDialect::Sqlite:
        finished = ReadSqliteScript(text, result.description, result.report, progress);
        break;
    case SqlDialect::MySql:
    case SqlDialect::SqlServer:
    case SqlDialect::Oracle:
    case SqlDialect::Db2: {
        CSchemaBuilder builder(dialect);
        CTolerantReader reader(text, dialect, builder, result.report);
        reader.SetProgress(progress);
        finished = reader.ReadAll();
        result.description = builder.Finish();
        break;
    }
    case SqlDialect::Auto:
    case SqlDialect::Korvo:
        result.readerError = "No dialect reader was chosen.";
        return result;
    }
    if (!finished) {
        result.cancelled = true;
        result.description = SchemaDescription();
        return result;
    }
    result.ok = !result.description.tables.empty();
    if (!result.ok) {
        result.readerError = result.report.unreadable.empty()
                                 ? std::string("The script holds no CREATE TABLE statement.")
                                 : "Line " + std::to_string(result.report.unreadable.front().firstLines.front()) +
                                       ": " + result.report.unreadable.front().firstReason;
    }
    if (options.progress && !options.progress(1.0)) {
        result.cancelled = true;
        result.ok = false;
        result.description = SchemaDescription();
    }
    return result;
}

ScriptImport ImportSchemaScript(const std::string& path, const ImportOptions& options)
{
    if (options.dialect == SqlDialect::Korvo)
        return KorvoResult(RunDdlread(path));

    if (options.dialect == SqlDialect::Auto) {
        const DdlreadRun run = RunDdlread(path);
        FileText file = ReadWholeFile(path);
        if (run.list) {
            // ddlread's tables stand unless it cut characters out of names.
            const size_t dropped = file.ok ? CountNameCharactersDdlreadDrops(file.text) : 0;
            if (dropped == 0)
                return KorvoResult(run);
            ScriptImport dialectRead = ReadSchemaText(file.text, DetectDialect(file.text), options);
            if (dialectRead.ok || dialectRead.cancelled) {
                dialectRead.report.dialectDetected = true;
                return dialectRead;
            }
            ScriptImport korvo = KorvoResult(run);
            korvo.report.droppedCharacters = dropped;
            return korvo;
        }
        if (!file.ok) {
            ScriptImport failed = KorvoResult(run);
            failed.readerError = file.error;
            return failed;
        }
        ScriptImport dialectRead = ReadSchemaText(file.text, DetectDialect(file.text), options);
        dialectRead.report.dialectDetected = true;
        if (!dialectRead.ok && !dialectRead.cancelled)
            dialectRead.errorText = run.error;
        return dialectRead;
    }

    FileText file = ReadWholeFile(path);
    ScriptImport result;
    if (file.ok) {
        result = ReadSchemaText(file.text, options.dialect, options);
    } else {
        result.report.dialect = options.dialect;
        result.readerError = file.error;
    }
    if (!result.ok && !result.cancelled) {
        // Nothing read: the user sees ddlread's own account of the script.
        const DdlreadRun run = RunDdlread(path);
        result.errorText = run.list ? result.readerError + "\n" : run.error;
    }
    return result;
}
