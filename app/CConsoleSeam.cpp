#include "CConsoleSeam.h"

#include <QDialog>

#include <cstdio>

QString CConsoleSeam::OneLine(const QString& text)
{
    QString line = text.simplified();
    return QStringLiteral("korvo: ") + line;
}

QMessageBox::StandardButton CConsoleSeam::MessageBox(QWidget* /*parent*/, const QString& text,
                                                     const QString& /*caption*/, QMessageBox::Icon /*icon*/,
                                                     QMessageBox::StandardButtons buttons,
                                                     QMessageBox::StandardButton defaultButton)
{
    if (!text.isEmpty())
        std::fprintf(stderr, "%s\n", OneLine(text).toLocal8Bit().constData());
    // Nothing is changed on anyone's behalf: Cancel wherever it is offered.
    if (buttons.testFlag(QMessageBox::Cancel))
        return QMessageBox::Cancel;
    if (defaultButton != QMessageBox::NoButton)
        return defaultButton;
    return buttons.testFlag(QMessageBox::Ok) ? QMessageBox::Ok : QMessageBox::NoButton;
}

int CConsoleSeam::RunDialog(QDialog& /*dialog*/)
{
    return QDialog::Rejected;
}

QString CConsoleSeam::GetOpenFileName(QWidget*, const QString&, const QString&, const QString&, QString*)
{
    return QString();
}

QString CConsoleSeam::GetSaveFileName(QWidget*, const QString&, const QString&, const QString&, const QString&,
                                      QString*)
{
    return QString();
}

bool CConsoleSeam::ChooseFont(QWidget*, QFont&)
{
    return false;
}

int CConsoleSeam::RunPageSetup(QPageSetupDialog&)
{
    return QDialog::Rejected;
}

int CConsoleSeam::RunPrintDialog(QPrintDialog&)
{
    return QDialog::Rejected;
}

QAction* CConsoleSeam::PopupMenu(QMenu&, const QPoint&)
{
    return nullptr;
}
