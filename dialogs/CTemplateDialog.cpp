#include "CTemplateDialog.h"

#include "CListBox.h"
#include "ModelText.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>

#include <algorithm>
#include <limits>

CTemplateDialog::CTemplateDialog(QWidget* parent, const QString& caption, int cx, int cy)
    : QDialog(parent), m_units(font())
{
    // Modal frame with caption and system menu: no resizing, no help button.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setWindowTitle(caption);
    setModal(true);
    setFixedSize(m_units.ToPixels(cx, cy));
}

QString CTemplateDialog::FromModel(const std::string& text)
{
    return ModelToQString(text);
}

std::string CTemplateDialog::ToModel(const QString& text)
{
    return QStringToModel(text);
}

void CTemplateDialog::showEvent(QShowEvent* event)
{
    EnsureInitialized();
    QDialog::showEvent(event);
}

void CTemplateDialog::EnsureInitialized()
{
    if (m_bInitialized)
        return;
    m_bInitialized = true;
    OnInitDialog();
}

void CTemplateDialog::Place(QWidget* control, int id, int x, int y, int cx, int cy)
{
    if (id != -1)
        control->setObjectName(QString::number(id));
    control->setGeometry(m_units.ToPixels(x, y, cx, cy));
    if (control->focusPolicy() & Qt::TabFocus) {
        if (m_pLastInTabOrder)
            setTabOrder(m_pLastInTabOrder, control);
        m_pLastInTabOrder = control;
    }
}

QLabel* CTemplateDialog::AddLabel(const QString& text, int x, int y, int cx, int cy, int id)
{
    auto* label = new QLabel(text, this);
    // Table names are shown as typed, never as markup.
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Place(label, id, x, y, cx, cy);
    // A caption that this font draws wider than the template allows grows to
    // the left: it ends where the field it names begins. Named labels show
    // data and keep their size.
    const int missing = label->sizeHint().width() - label->width();
    if (id == -1 && missing > 0) {
        const int left = std::max(0, label->x() - missing);
        label->setGeometry(left, label->y(), label->geometry().right() + 1 - left, label->height());
    }
    return label;
}

QLineEdit* CTemplateDialog::AddEdit(int id, int x, int y, int cx, int cy)
{
    auto* edit = new QLineEdit(this);
    // The texts carry no length limit: a line edit would cut them at 32767
    // characters, and the cut would count as an edit.
    edit->setMaxLength(std::numeric_limits<int>::max());
    Place(edit, id, x, y, cx, cy);
    return edit;
}

QPushButton* CTemplateDialog::AddButton(int id, const QString& text, int x, int y, int cx, int cy, bool isDefault)
{
    auto* button = new QPushButton(text, this);
    button->setDefault(isDefault);
    Place(button, id, x, y, cx, cy);
    if (id == kIdOk)
        connect(button, &QPushButton::clicked, this, &QDialog::accept);
    else if (id == kIdCancel)
        connect(button, &QPushButton::clicked, this, &QDialog::reject);
    return button;
}

QCheckBox* CTemplateDialog::AddCheckBox(int id, const QString& text, int x, int y, int cx, int cy)
{
    auto* check = new QCheckBox(text, this);
    Place(check, id, x, y, cx, cy);
    // The box and its whole text stay visible when this font is wider than the
    // template's; it grows to the right, within the dialog.
    const int wanted = std::min(check->sizeHint().width(), width() - check->x());
    if (wanted > check->width())
        check->resize(wanted, check->height());
    return check;
}

CListBox* CTemplateDialog::AddListBox(int id, int x, int y, int cx, int cy)
{
    auto* list = new CListBox(this);
    Place(list, id, x, y, cx, cy);
    return list;
}

QComboBox* CTemplateDialog::AddComboBox(int id, int x, int y, int cx, int cy)
{
    auto* combo = new QComboBox(this);
    combo->setEditable(false);
    Place(combo, id, x, y, cx, cy);
    combo->resize(combo->width(), combo->sizeHint().height());
    // Show as many entries as the template's dropped extent holds, at least one.
    const int itemHeight = std::max(1, combo->fontMetrics().height());
    combo->setMaxVisibleItems(std::max(1, (m_units.ToPixelsY(cy) - combo->height()) / itemHeight));
    return combo;
}

QGroupBox* CTemplateDialog::AddGroupBox(const QString& text, int x, int y, int cx, int cy)
{
    auto* group = new QGroupBox(text, this);
    group->setFocusPolicy(Qt::NoFocus);
    Place(group, -1, x, y, cx, cy);
    return group;
}
