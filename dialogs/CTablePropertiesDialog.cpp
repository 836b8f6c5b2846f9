#include "CTablePropertiesDialog.h"

#include "CColumnPropertiesDialog.h"
#include "CKorvoDoc.h"
#include "CListBox.h"
#include "CModalSeam.h"
#include "KorvoTableView.h"

#include <QLineEdit>
#include <QPushButton>

#include <memory>
#include <utility>

CTablePropertiesDialog::CTablePropertiesDialog(QWidget* parent, KorvoTableView* table, CKorvoDoc* doc)
    : CTemplateDialog(parent, QStringLiteral("Table Properties"), 261, 181),
      m_pTable(table),
      m_pDoc(doc),
      m_strName(FromModel(table->m_def.m_strName)),
      m_strCheck(FromModel(table->m_def.m_strCheck)),
      m_strDescription(FromModel(table->m_def.m_strDescription))
{
    AddLabel(QStringLiteral("Table name:"), 23, 10, 40, 8);
    m_pNameEdit = AddEdit(IDC_TABLE_NAME, 67, 7, 118, 14);
    AddLabel(QStringLiteral("Check constraint:"), 8, 27, 56, 8);
    m_pCheckEdit = AddEdit(IDC_TABLE_CHECK, 68, 24, 186, 14);
    AddLabel(QStringLiteral("Description:"), 26, 45, 38, 8);
    m_pDescriptionEdit = AddEdit(IDC_TABLE_DESCRIPTION, 68, 42, 186, 14);
    m_pColumnList = AddListBox(IDC_COLUMN_LIST, 7, 61, 247, 75);
    QPushButton* up = AddButton(IDC_UP, QStringLiteral("&Up"), 7, 141, 24, 14);
    QPushButton* down = AddButton(IDC_DOWN, QStringLiteral("&Down"), 37, 141, 24, 14);
    QPushButton* add = AddButton(IDC_ADD_COLUMN, QStringLiteral("&Add Column"), 80, 141, 54, 14);
    QPushButton* edit = AddButton(IDC_EDIT_COLUMN, QStringLiteral("&Edit Column..."), 140, 141, 54, 14);
    QPushButton* remove = AddButton(IDC_DELETE_COLUMN, QStringLiteral("Delete Column"), 200, 141, 54, 14);
    AddButton(kIdOk, QStringLiteral("Close"), 204, 160, 50, 14, true);

    connect(up, &QPushButton::clicked, this, &CTablePropertiesDialog::OnMoveUp);
    connect(down, &QPushButton::clicked, this, &CTablePropertiesDialog::OnMoveDown);
    connect(add, &QPushButton::clicked, this, &CTablePropertiesDialog::OnAddColumn);
    connect(edit, &QPushButton::clicked, this, &CTablePropertiesDialog::OnEditColumn);
    connect(remove, &QPushButton::clicked, this, &CTablePropertiesDialog::OnDeleteColumn);
    connect(m_pColumnList, &QListWidget::itemDoubleClicked, this, &CTablePropertiesDialog::OnEditColumn);
}

void CTablePropertiesDialog::OnInitDialog()
{
    m_pNameEdit->setText(m_strName);
    m_pCheckEdit->setText(m_strCheck);
    m_pDescriptionEdit->setText(m_strDescription);
    FillColumnList();
    // The name comes up selected, so typing replaces "table1".
    m_pNameEdit->setFocus();
    m_pNameEdit->selectAll();
}

void CTablePropertiesDialog::accept()
{
    EnsureInitialized();
    m_strName = m_pNameEdit->text();
    m_strCheck = m_pCheckEdit->text();
    m_strDescription = m_pDescriptionEdit->text();
    CTemplateDialog::accept();
}

QString CTablePropertiesDialog::ColumnLine(const CColumn& column)
{
    return FromModel(column.m_strName) + QLatin1Char('\t') + FromModel(column.m_strType);
}

void CTablePropertiesDialog::MarkModified()
{
    if (m_pDoc)
        m_pDoc->SetModifiedFlag();
}

void CTablePropertiesDialog::FillColumnList()
{
    m_pColumnList->ResetContent();
    m_pColumnList->SetTabStops(Units().ToPixelsX(kTypeTabStop));
    for (const auto& column : m_pTable->m_def.m_columns)
        m_pColumnList->AddString(ColumnLine(*column));
}

void CTablePropertiesDialog::OnAddColumn()
{
    auto column = std::make_unique<CColumn>("column1", "", false, "", false, false, "", "");
    const CColumn* added = m_pTable->m_def.AddColumn(std::move(column));
    m_pColumnList->SetCurSel(m_pColumnList->AddString(ColumnLine(*added)));
    MarkModified();
    OnEditColumn();
}

void CTablePropertiesDialog::OnDeleteColumn()
{
    const int index = m_pColumnList->GetCurSel();
    auto& columns = m_pTable->m_def.m_columns;
    if (index < 0 || size_t(index) >= columns.size())
        return;
    // Relations that list the column go first, while it still exists.
    if (m_pDoc)
        m_pDoc->RemoveColumnRelations(m_pTable, index);
    columns.erase(columns.begin() + index);
    MarkModified();
    FillColumnList();
}

void CTablePropertiesDialog::OnEditColumn()
{
    const int index = m_pColumnList->GetCurSel();
    CColumn* column = CKorvoDoc::GetColumn(m_pTable, index);
    if (!column)
        return;
    CColumnPropertiesDialog dialog(this, column);
    if (CModalSeam::Get().RunDialog(dialog) != QDialog::Accepted)
        return;
    FillColumnList();
    m_pColumnList->SetCurSel(index);
    MarkModified();
}

void CTablePropertiesDialog::OnMoveUp()
{
    const int index = m_pColumnList->GetCurSel();
    auto& columns = m_pTable->m_def.m_columns;
    if (index <= 0 || size_t(index) >= columns.size())
        return;
    std::swap(columns[index], columns[index - 1]);
    FillColumnList();
    m_pColumnList->SetCurSel(index - 1);
    MarkModified();
}

void CTablePropertiesDialog::OnMoveDown()
{
    const int index = m_pColumnList->GetCurSel();
    auto& columns = m_pTable->m_def.m_columns;
    if (index < 0 || size_t(index) + 1 >= columns.size())
        return;
    std::swap(columns[index], columns[index + 1]);
    FillColumnList();
    m_pColumnList->SetCurSel(index + 1);
    MarkModified();
}
