#include "CBatchVerbs.h"
#include "CCommandLine.h"
#include "CDocManager.h"
#include "CKorvoApp.h"
#include "CMainFrame.h"

#include <QStringList>

#include <csignal>
#include <cstdio>

namespace {

// Batch verbs promise one clear line on the error stream when they fail; the
// platform's note that it picked a runtime folder itself is not one of them.
void QuietBatchMessages(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type == QtWarningMsg && message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set")))
        return;
    std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
}

} // namespace

int main(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));

    // Help and version need no display, so they are answered before Qt starts.
    const CCommandLine early = CCommandLine::Parse(arguments);
    if (early.m_verb == CCommandLine::Verb::Help) {
        std::fputs(CCommandLine::HelpText().toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (early.m_verb == CCommandLine::Verb::Version) {
        std::fputs(CCommandLine::VersionText().toLocal8Bit().constData(), stdout);
        return 0;
    }
    const bool noDisplay = qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
                           qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") &&
                           !arguments.contains(QStringLiteral("-platform"));
    // Without a display Qt cannot start to take its own options out, so a
    // mistake is reported here rather than as a platform failure.
    if (early.m_verb == CCommandLine::Verb::Error && noDisplay) {
        std::fprintf(stderr, "korvo: %s\nTry 'korvo --help'.\n", early.m_strError.toLocal8Bit().constData());
        return 2;
    }
    if (CCommandLine::WantsBatch(arguments)) {
        qInstallMessageHandler(QuietBatchMessages);
        if (noDisplay)
            qputenv("QT_QPA_PLATFORM", "offscreen");
    }

    CKorvoApp app(argc, argv);
    // Qt has taken its own options (-platform, -style, ...) out by now.
    const CCommandLine commandLine = CCommandLine::Parse(app.arguments().mid(1));
    if (commandLine.m_verb == CCommandLine::Verb::Error) {
        std::fprintf(stderr, "korvo: %s\nTry 'korvo --help'.\n", commandLine.m_strError.toLocal8Bit().constData());
        return 2;
    }
    if (commandLine.IsBatch())
        return CBatchVerbs::Run(commandLine);

    // A save into a named pipe whose reader went away must fail with a
    // message, not end the program with every open diagram.
    std::signal(SIGPIPE, SIG_IGN);
    CMainFrame frame;
    if (commandLine.m_strFile.isEmpty())
        frame.GetDocManager()->OnFileNew();
    else if (!frame.GetDocManager()->OpenDocumentFile(commandLine.m_strFile))
        return 1; // the reason has been shown
    frame.show();
    return app.exec();
}
