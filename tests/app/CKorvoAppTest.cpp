// The page settings: read at start with their defaults, written back at exit
// in full, and the recent-file list.
#include "CRecordingSeam.h"
#include "TestBytes.h"
#include "CKorvoApp.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>

#include <climits>
#include <vector>

#include <sys/stat.h>

#include <gtest/gtest.h>

namespace {

// Runs this test program as a bare application object with its settings in
// configHome; returns what it printed.
QString RunChild(const QString& configHome, const QString& setLeft = QString())
{
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("KORVO_TEST_SETTINGS_CHILD"), QStringLiteral("1"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    if (!setLeft.isEmpty())
        env.insert(QStringLiteral("KORVO_TEST_SET_LEFT"), setLeft);
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), {});
    EXPECT_TRUE(child.waitForFinished(60000));
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(child.exitCode(), 0);
    return QString::fromLatin1(child.readAllStandardOutput()).trimmed();
}

QString SettingsFile(const QString& configHome)
{
    return QDir(configHome).filePath(QStringLiteral("Korvo Application/Korvo.conf"));
}

} // namespace

TEST(CKorvoAppSettings, FirstRunUsesDefaultsAndWritesAllSixAtExit)
{
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    EXPECT_EQ(RunChild(home.path()), QStringLiteral("11520 15840 360 360 360 360"));

    ASSERT_TRUE(QFile::exists(SettingsFile(home.path())));
    QSettings stored(SettingsFile(home.path()), QSettings::IniFormat);
    EXPECT_EQ(stored.value(QStringLiteral("Page Size/Horizontal")).toInt(), 11520);
    EXPECT_EQ(stored.value(QStringLiteral("Page Size/Vertical")).toInt(), 15840);
    for (const char* key : {"Margins/Left", "Margins/Top", "Margins/Right", "Margins/Bottom"})
        EXPECT_EQ(stored.value(QString::fromLatin1(key)).toInt(), 360) << key;
}

TEST(CKorvoAppSettings, StoredValuesAreReadAndChangesSurviveTheNextRun)
{
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    {
        QSettings stored(SettingsFile(home.path()), QSettings::IniFormat);
        stored.setValue(QStringLiteral("Page Size/Horizontal"), 12240);
        stored.setValue(QStringLiteral("Margins/Bottom"), 720);
        // A value that is not a number falls back to its default.
        stored.setValue(QStringLiteral("Margins/Top"), QStringLiteral("wide"));
    }
    EXPECT_EQ(RunChild(home.path(), QStringLiteral("479")), QStringLiteral("12240 15840 360 360 360 720"));
    EXPECT_EQ(RunChild(home.path()), QStringLiteral("12240 15840 479 360 360 720"));
}

