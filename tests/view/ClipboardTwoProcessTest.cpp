// Two running programs exchange tables through the X clipboard: one copies
// and stays the owner, the other pastes. Needs Xvfb; skipped without it.
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

// A private X server on the first free display from :90 on.
class Xvfb {
public:
    Xvfb()
    {
        const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
        if (xvfb.isEmpty())
            return;
        for (int display = 90; display < 130; ++display) {
            if (QFileInfo::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(display)) ||
                QFileInfo::exists(QStringLiteral("/tmp/.X%1-lock").arg(display)))
                continue;
            m_server.start(xvfb, {QStringLiteral(":%1").arg(display), QStringLiteral("-nolisten"),
                                  QStringLiteral("tcp"), QStringLiteral("-screen"), QStringLiteral("0"),
                                  QStringLiteral("1024x768x24")});
            m_server.waitForStarted();
            for (int i = 0; i < 50 && m_server.state() == QProcess::Running; ++i) {
                if (QFileInfo::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(display))) {
                    m_display = QStringLiteral(":%1").arg(display);
                    return;
                }
                QThread::msleep(100);
            }
            m_server.kill();
            m_server.waitForFinished();
        }
    }
    ~Xvfb()
    {
        m_server.terminate();
        if (!m_server.waitForFinished(3000))
            m_server.kill();
    }
    QString Display() const { return m_display; }

private:
    QProcess m_server;
    QString m_display;
};

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
