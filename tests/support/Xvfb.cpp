#include "Xvfb.h"

#include <QStandardPaths>

Xvfb::Xvfb()
{
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    if (xvfb.isEmpty())
        return;
    // The server picks a free display itself and writes its number once it
    // takes connections. Choosing one here raced with tests running beside
    // this one: two servers tried the same display, and the loser's test
    // went on with the other test's server, which vanished under it.
    m_server.start(xvfb, {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-nolisten"),
                          QStringLiteral("tcp"), QStringLiteral("-screen"), QStringLiteral("0"),
                          QStringLiteral("1024x768x24")});
    if (!m_server.waitForStarted())
        return;
    QByteArray number;
    while (!number.contains('\n') && m_server.waitForReadyRead(10000))
        number += m_server.readAllStandardOutput();
    bool ok = false;
    const int display = number.trimmed().toInt(&ok);
    if (ok && m_server.state() == QProcess::Running) {
        m_display = QStringLiteral(":%1").arg(display);
        return;
    }
    m_server.kill();
    m_server.waitForFinished();
}

Xvfb::~Xvfb()
{
    if (m_server.state() == QProcess::NotRunning)
        return;
    m_server.terminate();
    if (!m_server.waitForFinished(3000))
        m_server.kill();
}
