#include "CColumn.h"
#include "CColumnPropertiesDialog.h"
#include "DialogTest.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace {

using Dlg = CColumnPropertiesDialog;

class ColumnPropertiesDialogTest : public DialogTest {
protected:
    // Every text distinct, so a field written into the wrong attribute shows.
    CColumn m_column{"id", "integer", true, "0", false, true, "id > 0", "the key"};

    static QLineEdit* Edit(const QWidget& d, int id) { return Control<QLineEdit>(d, id); }
    static QCheckBox* Check(const QWidget& d, int id) { return Control<QCheckBox>(d, id); }
    static QPushButton* Button(const QWidget& d, int id) { return Control<QPushButton>(d, id); }
};

TEST_F(ColumnPropertiesDialogTest, OpensWithTheColumnInItsControls)
{
    Dlg dialog(nullptr, &m_column);
    dialog.show();
    EXPECT_EQ(Edit(dialog, Dlg::IDC_NAME)->text(), "id");
    EXPECT_EQ(Edit(dialog, Dlg::IDC_TYPE)->text(), "integer");
    EXPECT_EQ(Edit(dialog, Dlg::IDC_DEFAULT)->text(), "0");
    EXPECT_EQ(Edit(dialog, Dlg::IDC_CHECK)->text(), "id > 0");
    EXPECT_EQ(Edit(dialog, Dlg::IDC_DESCRIPTION)->text(), "the key");
    EXPECT_TRUE(Check(dialog, Dlg::IDC_REQUIRED)->isChecked());
    EXPECT_FALSE(Check(dialog, Dlg::IDC_PRIMARY_KEY)->isChecked());
    EXPECT_TRUE(Check(dialog, Dlg::IDC_UNIQUE)->isChecked());
}

TEST_F(ColumnPropertiesDialogTest, OpensWithTheNameSelectedSoTypingReplacesIt)
{
    Dlg dialog(nullptr, &m_column);
    dialog.show();
    QLineEdit* name = Edit(dialog, Dlg::IDC_NAME);
    EXPECT_EQ(dialog.focusWidget(), name);
    EXPECT_EQ(name->selectedText(), "id");
    QTest::keyClicks(name, "customer_id");
    EXPECT_EQ(name->text(), "customer_id");
}

TEST_F(ColumnPropertiesDialogTest, OkWritesEveryAttributeAsShown)
{
    Dlg dialog(nullptr, &m_column);
    dialog.show();
    Edit(dialog, Dlg::IDC_NAME)->setText("customer_id");
    Edit(dialog, Dlg::IDC_TYPE)->setText("bigint");
    Edit(dialog, Dlg::IDC_DEFAULT)->setText("42");
    Edit(dialog, Dlg::IDC_CHECK)->setText("customer_id <> 7");
    Edit(dialog, Dlg::IDC_DESCRIPTION)->setText("who ordered");
    QTest::mouseClick(Check(dialog, Dlg::IDC_REQUIRED), Qt::LeftButton);
    QTest::mouseClick(Check(dialog, Dlg::IDC_PRIMARY_KEY), Qt::LeftButton);
    QTest::mouseClick(Check(dialog, Dlg::IDC_UNIQUE), Qt::LeftButton);
    QTest::mouseClick(Button(dialog, Dlg::kIdOk), Qt::LeftButton);

    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(m_column.m_strName, "customer_id");
    EXPECT_EQ(m_column.m_strType, "bigint");
    EXPECT_EQ(m_column.m_strDefault, "42");
    EXPECT_EQ(m_column.m_strCheck, "customer_id <> 7");
    EXPECT_EQ(m_column.m_strDescription, "who ordered");
    EXPECT_FALSE(m_column.m_bRequired);
    EXPECT_TRUE(m_column.m_bPrimaryKey);
    EXPECT_FALSE(m_column.m_bUnique);
}

