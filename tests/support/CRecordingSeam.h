#pragma once

#include "CModalSeam.h"

#include <QFont>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

// The one modal seam of the tests: installed for its lifetime, it records
// every message box, file dialog, dialog run and pop-up menu and answers
// them without a modal loop.
// - Message boxes: answered from `answers` in order, then with `answer` when
//   set, else with the box's default button, else OK.
// - Dialog runs: `workDialog` gets the dialog shown and works its widgets
//   (a dialog it leaves open is rejected); otherwise `onDialog` answers
//   without showing it; otherwise the run is rejected. Page setup goes to
//   `pageSetup` when set, and print dialogs are dialog runs.
// - File dialogs: answered from `openAnswers` / `saveAnswers` in order, then
//   with `openFileName` / `saveFileName` (empty: cancelled). An open dialog
//   offered a filter choice records the filter it starts on in
//   `presetFilters` and hands back `openFilter` when set, else the preset.
// - Progress dialogs: shown at once (no delay), recorded in
//   `progressLabels`, then worked by `workProgress` (which may press Cancel).
// - Font dialog: `onFont` changes the font and accepts, or it is cancelled.
// - Pop-up menus: the action named `menuChoice` is triggered.
class CRecordingSeam : public CModalSeam {
public:
    struct Message {
        QString text;
        QString caption; // as the box shows it: "Korvo" when none was given
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QMessageBox::StandardButtons buttons;
        bool ownerless = false;
    };

    CRecordingSeam() { CModalSeam::Install(this); }
    ~CRecordingSeam() override { CModalSeam::Install(nullptr); }
    CRecordingSeam(const CRecordingSeam&) = delete;
    CRecordingSeam& operator=(const CRecordingSeam&) = delete;

    QMessageBox::StandardButton MessageBox(QWidget* parent, const QString& text, const QString& caption,
                                           QMessageBox::Icon icon, QMessageBox::StandardButtons buttons,
                                           QMessageBox::StandardButton defaultButton) override;
    int RunDialog(QDialog& dialog) override;
    QString GetOpenFileName(QWidget* parent, const QString& caption, const QString& filter,
                            const QString& folder, QString* selectedFilter) override;
    QString GetSaveFileName(QWidget* parent, const QString& caption, const QString& filter,
                            const QString& defaultSuffix, const QString& initialPath,
                            QString* selectedFilter) override;
    bool ChooseFont(QWidget* parent, QFont& font) override;
    int RunPageSetup(QPageSetupDialog& dialog) override;
    int RunPrintDialog(QPrintDialog& dialog) override;
    QAction* PopupMenu(QMenu& menu, const QPoint& globalPos) override;
    void ShowProgress(QProgressDialog& dialog) override;

    // Every box in full, and the same boxes' texts, captions and icons alone
    // for short checks.
    QList<Message> boxes;
    QStringList messages;
    QStringList captions;
    std::vector<QMessageBox::Icon> icons;
    QList<QMessageBox::StandardButton> answers;
    std::optional<QMessageBox::StandardButton> answer;

    int dialogRuns = 0;
    std::function<void(QDialog&)> workDialog;
    std::function<int(QDialog&)> onDialog;
    std::function<int(QPageSetupDialog&)> pageSetup;

    // What the file dialogs were asked with, and their answers.
    QStringList filters;
    QStringList openFolders;
    QStringList saveProposals;
    QStringList saveSuffixes;
    QStringList openAnswers;
    QStringList saveAnswers;
    QString openFileName;
    QString saveFileName;
    QStringList presetFilters;
    QString openFilter;

    QStringList progressLabels;
    std::function<void(QProgressDialog&)> workProgress;

    // The filter each save dialog showed first, and the filter an answer
    // chooses: from `saveFilterAnswers` in order, then `saveFilter`; none
    // (empty) keeps the one shown first.
    QStringList saveFiltersShown;
    QStringList saveFilterAnswers;
    QString saveFilter;

    std::function<bool(QFont&)> onFont;
    QFont fontOffered;

    QStringList menuTitles;
    QString menuChoice;
};
