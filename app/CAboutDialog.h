#pragma once

#include <QDialog>

class CLinkLabel;

// The About box: the program's name and version, the project's address as a
// live link, and an OK button.
class CAboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDialog(QWidget* parent = nullptr);

    // The address the link opens.
    static QString Address();

    CLinkLabel* m_wndLink; // control 1025

private:
    // Dialog units to pixels, from the dialog font's average character size.
    QRect DluRect(int x, int y, int cx, int cy) const;

    int m_nBaseX;
    int m_nBaseY;
};
