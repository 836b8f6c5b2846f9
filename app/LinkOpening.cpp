#include "LinkOpening.h"

#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace LinkOpening {

namespace {

// The placeholders a browser command may carry for the address.
const char* const kPlaceholders[] = {"%1", "%u", "%U", "%f", "%F", "%s"};

// The earliest occurrence of any of the patterns built from the placeholders.
qsizetype FindFirst(const QString& line, const QString& before, const QString& after)
{
    qsizetype best = -1;
    for (const char* placeholder : kPlaceholders) {
        const qsizetype at = line.indexOf(before + QLatin1String(placeholder) + after);
        if (at >= 0 && (best < 0 || at < best))
            best = at;
    }
    return best;
}

// Field codes the desktop expands to other things; nothing to pass on.
bool IsFieldCode(const QString& argument)
{
    return argument.size() == 2 && argument.at(0) == QLatin1Char('%') &&
           QStringLiteral("ickdDnNvm").contains(argument.at(1));
}

} // namespace

QString ErrorText(int result)
{
    switch (result) {
    case 0: return QStringLiteral("The operating system is out\nof memory or resources.");
    case 2: return QStringLiteral("The specified file was not found.");
    case 3: return QStringLiteral("The specified path was not found.");
    case 5: return QStringLiteral("The operating system denied\naccess to the specified file.");
    case 8: return QStringLiteral("There was not enough memory to complete the operation.");
    case 11: return QStringLiteral("The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image).");
    case 26: return QStringLiteral("A sharing violation occurred. ");
    case 27: return QStringLiteral("The filename association is\nincomplete or invalid.");
    case 28: return QStringLiteral("The DDE transaction could not\nbe completed because the request timed out.");
    case 29: return QStringLiteral("The DDE transaction failed.");
    case 30:
        return QStringLiteral("The DDE transaction could not\nbe completed because other DDE transactions\n"
                              "were being processed.");
    case 31: return QStringLiteral("There is no application associated\nwith the given filename extension.");
    case 32: return QStringLiteral("The specified dynamic-link library was not found.");
    default: return QStringLiteral("Unknown Error (%1) occurred.").arg(result);
    }
}

QString ErrorReport(int result)
{
    return QStringLiteral("Unable to open hyperlink:\n\n") + ErrorText(result);
}

QString CutCommandLine(const QString& commandLine)
{
    const QString quote = QStringLiteral("\"");
    qsizetype at = FindFirst(commandLine, quote, quote);
    if (at < 0)
        at = FindFirst(commandLine, QString(), QString());
    return at < 0 ? commandLine : commandLine.left(at);
}

QString CommandLineFor(const QString& commandLine, const QString& address)
{
    return CutCommandLine(commandLine) + QLatin1Char(' ') + address;
}

QStringList SplitCommandLine(const QString& commandLine)
{
    QStringList arguments;
    QString current;
    bool inArgument = false;
    QChar quote;
    for (qsizetype i = 0; i < commandLine.size(); ++i) {
        const QChar c = commandLine.at(i);
        if (quote == QLatin1Char('\'')) {
            if (c == quote)
                quote = QChar();
            else
                current += c;
        } else if (c == QLatin1Char('\\') && i + 1 < commandLine.size()) {
            current += commandLine.at(++i);
            inArgument = true;
        } else if (quote == QLatin1Char('"')) {
            if (c == quote)
                quote = QChar();
            else
                current += c;
        } else if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
            quote = c;
            inArgument = true;
        } else if (c.isSpace()) {
            if (inArgument)
                arguments.append(current);
            current.clear();
            inArgument = false;
        } else {
            current += c;
            inArgument = true;
        }
    }
    if (inArgument)
        arguments.append(current);
    return arguments;
}

QStringList ArgumentsFor(const QString& commandLine, const QString& address)
{
    QStringList arguments;
    for (QString argument : SplitCommandLine(CutCommandLine(commandLine))) {
        if (IsFieldCode(argument))
            continue;
        argument.replace(QStringLiteral("%%"), QStringLiteral("%"));
        arguments.append(argument);
    }
    arguments.append(address);
    return arguments;
}

QString DesktopEntryExec(const QString& desktopFileText)
{
    bool inEntry = false;
    const QStringList lines = desktopFileText.split(QLatin1Char('\n'));
    for (QString line : lines) {
        line = line.trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inEntry = line == QLatin1String("[Desktop Entry]");
            continue;
        }
        if (!inEntry)
            continue;
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq > 0 && line.left(eq).trimmed() == QLatin1String("Exec"))
            return line.mid(eq + 1).trimmed();
    }
    return QString();
}

QString DefaultBrowserCommand()
{
    const QString browser = qEnvironmentVariable("BROWSER");
    for (const QString& entry : browser.split(QLatin1Char(':'), Qt::SkipEmptyParts))
        if (!entry.trimmed().isEmpty())
            return entry.trimmed();

    const QString xdgSettings = QStandardPaths::findExecutable(QStringLiteral("xdg-settings"));
    if (xdgSettings.isEmpty())
        return QString();
    QProcess query;
    query.start(xdgSettings, {QStringLiteral("get"), QStringLiteral("default-web-browser")});
    if (!query.waitForFinished(3000) || query.exitStatus() != QProcess::NormalExit || query.exitCode() != 0) {
        query.kill();
        return QString();
    }
    const QString desktopName = QString::fromLocal8Bit(query.readAllStandardOutput()).trimmed();
    // A desktop file name, never a path of someone else's choosing.
    if (desktopName.isEmpty() || desktopName.contains(QLatin1Char('/')))
        return QString();
    const QString path = QStandardPaths::locate(QStandardPaths::ApplicationsLocation, desktopName);
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly))
        return QString();
    return DesktopEntryExec(QString::fromUtf8(file.read(1 << 20)));
}

int OpenAddress(const QString& address)
{
    if (QDesktopServices::openUrl(QUrl(address)))
        return kSuccess;

    const QString commandLine = DefaultBrowserCommand();
    if (commandLine.isEmpty())
        return kNoAssociation;
    QStringList arguments = ArgumentsFor(commandLine, address);
    // A line that is nothing but the placeholder names no program; the
    // address itself must never be started.
    if (arguments.size() < 2 || arguments.constFirst().isEmpty())
        return kNoAssociation;
    const QString program = arguments.takeFirst();
    const QString executable =
        QFileInfo(program).isAbsolute() ? program : QStandardPaths::findExecutable(program);
    if (executable.isEmpty() || !QFileInfo(executable).isFile())
        return kFileNotFound;
    if (!QProcess::startDetached(executable, arguments))
        return kAccessDenied;
    return kSuccess;
}

} // namespace LinkOpening
