#include "Xvfb.h"

#include <QFileInfo>
#include <QStandardPaths>
#include <QThread>

Xvfb::Xvfb()
{
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    if (xvfb.isEmpty())
        return;
    for (int display = 90; display < 130; ++display) {
        if (QFileInfo::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(display)) ||
            QFileInfo::exists(QStringLiteral("/tmp/.X%1-lock").arg(display)))
            continue;
        m_server.start(xvfb, {QStringLiteral(":%1").arg(display), QStringLiteral("-nolisten"), QStringLiteral("tcp"),
                              QStringLiteral("-screen"), QStringLiteral("0"), QStringLiteral("1024x768x24")});
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

Xvfb::~Xvfb()
{
    if (m_server.state() == QProcess::NotRunning)
        return;
    m_server.terminate();
    if (!m_server.waitForFinished(3000))
        m_server.kill();
}
