#pragma once

#include "CTemplateDialog.h"

#include <QString>

class CColumn;
class QCheckBox;
class QLineEdit;

// Edits every attribute of one live column; writes them back only on OK.
class CColumnPropertiesDialog : public CTemplateDialog {
    Q_OBJECT
public:
    // Control ids of template 133.
    enum : int {
        IDC_NAME = 1006,
        IDC_TYPE = 1007,
        IDC_REQUIRED = 1008,
        IDC_PRIMARY_KEY = 1009,
        IDC_DEFAULT = 1010,
        IDC_UNIQUE = 1011,
        IDC_DESCRIPTION = 1013,
        IDC_CHECK = 1014,
    };

    CColumnPropertiesDialog(QWidget* parent, CColumn* column);

    void accept() override;

    QString m_strType;
    QString m_strDefault;
    int m_nPrimaryKey = 0;
    int m_nRequired = 0;
    int m_nUnique = 0;
    QString m_strName;
    QString m_strDescription;
    QString m_strCheck;
    CColumn* m_pColumn;

protected:
    void OnInitDialog() override;

private:
    QLineEdit* m_pNameEdit;
    QLineEdit* m_pTypeEdit;
    QLineEdit* m_pDefaultEdit;
    QLineEdit* m_pCheckEdit;
    QLineEdit* m_pDescriptionEdit;
    QCheckBox* m_pRequiredCheck;
    QCheckBox* m_pPrimaryKeyCheck;
    QCheckBox* m_pUniqueCheck;
};
