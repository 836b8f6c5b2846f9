#pragma once

#include "CDialogUnits.h"

#include <QDialog>
#include <QString>

#include <string>

class CListBox;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QShowEvent;

// A fixed-size modal dialog laid out from its template: controls at their
// dialog-unit positions, named by their control ids, tabbing in template
// order, and values moved into them once, when the dialog is first shown.
class CTemplateDialog : public QDialog {
    Q_OBJECT
public:
    // Control ids of the two standard buttons.
    static constexpr int kIdOk = 1;
    static constexpr int kIdCancel = 2;

    CTemplateDialog(QWidget* parent, const QString& caption, int cx, int cy);

    const CDialogUnits& Units() const { return m_units; }

    // Model strings are UTF-8 (see ModelText.h).
    static QString FromModel(const std::string& text);
    static std::string ToModel(const QString& text);

protected:
    void showEvent(QShowEvent* event) override;
    // Moves the members into the controls; runs once, before the first show.
    virtual void OnInitDialog() {}
    // Runs OnInitDialog if nothing has yet, so OK never reads blank controls.
    void EnsureInitialized();

    // Template controls, in template order: the order of creation is the tab
    // order. An id of -1 is the platform's unnamed static. Captions and check
    // boxes widen to their text when the font needs more than the template.
    QLabel* AddLabel(const QString& text, int x, int y, int cx, int cy, int id = -1);
    QLineEdit* AddEdit(int id, int x, int y, int cx, int cy);
    QPushButton* AddButton(int id, const QString& text, int x, int y, int cx, int cy, bool isDefault = false);
    QCheckBox* AddCheckBox(int id, const QString& text, int x, int y, int cx, int cy);
    CListBox* AddListBox(int id, int x, int y, int cx, int cy);
    // cy is the extent of the dropped list; the closed box keeps its own height.
    QComboBox* AddComboBox(int id, int x, int y, int cx, int cy);
    QGroupBox* AddGroupBox(const QString& text, int x, int y, int cx, int cy);

private:
    void Place(QWidget* control, int id, int x, int y, int cx, int cy);

    CDialogUnits m_units;
    QWidget* m_pLastInTabOrder = nullptr;
    bool m_bInitialized = false;
};
