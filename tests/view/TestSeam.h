#pragma once

#include "CModalSeam.h"

#include <QAction>
#include <QDialog>
#include <QFont>
#include <QMenu>
#include <QStringList>

#include <functional>

// Records every message and answers every modal run without a modal loop.
class TestSeam : public CModalSeam {
public:
    TestSeam() { CModalSeam::Install(this); }
    ~TestSeam() override { CModalSeam::Install(nullptr); }

    QMessageBox::StandardButton MessageBox(QWidget*, const QString& text, const QString& caption,
                                           QMessageBox::Icon icon, QMessageBox::StandardButtons,
                                           QMessageBox::StandardButton) override
    {
        messages << text;
        captions << caption;
        icons.push_back(icon);
        return answer;
    }
    int RunDialog(QDialog& dialog) override
    {
        ++dialogRuns;
        return onDialog ? onDialog(dialog) : QDialog::Rejected;
    }
    QString GetOpenFileName(QWidget*, const QString&, const QString& filter) override
    {
        filters << filter;
        return openFileName;
    }
    QString GetSaveFileName(QWidget*, const QString&, const QString& filter, const QString&,
                            const QString&) override
    {
        filters << filter;
        return saveFileName;
    }
    bool ChooseFont(QWidget*, QFont& font) override
    {
        fontOffered = font;
        if (!onFont)
            return false;
        return onFont(font);
    }
    QAction* PopupMenu(QMenu& menu, const QPoint&) override
    {
        menuTitles << menu.title();
        for (QAction* action : menu.actions()) {
            if (action->objectName() == menuChoice) {
                action->trigger();
                return action;
            }
        }
        return nullptr;
    }

    QStringList messages;
    QStringList captions;
    std::vector<QMessageBox::Icon> icons;
    QStringList filters;
    QStringList menuTitles;
    QMessageBox::StandardButton answer = QMessageBox::Ok;
    std::function<int(QDialog&)> onDialog;
    std::function<bool(QFont&)> onFont;
    QFont fontOffered;
    QString openFileName;
    QString saveFileName;
    QString menuChoice;
    int dialogRuns = 0;
};
