#include "CModalSeam.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QFontDialog>
#include <QMenu>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QProgressDialog>
#include <QTimer>

#include <new>

namespace {
CModalSeam g_realSeam;
CModalSeam* g_seam = &g_realSeam;
}

CModalSeam& CModalSeam::Get()
{
    return *g_seam;
}

void CModalSeam::Install(CModalSeam* seam)
{
    g_seam = seam ? seam : &g_realSeam;
}

QMessageBox::StandardButton CModalSeam::MessageBox(QWidget* parent, const QString& text, const QString& caption,
                                                   QMessageBox::Icon icon, QMessageBox::StandardButtons buttons,
                                                   QMessageBox::StandardButton defaultButton)
{
    QMessageBox box(icon, caption.isEmpty() ? QStringLiteral("Korvo") : caption, text, buttons, parent);
    if (defaultButton != QMessageBox::NoButton)
        box.setDefaultButton(defaultButton);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

int CModalSeam::RunDialog(QDialog& dialog)
{
    return dialog.exec();
}

QString CModalSeam::GetOpenFileName(QWidget* parent, const QString& caption, const QString& filter,
                                    const QString& folder, QString* selectedFilter)
{
    return QFileDialog::getOpenFileName(parent, caption, folder, filter, selectedFilter);
}

QString CModalSeam::GetSaveFileName(QWidget* parent, const QString& caption, const QString& filter,
                                    const QString& defaultSuffix, const QString& initialPath,
                                    QString* selectedFilter)
{
    QFileDialog dialog(parent, caption, initialPath, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(defaultSuffix);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    if (selectedFilter && !selectedFilter->isEmpty())
        dialog.selectNameFilter(*selectedFilter);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    if (selectedFilter)
        *selectedFilter = dialog.selectedNameFilter();
    return dialog.selectedFiles().constFirst();
}

bool CModalSeam::ChooseFont(QWidget* parent, QFont& font)
{
    bool ok = false;
    QFont chosen = QFontDialog::getFont(&ok, font, parent);
    if (ok)
        font = chosen;
    return ok;
}

int CModalSeam::RunPageSetup(QPageSetupDialog& dialog)
{
    return dialog.exec();
}

int CModalSeam::RunPrintDialog(QPrintDialog& dialog)
{
    return dialog.exec();
}

void CModalSeam::ShowProgress(QProgressDialog& dialog)
{
    // The dialog is the timer's context: one closed before the delay is over
    // never shows.
    QTimer::singleShot(kProgressDelayMs, &dialog, [&dialog] {
        if (!dialog.wasCanceled())
            dialog.show();
    });
}

QAction* CModalSeam::PopupMenu(QMenu& menu, const QPoint& globalPos)
{
    return menu.exec(globalPos);
}

QMessageBox::StandardButton KorvoMessageBox(QWidget* parent, const QString& text, QMessageBox::Icon icon,
                                            QMessageBox::StandardButtons buttons)
{
    return CModalSeam::Get().MessageBox(parent, text, QString(), icon, buttons);
}

bool RunWithinMemory(QWidget* parent, const std::function<void()>& command)
{
    try {
        command();
        return true;
    } catch (const std::bad_alloc&) {
    }
    ReportOutOfMemory(parent);
    return false;
}

void ReportOutOfMemory(QWidget* parent)
{
    // The command's own memory is released by now, which usually leaves room
    // for the box; if not, the program goes on without it.
    try {
        KorvoMessageBox(parent, QString::fromLatin1(kOutOfMemoryMessage), QMessageBox::Warning);
    } catch (const std::bad_alloc&) {
    }
}
