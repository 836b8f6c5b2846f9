#include "CCommandLine.h"

#include "DialectExport.h"
#include "KorvoVersion.h"

#include <utility>

namespace {

bool IsOption(const QString& argument)
{
    return argument.size() > 1 && argument.startsWith(QLatin1Char('-'));
}

// What the arguments said, before it is checked as a whole.
struct ParseState {
    CCommandLine result;
    bool help = false;
    bool version = false;
    bool print = false;
    bool render = false;
    bool exportSql = false;
    bool importSql = false;
    bool importDb = false;
    bool check = false;
    bool arrange = false;
    bool dpiGiven = false;
    bool formatGiven = false;
    bool typesGiven = false;
    bool intoGiven = false;
    bool outputGiven = false;
    bool dialectGiven = false;
    bool schemaGiven = false;
    bool optionsEnded = false;
    QStringList positional;
    QString error; // the first mistake

    void Fail(const QString& text)
    {
        if (error.isEmpty())
            error = text;
    }
};

void SetDpi(ParseState& state, const QString& value)
{
    bool ok = false;
    const int dpi = value.toInt(&ok);
    if (!ok || dpi < CCommandLine::kMinDpi || dpi > CCommandLine::kMaxDpi)
        state.Fail(QStringLiteral("--dpi wants a whole number from %1 to %2, not '%3'")
                       .arg(CCommandLine::kMinDpi)
                       .arg(CCommandLine::kMaxDpi)
                       .arg(value));
    else
        state.result.m_nDpi = dpi;
    state.dpiGiven = true;
}

void SetFormat(ParseState& state, const QString& value)
{
    const QString format = value.toLower();
    if (format != QLatin1String("png") && format != QLatin1String("svg") && format != QLatin1String("pdf"))
        state.Fail(QStringLiteral("--format wants png, svg or pdf, not '%1'").arg(value));
    else
        state.result.m_strFormat = format;
    state.formatGiven = true;
}

void SetDialect(ParseState& state, const QString& value)
{
    const std::optional<SqlDialect> dialect = DialectFromKeyword(value.toStdString());
    if (!dialect)
        state.Fail(QStringLiteral("--dialect wants auto, korvo, postgresql, mysql, mariadb, sqlite, sqlserver, oracle "
                                  "or db2, not '%1'")
                       .arg(value));
    else
        state.result.m_dialect = dialect;
    state.dialectGiven = true;
}

// One option: its names, whether a value follows, and what it records.
struct OptionRule {
    const char* shortName; // null when there is none
    const char* longName;
    bool takesValue;
    void (*apply)(ParseState& state, const QString& value);
};

const OptionRule kOptions[] = {
    {nullptr, "--", false, [](ParseState& s, const QString&) { s.optionsEnded = true; }},
    {"-h", "--help", false, [](ParseState& s, const QString&) { s.help = true; }},
    {"-v", "--version", false, [](ParseState& s, const QString&) { s.version = true; }},
    {"-p", "--print", true,
     [](ParseState& s, const QString& value) {
         s.print = true;
         s.result.m_strFile = value;
     }},
    {nullptr, "--render", false, [](ParseState& s, const QString&) { s.render = true; }},
    {nullptr, "--export-sql", false, [](ParseState& s, const QString&) { s.exportSql = true; }},
    {nullptr, "--import-sql", false, [](ParseState& s, const QString&) { s.importSql = true; }},
    {nullptr, "--import-db", false, [](ParseState& s, const QString&) { s.importDb = true; }},
    {nullptr, "--check", false, [](ParseState& s, const QString&) { s.check = true; }},
    {nullptr, "--arrange", false, [](ParseState& s, const QString&) { s.arrange = true; }},
    {nullptr, "--dialect", true, SetDialect},
    {nullptr, "--schema", true,
     [](ParseState& s, const QString& value) {
         s.result.m_schemas.append(value);
         s.schemaGiven = true;
     }},
    {nullptr, "--into", true,
     [](ParseState& s, const QString& value) {
         s.result.m_strInto = value;
         s.intoGiven = true;
     }},
    {"-o", "--output", true,
     [](ParseState& s, const QString& value) {
         s.result.m_strOutput = value;
         s.outputGiven = true;
     }},
    {nullptr, "--dpi", true, SetDpi},
    {nullptr, "--format", true, SetFormat},
    {nullptr, "--types", false,
     [](ParseState& s, const QString&) {
         s.result.m_bColumnTypes = true;
         s.typesGiven = true;
     }},
};

const OptionRule* FindOption(const QString& name)
{
    for (const OptionRule& rule : kOptions)
        if ((rule.shortName && name == QLatin1String(rule.shortName)) || name == QLatin1String(rule.longName))
            return &rule;
    return nullptr;
}

// Step 1: every argument into the state, one option or operand at a time.
void ReadArguments(const QStringList& arguments, ParseState& state)
{
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        if (state.optionsEnded || !IsOption(argument)) {
            state.positional.append(argument);
            continue;
        }
        // "--name=value" carries its value in the same argument.
        QString name = argument;
        QString value;
        bool hasValue = false;
        const qsizetype eq = argument.indexOf(QLatin1Char('='));
        if (argument.startsWith(QLatin1String("--")) && eq > 2) {
            name = argument.left(eq);
            value = argument.mid(eq + 1);
            hasValue = true;
        }
        const OptionRule* rule = FindOption(name);
        if (!rule) {
            state.Fail(QStringLiteral("unknown option '%1'").arg(argument));
            continue;
        }
        if (rule->takesValue && !hasValue) {
            if (i + 1 >= arguments.size()) {
                state.Fail(QStringLiteral("option '%1' needs a value").arg(name));
                continue;
            }
            value = arguments.at(++i);
        }
        rule->apply(state, value);
    }
}

