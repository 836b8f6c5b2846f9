#pragma once

#include "SqlDialect.h"

#include <QString>
#include <QStringList>

#include <optional>

// What the program was asked to do on its command line: open the window
// (with a new diagram or a file), or run a batch verb and exit. Parsing is
// kept apart from carrying out, so new verbs only add a case here and one
// in CBatchVerbs.
class CCommandLine {
public:
    enum class Verb {
        Open,    // the window, with FILE or a new diagram
        Print,   // -p / --print FILE
        Render,  // --render DIAGRAM OUT [--dpi N] [--format FMT] [--types]
        ExportSql, // --export-sql DIAGRAM OUT [--dialect D]
        ImportSql, // --import-sql SCRIPT [--dialect D] [--into DIAGRAM] -o OUT
        ImportDb,  // --import-db SOURCE [--schema NAME]... [--into DIAGRAM] -o OUT
        Check,     // --check DIAGRAM [--dialect D]
        Arrange,   // --arrange DIAGRAM -o OUT
        Help,    // -h / --help
        Version, // -v / --version
        Error,   // m_strError says what is wrong
    };

    // arguments without the program name.
    static CCommandLine Parse(const QStringList& arguments);
    // True when the arguments ask for a verb that runs without a window, so
    // the program can pick a display-less platform before Qt starts.
    static bool WantsBatch(const QStringList& arguments);
    static QString HelpText();
    static QString VersionText();

    bool IsBatch() const
    {
        return m_verb == Verb::Print || m_verb == Verb::Render || m_verb == Verb::ExportSql ||
               m_verb == Verb::ImportSql || m_verb == Verb::ImportDb || m_verb == Verb::Check ||
               m_verb == Verb::Arrange;
    }

    Verb m_verb = Verb::Open;
    QString m_strFile;   // the diagram to open, print, render, export, check or arrange; the script
                         // or the database SOURCE to import
    QString m_strOutput; // the image, script or diagram a batch verb writes
    QString m_strInto;   // the diagram --import-sql or --import-db merges into, when given
    // The script's dialect (--import-sql: Auto unless given; --export-sql:
    // Korvo unless given; --check: none unless given).
    std::optional<SqlDialect> m_dialect;
    QStringList m_schemas; // the schemas --import-db reads; empty: the source's default
    int m_nDpi = 96;     // resolution of --render
    QString m_strFormat; // png, svg or pdf when --render was told which
    bool m_bColumnTypes = false; // --types: --render shows column types
    QString m_strError;

    static constexpr int kMinDpi = 1;
    static constexpr int kMaxDpi = 2400;
};
