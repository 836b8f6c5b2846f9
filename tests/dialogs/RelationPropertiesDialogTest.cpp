#include "CKorvoDoc.h"
#include "CListBox.h"
#include "CRelationPropertiesDialog.h"
#include "DialogTest.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <memory>
#include <string>
#include <vector>

namespace {

using Dlg = CRelationPropertiesDialog;

const QString kAlreadyInKey = QStringLiteral("That column is already part of the key.");
const QString kKeepOne = QStringLiteral("You must have at least one column in the key.");

class RelationPropertiesDialogTest : public DialogTest {
protected:
    void SetUp() override
    {
        DialogTest::SetUp();
        // "code" appears twice in orders: a line of that name means the first.
        m_source = AddTable("orders", {"id", "customer", "code", "code", "region"});
        m_dest = AddTable("customers", {"id", "region", "code"});
        auto relation = std::make_unique<CRelation>(m_source, Col(m_source, 1), m_dest, Col(m_dest, 0));
        m_relation = m_doc.AddRelation(std::move(relation));
    }

    KorvoTableView* AddTable(const std::string& name, std::vector<const char*> columns)
    {
        auto table = std::make_unique<KorvoTableView>();
        table->m_def.m_strName = name;
        for (const char* column : columns)
            table->m_def.AddColumn(std::make_unique<CColumn>(column, "int", false, "", false, false, "", ""));
        return m_doc.AddTable(std::move(table));
    }

    static CColumn* Col(const KorvoTableView* table, int index) { return CKorvoDoc::GetColumn(table, index); }

    std::unique_ptr<Dlg> Open()
    {
        auto dialog = std::make_unique<Dlg>(nullptr, m_relation, &m_doc);
        dialog->show();
        return dialog;
    }

    static QStringList Lines(const Dlg& d, int id)
    {
        QStringList lines;
        const CListBox* list = Control<CListBox>(d, id);
        for (int i = 0; i < list->GetCount(); ++i)
            lines.append(list->GetText(i));
        return lines;
    }
    static void Choose(const Dlg& d, int comboId, int index) { Control<QComboBox>(d, comboId)->setCurrentIndex(index); }
    static void Select(const Dlg& d, int listId, int index) { Control<CListBox>(d, listId)->SetCurSel(index); }
    static void Press(const Dlg& d, int id) { Control<QPushButton>(d, id)->click(); }