TEST_F(ColumnPropertiesDialogTest, OkKeepsTextsLongerThanALineEditsDefaultLimit)
{
    const std::string longest(100000, 'x');
    CColumn column(std::string(40000, 'n'), std::string(32768, 't'), false, std::string(50000, 'v'), false, false,
                   std::string(60000, 'c'), longest);
    Dlg dialog(nullptr, &column);
    dialog.show();
    EXPECT_EQ(Edit(dialog, Dlg::IDC_DESCRIPTION)->text().size(), 100000);
    QTest::mouseClick(Button(dialog, Dlg::kIdOk), Qt::LeftButton);
    EXPECT_EQ(column.m_strName.size(), 40000u);
    EXPECT_EQ(column.m_strType.size(), 32768u);
    EXPECT_EQ(column.m_strDefault.size(), 50000u);
    EXPECT_EQ(column.m_strCheck.size(), 60000u);
    EXPECT_EQ(column.m_strDescription, longest);
}

TEST_F(ColumnPropertiesDialogTest, CheckingPrimaryKeyLeavesTheOtherFlags)
{
    CColumn column("c", "", false, "", false, false, "", "");
    Dlg dialog(nullptr, &column);
    dialog.show();
    Check(dialog, Dlg::IDC_PRIMARY_KEY)->click();
    EXPECT_FALSE(Check(dialog, Dlg::IDC_REQUIRED)->isChecked());
    EXPECT_FALSE(Check(dialog, Dlg::IDC_UNIQUE)->isChecked());
    Button(dialog, Dlg::kIdOk)->click();
    EXPECT_TRUE(column.m_bPrimaryKey);
    EXPECT_FALSE(column.m_bRequired);
    EXPECT_FALSE(column.m_bUnique);
}

TEST_F(ColumnPropertiesDialogTest, EmptyTextsAreStored)
{
    Dlg dialog(nullptr, &m_column);
    dialog.show();
    for (int id : {Dlg::IDC_NAME, Dlg::IDC_TYPE, Dlg::IDC_DEFAULT, Dlg::IDC_CHECK, Dlg::IDC_DESCRIPTION})
        Edit(dialog, id)->clear();
    QTest::keyClick(Edit(dialog, Dlg::IDC_NAME), Qt::Key_Return);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(m_column.m_strName, "");
    EXPECT_EQ(m_column.m_strType, "");
    EXPECT_EQ(m_column.m_strDefault, "");
    EXPECT_EQ(m_column.m_strCheck, "");
    EXPECT_EQ(m_column.m_strDescription, "");
}

// Model text is UTF-8: every character shows in its field and comes back
// unchanged on OK, Latin-1 or not.
TEST_F(ColumnPropertiesDialogTest, EveryCharacterSurvivesTheRoundTrip)
{
    const std::string name = "caf\xC3\xA9_\xCE\xA9";
    const std::string type = "\xE9\xA1\xA7\xE5\xAE\xA2";
    const std::string defaultValue = "'Gr\xC3\xBC\xC3\x9F" "e \xF0\x9F\x8E\x89'";
    const std::string check = "e\xCC\x81 <> '\xC2\xA3'";
    const std::string description = "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D";
    CColumn column(name, type, false, defaultValue, false, false, check, description);
    Dlg dialog(nullptr, &column);
    dialog.show();
    EXPECT_EQ(Edit(dialog, Dlg::IDC_NAME)->text(), QString::fromUtf8(name.c_str()));
    EXPECT_EQ(Edit(dialog, Dlg::IDC_TYPE)->text(), QStringLiteral("\u9867\u5BA2"));
    EXPECT_EQ(Edit(dialog, Dlg::IDC_DEFAULT)->text().size(), 10) << "the emoji is one surrogate pair";
    Button(dialog, Dlg::kIdOk)->click();
    EXPECT_EQ(column.m_strName, name);
    EXPECT_EQ(column.m_strType, type);
    EXPECT_EQ(column.m_strDefault, defaultValue);
    EXPECT_EQ(column.m_strCheck, check);
    EXPECT_EQ(column.m_strDescription, description);

    // Text typed in the dialog arrives as UTF-8.
    Dlg again(nullptr, &column);
    again.show();
    Edit(again, Dlg::IDC_NAME)->setText(QStringLiteral("\u041A\u043B\u0438\u0435\u043D\u0442"));
    Button(again, Dlg::kIdOk)->click();
    EXPECT_EQ(column.m_strName, "\xD0\x9A\xD0\xBB\xD0\xB8\xD0\xB5\xD0\xBD\xD1\x82");
}