// Regression: a settings file that was a named pipe hung every start (and
// would have been replaced by a plain file at exit). It is not read, every
// setting takes its default, and the pipe stays.
TEST(CKorvoAppSettings, ASettingsFileThatIsNotAFileIsNeitherReadNorReplaced)
{
    QTemporaryDir home;
    ASSERT_TRUE(QDir(home.path()).mkpath(QStringLiteral("Korvo Application")));
    const QString pipe = SettingsFile(home.path());
    ASSERT_EQ(mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    EXPECT_EQ(RunChild(home.path(), QStringLiteral("479")), QStringLiteral("11520 15840 360 360 360 360"));
    struct stat st {};
    ASSERT_EQ(lstat(QFile::encodeName(pipe).constData(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

TEST(CKorvoAppSettings, ALinkedSettingsFileIsReadAndWrittenThroughTheLink)
{
    QTemporaryDir home;
    ASSERT_TRUE(QDir(home.path()).mkpath(QStringLiteral("Korvo Application")));
    const QString real = QDir(home.path()).filePath(QStringLiteral("kept-elsewhere.conf"));
    {
        QSettings stored(real, QSettings::IniFormat);
        stored.setValue(QStringLiteral("Margins/Right"), 720);
    }
    ASSERT_TRUE(QFile::link(real, SettingsFile(home.path())));
    EXPECT_EQ(RunChild(home.path(), QStringLiteral("479")), QStringLiteral("11520 15840 360 360 720 360"));
    EXPECT_TRUE(QFileInfo(SettingsFile(home.path())).isSymLink());
    QSettings stored(real, QSettings::IniFormat);
    EXPECT_EQ(stored.value(QStringLiteral("Margins/Left")).toInt(), 479);
    EXPECT_EQ(stored.value(QStringLiteral("Margins/Right")).toInt(), 720);
}

TEST(CKorvoAppSettings, ValuesOutOfRangeFallBackToTheDefaults)
{
    // Paper from one to two hundred inches a side; margins not negative and
    // leaving at least an inch to draw on. What does not hold falls back:
    // the paper alone, the margins alone, or both when the default margins
    // do not fit the paper either.
    struct Case {
        const char* what;
        std::vector<int> stored;   // Horizontal, Vertical, Left, Top, Right, Bottom
        std::vector<int> expected;
    };
    const std::vector<Case> cases = {
        {"usable as stored", {2160, 2880, 360, 0, 360, 0}, {2160, 2880, 360, 0, 360, 0}},
        {"the largest paper", {288000, 288000, 0, 0, 0, 0}, {288000, 288000, 0, 0, 0, 0}},
        {"a twip of paper", {1, 1, 0, 0, 0, 0}, {11520, 15840, 0, 0, 0, 0}},
        {"no paper", {0, 0, 360, 360, 360, 360}, {11520, 15840, 360, 360, 360, 360}},
        {"negative paper", {-11520, 15840, 360, 360, 360, 360}, {11520, 15840, 360, 360, 360, 360}},
        {"paper too large", {288001, 15840, 100, 100, 100, 100}, {11520, 15840, 100, 100, 100, 100}},
        {"margins wider than the paper", {11520, 15840, 6000, 360, 6000, 360}, {11520, 15840, 360, 360, 360, 360}},
        {"less than an inch between", {11520, 15840, 360, 7200, 360, 7201}, {11520, 15840, 360, 360, 360, 360}},
        {"a negative margin", {11520, 15840, -1, 360, 360, 360}, {11520, 15840, 360, 360, 360, 360}},
        {"largest margins", {11520, 15840, INT_MAX, INT_MAX, INT_MAX, INT_MAX}, {11520, 15840, 360, 360, 360, 360}},
        {"small paper, default margins", {1440, 1440, 720, 0, 0, 0}, {11520, 15840, 360, 360, 360, 360}},
    };
    const char* keys[] = {"Page Size/Horizontal", "Page Size/Vertical", "Margins/Left",
                          "Margins/Top",          "Margins/Right",      "Margins/Bottom"};
    QTemporaryDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QString path = dir.filePath(QStringLiteral("%1.conf").arg(&c - cases.data()));
        {
            QSettings stored(path, QSettings::IniFormat);
            for (size_t i = 0; i < 6; ++i)
                stored.setValue(QString::fromLatin1(keys[i]), c.stored[i]);
        }
        QSettings settings(path, QSettings::IniFormat);
        CAppState state;
        CKorvoApp::ReadPageSettings(settings, state);
        EXPECT_EQ((std::vector<int>{state.m_sizePage.cx, state.m_sizePage.cy, state.m_rectMargins.left,
                                    state.m_rectMargins.top, state.m_rectMargins.right, state.m_rectMargins.bottom}),
                  c.expected);
        EXPECT_GE(state.PageWidth(), 1440);
        EXPECT_GE(state.PageHeight(), 1440);
    }

    // The crafted settings files, read where they lie.
    struct Repro {
        const char* file;
        std::vector<int> expected;
    };
    const Repro repros[] = {
        {"settings_tiny_page.conf", {11520, 15840, 0, 0, 0, 0}},
        {"settings_margins_intmax.conf", {11520, 15840, 360, 360, 360, 360}},
    };
    for (const Repro& r : repros) {
        SCOPED_TRACE(r.file);
        const QString path = QStringLiteral(KORVO_SHARED_DIR "/repro/") + QString::fromLatin1(r.file);
        ASSERT_TRUE(QFile::exists(path));
        QSettings settings(path, QSettings::IniFormat);
        CAppState state;
        CKorvoApp::ReadPageSettings(settings, state);
        EXPECT_EQ((std::vector<int>{state.m_sizePage.cx, state.m_sizePage.cy, state.m_rectMargins.left,
                                    state.m_rectMargins.top, state.m_rectMargins.right, state.m_rectMargins.bottom}),
                  r.expected);
    }
}

TEST(CKorvoAppSettings, ShowColumnTypesIsOffUntilTheUserTurnsItOn)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("user.conf"));
    CAppState state;
    state.m_bShowColumnTypes = true;
    {
        QSettings empty(path, QSettings::IniFormat);
        CKorvoApp::ReadUserSettings(empty, state);
    }
    EXPECT_FALSE(state.m_bShowColumnTypes) << "names only unless the user asked for types";
    state.m_bShowColumnTypes = true;
    {
        QSettings settings(path, QSettings::IniFormat);
        CKorvoApp::WritePageSettings(settings, state);
        CKorvoApp::WriteUserSettings(settings, state);
    }
    QSettings settings(path, QSettings::IniFormat);
    // The page settings keep their six keys; the new one stays apart.
    EXPECT_EQ(settings.childGroups(), (QStringList{"Margins", "Page Size", "View"}));
    CAppState read;
    CKorvoApp::ReadUserSettings(settings, read);
    EXPECT_TRUE(read.m_bShowColumnTypes);
}

TEST(CKorvoAppRecentFiles, KeepsFourMostRecentFirstWithoutDuplicates)
{
    CKorvoApp* app = CKorvoApp::Instance();
    ASSERT_NE(app, nullptr);
    QTemporaryDir dir;
    QStringList paths;
    for (int i = 0; i < 6; ++i) {
        const QString path = dir.filePath(QStringLiteral("d%1.erd").arg(i));
        WriteBytes(path, QByteArray());
        paths.append(QFileInfo(path).canonicalFilePath());
        app->AddToRecentFileList(path);
    }
    EXPECT_EQ(app->RecentFiles(), (QStringList{paths[5], paths[4], paths[3], paths[2]}));

    // The same file named another way moves to the front instead of repeating.
    app->AddToRecentFileList(dir.path() + QStringLiteral("/./d3.erd"));
    EXPECT_EQ(app->RecentFiles(), (QStringList{paths[3], paths[5], paths[4], paths[2]}));

    app->RemoveFromRecentFileList(paths[5]);
    EXPECT_EQ(app->RecentFiles(), (QStringList{paths[3], paths[4], paths[2]}));
    for (const QString& path : app->RecentFiles())
        app->RemoveFromRecentFileList(path);
}

TEST(CKorvoAppSettings, WindowAndFoldersAreKeptOnceThereAreSome)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("places.conf"));
    {
        // A first run knows no places and writes none.
        QSettings settings(path, QSettings::IniFormat);
        CKorvoApp::WriteUserSettings(settings, CAppState());
        EXPECT_EQ(settings.childGroups(), QStringList{"View"});
    }
    CAppState state;
    state.m_mainWindowGeometry = QByteArray("\x01\xd9\xd0\xcb\x00\x03", 6);
    const QString folders[] = {dir.filePath("open"), dir.filePath("save as"), dir.filePath("import"),
                               dir.filePath("export \xc3\xa9")};
    for (int i = 0; i < CAppState::kFolderCount; ++i)
        state.m_folders[i] = folders[i];
    {
        QSettings settings(path, QSettings::IniFormat);
        CKorvoApp::WriteUserSettings(settings, state);
    }
    QSettings settings(path, QSettings::IniFormat);
    EXPECT_EQ(settings.childGroups(), (QStringList{"Folders", "View", "Window"}));
    settings.beginGroup(QStringLiteral("Folders"));
    EXPECT_EQ(settings.childKeys(), (QStringList{"Export SQL", "Import SQL", "Open", "Save As"}));
    settings.endGroup();
    CAppState read;
    CKorvoApp::ReadUserSettings(settings, read);
    EXPECT_EQ(read.m_mainWindowGeometry, state.m_mainWindowGeometry);
    for (int i = 0; i < CAppState::kFolderCount; ++i)
        EXPECT_EQ(read.m_folders[i], folders[i]) << i;
}

TEST(CKorvoAppSettings, AFolderStartsADialogOnlyWhileItExists)
{
    QTemporaryDir dir;
    CAppState state;
    EXPECT_TRUE(state.StartFolder(CAppState::Folder::Open).isEmpty()) << "the dialog's own default";
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("diagrams")));
    state.RememberFolder(CAppState::Folder::Open, dir.filePath(QStringLiteral("diagrams/a.erd")));
    EXPECT_EQ(state.StartFolder(CAppState::Folder::Open), dir.filePath(QStringLiteral("diagrams")));
    EXPECT_TRUE(state.StartFolder(CAppState::Folder::SaveAs).isEmpty()) << "each dialog on its own";
    state.RememberFolder(CAppState::Folder::Open, QString());
    EXPECT_EQ(state.StartFolder(CAppState::Folder::Open), dir.filePath(QStringLiteral("diagrams")))
        << "a cancelled dialog changes nothing";
    ASSERT_TRUE(QDir(dir.path()).rmdir(QStringLiteral("diagrams")));
    EXPECT_TRUE(state.StartFolder(CAppState::Folder::Open).isEmpty()) << "a folder gone since";
}
