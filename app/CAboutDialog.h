#pragma once

#include "CTemplateDialog.h"

class CLinkLabel;

// The About box: the program's name and version, the project's address as a
// live link, and an OK button.
class CAboutDialog : public CTemplateDialog {
    Q_OBJECT
public:
    explicit CAboutDialog(QWidget* parent = nullptr);

    // The address the link opens.
    static QString Address();

    static constexpr int kIdLink = 1025;
    CLinkLabel* m_wndLink; // control 1025

private:
    // A static line at its template place that is wide enough for its text
    // in this font, up to the dialog's right margin.
    QLabel* AddLine(const QString& text, int x, int y, int cx, int cy);
};
