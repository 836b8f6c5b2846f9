#pragma once

#include <QString>
#include <QStringList>

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
        ExportSql, // --export-sql DIAGRAM OUT
        ImportSql, // --import-sql SCRIPT [--into DIAGRAM] -o OUT
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
               m_verb == Verb::ImportSql;
    }

    Verb m_verb = Verb::Open;
    QString m_strFile;   // the diagram to open, print, render or export; the script to import
    QString m_strOutput; // the image, script or diagram a batch verb writes
    QString m_strInto;   // the diagram --import-sql merges into, when given
    int m_nDpi = 96;     // resolution of --render
    QString m_strFormat; // png, svg or pdf when --render was told which
    bool m_bColumnTypes = false; // --types: --render shows column types
    QString m_strError;

    static constexpr int kMinDpi = 1;
    static constexpr int kMaxDpi = 2400;
};
