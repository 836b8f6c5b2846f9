#include "CCommandLine.h"

#include <utility>

namespace {

bool IsOption(const QString& argument)
{
    return argument.size() > 1 && argument.startsWith(QLatin1Char('-'));
}

} // namespace

CCommandLine CCommandLine::Parse(const QStringList& arguments)
{
    CCommandLine result;
    bool help = false;
    bool version = false;
    bool print = false;
    bool render = false;
    bool exportSql = false;
    bool importSql = false;
    bool dpiGiven = false;
    bool intoGiven = false;
    bool outputGiven = false;
    QStringList positional;
    QString error;
    auto fail = [&error](const QString& text) {
        if (error.isEmpty())
            error = text;
    };

    bool optionsEnded = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        if (optionsEnded || !IsOption(argument)) {
            positional.append(argument);
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
        auto takeValue = [&]() -> bool {
            if (hasValue)
                return true;
            if (i + 1 < arguments.size()) {
                value = arguments.at(++i);
                return true;
            }
            fail(QStringLiteral("option '%1' needs a value").arg(name));
            return false;
        };

        if (name == QLatin1String("--")) {
            optionsEnded = true;
        } else if (name == QLatin1String("-h") || name == QLatin1String("--help")) {
            help = true;
        } else if (name == QLatin1String("-v") || name == QLatin1String("--version")) {
            version = true;
        } else if (name == QLatin1String("-p") || name == QLatin1String("--print")) {
            if (takeValue()) {
                print = true;
                result.m_strFile = value;
            }
        } else if (name == QLatin1String("--render")) {
            render = true;
        } else if (name == QLatin1String("--export-sql")) {
            exportSql = true;
        } else if (name == QLatin1String("--import-sql")) {
            importSql = true;
        } else if (name == QLatin1String("--into")) {
            if (takeValue()) {
                result.m_strInto = value;
                intoGiven = true;
            }
        } else if (name == QLatin1String("-o") || name == QLatin1String("--output")) {
            if (takeValue()) {
                result.m_strOutput = value;
                outputGiven = true;
            }
        } else if (name == QLatin1String("--dpi")) {
            if (takeValue()) {
                bool ok = false;
                const int dpi = value.toInt(&ok);
                if (!ok || dpi < kMinDpi || dpi > kMaxDpi)
                    fail(QStringLiteral("--dpi wants a whole number from %1 to %2, not '%3'")
                             .arg(kMinDpi)
                             .arg(kMaxDpi)
                             .arg(value));
                else
                    result.m_nDpi = dpi;
                dpiGiven = true;
            }
        } else {
            fail(QStringLiteral("unknown option '%1'").arg(argument));
        }
    }

    if (help) {
        result.m_verb = Verb::Help;
        return result;
    }
    if (version) {
        result.m_verb = Verb::Version;
        return result;
    }
    if (error.isEmpty()) {
        QStringList verbs;
        for (auto [given, name] : {std::pair{print, "--print"}, std::pair{render, "--render"},
                                   std::pair{exportSql, "--export-sql"}, std::pair{importSql, "--import-sql"}})
            if (given)
                verbs.append(QString::fromLatin1(name));
        if (verbs.size() > 1)
            fail(QStringLiteral("%1 and %2 cannot be combined").arg(verbs.at(0), verbs.at(1)));
        else if (dpiGiven && !render)
            fail(QStringLiteral("--dpi belongs to --render"));
        else if ((intoGiven || outputGiven) && !importSql)
            fail(QStringLiteral("%1 belongs to --import-sql").arg(intoGiven ? QStringLiteral("--into")
                                                                             : QStringLiteral("-o")));
        else if (render && positional.size() != 2)
            fail(QStringLiteral("--render wants a diagram and an output image"));
        else if (exportSql && positional.size() != 2)
            fail(QStringLiteral("--export-sql wants a diagram and an output script"));
        else if (importSql && positional.size() != 1)
            fail(QStringLiteral("--import-sql wants one SQL script"));
        else if (importSql && !outputGiven)
            fail(QStringLiteral("--import-sql wants -o OUT.erd"));
        else if (print && !positional.isEmpty())
            fail(QStringLiteral("unexpected argument '%1'").arg(positional.constFirst()));
        else if (verbs.isEmpty() && positional.size() > 1)
            fail(QStringLiteral("unexpected argument '%1'").arg(positional.at(1)));
    }
    if (!error.isEmpty()) {
        result.m_verb = Verb::Error;
        result.m_strError = error;
        return result;
    }

    if (render || exportSql) {
        result.m_verb = render ? Verb::Render : Verb::ExportSql;
        result.m_strFile = positional.at(0);
        result.m_strOutput = positional.at(1);
    } else if (importSql) {
        result.m_verb = Verb::ImportSql;
        result.m_strFile = positional.at(0);
    } else if (print) {
        result.m_verb = Verb::Print;
    } else {
        result.m_verb = Verb::Open;
        result.m_strFile = positional.value(0);
    }
    return result;
}

