#include "CRecordingSeam.h"

#include <QAction>
#include <QDialog>
#include <QMenu>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QProgressDialog>

QMessageBox::StandardButton CRecordingSeam::MessageBox(QWidget* parent, const QString& text, const QString& caption,
                                                       QMessageBox::Icon icon, QMessageBox::StandardButtons buttons,
                                                       QMessageBox::StandardButton defaultButton)
{
    const QString shown = caption.isEmpty() ? QStringLiteral("Korvo") : caption;
    boxes.append(Message{text, shown, icon, buttons, parent == nullptr});
    messages.append(text);
    captions.append(shown);
    icons.push_back(icon);
    if (!answers.isEmpty())
        return answers.takeFirst();
    if (answer)
        return *answer;
    return defaultButton != QMessageBox::NoButton ? defaultButton : QMessageBox::Ok;
}

int CRecordingSeam::RunDialog(QDialog& dialog)
{
    ++dialogRuns;
    if (workDialog) {
        dialog.setResult(QDialog::Rejected);
        dialog.show();
        workDialog(dialog);
        if (dialog.isVisible())
            dialog.reject();
        return dialog.result();
    }
    return onDialog ? onDialog(dialog) : QDialog::Rejected;
}

QString CRecordingSeam::GetOpenFileName(QWidget*, const QString&, const QString& filter, const QString& folder,
                                        QString* selectedFilter)
{
    filters.append(filter);
    openFolders.append(folder);
    if (selectedFilter) {
        presetFilters.append(*selectedFilter);
        if (!openFilter.isEmpty())
            *selectedFilter = openFilter;
    }
    return openAnswers.isEmpty() ? openFileName : openAnswers.takeFirst();
}

QString CRecordingSeam::GetSaveFileName(QWidget*, const QString&, const QString& filter,
                                        const QString& defaultSuffix, const QString& initialPath,
                                        QString* selectedFilter)
{
    filters.append(filter);
    saveSuffixes.append(defaultSuffix);
    saveProposals.append(initialPath);
    // As the real dialog: no filter asked for shows the first one.
    const QString shown = selectedFilter && !selectedFilter->isEmpty() ? *selectedFilter
                                                                       : filter.section(QStringLiteral(";;"), 0, 0);
    saveFiltersShown.append(shown);
    const QString chosen = saveFilterAnswers.isEmpty() ? saveFilter : saveFilterAnswers.takeFirst();
    const QString path = saveAnswers.isEmpty() ? saveFileName : saveAnswers.takeFirst();
    if (selectedFilter && !path.isEmpty())
        *selectedFilter = chosen.isEmpty() ? shown : chosen;
    return path;
}

bool CRecordingSeam::ChooseFont(QWidget*, QFont& font)
{
    fontOffered = font;
    return onFont ? onFont(font) : false;
}

int CRecordingSeam::RunPageSetup(QPageSetupDialog& dialog)
{
    if (!pageSetup)
        return RunDialog(dialog);
    ++dialogRuns;
    return pageSetup(dialog);
}

int CRecordingSeam::RunPrintDialog(QPrintDialog& dialog)
{
    return RunDialog(dialog);
}

QAction* CRecordingSeam::PopupMenu(QMenu& menu, const QPoint&)
{
    menuTitles.append(menu.title());
    for (QAction* action : menu.actions()) {
        if (!menuChoice.isEmpty() && action->objectName() == menuChoice) {
            action->trigger();
            return action;
        }
    }
    return nullptr;
}

void CRecordingSeam::ShowProgress(QProgressDialog& dialog)
{
    progressLabels.append(dialog.labelText());
    dialog.show();
    if (workProgress)
        workProgress(dialog);
}
