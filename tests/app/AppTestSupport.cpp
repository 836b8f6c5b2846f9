#include "AppTestSupport.h"

#include <QDialog>
#include <QFile>
#include <QtEndian>

QMessageBox::StandardButton CAppTestSeam::MessageBox(QWidget* parent, const QString& text, const QString& caption,
                                                     QMessageBox::Icon icon, QMessageBox::StandardButtons buttons,
                                                     QMessageBox::StandardButton defaultButton)
{
    m_messages.append(Message{text, caption.isEmpty() ? QStringLiteral("Korvo") : caption, icon, buttons,
                              parent == nullptr});
    if (!m_answers.isEmpty())
        return m_answers.takeFirst();
    return defaultButton != QMessageBox::NoButton ? defaultButton : QMessageBox::Ok;
}

int CAppTestSeam::RunDialog(QDialog& dialog)
{
    ++m_nDialogRuns;
    return m_dialog ? m_dialog(dialog) : QDialog::Rejected;
}

QString CAppTestSeam::GetOpenFileName(QWidget*, const QString&, const QString& filter)
{
    m_fileFilters.append(filter);
    return m_openAnswers.isEmpty() ? QString() : m_openAnswers.takeFirst();
}

QString CAppTestSeam::GetSaveFileName(QWidget*, const QString&, const QString& filter, const QString& defaultSuffix,
                                      const QString& initialPath)
{
    m_fileFilters.append(filter);
    m_saveSuffixes.append(defaultSuffix);
    m_saveProposals.append(initialPath);
    return m_saveAnswers.isEmpty() ? QString() : m_saveAnswers.takeFirst();
}

bool CAppTestSeam::ChooseFont(QWidget*, QFont&)
{
    return false;
}

int CAppTestSeam::RunPageSetup(QPageSetupDialog& dialog)
{
    ++m_nDialogRuns;
    return m_pageSetup ? m_pageSetup(dialog) : QDialog::Rejected;
}

int CAppTestSeam::RunPrintDialog(QPrintDialog&)
{
    ++m_nDialogRuns;
    return QDialog::Rejected;
}

QAction* CAppTestSeam::PopupMenu(QMenu&, const QPoint&)
{
    return nullptr;
}

void WriteBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(file.write(bytes), bytes.size());
}

QByteArray Int32(int32_t value)
{
    QByteArray bytes(4, '\0');
    qToLittleEndian(value, bytes.data());
    return bytes;
}
