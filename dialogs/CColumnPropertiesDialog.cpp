#include "CColumnPropertiesDialog.h"

#include "CColumn.h"

#include <QCheckBox>
#include <QLineEdit>

namespace {
int CheckState(bool flag)
{
    return flag ? 1 : 0;
}
}

CColumnPropertiesDialog::CColumnPropertiesDialog(QWidget* parent, CColumn* column)
    : CTemplateDialog(parent, QStringLiteral("Column Properties"), 253, 114),
      m_strType(FromModel(column->m_strType)),
      m_strDefault(FromModel(column->m_strDefault)),
      m_nPrimaryKey(CheckState(column->m_bPrimaryKey)),
      m_nRequired(CheckState(column->m_bRequired)),
      m_nUnique(CheckState(column->m_bUnique)),
      m_strName(FromModel(column->m_strName)),
      m_strDescription(FromModel(column->m_strDescription)),
      m_strCheck(FromModel(column->m_strCheck)),
      m_pColumn(column)
{
    AddLabel(QStringLiteral("Name:"), 41, 11, 22, 8);
    m_pNameEdit = AddEdit(IDC_NAME, 65, 7, 118, 14);
    AddLabel(QStringLiteral("Data Type:"), 27, 28, 36, 8);
    m_pTypeEdit = AddEdit(IDC_TYPE, 65, 24, 97, 14);
    AddLabel(QStringLiteral("Default Value:"), 17, 45, 46, 8);
    m_pDefaultEdit = AddEdit(IDC_DEFAULT, 65, 41, 98, 14);
    AddLabel(QStringLiteral("Check constraint:"), 7, 62, 56, 8);
    m_pCheckEdit = AddEdit(IDC_CHECK, 65, 58, 181, 14);
    AddLabel(QStringLiteral("Description:"), 25, 79, 38, 8);
    m_pDescriptionEdit = AddEdit(IDC_DESCRIPTION, 65, 75, 182, 14);
    m_pRequiredCheck = AddCheckBox(IDC_REQUIRED, QStringLiteral("Required"), 193, 10, 45, 10);
    m_pPrimaryKeyCheck = AddCheckBox(IDC_PRIMARY_KEY, QStringLiteral("Primary Key"), 193, 28, 53, 10);
    m_pUniqueCheck = AddCheckBox(IDC_UNIQUE, QStringLiteral("Unique"), 193, 46, 39, 10);
    AddButton(kIdCancel, QStringLiteral("Cancel"), 196, 93, 50, 14);
    AddButton(kIdOk, QStringLiteral("OK"), 136, 93, 50, 14, true);
}

void CColumnPropertiesDialog::OnInitDialog()
{
    m_pTypeEdit->setText(m_strType);
    m_pDefaultEdit->setText(m_strDefault);
    m_pPrimaryKeyCheck->setChecked(m_nPrimaryKey != 0);
    m_pRequiredCheck->setChecked(m_nRequired != 0);
    m_pUniqueCheck->setChecked(m_nUnique != 0);
    m_pNameEdit->setText(m_strName);
    m_pDescriptionEdit->setText(m_strDescription);
    m_pCheckEdit->setText(m_strCheck);
    // The name comes up selected, so typing replaces "column1".
    m_pNameEdit->setFocus();
    m_pNameEdit->selectAll();
}

void CColumnPropertiesDialog::accept()
{
    EnsureInitialized();
    m_strType = m_pTypeEdit->text();
    m_strDefault = m_pDefaultEdit->text();
    m_nPrimaryKey = CheckState(m_pPrimaryKeyCheck->isChecked());
    m_nRequired = CheckState(m_pRequiredCheck->isChecked());
    m_nUnique = CheckState(m_pUniqueCheck->isChecked());
    m_strName = m_pNameEdit->text();
    m_strDescription = m_pDescriptionEdit->text();
    m_strCheck = m_pCheckEdit->text();
    CTemplateDialog::accept();

    // Every attribute is written on OK, changed or not.
    m_pColumn->m_strType = ToModel(m_strType);
    m_pColumn->m_strDefault = ToModel(m_strDefault);
    m_pColumn->m_bPrimaryKey = m_nPrimaryKey != 0;
    m_pColumn->m_bRequired = m_nRequired != 0;
    m_pColumn->m_bUnique = m_nUnique != 0;
    m_pColumn->m_strName = ToModel(m_strName);
    m_pColumn->m_strCheck = ToModel(m_strCheck);
    m_pColumn->m_strDescription = ToModel(m_strDescription);
}