bool CCommandLine::WantsBatch(const QStringList& arguments)
{
    for (const QString& argument : arguments) {
        if (argument == QLatin1String("--"))
            return false;
        if (argument == QLatin1String("-p") || argument == QLatin1String("--print") ||
            argument.startsWith(QLatin1String("--print=")) || argument == QLatin1String("--render") ||
            argument == QLatin1String("--export-sql") || argument == QLatin1String("--import-sql"))
            return true;
    }
    return false;
}

QString CCommandLine::HelpText()
{
    return QStringLiteral(
        "Usage: korvo [FILE.erd]\n"
        "       korvo -p FILE.erd\n"
        "       korvo --render DIAGRAM.erd OUT.{png,svg,pdf} [--dpi N]\n"
        "       korvo --export-sql DIAGRAM.erd OUT.sql\n"
        "       korvo --import-sql SCRIPT.sql [--into DIAGRAM.erd] -o OUT.erd\n"
        "\n"
        "Korvo designs entity-relationship diagrams of relational databases.\n"
        "\n"
        "  FILE.erd              open the diagram; without one, start a new diagram\n"
        "  -p, --print FILE      print the diagram on the default printer and exit;\n"
        "                        with no printer, write FILE's name with .pdf beside it\n"
        "  --render DIAGRAM OUT  draw the whole diagram into OUT and exit: a PNG image,\n"
        "                        an SVG drawing or a PDF of the printed pages\n"
        "  --dpi N               resolution of a PNG or SVG, %1 to %2 (default 96)\n"
        "  --export-sql DIAGRAM OUT\n"
        "                        write the diagram's CREATE TABLE statements to OUT\n"
        "  --import-sql SCRIPT   read the CREATE TABLE statements of SCRIPT into a new\n"
        "                        diagram, or into a copy of --into DIAGRAM, laid out as\n"
        "                        the Import SQL command lays them out\n"
        "  -o, --output OUT      the diagram --import-sql writes\n"
        "  -h, --help            show this help and exit\n"
        "  -v, --version         show the version and exit\n"
        "\n"
        "Batch verbs run without a display when none is set, and exit with status 0\n"
        "on success, 1 with one line on the error stream when they fail, 2 when the\n"
        "command line is wrong.\n"
        "\n"
        "Examples:\n"
        "  korvo --import-sql schema.sql -o schema.erd\n"
        "  korvo --render schema.erd schema.png --dpi 144\n"
        "  korvo --import-sql changes.sql --into schema.erd -o schema.erd\n"
        "  korvo --export-sql schema.erd schema.sql\n")
        .arg(kMinDpi)
        .arg(kMaxDpi);
}

QString CCommandLine::VersionText()
{
    return QStringLiteral("Korvo 1.03\n");
}
