#include "CColumnPropertiesDialog.h"
#include "CKorvoDoc.h"
#include "CListBox.h"
#include "CTablePropertiesDialog.h"
#include "DialogTest.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <memory>
#include <string>
#include <vector>

namespace {

using Dlg = CTablePropertiesDialog;
using ColDlg = CColumnPropertiesDialog;

class TablePropertiesDialogTest : public DialogTest {
protected:
    void SetUp() override
    {
        DialogTest::SetUp();
        m_table = AddTable("orders", {{"id", "int"}, {"customer", "int"}, {"note", ""}});
        m_other = AddTable("customers", {{"id", "int"}});
        m_table->m_def.m_strCheck = "id > 0";
        m_table->m_def.m_strDescription = "what was ordered";
    }

    KorvoTableView* AddTable(const std::string& name, std::vector<std::pair<const char*, const char*>> columns)
    {
        auto table = std::make_unique<KorvoTableView>();
        table->m_def.m_strName = name;
        for (const auto& [column, type] : columns)
            table->m_def.AddColumn(std::make_unique<CColumn>(column, type, false, "", false, false, "", ""));
        return m_doc.AddTable(std::move(table));
    }

    CRelation* Relate(KorvoTableView* source, std::vector<int> sourceColumns, KorvoTableView* dest,
                      std::vector<int> destColumns)
    {
        auto relation = std::make_unique<CRelation>(source, nullptr, dest, nullptr);
        relation->m_sourceColumns.clear();
        relation->m_destColumns.clear();
        for (int i : sourceColumns)
            relation->m_sourceColumns.push_back(CKorvoDoc::GetColumn(source, i));
        for (int i : destColumns)
            relation->m_destColumns.push_back(CKorvoDoc::GetColumn(dest, i));
        return m_doc.AddRelation(std::move(relation));
    }

    std::unique_ptr<Dlg> Open()
    {
        auto dialog = std::make_unique<Dlg>(nullptr, m_table, &m_doc);
        dialog->show();
        return dialog;
    }

    static CListBox* List(const Dlg& d) { return Control<CListBox>(d, Dlg::IDC_COLUMN_LIST); }
    static void Press(const Dlg& d, int id) { Control<QPushButton>(d, id)->click(); }

    static QStringList Lines(const Dlg& d)
    {
        QStringList lines;
        for (int i = 0; i < List(d)->GetCount(); ++i)
            lines.append(List(d)->GetText(i));
        return lines;
    }

    std::vector<std::string> ColumnNames() const
    {
        std::vector<std::string> names;
        for (const auto& column : m_table->m_def.m_columns)
            names.push_back(column->m_strName);
        return names;
    }

