// Two running programs exchange tables through the X clipboard: one copies
// and stays the owner, the other pastes. Needs Xvfb; skipped without it.
#include "Xvfb.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

#include <gtest/gtest.h>

#ifndef KORVO_CLIPBOARD_PEER
#error "KORVO_CLIPBOARD_PEER must name the peer program"
#endif

namespace {

void StartPeer(QProcess& peer, const QString& display, const QStringList& arguments)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), display);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    peer.setProcessEnvironment(env);
    peer.start(QStringLiteral(KORVO_CLIPBOARD_PEER), arguments);
}

// Copies in one program and pastes in another; returns what the paster printed.
QByteArray CopyAndPaste(const QString& display, const QStringList& copyArguments)
{
    QProcess copier;
    StartPeer(copier, display, copyArguments);
    if (!copier.waitForReadyRead(20000)) {
        ADD_FAILURE() << copier.readAllStandardError().toStdString();
        return QByteArray();
    }
    EXPECT_EQ(copier.readLine().trimmed(), QByteArray("copied"));

    QProcess paster;
    StartPeer(paster, display, {QStringLiteral("paste")});
    EXPECT_TRUE(paster.waitForFinished(30000));
    EXPECT_EQ(paster.exitCode(), 0) << paster.readAllStandardError().toStdString();
    copier.terminate();
    copier.waitForFinished(5000);
    return paster.readAllStandardOutput();
}

} // namespace

TEST(ClipboardBetweenProcesses, TablesAndTheirRelationArriveInTheOtherProgram)
{
    Xvfb server;
    if (server.Display().isEmpty())
        GTEST_SKIP() << "no Xvfb on this machine";

    const QByteArray out = CopyAndPaste(server.Display(), {QStringLiteral("copy")});
    EXPECT_EQ(out.split('\n').value(0), QByteArray("tables=alpha* beta* relations=1 beta->alpha"));
}

TEST(ClipboardBetweenProcesses, TextsBeyondLatin1ArriveWhole)
{
    Xvfb server;
    if (server.Display().isEmpty())
        GTEST_SKIP() << "no Xvfb on this machine";

    const QByteArray kunden = "\xE9\xA1\xA7\xE5\xAE\xA2";
    const QByteArray party = "Gr\xC3\xBC\xC3\x9F" "e \xF0\x9F\x8E\x89";
    const QByteArray out = CopyAndPaste(server.Display(), {QStringLiteral("copy"), QStringLiteral("unicode")});
    EXPECT_EQ(out, "tables=" + kunden + "* " + party + "* relations=1 " + party + "->" + kunden + "\n"
                       + kunden + "|caf\xC3\xA9_\xCE\xA9|\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D\n"
                       + party + "|e\xCC\x81" "a\xCC\x8A|\n");
}
