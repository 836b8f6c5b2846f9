#pragma once

#include "CModalSeam.h"

#include <QTextStream>

// The modal seam of the batch verbs: nobody is there to answer, so message
// texts go to the error stream as one line each and every question is
// answered with Cancel where it is offered,
// else with its default.
class CConsoleSeam : public CModalSeam {
public:
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

    // "korvo: " and the text on one line.
    static QString OneLine(const QString& text);
};
