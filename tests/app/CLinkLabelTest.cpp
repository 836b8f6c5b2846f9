// The About box's link: its colour states, the leave timer, the click with
// its error report, and how the browser command line is cut and split.
#include "CRecordingSeam.h"
#include "TestBytes.h"
#include "CAboutDialog.h"
#include "CLinkLabel.h"
#include "LinkOpening.h"

#include <QCursor>
#include <QMouseEvent>
#include <QTest>

#include <memory>

#include <gtest/gtest.h>

using namespace LinkOpening;

TEST(LinkOpening, ErrorTextsFollowTheResultTable)
{
    const struct {
        int result;
        const char* text;
    } table[] = {
        {0, "The operating system is out\nof memory or resources."},
        {2, "The specified file was not found."},
        {3, "The specified path was not found."},
        {5, "The operating system denied\naccess to the specified file."},
        {8, "There was not enough memory to complete the operation."},
        {11, "The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image)."},
        {26, "A sharing violation occurred. "},
        {27, "The filename association is\nincomplete or invalid."},
        {28, "The DDE transaction could not\nbe completed because the request timed out."},
        {29, "The DDE transaction failed."},
        {30, "The DDE transaction could not\nbe completed because other DDE transactions\nwere being processed."},
        {31, "There is no application associated\nwith the given filename extension."},
        {32, "The specified dynamic-link library was not found."},
        {1, "Unknown Error (1) occurred."},
        {42, "Unknown Error (42) occurred."},
        {-7, "Unknown Error (-7) occurred."},
    };
    for (const auto& row : table) {
        EXPECT_EQ(ErrorText(row.result), QString::fromLatin1(row.text)) << row.result;
        EXPECT_EQ(ErrorReport(row.result), "Unable to open hyperlink:\n\n" + QString::fromLatin1(row.text));
    }
}

TEST(LinkOpening, CommandLineIsCutWhereTheAddressGoes)
{
    const QString address = QStringLiteral("https://korvo.example.org/");
    const struct {
        const char* line;
        const char* cut;
        QStringList arguments; // without the address
    } table[] = {
        // A quoted placeholder: cut at its opening quote, so the blank before
        // the quote and the one appended stand side by side.
        {R"("/usr/bin/browse" -nohome "%1")", R"("/usr/bin/browse" -nohome )", {"/usr/bin/browse", "-nohome"}},
        {R"("/opt/My Browser/run" --new-window "%u" --later)", R"("/opt/My Browser/run" --new-window )",
         {"/opt/My Browser/run", "--new-window"}},
        // A bare placeholder: cut right there.
        {"firefox %u", "firefox ", {"firefox"}},
        {"browser --url=%1 --x", "browser --url=", {"browser", "--url="}},
        {"w3m %s", "w3m ", {"w3m"}},
        // None: the whole line, the address after a blank.
        {"xdg-open", "xdg-open", {"xdg-open"}},
        // Other desktop field codes are not passed on.
        {"browser %i --class x %U", "browser %i --class x ", {"browser", "--class", "x"}},
    };
    for (const auto& row : table) {
        const QString line = QString::fromLatin1(row.line);
        EXPECT_EQ(CutCommandLine(line), QString::fromLatin1(row.cut)) << row.line;
        EXPECT_EQ(CommandLineFor(line, address), QString::fromLatin1(row.cut) + QLatin1Char(' ') + address);
        EXPECT_EQ(ArgumentsFor(line, address), row.arguments + QStringList{address}) << row.line;
    }
    EXPECT_TRUE(CommandLineFor(QStringLiteral("browse -x \"%1\""), address).endsWith(QStringLiteral("-x  ") + address));
}

TEST(LinkOpening, TheAddressStaysOneArgumentWhateverItHolds)
{
    const QString hostile = QStringLiteral("https://x.example/?a=1;rm -rf ~ \"$(id)\" `id` 'q'");
    EXPECT_EQ(ArgumentsFor(QStringLiteral("browser \"%1\""), hostile), (QStringList{"browser", hostile}));
    // A line that is only a placeholder names no program at all.
    EXPECT_EQ(ArgumentsFor(QStringLiteral("%s"), hostile), QStringList{hostile});
}

TEST(LinkOpening, SplittingFollowsTheQuotingRules)
{
    EXPECT_EQ(SplitCommandLine(QStringLiteral("  a   b\tc ")), (QStringList{"a", "b", "c"}));
    EXPECT_EQ(SplitCommandLine(QStringLiteral(R"("a b" c\ d "e\"f" 'g "h' "")")),
              (QStringList{"a b", "c d", "e\"f", "g \"h", ""}));
    EXPECT_TRUE(SplitCommandLine(QStringLiteral("   ")).isEmpty());
}

TEST(LinkOpening, ExecLineOfTheDesktopEntry)
{
    const QString desktop = QStringLiteral("[Desktop Action new]\nExec=browser --private\n"
                                           "[Desktop Entry]\nName=Browser\nExec = browser %u\n");
    EXPECT_EQ(DesktopEntryExec(desktop), QStringLiteral("browser %u"));
    EXPECT_TRUE(DesktopEntryExec(QStringLiteral("[Other]\nExec=x\n")).isEmpty());
}

namespace {

class CLinkLabelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_dialog = std::make_unique<CAboutDialog>();
        m_dialog->show();
        m_link = m_dialog->m_wndLink;
        m_link->SetOpener([this](const QString& address) {
            m_opened.append(address);
            return m_result;
        });
    }
    void MoveOnto()
    {
        const QPoint inside(2, 2);
        QCursor::setPos(m_link->mapToGlobal(inside));
        QMouseEvent move(QEvent::MouseMove, QPointF(inside), QPointF(m_link->mapToGlobal(inside)), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(m_link, &move);
    }
    void MoveAway() { QCursor::setPos(m_link->mapToGlobal(QPoint(-40, -40))); }

    CRecordingSeam m_seam;
    std::unique_ptr<CAboutDialog> m_dialog;
    CLinkLabel* m_link = nullptr;
    QStringList m_opened;
    int m_result = kSuccess;
};

} // namespace