    CKorvoDoc m_doc;
    KorvoTableView* m_source = nullptr;
    KorvoTableView* m_dest = nullptr;
    CRelation* m_relation = nullptr;
};

TEST_F(RelationPropertiesDialogTest, OpensWithTheKeysAndEveryColumnOfBothTables)
{
    m_relation->m_sourceColumns.push_back(Col(m_source, 4));
    Dlg dialog(nullptr, m_relation, &m_doc);
    EXPECT_EQ(Control<QLabel>(dialog, Dlg::IDC_SOURCE_TABLE)->text(), "<src table>");
    dialog.show();
    EXPECT_EQ(Control<QLabel>(dialog, Dlg::IDC_SOURCE_TABLE)->text(), "orders");
    EXPECT_EQ(Control<QLabel>(dialog, Dlg::IDC_DEST_TABLE)->text(), "customers");
    EXPECT_EQ(Lines(dialog, Dlg::IDC_SOURCE_KEY), QStringList({"customer", "region"}));
    EXPECT_EQ(Lines(dialog, Dlg::IDC_DEST_KEY), QStringList({"id"}));
    const QComboBox* sourceCombo = Control<QComboBox>(dialog, Dlg::IDC_SOURCE_COLUMNS);
    ASSERT_EQ(sourceCombo->count(), 5);
    EXPECT_EQ(sourceCombo->itemText(2), "code");
    EXPECT_EQ(sourceCombo->itemText(4), "region");
    EXPECT_EQ(Control<QComboBox>(dialog, Dlg::IDC_DEST_COLUMNS)->count(), 3);
    for (int id : {Dlg::IDC_SOURCE_COLUMNS, Dlg::IDC_DEST_COLUMNS})
        EXPECT_EQ(Control<QComboBox>(dialog, id)->currentIndex(), -1);
    for (int id : {Dlg::IDC_SOURCE_KEY, Dlg::IDC_DEST_KEY})
        EXPECT_EQ(Control<CListBox>(dialog, id)->GetCurSel(), -1);
}

TEST_F(RelationPropertiesDialogTest, AddWithNothingChosenDoesNothing)
{
    auto dialog = Open();
    Press(*dialog, Dlg::IDC_ADD_SOURCE);
    Press(*dialog, Dlg::IDC_ADD_DEST);
    EXPECT_EQ(Lines(*dialog, Dlg::IDC_SOURCE_KEY), QStringList({"customer"}));
    EXPECT_EQ(Lines(*dialog, Dlg::IDC_DEST_KEY), QStringList({"id"}));
    EXPECT_TRUE(m_seam.messages.isEmpty());
}

// The test looks at the key as the relation holds it: a column already there
// is refused, a column added in this run can be added again.
TEST_F(RelationPropertiesDialogTest, AddRefusesOnlyColumnsOfTheStoredKey)
{
    auto dialog = Open();
    Choose(*dialog, Dlg::IDC_SOURCE_COLUMNS, 1);
    Press(*dialog, Dlg::IDC_ADD_SOURCE);
    EXPECT_EQ(m_seam.messages, QStringList({kAlreadyInKey}));
    EXPECT_EQ(m_seam.captions, QStringList({QStringLiteral("Korvo")}));
    EXPECT_EQ(Lines(*dialog, Dlg::IDC_SOURCE_KEY), QStringList({"customer"}));

    Choose(*dialog, Dlg::IDC_DEST_COLUMNS, 0);
    Press(*dialog, Dlg::IDC_ADD_DEST);
    EXPECT_EQ(m_seam.messages.size(), 2);
    EXPECT_EQ(Lines(*dialog, Dlg::IDC_DEST_KEY), QStringList({"id"}));

    // "region" is not in the stored key, so it goes in each time it is added.
    Choose(*dialog, Dlg::IDC_SOURCE_COLUMNS, 4);
    Press(*dialog, Dlg::IDC_ADD_SOURCE);
    Press(*dialog, Dlg::IDC_ADD_SOURCE);
    EXPECT_EQ(Lines(*dialog, Dlg::IDC_SOURCE_KEY), QStringList({"customer", "region", "region"}));
    EXPECT_EQ(m_seam.messages.size(), 2);

    Press(*dialog, Dlg::kIdOk);
    EXPECT_EQ(m_relation->m_sourceColumns,
              (std::vector<CColumn*>{Col(m_source, 1), Col(m_source, 4), Col(m_source, 4)}));
}

TEST_F(RelationPropertiesDialogTest, KeyListsKeepAtLeastOneLine)
{
    auto dialog = Open();
    // One line and none selected: nothing happens, no message.
    Press(*dialog, Dlg::IDC_REMOVE_SOURCE);
    EXPECT_TRUE(m_seam.messages.isEmpty());

    Select(*dialog, Dlg::IDC_SOURCE_KEY, 0);
    Press(*dialog, Dlg::IDC_REMOVE_SOURCE);
    EXPECT_EQ(m_seam.messages, QStringList({kKeepOne}));
    EXPECT_EQ(Lines(*dialog, Dlg::IDC_SOURCE_KEY), QStringList({"customer"}));

    Choose(*dialog, Dlg::IDC_DEST_COLUMNS, 2);
    Press(*dialog, Dlg::IDC_ADD_DEST);
    Select(*dialog, Dlg::IDC_DEST_KEY, 0);
    Press(*dialog, Dlg::IDC_REMOVE_DEST);
    EXPECT_EQ(Lines(*dialog, Dlg::IDC_DEST_KEY), QStringList({"code"}));
    EXPECT_EQ(Control<CListBox>(*dialog, Dlg::IDC_DEST_KEY)->GetCurSel(), -1);
    EXPECT_EQ(m_seam.messages.size(), 1);

    Press(*dialog, Dlg::IDC_REMOVE_DEST);
    EXPECT_EQ(m_seam.messages.size(), 1);
    Select(*dialog, Dlg::IDC_DEST_KEY, 0);
    Press(*dialog, Dlg::IDC_REMOVE_DEST);
    EXPECT_EQ(m_seam.messages, QStringList({kKeepOne, kKeepOne}));
    EXPECT_EQ(Lines(*dialog, Dlg::IDC_DEST_KEY), QStringList({"code"}));
    EXPECT_TRUE(dialog->isVisible());
}

TEST_F(RelationPropertiesDialogTest, OkStoresExactlyTheListedColumns)
{
    auto dialog = Open();
    for (int index : {2, 3, 0}) {
        Choose(*dialog, Dlg::IDC_SOURCE_COLUMNS, index);
        Press(*dialog, Dlg::IDC_ADD_SOURCE);
    }
    Select(*dialog, Dlg::IDC_SOURCE_KEY, 0);
    Press(*dialog, Dlg::IDC_REMOVE_SOURCE);
    Choose(*dialog, Dlg::IDC_DEST_COLUMNS, 1);
    Press(*dialog, Dlg::IDC_ADD_DEST);
    Select(*dialog, Dlg::IDC_DEST_KEY, 0);
    Press(*dialog, Dlg::IDC_REMOVE_DEST);
    EXPECT_EQ(Lines(*dialog, Dlg::IDC_SOURCE_KEY), QStringList({"code", "code", "id"}));

    Press(*dialog, Dlg::kIdOk);
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    // Both "code" lines resolve to the first column of that name.
    EXPECT_EQ(m_relation->m_sourceColumns,
              (std::vector<CColumn*>{Col(m_source, 2), Col(m_source, 2), Col(m_source, 0)}));
    EXPECT_EQ(m_relation->m_destColumns, (std::vector<CColumn*>{Col(m_dest, 1)}));
    EXPECT_EQ(m_relation->m_pSource, m_source);
    EXPECT_EQ(m_relation->m_pDest, m_dest);
    EXPECT_FALSE(m_doc.IsModified());
}

TEST_F(RelationPropertiesDialogTest, CancelLeavesTheKeysAsTheyWere)
{
    m_relation->m_sourceColumns.push_back(Col(m_source, 4));
    const std::vector<CColumn*> source = m_relation->m_sourceColumns;
    const std::vector<CColumn*> dest = m_relation->m_destColumns;
    auto dialog = Open();
    Select(*dialog, Dlg::IDC_SOURCE_KEY, 0);
    Press(*dialog, Dlg::IDC_REMOVE_SOURCE);
    Choose(*dialog, Dlg::IDC_DEST_COLUMNS, 2);
    Press(*dialog, Dlg::IDC_ADD_DEST);
    QTest::keyClick(dialog.get(), Qt::Key_Escape);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(m_relation->m_sourceColumns, source);
    EXPECT_EQ(m_relation->m_destColumns, dest);
}

// A relation can only be saved with a column on each side, even one that
// arrived without any.
TEST_F(RelationPropertiesDialogTest, OkRefusesAnEmptySide)
{
    m_relation->m_destColumns.clear();
    auto dialog = Open();
    Press(*dialog, Dlg::kIdOk);
    EXPECT_EQ(m_seam.messages, QStringList({kKeepOne}));
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(m_relation->m_sourceColumns, (std::vector<CColumn*>{Col(m_source, 1)}));

    Choose(*dialog, Dlg::IDC_DEST_COLUMNS, 2);
    Press(*dialog, Dlg::IDC_ADD_DEST);
    Press(*dialog, Dlg::kIdOk);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(m_relation->m_destColumns, (std::vector<CColumn*>{Col(m_dest, 2)}));
}

TEST_F(RelationPropertiesDialogTest, TemplateLayout)
{
    Dlg dialog(nullptr, m_relation, &m_doc);
    EXPECT_EQ(dialog.windowTitle(), "Relation Properties");
    EXPECT_EQ(dialog.maximumSize(), TemplateRect(dialog, 0, 0, 234, 119).size());
    EXPECT_EQ(Control<CListBox>(dialog, Dlg::IDC_DEST_KEY)->geometry(), TemplateRect(dialog, 121, 17, 105, 40));
    EXPECT_EQ(Control<QPushButton>(dialog, Dlg::IDC_REMOVE_SOURCE)->geometry(), TemplateRect(dialog, 63, 77, 50, 14));
    const QRect combo = TemplateRect(dialog, 7, 61, 106, 48);
    EXPECT_EQ(Control<QComboBox>(dialog, Dlg::IDC_SOURCE_COLUMNS)->pos(), combo.topLeft());
    EXPECT_EQ(Control<QComboBox>(dialog, Dlg::IDC_SOURCE_COLUMNS)->width(), combo.width());
    EXPECT_EQ(Control<QPushButton>(dialog, Dlg::IDC_ADD_DEST)->text(), "Add");
    EXPECT_EQ(Control<QPushButton>(dialog, Dlg::IDC_REMOVE_DEST)->text(), "Remove");
    EXPECT_TRUE(Control<QPushButton>(dialog, Dlg::kIdOk)->isDefault());
    EXPECT_EQ(TabOrder(dialog),
              QStringList({"1017", "1018", "1019", "1020", "1021", "1023", "1022", "1024", "1", "2"}));
}

} // namespace

