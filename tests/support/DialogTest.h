#pragma once

#include "CRecordingSeam.h"

#include <QDialog>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <gtest/gtest.h>

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

    CRecordingSeam m_seam;
};
