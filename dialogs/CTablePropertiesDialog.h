#pragma once

#include <QDialog>
#include <QString>

class CKorvoDoc;
class KorvoTableView;
class QListWidget;

// Edits a live table: column operations apply at once and mark the document
// modified; the name, check and description come back in the three members,
// which the caller copies into the table when the dialog has closed.
class CTablePropertiesDialog : public QDialog {
    Q_OBJECT
public:
    CTablePropertiesDialog(QWidget* parent, KorvoTableView* table, CKorvoDoc* doc);

    void accept() override;

    KorvoTableView* m_pTable;
    CKorvoDoc* m_pDoc;
    QString m_strName;
    QString m_strCheck;
    QString m_strDescription;

    void OnAddColumn();
    void OnDeleteColumn();
    void OnEditColumn();
    void OnMoveUp();
    void OnMoveDown();
    void FillColumnList();
};
