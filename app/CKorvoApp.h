#pragma once

#include "CAppState.h"

#include <QApplication>
#include <QStringList>

class QSettings;

// The one application object: the Qt application and the settings every
// document shares (tool, clipboard format, paper size, margins), with the
// recent-file list. Page settings are read when it is built and written back
// when it is destroyed, after the event loop has ended.
class CKorvoApp : public QApplication, public CAppState {
    Q_OBJECT
public:
    CKorvoApp(int& argc, char** argv);
    ~CKorvoApp() override;

    // The running application, or null before it exists.
    static CKorvoApp* Instance();

    // Delivers an event; one that runs out of memory is reported instead of
    // ending the program (commands report it themselves, see RunWithinMemory).
    bool notify(QObject* receiver, QEvent* event) override;
    // After an event that ran out of memory: when it was a click or a key in
    // a diagram window, which may have changed the document without
    // recording its step, that document's history goes.
    static void ForgetHistoryAfter(QObject* receiver, const QEvent* event);

    // The six page settings, each with its default when missing.
    static void ReadPageSettings(QSettings& settings, CAppState& state);
    // All six, in the order Page Size (Horizontal, Vertical) then Margins
    // (Left, Top, Right, Bottom), whether they changed or not.
    static void WritePageSettings(QSettings& settings, const CAppState& state);
    // The user's own choices, in groups of their own: "View" ("Show Column
    // Types"), "Window" ("Geometry" of the main window) and "Folders" (one
    // per file dialog that remembers its folder). Missing values take the
    // defaults.
    static void ReadUserSettings(QSettings& settings, CAppState& state);
    static void WriteUserSettings(QSettings& settings, const CAppState& state);

    // The recent-file list, most recent first, at most four entries.
    QStringList RecentFiles() const { return m_recentFiles; }
    void AddToRecentFileList(const QString& path);
    void RemoveFromRecentFileList(const QString& path);

signals:
    void RecentFilesChanged();

private:
    void LoadRecentFiles(QSettings& settings);
    void SaveRecentFiles(QSettings& settings) const;

    QStringList m_recentFiles;
};