// Cancel, Escape and the close box all leave the column as it was.
TEST_F(ColumnPropertiesDialogTest, EveryWayOfCancellingWritesNothing)
{
    const std::function<void(Dlg&)> closes[] = {
        [](Dlg& d) { Button(d, Dlg::kIdCancel)->click(); },
        [](Dlg& d) { QTest::keyClick(&d, Qt::Key_Escape); },
        [](Dlg& d) { d.close(); },
    };
    for (const auto& close : closes) {
        CColumn column("id", "integer", true, "0", false, true, "id > 0", "the key");
        Dlg dialog(nullptr, &column);
        dialog.show();
        for (int id : {Dlg::IDC_NAME, Dlg::IDC_TYPE, Dlg::IDC_DEFAULT, Dlg::IDC_CHECK, Dlg::IDC_DESCRIPTION})
            Edit(dialog, id)->setText("changed");
        for (int id : {Dlg::IDC_REQUIRED, Dlg::IDC_PRIMARY_KEY, Dlg::IDC_UNIQUE})
            Check(dialog, id)->click();
        close(dialog);
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_EQ(dialog.result(), QDialog::Rejected);
        EXPECT_EQ(column.m_strName, "id");
        EXPECT_EQ(column.m_strType, "integer");
        EXPECT_EQ(column.m_strDefault, "0");
        EXPECT_EQ(column.m_strCheck, "id > 0");
        EXPECT_EQ(column.m_strDescription, "the key");
        EXPECT_TRUE(column.m_bRequired);
        EXPECT_FALSE(column.m_bPrimaryKey);
        EXPECT_TRUE(column.m_bUnique);
    }
}

TEST_F(ColumnPropertiesDialogTest, TemplateLayout)
{
    Dlg dialog(nullptr, &m_column);
    EXPECT_EQ(dialog.windowTitle(), "Column Properties");
    const QRect client = TemplateRect(dialog, 0, 0, 253, 114);
    EXPECT_EQ(dialog.minimumSize(), client.size());
    EXPECT_EQ(dialog.maximumSize(), client.size());
    EXPECT_EQ(Edit(dialog, Dlg::IDC_CHECK)->geometry(), TemplateRect(dialog, 65, 58, 181, 14));
    // A check box keeps its place and grows only when its text needs more room.
    const QRect primaryKey = TemplateRect(dialog, 193, 28, 53, 10);
    EXPECT_EQ(Check(dialog, Dlg::IDC_PRIMARY_KEY)->pos(), primaryKey.topLeft());
    EXPECT_EQ(Check(dialog, Dlg::IDC_PRIMARY_KEY)->height(), primaryKey.height());
    EXPECT_GE(Check(dialog, Dlg::IDC_PRIMARY_KEY)->width(), primaryKey.width());
    EXPECT_GE(Check(dialog, Dlg::IDC_PRIMARY_KEY)->width(), Check(dialog, Dlg::IDC_PRIMARY_KEY)->sizeHint().width());
    EXPECT_EQ(Button(dialog, Dlg::kIdOk)->geometry(), TemplateRect(dialog, 136, 93, 50, 14));
    EXPECT_EQ(Check(dialog, Dlg::IDC_PRIMARY_KEY)->text(), "Primary Key");
    EXPECT_EQ(Button(dialog, Dlg::kIdOk)->text(), "OK");
    EXPECT_EQ(Button(dialog, Dlg::kIdCancel)->text(), "Cancel");
    EXPECT_TRUE(Button(dialog, Dlg::kIdOk)->isDefault());
    EXPECT_FALSE(Button(dialog, Dlg::kIdCancel)->isDefault());

    QStringList labels;
    for (const QLabel* label : dialog.findChildren<QLabel*>())
        labels.append(label->text());
    EXPECT_EQ(labels, QStringList({"Name:", "Data Type:", "Default Value:", "Check constraint:", "Description:"}));
    EXPECT_EQ(TabOrder(dialog),
              QStringList({"1006", "1007", "1010", "1014", "1013", "1008", "1009", "1011", "2", "1"}));
}

} // namespace