    CKorvoDoc m_doc;
    KorvoTableView* m_table = nullptr;
    KorvoTableView* m_other = nullptr;
};

TEST_F(TablePropertiesDialogTest, OpensWithTheTextsAndOneLinePerColumn)
{
    auto dialog = Open();
    EXPECT_EQ(Control<QLineEdit>(*dialog, Dlg::IDC_TABLE_NAME)->text(), "orders");
    EXPECT_EQ(Control<QLineEdit>(*dialog, Dlg::IDC_TABLE_CHECK)->text(), "id > 0");
    EXPECT_EQ(Control<QLineEdit>(*dialog, Dlg::IDC_TABLE_DESCRIPTION)->text(), "what was ordered");
    EXPECT_EQ(Lines(*dialog), QStringList({"id\tint", "customer\tint", "note\t"}));
    EXPECT_EQ(List(*dialog)->GetCurSel(), -1);
    EXPECT_FALSE(m_doc.IsModified());
}

TEST_F(TablePropertiesDialogTest, OpensWithTheNameSelectedSoTypingReplacesIt)
{
    auto dialog = Open();
    auto* name = Control<QLineEdit>(*dialog, Dlg::IDC_TABLE_NAME);
    EXPECT_EQ(dialog->focusWidget(), name);
    EXPECT_EQ(name->selectedText(), "orders");
    QTest::keyClicks(name, "invoices");
    EXPECT_EQ(name->text(), "invoices");
}

TEST_F(TablePropertiesDialogTest, ButtonsThatNeedASelectedLineDoNothingWithoutOne)
{
    for (KorvoTableView* table : {m_table, AddTable("empty", {})}) {
        m_table = table;
        const std::vector<std::string> before = ColumnNames();
        auto dialog = Open();
        for (int id : {Dlg::IDC_DELETE_COLUMN, Dlg::IDC_EDIT_COLUMN, Dlg::IDC_UP, Dlg::IDC_DOWN})
            Press(*dialog, id);
        EXPECT_EQ(ColumnNames(), before);
        EXPECT_EQ(m_seam.dialogRuns, 0);
        EXPECT_FALSE(m_doc.IsModified());
        EXPECT_TRUE(dialog->isVisible());
    }
}

TEST_F(TablePropertiesDialogTest, AddColumnThenCancelKeepsAFreshColumn1)
{
    auto dialog = Open();
    QStringList shownName;
    m_seam.workDialog = [&](QDialog& nested) {
        auto& column = dynamic_cast<ColDlg&>(nested);
        shownName.append(Control<QLineEdit>(column, ColDlg::IDC_NAME)->text());
        Control<QLineEdit>(column, ColDlg::IDC_NAME)->setText("renamed");
        Control<QPushButton>(column, ColDlg::kIdCancel)->click();
    };
    Press(*dialog, Dlg::IDC_ADD_COLUMN);

    EXPECT_EQ(m_seam.dialogRuns, 1);
    EXPECT_EQ(shownName, QStringList({"column1"}));
    ASSERT_EQ(m_table->m_def.m_columns.size(), 4u);
    const CColumn& added = *m_table->m_def.m_columns.back();
    EXPECT_EQ(added.m_strName, "column1");
    EXPECT_EQ(added.m_strType, "");
    EXPECT_EQ(added.m_strDefault, "");
    EXPECT_EQ(added.m_strCheck, "");
    EXPECT_EQ(added.m_strDescription, "");
    EXPECT_FALSE(added.m_bRequired || added.m_bPrimaryKey || added.m_bUnique);
    EXPECT_EQ(Lines(*dialog).last(), "column1\t");
    EXPECT_EQ(List(*dialog)->GetCurSel(), 3);
    EXPECT_TRUE(m_doc.IsModified());
}

TEST_F(TablePropertiesDialogTest, AddColumnTwiceGivesTwoColumn1sUnlessRenamed)
{
    auto dialog = Open();
    Press(*dialog, Dlg::IDC_ADD_COLUMN);
    Press(*dialog, Dlg::IDC_ADD_COLUMN);
    m_seam.workDialog = [](QDialog& nested) {
        Control<QLineEdit>(nested, ColDlg::IDC_NAME)->setText("amount");
        Control<QLineEdit>(nested, ColDlg::IDC_TYPE)->setText("numeric(10,2)");
        Control<QPushButton>(nested, ColDlg::kIdOk)->click();
    };
    Press(*dialog, Dlg::IDC_ADD_COLUMN);
    EXPECT_EQ(ColumnNames(), (std::vector<std::string>{"id", "customer", "note", "column1", "column1", "amount"}));
    EXPECT_EQ(Lines(*dialog).mid(3), QStringList({"column1\t", "column1\t", "amount\tnumeric(10,2)"}));
    EXPECT_EQ(List(*dialog)->GetCurSel(), 5);
}

TEST_F(TablePropertiesDialogTest, EditWithOkRefreshesTheLineAndKeepsItSelected)
{
    auto dialog = Open();
    m_seam.workDialog = [](QDialog& nested) {
        EXPECT_EQ(Control<QLineEdit>(nested, ColDlg::IDC_NAME)->text(), "customer");
        Control<QLineEdit>(nested, ColDlg::IDC_TYPE)->setText("bigint");
        Control<QPushButton>(nested, ColDlg::kIdOk)->click();
    };
    List(*dialog)->SetCurSel(1);
    Press(*dialog, Dlg::IDC_EDIT_COLUMN);
    EXPECT_EQ(m_table->m_def.m_columns[1]->m_strType, "bigint");
    EXPECT_EQ(Lines(*dialog)[1], "customer\tbigint");
    EXPECT_EQ(List(*dialog)->GetCurSel(), 1);
    EXPECT_TRUE(m_doc.IsModified());
}

TEST_F(TablePropertiesDialogTest, EditWithCancelChangesNothing)
{
    auto dialog = Open();
    m_seam.workDialog = [](QDialog& nested) {
        Control<QLineEdit>(nested, ColDlg::IDC_TYPE)->setText("bigint");
        QTest::keyClick(&nested, Qt::Key_Escape);
    };
    List(*dialog)->SetCurSel(1);
    Press(*dialog, Dlg::IDC_EDIT_COLUMN);
    EXPECT_EQ(m_seam.dialogRuns, 1);
    EXPECT_EQ(m_table->m_def.m_columns[1]->m_strType, "int");
    EXPECT_EQ(Lines(*dialog)[1], "customer\tint");
    EXPECT_FALSE(m_doc.IsModified());
}

TEST_F(TablePropertiesDialogTest, DoubleClickOnALineEditsThatColumn)
{
    auto dialog = Open();
    QStringList edited;
    m_seam.workDialog = [&](QDialog& nested) { edited.append(Control<QLineEdit>(nested, ColDlg::IDC_NAME)->text()); };
    CListBox* list = List(*dialog);
    const QRect line = list->visualItemRect(list->item(2));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, line.center());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, line.center());
    EXPECT_EQ(edited, QStringList({"note"}));
}

