#pragma once

#include "CModalSeam.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <functional>

// Answers every modal interaction of the shell without a modal loop: message
// boxes are recorded with their caption, icon, buttons and owner and answered
// from a queue; file dialogs take their answers from queues; dialog runs go
// to a callback, or are rejected.
class CAppTestSeam : public CModalSeam {
public:
    struct Message {
        QString text;
        QString caption;
        QMessageBox::Icon icon;
        QMessageBox::StandardButtons buttons;
        bool ownerless;
    };

    CAppTestSeam() { CModalSeam::Install(this); }
    ~CAppTestSeam() override { CModalSeam::Install(nullptr); }

    QMessageBox::StandardButton MessageBox(QWidget* parent, const QString& text, const QString& caption,
                                           QMessageBox::Icon icon, QMessageBox::StandardButtons buttons,
                                           QMessageBox::StandardButton defaultButton) override;
    int RunDialog(QDialog& dialog) override;
    QString GetOpenFileName(QWidget* parent, const QString& caption, const QString& filter) override;
    QString GetSaveFileName(QWidget* parent, const QString& caption, const QString& filter,
                            const QString& defaultSuffix, const QString& initialPath) override;
    bool ChooseFont(QWidget* parent, QFont& font) override;
    int RunPageSetup(QPageSetupDialog& dialog) override;
    int RunPrintDialog(QPrintDialog& dialog) override;
    QAction* PopupMenu(QMenu& menu, const QPoint& globalPos) override;

    QList<Message> m_messages;
    // Answers to the next message boxes; Ok (or the default) when empty.
    QList<QMessageBox::StandardButton> m_answers;
    QStringList m_openAnswers;
    QStringList m_saveAnswers;
    // What the file dialogs were asked with.
    QStringList m_fileFilters;
    QStringList m_saveProposals;
    QStringList m_saveSuffixes;
    std::function<int(QPageSetupDialog&)> m_pageSetup;
    std::function<int(QDialog&)> m_dialog;
    int m_nDialogRuns = 0;
};

// Writes bytes to a file, failing the test when it cannot.
void WriteBytes(const QString& path, const QByteArray& bytes);
// The bytes of a little-endian int32.
QByteArray Int32(int32_t value);
