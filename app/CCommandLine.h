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
        Render,  // --render DIAGRAM OUT [--dpi N]
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

    bool IsBatch() const { return m_verb == Verb::Print || m_verb == Verb::Render; }

    Verb m_verb = Verb::Open;
    QString m_strFile;   // the diagram to open, print or render
    QString m_strOutput; // the image --render writes
    int m_nDpi = 96;     // resolution of --render
    QString m_strError;

    static constexpr int kMinDpi = 1;
    static constexpr int kMaxDpi = 2400;
};