TEST_F(TablePropertiesDialogTest, DeleteDropsTheColumnsRelationsFirst)
{
    CRelation* keep = Relate(m_table, {0}, m_other, {0});
    Relate(m_table, {0, 1}, m_other, {0});
    Relate(m_other, {0}, m_table, {1});
    CRelation* keepToo = Relate(m_other, {0}, m_table, {2});
    CColumn* customer = m_table->m_def.m_columns[1].get();

    auto dialog = Open();
    List(*dialog)->SetCurSel(1);
    Press(*dialog, Dlg::IDC_DELETE_COLUMN);

    EXPECT_EQ(ColumnNames(), (std::vector<std::string>{"id", "note"}));
    ASSERT_EQ(m_doc.m_relations.size(), 2u);
    EXPECT_EQ(m_doc.m_relations[0].get(), keep);
    EXPECT_EQ(m_doc.m_relations[1].get(), keepToo);
    for (const auto& relation : m_doc.m_relations) {
        EXPECT_EQ(CKorvoDoc::IndexOf(relation->m_sourceColumns, customer), -1);
        EXPECT_EQ(CKorvoDoc::IndexOf(relation->m_destColumns, customer), -1);
    }
    EXPECT_EQ(Lines(*dialog), QStringList({"id\tint", "note\t"}));
    EXPECT_EQ(List(*dialog)->GetCurSel(), -1);
    EXPECT_TRUE(m_doc.IsModified());

    // Nothing is selected, so a second Delete does nothing.
    Press(*dialog, Dlg::IDC_DELETE_COLUMN);
    EXPECT_EQ(m_table->m_def.m_columns.size(), 2u);
}

TEST_F(TablePropertiesDialogTest, UpAndDownMoveTheColumnAndItsSelection)
{
    CRelation* relation = Relate(m_other, {0}, m_table, {2});
    CColumn* note = m_table->m_def.m_columns[2].get();
    auto dialog = Open();

    List(*dialog)->SetCurSel(2);
    Press(*dialog, Dlg::IDC_UP);
    EXPECT_EQ(ColumnNames(), (std::vector<std::string>{"id", "note", "customer"}));
    EXPECT_EQ(List(*dialog)->GetCurSel(), 1);
    Press(*dialog, Dlg::IDC_UP);
    EXPECT_EQ(ColumnNames(), (std::vector<std::string>{"note", "id", "customer"}));
    EXPECT_EQ(List(*dialog)->GetCurSel(), 0);
    EXPECT_TRUE(m_doc.IsModified());

    m_doc.SetModifiedFlag(false);
    Press(*dialog, Dlg::IDC_UP);
    EXPECT_EQ(ColumnNames(), (std::vector<std::string>{"note", "id", "customer"}));
    EXPECT_FALSE(m_doc.IsModified());

    Press(*dialog, Dlg::IDC_DOWN);
    EXPECT_EQ(ColumnNames(), (std::vector<std::string>{"id", "note", "customer"}));
    EXPECT_EQ(List(*dialog)->GetCurSel(), 1);
    EXPECT_EQ(Lines(*dialog), QStringList({"id\tint", "note\t", "customer\tint"}));
    EXPECT_TRUE(m_doc.IsModified());

    List(*dialog)->SetCurSel(2);
    m_doc.SetModifiedFlag(false);
    Press(*dialog, Dlg::IDC_DOWN);
    EXPECT_EQ(ColumnNames(), (std::vector<std::string>{"id", "note", "customer"}));
    EXPECT_EQ(List(*dialog)->GetCurSel(), 2);
    EXPECT_FALSE(m_doc.IsModified());

    // The relation still refers to the same column object, wherever it moved.
    ASSERT_EQ(relation->m_destColumns.size(), 1u);
    EXPECT_EQ(relation->m_destColumns[0], note);
}