// Step 2: the options and operands checked against the verb they belong to;
// the first mistake, or an empty text.
QString CheckCombination(const ParseState& state)
{
    QStringList verbs;
    for (auto [given, name] :
         {std::pair{state.print, "--print"}, std::pair{state.render, "--render"},
          std::pair{state.exportSql, "--export-sql"}, std::pair{state.importSql, "--import-sql"},
          std::pair{state.importDb, "--import-db"}, std::pair{state.check, "--check"},
          std::pair{state.arrange, "--arrange"}})
        if (given)
            verbs.append(QString::fromLatin1(name));
    const qsizetype operands = state.positional.size();
    if (verbs.size() > 1)
        return QStringLiteral("%1 and %2 cannot be combined").arg(verbs.at(0), verbs.at(1));
    if (state.dpiGiven && !state.render)
        return QStringLiteral("--dpi belongs to --render");
    if (state.formatGiven && !state.render)
        return QStringLiteral("--format belongs to --render");
    if (state.typesGiven && !state.render)
        return QStringLiteral("--types belongs to --render");
    if (state.intoGiven && !state.importSql && !state.importDb)
        return QStringLiteral("--into belongs to --import-sql and --import-db");
    if (state.outputGiven && !state.importSql && !state.importDb && !state.arrange)
        return QStringLiteral("-o belongs to --import-sql, --import-db and --arrange");
    if (state.dialectGiven && !state.importSql && !state.exportSql && !state.check)
        return QStringLiteral("--dialect belongs to --import-sql, --export-sql and --check");
    if (state.schemaGiven && !state.importDb)
        return QStringLiteral("--schema belongs to --import-db");
    const std::optional<SqlDialect>& dialect = state.result.m_dialect;
    if ((state.exportSql || state.check) && dialect && !DialectCanExport(*dialect))
        return QStringLiteral("%1 knows the dialects korvo, postgresql, mysql, mariadb, sqlite and sqlserver, not '%2'")
            .arg(state.exportSql ? QStringLiteral("--export-sql") : QStringLiteral("--check"),
                 QString::fromLatin1(DialectKeyword(*dialect)));
    if (state.render && operands != 2)
        return QStringLiteral("--render wants a diagram and an output image");
    if (state.exportSql && operands != 2)
        return QStringLiteral("--export-sql wants a diagram and an output script");
    if (state.importSql && operands != 1)
        return QStringLiteral("--import-sql wants one SQL script");
    if (state.importSql && !state.outputGiven)
        return QStringLiteral("--import-sql wants -o OUT.erd");
    // A SOURCE may hold a password: no message repeats an operand of --import-db.
    if (state.importDb && operands != 1)
        return QStringLiteral("--import-db wants one SOURCE");
    if (state.importDb && !state.outputGiven)
        return QStringLiteral("--import-db wants -o OUT.erd");
    if (state.check && operands != 1)
        return QStringLiteral("--check wants one diagram");
    if (state.arrange && operands != 1)
        return QStringLiteral("--arrange wants one diagram");
    if (state.arrange && !state.outputGiven)
        return QStringLiteral("--arrange wants -o OUT.erd");
    if (state.print && operands > 0)
        return QStringLiteral("unexpected argument '%1'").arg(state.positional.constFirst());
    if (verbs.isEmpty() && operands > 1)
        return QStringLiteral("unexpected argument '%1'").arg(state.positional.at(1));
    return QString();
}

