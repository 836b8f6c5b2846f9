#pragma once

#include <QDialog>
#include <QString>

class CColumn;

// Edits every attribute of one live column; writes them back only on OK.
class CColumnPropertiesDialog : public QDialog {
    Q_OBJECT
public:
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
};