TEST_F(TablePropertiesDialogTest, ColumnChangesSurviveCancelWhileTextEditsDoNot)
{
    auto dialog = Open();
    Control<QLineEdit>(*dialog, Dlg::IDC_TABLE_NAME)->setText("purchases");
    Control<QLineEdit>(*dialog, Dlg::IDC_TABLE_CHECK)->setText("");
    List(*dialog)->SetCurSel(0);
    Press(*dialog, Dlg::IDC_DOWN);
    QTest::keyClick(dialog.get(), Qt::Key_Escape);

    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_EQ(ColumnNames(), (std::vector<std::string>{"customer", "id", "note"}));
    EXPECT_EQ(dialog->m_strName, "orders");
    EXPECT_EQ(dialog->m_strCheck, "id > 0");
    EXPECT_EQ(dialog->m_strDescription, "what was ordered");
}

TEST_F(TablePropertiesDialogTest, CloseCarriesTheEditedTextsOut)
{
    auto dialog = Open();
    Control<QLineEdit>(*dialog, Dlg::IDC_TABLE_NAME)->setText("purchases");
    Control<QLineEdit>(*dialog, Dlg::IDC_TABLE_CHECK)->setText("");
    Control<QLineEdit>(*dialog, Dlg::IDC_TABLE_DESCRIPTION)->setText("bought");
    QTest::keyClick(Control<QLineEdit>(*dialog, Dlg::IDC_TABLE_DESCRIPTION), Qt::Key_Return);

    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(dialog->m_strName, "purchases");
    EXPECT_EQ(dialog->m_strCheck, "");
    EXPECT_EQ(dialog->m_strDescription, "bought");
    // The caller copies the texts back; the dialog leaves the table's alone.
    EXPECT_EQ(m_table->m_def.m_strName, "orders");
    EXPECT_FALSE(m_doc.IsModified());
}

TEST_F(TablePropertiesDialogTest, TemplateLayout)
{
    Dlg dialog(nullptr, m_table, &m_doc);
    EXPECT_EQ(dialog.windowTitle(), "Table Properties");
    EXPECT_EQ(dialog.maximumSize(), TemplateRect(dialog, 0, 0, 261, 181).size());
    EXPECT_EQ(Control<QLineEdit>(dialog, Dlg::IDC_TABLE_NAME)->geometry(), TemplateRect(dialog, 67, 7, 118, 14));
    EXPECT_EQ(List(dialog)->geometry(), TemplateRect(dialog, 7, 61, 247, 75));
    EXPECT_EQ(Control<QPushButton>(dialog, Dlg::kIdOk)->geometry(), TemplateRect(dialog, 204, 160, 50, 14));
    EXPECT_EQ(List(dialog)->TabStops(), 0);
    dialog.show();
    EXPECT_EQ(List(dialog)->TabStops(), TemplateRect(dialog, 50, 0, 0, 0).x());

    const std::pair<int, const char*> buttons[] = {
        {Dlg::IDC_UP, "&Up"},
        {Dlg::IDC_DOWN, "&Down"},
        {Dlg::IDC_ADD_COLUMN, "&Add Column"},
        {Dlg::IDC_EDIT_COLUMN, "&Edit Column..."},
        {Dlg::IDC_DELETE_COLUMN, "Delete Column"},
        {Dlg::kIdOk, "Close"},
    };
    for (const auto& [id, text] : buttons) {
        EXPECT_EQ(Control<QPushButton>(dialog, id)->text(), text);
        EXPECT_EQ(Control<QPushButton>(dialog, id)->isDefault(), id == Dlg::kIdOk) << id;
    }
    // Captions stay legible in this font and still end where the template
    // ends them, next to their fields.
    const std::pair<const char*, QRect> labels[] = {
        {"Table name:", TemplateRect(dialog, 23, 10, 40, 8)},
        {"Check constraint:", TemplateRect(dialog, 8, 27, 56, 8)},
        {"Description:", TemplateRect(dialog, 26, 45, 38, 8)},
    };
    const QList<QLabel*> found = dialog.findChildren<QLabel*>();
    ASSERT_EQ(found.size(), 3);
    for (qsizetype i = 0; i < found.size(); ++i) {
        EXPECT_EQ(found[i]->text(), labels[i].first);
        EXPECT_EQ(found[i]->geometry().right(), labels[i].second.right());
        EXPECT_EQ(found[i]->y(), labels[i].second.y());
        EXPECT_GE(found[i]->width(), found[i]->sizeHint().width());
    }
    EXPECT_EQ(TabOrder(dialog), QStringList({"1000", "1012", "1013", "1002", "1006", "1007", "1003", "1005", "1004", "1"}));
}

} // namespace
