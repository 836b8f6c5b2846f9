#pragma once

#include <QDialog>
#include <QString>

class CKorvoDoc;
class CRelation;

// Edits the key columns on both sides of a relation; the relation is written
// only on OK.
class CRelationPropertiesDialog : public QDialog {
    Q_OBJECT
public:
    CRelationPropertiesDialog(QWidget* parent, CRelation* relation, CKorvoDoc* doc);

    void accept() override;

    QString m_strDestTable;
    QString m_strSourceTable;
    CRelation* m_pRelation;

    void OnAddSource();
    void OnAddDest();
    void OnRemoveSource();
    void OnRemoveDest();
};
