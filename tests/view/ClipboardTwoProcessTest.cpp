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

void StartPeer(QProcess& peer, const QString& display, const char* mode)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), display);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    peer.setProcessEnvironment(env);
    peer.start(QStringLiteral(KORVO_CLIPBOARD_PEER), {QString::fromLatin1(mode)});
}

} // namespace

TEST(ClipboardBetweenProcesses, TablesAndTheirRelationArriveInTheOtherProgram)
{
    Xvfb server;
    if (server.Display().isEmpty())
        GTEST_SKIP() << "no Xvfb on this machine";

    QProcess copier;
    StartPeer(copier, server.Display(), "copy");
    ASSERT_TRUE(copier.waitForReadyRead(20000)) << copier.readAllStandardError().toStdString();
    ASSERT_EQ(copier.readLine().trimmed(), QByteArray("copied"));

    QProcess paster;
    StartPeer(paster, server.Display(), "paste");
    ASSERT_TRUE(paster.waitForFinished(30000));
    const QByteArray out = paster.readAllStandardOutput().trimmed();
    EXPECT_EQ(paster.exitCode(), 0) << paster.readAllStandardError().toStdString();
    EXPECT_EQ(out, QByteArray("tables=alpha* beta* relations=1 beta->alpha"));

    copier.terminate();
    copier.waitForFinished(5000);
}