// Step 3: the verb and its operands.
void SetVerb(ParseState& state)
{
    CCommandLine& result = state.result;
    using Verb = CCommandLine::Verb;
    if (state.render || state.exportSql) {
        result.m_verb = state.render ? Verb::Render : Verb::ExportSql;
        result.m_strFile = state.positional.at(0);
        result.m_strOutput = state.positional.at(1);
    } else if (state.importSql || state.importDb || state.check || state.arrange) {
        result.m_verb = state.importSql  ? Verb::ImportSql
                        : state.importDb ? Verb::ImportDb
                        : state.check    ? Verb::Check
                                         : Verb::Arrange;
        result.m_strFile = state.positional.at(0);
    } else if (state.print) {
        result.m_verb = Verb::Print;
    } else {
        result.m_verb = Verb::Open;
        result.m_strFile = state.positional.value(0);
    }
}

} // namespace

CCommandLine CCommandLine::Parse(const QStringList& arguments)
{
    ParseState state;
    ReadArguments(arguments, state);
    // Help and version win over any mistake.
    if (state.help || state.version) {
        state.result.m_verb = state.help ? Verb::Help : Verb::Version;
        return state.result;
    }
    if (state.error.isEmpty())
        state.Fail(CheckCombination(state));
    if (!state.error.isEmpty()) {
        state.result.m_verb = Verb::Error;
        state.result.m_strError = state.error;
        return state.result;
    }
    SetVerb(state);
    return state.result;
}

bool CCommandLine::WantsBatch(const QStringList& arguments)
{
    for (const QString& argument : arguments) {
        if (argument == QLatin1String("--"))
            return false;
        if (argument == QLatin1String("-p") || argument == QLatin1String("--print") ||
            argument.startsWith(QLatin1String("--print=")) || argument == QLatin1String("--render") ||
            argument == QLatin1String("--export-sql") || argument == QLatin1String("--import-sql") ||
            argument == QLatin1String("--import-db") || argument == QLatin1String("--check") ||
            argument == QLatin1String("--arrange"))
            return true;
    }
    return false;
}

