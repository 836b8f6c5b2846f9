#pragma once

#include <QMessageBox>
#include <QString>

#include <functional>

class QAction;
class QDialog;
class QMenu;
class QPoint;
class QFont;
class QPageSetupDialog;
class QPrintDialog;
class QProgressDialog;
class QWidget;

// Every modal interaction of the program runs through the one installed seam:
// message boxes, file dialogs, the font dialog, page setup, print dialogs and
// the property dialogs. The real seam opens them; tests install their own that
// records the texts and answers, so no test waits on a modal loop.
class CModalSeam {
public:
    virtual ~CModalSeam() = default;

    // Returns the button pressed. An empty caption means "Korvo".
    virtual QMessageBox::StandardButton MessageBox(QWidget* parent, const QString& text, const QString& caption,
                                                   QMessageBox::Icon icon,
                                                   QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                                                   QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);
    // Runs a dialog modally and returns QDialog::Accepted or Rejected.
    virtual int RunDialog(QDialog& dialog);
    // Empty string when cancelled. The filter uses Qt's "Name (*.ext)" form,
    // several joined by ";;"; the dialog starts in folder when one is given.
    // With selectedFilter, the dialog starts on the filter it names (the
    // first when it names none) and hands back the one the user chose.
    virtual QString GetOpenFileName(QWidget* parent, const QString& caption, const QString& filter,
                                    const QString& folder = QString(), QString* selectedFilter = nullptr);
    virtual QString GetSaveFileName(QWidget* parent, const QString& caption, const QString& filter,
                                    const QString& defaultSuffix, const QString& initialPath = QString(),
                                    QString* selectedFilter = nullptr);
    // (A save dialog given selectedFilter shows that filter first, the first
    // one when it is empty, and hands back the filter chosen with the name.)
    // Starts from font; true and the chosen font on OK.
    virtual bool ChooseFont(QWidget* parent, QFont& font);
    // Page setup and print dialogs (also run through RunDialog by default).
    virtual int RunPageSetup(QPageSetupDialog& dialog);
    virtual int RunPrintDialog(QPrintDialog& dialog);
    // A command that may take a while has started, with dialog (modal, with
    // Cancel) as its progress; the command keeps running and closes the
    // dialog when it ends. The real seam shows the dialog once the command
    // has run for kProgressDelayMs, so a quick one never flashes it.
    virtual void ShowProgress(QProgressDialog& dialog);
    static constexpr int kProgressDelayMs = 500;
    // Shows a pop-up menu at a global position; the chosen action or null.
    virtual QAction* PopupMenu(QMenu& menu, const QPoint& globalPos);

    // The installed seam; the real one unless a test installed another.
    static CModalSeam& Get();
    // Installs seam (not owned); null restores the real one.
    static void Install(CModalSeam* seam);
};

// Shorthand for the common application message box: caption "Korvo", OK.
QMessageBox::StandardButton KorvoMessageBox(QWidget* parent, const QString& text,
                                            QMessageBox::Icon icon = QMessageBox::NoIcon,
                                            QMessageBox::StandardButtons buttons = QMessageBox::Ok);

// What the program says when a command runs out of memory.
inline constexpr const char* kOutOfMemoryMessage =
    "Out of memory. The command was not completed; the open diagrams are kept.";

// Tells the user that a command ran out of memory, if there is room left for
// the box.
void ReportOutOfMemory(QWidget* parent);

// Runs command. When it runs out of memory, says so in the application's
// message box instead of ending the program with every open diagram. False
// when the command did not complete.
bool RunWithinMemory(QWidget* parent, const std::function<void()>& command);
