#include "CRelationPropertiesDialog.h"

#include "CKorvoDoc.h"
#include "CListBox.h"
#include "CModalSeam.h"
#include "CRelation.h"
#include "KorvoTableView.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

namespace {
const char* const kAlreadyInKey = "That column is already part of the key.";
const char* const kKeepOneColumn = "You must have at least one column in the key.";
}

CRelationPropertiesDialog::CRelationPropertiesDialog(QWidget* parent, CRelation* relation, CKorvoDoc*)
    : CTemplateDialog(parent, QStringLiteral("Relation Properties"), 234, 119),
      m_strDestTable(FromModel(relation->m_pDest->m_def.m_strName)),
      m_strSourceTable(FromModel(relation->m_pSource->m_def.m_strName)),
      m_pRelation(relation)
{
    m_pSourceLabel = AddLabel(QStringLiteral("<src table>"), 7, 7, 106, 8, IDC_SOURCE_TABLE);
    m_pDestLabel = AddLabel(QStringLiteral("<dest table>"), 122, 7, 105, 8, IDC_DEST_TABLE);
    m_pSourceList = AddListBox(IDC_SOURCE_KEY, 7, 18, 105, 40);
    m_pDestList = AddListBox(IDC_DEST_KEY, 121, 17, 105, 40);
    m_pSourceCombo = AddComboBox(IDC_SOURCE_COLUMNS, 7, 61, 106, 48);
    m_pDestCombo = AddComboBox(IDC_DEST_COLUMNS, 121, 61, 106, 48);
    QPushButton* addSource = AddButton(IDC_ADD_SOURCE, QStringLiteral("Add"), 7, 77, 50, 14);
    QPushButton* removeSource = AddButton(IDC_REMOVE_SOURCE, QStringLiteral("Remove"), 63, 77, 50, 14);
    QPushButton* addDest = AddButton(IDC_ADD_DEST, QStringLiteral("Add"), 122, 77, 50, 14);
    QPushButton* removeDest = AddButton(IDC_REMOVE_DEST, QStringLiteral("Remove"), 177, 77, 50, 14);
    AddButton(kIdOk, QStringLiteral("OK"), 122, 98, 50, 14, true);
    AddButton(kIdCancel, QStringLiteral("Cancel"), 177, 98, 50, 14);

    connect(addSource, &QPushButton::clicked, this, &CRelationPropertiesDialog::OnAddSource);
    connect(addDest, &QPushButton::clicked, this, &CRelationPropertiesDialog::OnAddDest);
    connect(removeSource, &QPushButton::clicked, this, &CRelationPropertiesDialog::OnRemoveSource);
    connect(removeDest, &QPushButton::clicked, this, &CRelationPropertiesDialog::OnRemoveDest);
}

CRelationPropertiesDialog::Side CRelationPropertiesDialog::SourceSide() const
{
    return {m_pRelation->m_pSource, &m_pRelation->m_sourceColumns, m_pSourceList, m_pSourceCombo};
}

CRelationPropertiesDialog::Side CRelationPropertiesDialog::DestSide() const
{
    return {m_pRelation->m_pDest, &m_pRelation->m_destColumns, m_pDestList, m_pDestCombo};
}

void CRelationPropertiesDialog::OnInitDialog()
{
    m_pSourceLabel->setText(m_strSourceTable);
    m_pDestLabel->setText(m_strDestTable);
    FillSide(SourceSide());
    FillSide(DestSide());
}

void CRelationPropertiesDialog::FillSide(const Side& side)
{
    side.list->ResetContent();
    for (const CColumn* column : *side.key)
        side.list->AddString(FromModel(column->m_strName));
    side.combo->clear();
    for (const auto& column : side.table->m_def.m_columns)
        side.combo->addItem(FromModel(column->m_strName));
    // Nothing is chosen until the user picks an entry.
    side.combo->setCurrentIndex(-1);
}

void CRelationPropertiesDialog::OnAddSource()
{
    AddToKey(SourceSide());
}

void CRelationPropertiesDialog::OnAddDest()
{
    AddToKey(DestSide());
}

void CRelationPropertiesDialog::OnRemoveSource()
{
    RemoveFromKey(SourceSide());
}

void CRelationPropertiesDialog::OnRemoveDest()
{
    RemoveFromKey(DestSide());
}

void CRelationPropertiesDialog::AddToKey(const Side& side)
{
    const CColumn* column = CKorvoDoc::GetColumn(side.table, side.combo->currentIndex());
    if (!column)
        return;
    // Checked against the key as the relation holds it, not the lines of this run.
    for (const CColumn* keyColumn : *side.key) {
        if (keyColumn->m_strName == column->m_strName) {
            KorvoMessageBox(this, QString::fromLatin1(kAlreadyInKey));
            return;
        }
    }
    side.list->AddString(FromModel(column->m_strName));
}

void CRelationPropertiesDialog::RemoveFromKey(const Side& side)
{
    const int index = side.list->GetCurSel();
    if (index < 0)
        return;
    if (side.list->GetCount() <= 1) {
        KorvoMessageBox(this, QString::fromLatin1(kKeepOneColumn));
        return;
    }
    side.list->DeleteString(index);
    side.list->SetCurSel(-1);
}

std::vector<CColumn*> CRelationPropertiesDialog::ResolveKey(const Side& side)
{
    std::vector<CColumn*> key;
    for (int line = 0; line < side.list->GetCount(); ++line) {
        const std::string name = ToModel(side.list->GetText(line));
        for (const auto& column : side.table->m_def.m_columns) {
            if (column->m_strName == name) {
                key.push_back(column.get());
                break;
            }
        }
    }
    return key;
}

void CRelationPropertiesDialog::accept()
{
    EnsureInitialized();
    std::vector<CColumn*> source = ResolveKey(SourceSide());
    std::vector<CColumn*> dest = ResolveKey(DestSide());
    // A relation that arrived with an empty side must not be saved that way.
    if (source.empty() || dest.empty()) {
        KorvoMessageBox(this, QString::fromLatin1(kKeepOneColumn));
        return;
    }
    m_pRelation->m_sourceColumns = std::move(source);
    m_pRelation->m_destColumns = std::move(dest);
    CTemplateDialog::accept();
}
