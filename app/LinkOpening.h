#pragma once

#include <QString>
#include <QStringList>

// Opening a web address, with results in the desktop shell's convention: a
// value above 32 means success, smaller values name the failure.
namespace LinkOpening {

constexpr int kSuccess = 33;
constexpr int kFileNotFound = 2;
constexpr int kAccessDenied = 5;
constexpr int kNoAssociation = 31;

// The failure text of a result, without the prefix.
QString ErrorText(int result);
// "Unable to open hyperlink:\n\n" followed by the failure text.
QString ErrorReport(int result);

// The browser command line cut where the address goes: at the opening quote
// of a quoted placeholder ("%1", or the desktop's "%u" family and $BROWSER's
// "%s"), else at a bare placeholder, else the whole line.
QString CutCommandLine(const QString& commandLine);
// The cut line, a blank and the address: the command as one string.
QString CommandLineFor(const QString& commandLine, const QString& address);
// The cut line split into program and arguments the way a desktop entry's
// Exec key is quoted, with the address appended as one argument of its own.
// Nothing here ever passes through a shell.
QStringList ArgumentsFor(const QString& commandLine, const QString& address);
// Splits a command line at blanks outside quotes; double quotes group, a
// backslash escapes the next character, single quotes group literally.
QStringList SplitCommandLine(const QString& commandLine);

// The Exec line of the [Desktop Entry] group of a desktop file's text.
QString DesktopEntryExec(const QString& desktopFileText);
// The command line that opens web pages here: $BROWSER's first entry, else
// the Exec line of the desktop's default browser; empty when unknown.
QString DefaultBrowserCommand();

// Asks the desktop to open the address; when it cannot, starts the default
// browser command directly.
int OpenAddress(const QString& address);

} // namespace LinkOpening
