#pragma once

#include "CTemplateDialog.h"

#include <QString>

class CColumn;
class CKorvoDoc;
class CListBox;
class KorvoTableView;
class QLineEdit;

// Edits a live table: column operations apply at once and mark the document
// modified; the name, check and description come back in the three members,
// which the caller copies into the table when the dialog has closed.
class CTablePropertiesDialog : public CTemplateDialog {
    Q_OBJECT
public:
    // Control ids of template 132.
    enum : int {
        IDC_TABLE_NAME = 1000,
        IDC_COLUMN_LIST = 1002,
        IDC_ADD_COLUMN = 1003,
        IDC_DELETE_COLUMN = 1004,
        IDC_EDIT_COLUMN = 1005,
        IDC_UP = 1006,
        IDC_DOWN = 1007,
        IDC_TABLE_CHECK = 1012,
        IDC_TABLE_DESCRIPTION = 1013,
    };
    // The column list's one tab stop, in dialog units.
    static constexpr int kTypeTabStop = 50;

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

protected:
    void OnInitDialog() override;

private:
    static QString ColumnLine(const CColumn& column);
    void MarkModified();

    QLineEdit* m_pNameEdit;
    QLineEdit* m_pCheckEdit;
    QLineEdit* m_pDescriptionEdit;
    CListBox* m_pColumnList;
};
