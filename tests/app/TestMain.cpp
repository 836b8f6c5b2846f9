// The shell's tests run inside one CKorvoApp, as the program does. Settings go
// to a temporary directory so no test reads or writes the user's own.
#include "CKorvoApp.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdio>

namespace {

// A run of the application object alone, for the settings tests: prints the
// page settings it read, changes the left margin when asked, and ends, so the
// destructor writes the settings back.
int RunSettingsChild(int argc, char** argv)
{
    CKorvoApp app(argc, argv);
    std::printf("%d %d %d %d %d %d\n", app.m_sizePage.cx, app.m_sizePage.cy, app.m_rectMargins.left,
                app.m_rectMargins.top, app.m_rectMargins.right, app.m_rectMargins.bottom);
    bool ok = false;
    const int left = qEnvironmentVariableIntValue("KORVO_TEST_SET_LEFT", &ok);
    if (ok)
        app.m_rectMargins.left = left;
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (!qEnvironmentVariableIsEmpty("KORVO_TEST_SETTINGS_CHILD"))
        return RunSettingsChild(argc, argv);

    QTemporaryDir config;
    if (!config.isValid())
        return 1;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    ::testing::InitGoogleTest(&argc, argv);
    CKorvoApp app(argc, argv);
    return RUN_ALL_TESTS();
}