TEST_F(CLinkLabelTest, TakesItsAddressFromItsTextAndShowsItAsTooltip)
{
    EXPECT_EQ(m_link->objectName(), QStringLiteral("1025"));
    EXPECT_EQ(m_link->GetURL(), CAboutDialog::Address());
    EXPECT_EQ(m_link->text(), CAboutDialog::Address());
    EXPECT_EQ(m_link->toolTip(), CAboutDialog::Address());
    EXPECT_EQ(m_link->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(m_dialog->windowTitle(), QStringLiteral("About Korvo"));
    // Sized to its text, not to the template's 107 units.
    EXPECT_GE(m_link->width(), QFontMetrics(m_link->font()).horizontalAdvance(CAboutDialog::Address()));
    EXPECT_LT(m_link->width(), m_dialog->Units().ToPixelsX(107));

    // A label given an address before it is taken over keeps that address.
    CLinkLabel other;
    other.setText(QStringLiteral("home page"));
    other.SetURL(QStringLiteral("https://elsewhere.example/"));
    other.TakeOver();
    EXPECT_EQ(other.GetURL(), QStringLiteral("https://elsewhere.example/"));
    EXPECT_EQ(other.text(), QStringLiteral("home page"));
}

TEST_F(CLinkLabelTest, HoverTurnsRedAndUnderlinedUntilTheTimerFindsTheMouseGone)
{
    EXPECT_EQ(m_link->CurrentColour(), QColor(0, 0, 238));
    EXPECT_FALSE(m_link->font().underline());

    MoveOnto();
    EXPECT_TRUE(m_link->IsOverControl());
    EXPECT_EQ(m_link->CurrentColour(), QColor(255, 0, 0));
    EXPECT_TRUE(m_link->font().underline());
    EXPECT_TRUE(m_link->LeaveTimer().isActive());
    EXPECT_EQ(m_link->LeaveTimer().interval(), 100);

    // While the mouse is still on it, a tick changes nothing.
    m_link->OnTimer();
    EXPECT_TRUE(m_link->IsOverControl());
    EXPECT_TRUE(m_link->LeaveTimer().isActive());

    MoveAway();
    m_link->OnTimer();
    EXPECT_FALSE(m_link->IsOverControl());
    EXPECT_FALSE(m_link->LeaveTimer().isActive());
    EXPECT_EQ(m_link->CurrentColour(), QColor(0, 0, 238));
    EXPECT_FALSE(m_link->font().underline());
}

TEST_F(CLinkLabelTest, UnderlineModesAlwaysAndNever)
{
    m_link->SetUnderline(1);
    EXPECT_TRUE(m_link->font().underline());
    MoveOnto();
    MoveAway();
    m_link->OnTimer();
    EXPECT_TRUE(m_link->font().underline());

    m_link->SetUnderline(0);
    EXPECT_FALSE(m_link->font().underline());
    MoveOnto();
    EXPECT_FALSE(m_link->font().underline());
    EXPECT_EQ(m_link->CurrentColour(), QColor(255, 0, 0));
}

TEST_F(CLinkLabelTest, SuccessfulClickTurnsTheLinkVisited)
{
    MoveOnto();
    QTest::mouseClick(m_link, Qt::LeftButton, Qt::NoModifier, QPoint(2, 2));
    EXPECT_EQ(m_opened, QStringList{CAboutDialog::Address()});
    EXPECT_TRUE(m_link->GetVisited());
    EXPECT_FALSE(m_link->IsOverControl());
    EXPECT_EQ(m_link->CurrentColour(), QColor(85, 26, 139));
    EXPECT_TRUE(m_seam.boxes.isEmpty());

    // A new About box starts unvisited again.
    CAboutDialog again;
    EXPECT_EQ(again.m_wndLink->CurrentColour(), QColor(0, 0, 238));
}

TEST_F(CLinkLabelTest, FailedClickReportsTheErrorAndStaysUnvisited)
{
    // Results up to 32 are failures; 42 would count as success.
    for (int result : {26, 1, 32}) {
        m_result = result;
        m_seam.boxes.clear();
        m_link->OnClicked();
        ASSERT_EQ(m_seam.boxes.size(), 1);
        EXPECT_EQ(m_seam.boxes[0].text, ErrorReport(result));
        EXPECT_EQ(m_seam.boxes[0].icon, QMessageBox::Warning);
        EXPECT_EQ(m_seam.boxes[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        EXPECT_FALSE(m_link->GetVisited());
        EXPECT_EQ(m_link->CurrentColour(), QColor(0, 0, 238));
    }
    EXPECT_EQ(m_seam.boxes[0].text,
              QStringLiteral("Unable to open hyperlink:\n\nThe specified dynamic-link library was not found."));
    EXPECT_TRUE(m_dialog->isVisible());
}
