#include "CKorvoApp.h"
#include "CDocumentHost.h"
#include "CKorvoView.h"

#include "CModalSeam.h"
#include "CSettingsFile.h"
#include "CommandIds.h"
#include "KorvoVersion.h"

#include <QFileInfo>
#include <QIcon>
#include <QSettings>

#include <new>

namespace {

constexpr const char* kRecentGroup = "Recent File List";

// The clipboard format name under which diagrams exchange tables.
constexpr const char* kClipboardFormatName = "KorvoCOPYFORMAT";

int ReadInt(QSettings& settings, const char* key, int fallback)
{
    bool ok = false;
    const int value = settings.value(QString::fromLatin1(key), fallback).toInt(&ok);
    return ok ? value : fallback;
}

// Paths are compared as the file system sees them, so one file entered two
// ways appears once.
QString Canonical(const QString& path)
{
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? QFileInfo(path).absoluteFilePath() : canonical;
}

} // namespace

// The resources live in this static library; their registration must be
// referenced from the global namespace or the linker drops it.
static void InitKorvoResources()
{
    Q_INIT_RESOURCE(korvo);
}

CKorvoApp::CKorvoApp(int& argc, char** argv) : QApplication(argc, argv)
{
    InitKorvoResources();
    setOrganizationName(QString::fromLatin1(CSettingsFile::kOrganisation));
    setApplicationName(QString::fromLatin1(CSettingsFile::kApplication));
    setApplicationVersion(QStringLiteral(KORVO_VERSION));
    // No application display name: Qt on X11 would append it to every
    // window title, and the titles are the program's own texts.
    setWindowIcon(QIcon(QStringLiteral(":/icons/korvo.svg")));
    setDesktopFileName(QStringLiteral("korvo"));

    CAppState::Install(this);
    CSettingsFile file;
    ReadPageSettings(file.Settings(), *this);
    ReadUserSettings(file.Settings(), *this);
    LoadRecentFiles(file.Settings());
    m_recentConnections = ReadRecentConnections(file.Settings());

    m_nClipboardFormat = QStringLiteral("application/x-") + QString::fromLatin1(kClipboardFormatName);
}

CKorvoApp::~CKorvoApp()
{
    // Read again, so that keys this run does not know stay as they are. A
    // run that cannot write its settings leaves the old ones; there is no
    // one left to tell at this point.
    CSettingsFile file;
    WritePageSettings(file.Settings(), *this);
    WriteUserSettings(file.Settings(), *this);
    SaveRecentFiles(file.Settings());
    WriteRecentConnections(file.Settings(), m_recentConnections);
    file.Save();
    CAppState::Install(nullptr);
}

bool CKorvoApp::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::bad_alloc&) {
        ForgetHistoryAfter(receiver, event);
        ReportOutOfMemory(nullptr);
        return false;
    }
}

void CKorvoApp::ForgetHistoryAfter(QObject* receiver, const QEvent* event)
{
    // The mouse and the keys edit a diagram in its window: one that ran out
    // of memory may have changed the document without recording its step.
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::ContextMenu:
        break;
    default:
        return;
    }
    for (QObject* object = receiver; object; object = object->parent()) {
        if (auto* view = qobject_cast<CKorvoView*>(object)) {
            view->GetDocumentHost()->ForgetHistory();
            return;
        }
    }
}

CKorvoApp* CKorvoApp::Instance()
{
    return qobject_cast<CKorvoApp*>(QCoreApplication::instance());
}

void CKorvoApp::ReadPageSettings(QSettings& settings, CAppState& state)
{
    settings.beginGroup(QStringLiteral("Page Size"));
    state.m_sizePage.cx = ReadInt(settings, "Horizontal", 11520);
    state.m_sizePage.cy = ReadInt(settings, "Vertical", 15840);
    settings.endGroup();
    settings.beginGroup(QStringLiteral("Margins"));
    state.m_rectMargins.left = ReadInt(settings, "Left", 360);
    state.m_rectMargins.top = ReadInt(settings, "Top", 360);
    state.m_rectMargins.right = ReadInt(settings, "Right", 360);
    state.m_rectMargins.bottom = ReadInt(settings, "Bottom", 360);
    settings.endGroup();
    // A page of a twip, a negative page or margins wider than the paper would
    // print without end, print nothing or overflow.
    state.ValidatePageSettings();
}

