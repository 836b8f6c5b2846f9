#pragma once

#include "CTemplateDialog.h"

#include <QString>

#include <vector>

class CColumn;
class CKorvoDoc;
class CListBox;
class CRelation;
class KorvoTableView;
class QComboBox;
class QLabel;

// Edits the key columns on both sides of a relation; the relation is written
// only on OK.
class CRelationPropertiesDialog : public CTemplateDialog {
    Q_OBJECT
public:
    // Control ids of template 137.
    enum : int {
        IDC_SOURCE_TABLE = 1015,
        IDC_DEST_TABLE = 1016,
        IDC_SOURCE_KEY = 1017,
        IDC_DEST_KEY = 1018,
        IDC_SOURCE_COLUMNS = 1019,
        IDC_DEST_COLUMNS = 1020,
        IDC_ADD_SOURCE = 1021,
        IDC_ADD_DEST = 1022,
        IDC_REMOVE_SOURCE = 1023,
        IDC_REMOVE_DEST = 1024,
    };

    // The document is not needed to edit a relation; the view passes it anyway.
    CRelationPropertiesDialog(QWidget* parent, CRelation* relation, CKorvoDoc* doc);

    void accept() override;

    QString m_strDestTable;
    QString m_strSourceTable;
    CRelation* m_pRelation;

    void OnAddSource();
    void OnAddDest();
    void OnRemoveSource();
    void OnRemoveDest();

protected:
    void OnInitDialog() override;

private:
    // One side of the relation: its table, its key as stored, and its controls.
    struct Side {
        KorvoTableView* table;
        const std::vector<CColumn*>* key;
        CListBox* list;
        QComboBox* combo;
    };
    Side SourceSide() const;
    Side DestSide() const;
    static void FillSide(const Side& side);
    void AddToKey(const Side& side);
    void RemoveFromKey(const Side& side);
    // The table's first column with each line's name, in line order.
    static std::vector<CColumn*> ResolveKey(const Side& side);

    QLabel* m_pSourceLabel;
    QLabel* m_pDestLabel;
    CListBox* m_pSourceList;
    CListBox* m_pDestList;
    QComboBox* m_pSourceCombo;
    QComboBox* m_pDestCombo;
};
