#pragma once

#include <QDialog>
#include <QString>

#include <vector>

class CKorvoDoc;
class KorvoTableView;
class QDialogButtonBox;
class QLineEdit;
class QListView;
class QStringListModel;

// Edit > Find Table: a type-ahead list of the diagram's table names and
// column names, each column shown with its table ("customer_id (orders)").
// What is typed narrows the list, case aside: names that start with it
// first, then names that hold it; with a dot in it, "table.column" is
// matched too. Enter or OK takes the current entry.
class CFindTableDialog : public QDialog {
    Q_OBJECT
public:
    CFindTableDialog(QWidget* parent, const CKorvoDoc& doc);

    // The table of the entry taken; null unless the dialog was accepted.
    KorvoTableView* ChosenTable() const { return m_pChosen; }
    // The entries in the list as it stands, as shown.
    QStringList Shown() const;

    void accept() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Entry {
        QString shown;
        QString name;      // what the typed text is matched against
        QString qualified; // "table.column" for a column, else empty
        KorvoTableView* table;
    };
    void Filter(const QString& typed);

    std::vector<Entry> m_entries;
    std::vector<size_t> m_shown; // indices into m_entries, in list order
    QLineEdit* m_pEdit;
    QListView* m_pList;
    QStringListModel* m_pModel;
    QDialogButtonBox* m_pButtons;
    KorvoTableView* m_pChosen = nullptr;
};
