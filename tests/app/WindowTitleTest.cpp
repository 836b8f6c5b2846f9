// The titles the window system sees, read back with xprop from a private X
// server: exactly the program's texts, nothing appended.
#include "Xvfb.h"

#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// Regression: with an application display name set, Qt on X11 appended
// " — Korvo" to every title ("Korvo - dgm1 — Korvo", "Table Properties — Korvo").
TEST(WindowTitles, TheWindowSystemSeesExactlyTheProgramsTitles)
{
    Xvfb server;
    ASSERT_FALSE(server.Display().isEmpty()) << "Xvfb could not be started";
    QTemporaryDir config;
    QProcess probe;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), server.Display());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
    // No session bus: Qt would start one of its own for the display.
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("unix:path=/nonexistent"));
    probe.setProcessEnvironment(env);
    probe.start(QStringLiteral(WINDOW_TITLES_PROBE), {});
    ASSERT_TRUE(probe.waitForFinished(60000));
    ASSERT_EQ(probe.exitCode(), 0) << probe.readAllStandardError().toStdString();

    const QStringList lines =
        QString::fromUtf8(probe.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    const QStringList expected = {"Korvo", "Korvo - dgm1", "About Korvo", "Table Properties", "Diagram Options"};
    ASSERT_EQ(lines.size(), expected.size()) << lines.join(QLatin1Char('|')).toStdString();
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QStringList fields = lines.at(i).split(QLatin1Char('\t'));
        ASSERT_EQ(fields.size(), 3) << lines.at(i).toStdString();
        EXPECT_EQ(fields.at(1).toStdString(), expected.at(i).toStdString()) << "WM_NAME of " << fields.at(0).toStdString();
        EXPECT_EQ(fields.at(2).toStdString(), expected.at(i).toStdString()) << "_NET_WM_NAME of " << fields.at(0).toStdString();
    }
}