QString CCommandLine::HelpText()
{
    return QStringLiteral(
        "Usage: korvo [FILE.erd]\n"
        "       korvo -p FILE.erd\n"
        "       korvo --render DIAGRAM.erd OUT.{png,svg,pdf} [--dpi N] [--format FMT] [--types]\n"
        "       korvo --export-sql DIAGRAM.erd OUT.sql [--dialect D]\n"
        "       korvo --import-sql SCRIPT [--dialect D] [--into DIAGRAM.erd] -o OUT.erd\n"
        "       korvo --import-db SOURCE [--schema S]... [--into DIAGRAM.erd] -o OUT.erd\n"
        "       korvo --check DIAGRAM.erd [--dialect D]\n"
        "       korvo --arrange DIAGRAM.erd -o OUT.erd\n"
        "\n"
        "Korvo designs entity-relationship diagrams of relational databases.\n"
        "\n"
        "  FILE.erd              open the diagram; without one, start a new diagram\n"
        "  -p, --print FILE      print the diagram on the default printer and exit;\n"
        "                        with no printer, write a PDF beside it named after\n"
        "                        FILE (FILE.pdf, else FILE-1.pdf, FILE-2.pdf, ...: an\n"
        "                        existing file is never replaced) and show its path\n"
        "  --render DIAGRAM OUT  draw the whole diagram into OUT and exit: a PNG image,\n"
        "                        an SVG drawing or a PDF of the printed pages\n"
        "  --dpi N               resolution of a PNG or SVG, %1 to %2 (default 96)\n"
        "  --format FMT          png, svg or pdf: what --render writes, whatever OUT is\n"
        "                        called (default: OUT's suffix; png when OUT is -)\n"
        "  --types               --render shows each column's type and marks, as the\n"
        "                        window's View > Show Column Types does\n"
        "  --export-sql DIAGRAM OUT\n"
        "                        write the diagram's CREATE TABLE statements to OUT:\n"
        "                        Korvo's own script, or with --dialect one that the\n"
        "                        database runs\n"
        "  --import-sql SCRIPT   read the CREATE TABLE statements of SCRIPT into a new\n"
        "                        diagram, or into a copy of --into DIAGRAM: tables it\n"
        "                        names are updated where they stand, new ones go beside\n"
        "                        or below the others; what was read goes to the error\n"
        "                        stream in one or two lines\n"
        "  --dialect D           --import-sql: the script's language, auto (the default:\n"
        "                        Korvo's own when it reads as such, else detected),\n"
        "                        korvo, postgresql, mysql, mariadb, sqlite, sqlserver,\n"
        "                        oracle or db2; --export-sql and --check: korvo (the\n"
        "                        default), postgresql, mysql, mariadb, sqlite or\n"
        "                        sqlserver\n"
        "  --import-db SOURCE    read the tables of a live database into a new diagram,\n"
        "                        or into a copy of --into DIAGRAM, as --import-sql does.\n"
        "                        SOURCE: a SQLite file or sqlite:PATH; postgresql://...\n"
        "                        (a libpq URI or conninfo; PGPASSWORD and ~/.pgpass\n"
        "                        work); mariadb://USER@HOST:PORT/DB or mysql://...\n"
        "  --schema S            a schema (MariaDB: a database) for --import-db to read,\n"
        "                        once per schema (default: the source's own)\n"
        "  --check DIAGRAM       list the diagram's mistakes on standard output, one a\n"
        "                        line; with --dialect also the names that dialect must\n"
        "                        quote or cannot take\n"
        "  --arrange DIAGRAM     lay all tables out anew, along their relations, with\n"
        "                        none on top of another\n"
        "  -o, --output OUT      the diagram that --import-sql, --import-db or --arrange\n"
        "                        writes\n"
        "  -h, --help            show this help and exit\n"
        "  -v, --version         show the version and exit\n"
        "\n"
        "OUT - is the standard output for --render and --export-sql. A named pipe or\n"
        "a character device is written directly; any other file is replaced only\n"
        "when the new one is complete.\n"
        "\n"
        "Batch verbs run without a display when none is set, and exit with status 0\n"
        "on success, 1 with one line on the error stream when they fail, 2 when the\n"
        "command line is wrong. --check exits with 0 when it finds nothing, 1 when it\n"
        "lists problems, and 2 when the command line is wrong or the diagram cannot\n"
        "be read. No message shows a password.\n"
        "\n"
        "Examples:\n"
        "  korvo --import-sql schema.sql -o schema.erd\n"
        "  korvo --render schema.erd schema.png --dpi 144\n"
        "  korvo --import-sql changes.sql --into schema.erd -o schema.erd\n"
        "  korvo --export-sql schema.erd schema.sql --dialect postgresql\n"
        "  korvo --import-db postgresql://me@db.example.com/shop -o shop.erd\n"
        "  korvo --check schema.erd --dialect mysql\n"
        "  korvo --arrange schema.erd -o schema.erd\n")
        .arg(kMinDpi)
        .arg(kMaxDpi);
}

QString CCommandLine::VersionText()
{
    return QStringLiteral("Korvo " KORVO_VERSION "\n");
}