// Key lines are resolved by name on OK; names beyond Latin-1 resolve to the
// same columns they were listed for.
TEST_F(RelationPropertiesDialogTest, NamesBeyondLatin1ResolveOnOk)
{
    KorvoTableView* source = AddTable("\xE6\xB3\xA8\xE6\x96\x87", {"\xE9\xA1\xA7\xE5\xAE\xA2", "caf\xC3\xA9_\xCE\xA9"});
    KorvoTableView* dest = AddTable("\xD7\xA9\xD7\x9C", {"e\xCC\x81", "\xF0\x9F\x8E\x89"});
    m_relation = m_doc.AddRelation(std::make_unique<CRelation>(source, Col(source, 0), dest, Col(dest, 0)));
    auto dialog = Open();
    EXPECT_EQ(Control<QLabel>(*dialog, Dlg::IDC_SOURCE_TABLE)->text(), QStringLiteral("\u6CE8\u6587"));
    Choose(*dialog, Dlg::IDC_SOURCE_COLUMNS, 1);
    Press(*dialog, Dlg::IDC_ADD_SOURCE);
    Choose(*dialog, Dlg::IDC_DEST_COLUMNS, 1);
    Press(*dialog, Dlg::IDC_ADD_DEST);
    Press(*dialog, Dlg::kIdOk);
    EXPECT_EQ(m_relation->m_sourceColumns, (std::vector<CColumn*>{Col(source, 0), Col(source, 1)}));
    EXPECT_EQ(m_relation->m_destColumns, (std::vector<CColumn*>{Col(dest, 0), Col(dest, 1)}));
}
