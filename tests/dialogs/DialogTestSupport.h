#pragma once

#include "CModalSeam.h"

#include <QDialog>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <gtest/gtest.h>

#include <functional>

// Answers every modal run without a modal loop: message texts are recorded
// and nested dialogs are shown, handed to the current answer (which works
// their widgets and accepts or rejects them), and closed if still open.
class CTestModalSeam : public CModalSeam {
public:
    CTestModalSeam() { CModalSeam::Install(this); }
    ~CTestModalSeam() override { CModalSeam::Install(nullptr); }

    QMessageBox::StandardButton MessageBox(QWidget* parent, const QString& text, const QString& caption,
                                           QMessageBox::Icon icon, QMessageBox::StandardButtons buttons,
                                           QMessageBox::StandardButton defaultButton) override;
    int RunDialog(QDialog& dialog) override;

    QStringList m_messages;
    QStringList m_captions;
    int m_nDialogRuns = 0;
    std::function<void(QDialog&)> m_answer;
};

// Installs a fresh seam around each test; the application exists from the
// first test on.
class DialogTest : public ::testing::Test {
protected:
    void SetUp() override;

    // The child with that control id, failing the test when it is missing.
    template <class T>
    static T* Control(const QWidget& dialog, int id)
    {
        T* control = dialog.findChild<T*>(QString::number(id));
        EXPECT_NE(control, nullptr) << "no control " << id;
        return control;
    }

    // The geometry the template gives, worked out from the dialog's own font.
    static QRect TemplateRect(const QWidget& dialog, int x, int y, int cx, int cy);
    // The ids of the dialog's focusable controls in tab order.
    static QStringList TabOrder(const QWidget& dialog);

    CTestModalSeam m_seam;
};