void CKorvoApp::WritePageSettings(QSettings& settings, const CAppState& state)
{
    settings.beginGroup(QStringLiteral("Page Size"));
    settings.setValue(QStringLiteral("Horizontal"), state.m_sizePage.cx);
    settings.setValue(QStringLiteral("Vertical"), state.m_sizePage.cy);
    settings.endGroup();
    settings.beginGroup(QStringLiteral("Margins"));
    settings.setValue(QStringLiteral("Left"), state.m_rectMargins.left);
    settings.setValue(QStringLiteral("Top"), state.m_rectMargins.top);
    settings.setValue(QStringLiteral("Right"), state.m_rectMargins.right);
    settings.setValue(QStringLiteral("Bottom"), state.m_rectMargins.bottom);
    settings.endGroup();
}

void CKorvoApp::ReadUserSettings(QSettings& settings, CAppState& state)
{
    state.m_bShowColumnTypes = settings.value(QStringLiteral("View/Show Column Types"), false).toBool();
    state.m_mainWindowGeometry = settings.value(QStringLiteral("Window/Geometry")).toByteArray();
    for (int i = 0; i < CAppState::kFolderCount; ++i)
        state.m_folders[i] = settings
                                 .value(QStringLiteral("Folders/") +
                                        QString::fromLatin1(CAppState::FolderKey(CAppState::Folder(i))))
                                 .toString();
}

void CKorvoApp::WriteUserSettings(QSettings& settings, const CAppState& state)
{
    settings.setValue(QStringLiteral("View/Show Column Types"), state.m_bShowColumnTypes);
    // Places only once there are some: a first run leaves no empty keys.
    if (!state.m_mainWindowGeometry.isEmpty())
        settings.setValue(QStringLiteral("Window/Geometry"), state.m_mainWindowGeometry);
    for (int i = 0; i < CAppState::kFolderCount; ++i)
        if (!state.m_folders[i].isEmpty())
            settings.setValue(QStringLiteral("Folders/") +
                                  QString::fromLatin1(CAppState::FolderKey(CAppState::Folder(i))),
                              state.m_folders[i]);
}

void CKorvoApp::AddToRecentFileList(const QString& path)
{
    const QString canonical = Canonical(path);
    m_recentFiles.removeAll(canonical);
    m_recentFiles.prepend(canonical);
    while (m_recentFiles.size() > kRecentFileCount)
        m_recentFiles.removeLast();
    emit RecentFilesChanged();
}

void CKorvoApp::RemoveFromRecentFileList(const QString& path)
{
    if (m_recentFiles.removeAll(path) + m_recentFiles.removeAll(Canonical(path)) > 0)
        emit RecentFilesChanged();
}

void CKorvoApp::LoadRecentFiles(QSettings& settings)
{
    settings.beginGroup(QString::fromLatin1(kRecentGroup));
    for (int i = 1; i <= kRecentFileCount; ++i) {
        const QString path = settings.value(QStringLiteral("File%1").arg(i)).toString();
        if (!path.isEmpty() && !m_recentFiles.contains(path))
            m_recentFiles.append(path);
    }
    settings.endGroup();
}

void CKorvoApp::SaveRecentFiles(QSettings& settings) const
{
    settings.beginGroup(QString::fromLatin1(kRecentGroup));
    for (int i = 1; i <= kRecentFileCount; ++i) {
        const QString key = QStringLiteral("File%1").arg(i);
        if (i <= m_recentFiles.size())
            settings.setValue(key, m_recentFiles.at(i - 1));
        else
            settings.remove(key);
    }
    settings.endGroup();
}
