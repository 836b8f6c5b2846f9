// Undo and Redo in the main window: the Edit items and their keys, one
// history per document shared by its windows, the saved state with the
// title's marker and the question on close, and files saved after undo.
#include "CRecordingSeam.h"
#include "CAppState.h"
#include "CChildFrame.h"
#include "CDocManager.h"
#include "CDocumentHost.h"
#include "CKorvoApp.h"
#include "CKorvoDoc.h"
#include "CKorvoView.h"
#include "CMainFrame.h"
#include "CommandIds.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QUndoStack>

#include <memory>

#include <gtest/gtest.h>

namespace {

class UndoRedoTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        CAppState::Get() = CAppState();
        m_frame = std::make_unique<CMainFrame>();
        m_frame->show();
        // Shortcuts reach only the active window.
        QApplication::setActiveWindow(m_frame.get());
        m_manager = m_frame->GetDocManager();
    }
    void TearDown() override
    {
        m_manager->CloseAllDocuments();
        m_frame.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        if (CKorvoApp* app = CKorvoApp::Instance())
            for (const QString& path : app->RecentFiles())
                app->RemoveFromRecentFileList(path);
        CAppState::Get() = CAppState();
    }

    QAction* Action(int id) const { return m_frame->GetAction(id); }
    QString Path(const char* name) const { return m_dir.filePath(QString::fromLatin1(name)); }
    // Places a table with the table tool in the active window.
    void PlaceTable(QPoint at)
    {
        Action(ID_TOOL_TABLE)->trigger();
        QTest::mouseClick(m_frame->ActiveView()->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    }
    QByteArray Saved(CDocumentHost* host, const char* name)
    {
        m_seam.saveAnswers = {Path(name)};
        EXPECT_TRUE(m_manager->OnFileSaveAs(host));
        QFile file(Path(name));
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return file.readAll();
    }
    void Keys(QKeyCombination key)
    {
        QTest::keyClick(m_frame->ActiveView(), key.key(), key.keyboardModifiers());
    }

    QTemporaryDir m_dir;
    CRecordingSeam m_seam;
    std::unique_ptr<CMainFrame> m_frame;
    CDocManager* m_manager = nullptr;
};

} // namespace

TEST_F(UndoRedoTest, KeysDriveTheRealWindow)
{
    CDocumentHost* host = m_manager->OnFileNew();
    const CKorvoDoc& doc = *host->GetDocument();
    for (QPoint at : {QPoint(30, 30), QPoint(200, 40), QPoint(90, 200)})
        PlaceTable(at);
    m_frame->ActiveView()->setFocus();
    const std::string placed = doc.SaveToBytes();

    Keys(Qt::ControlModifier | Qt::Key_A);
    for (const auto& table : doc.m_tables)
        EXPECT_TRUE(table->m_bSelected);
    Keys(QKeyCombination(Qt::Key_Delete));
    EXPECT_TRUE(doc.m_tables.empty());
    EXPECT_EQ(Action(ID_EDIT_UNDO)->text(), QStringLiteral("&Undo Delete"));
    EXPECT_FALSE(Action(ID_EDIT_REDO)->isEnabled());

    Keys(Qt::ControlModifier | Qt::Key_Z);
    EXPECT_EQ(doc.SaveToBytes(), placed);
    EXPECT_EQ(Action(ID_EDIT_UNDO)->text(), QStringLiteral("&Undo Place Table"));
    EXPECT_TRUE(Action(ID_EDIT_REDO)->isEnabled());
    EXPECT_EQ(Action(ID_EDIT_REDO)->text(), QStringLiteral("&Redo Delete"));
    Keys(Qt::ControlModifier | Qt::Key_Y);
    EXPECT_TRUE(doc.m_tables.empty());

    // The other keys of the two commands.
    Keys(Qt::AltModifier | Qt::Key_Backspace);
    EXPECT_EQ(doc.m_tables.size(), 3u);
    Keys(Qt::ControlModifier | Qt::ShiftModifier | Qt::Key_Z);
    EXPECT_TRUE(doc.m_tables.empty());

    // Back to the empty diagram, and no further.
    for (int i = 0; i < 6; ++i)
        Keys(Qt::ControlModifier | Qt::Key_Z);
    EXPECT_TRUE(doc.m_tables.empty());
    EXPECT_FALSE(Action(ID_EDIT_UNDO)->isEnabled());
    EXPECT_EQ(Action(ID_EDIT_UNDO)->text(), QStringLiteral("&Undo"));
    EXPECT_EQ(Action(ID_EDIT_REDO)->text(), QStringLiteral("&Redo Place Table"));
    EXPECT_FALSE(host->IsModified());
}

TEST_F(UndoRedoTest, TitleMarkAndCloseQuestionFollowTheSavedState)
{
    CDocumentHost* host = m_manager->OnFileNew();
    CChildFrame* frame = m_manager->Frames(host).constFirst();
    PlaceTable(QPoint(30, 30));
    EXPECT_TRUE(frame->isWindowModified());
    EXPECT_TRUE(m_frame->isWindowModified());
    Saved(host, "saved.erd");
    EXPECT_FALSE(frame->isWindowModified());
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("saved.erd[*]"));

    PlaceTable(QPoint(200, 30));
    EXPECT_TRUE(frame->isWindowModified());
    Action(ID_EDIT_UNDO)->trigger();
    EXPECT_FALSE(host->IsModified()) << "undone back to the saved state";
    EXPECT_FALSE(frame->isWindowModified());
    EXPECT_FALSE(m_frame->isWindowModified());
    EXPECT_TRUE(m_manager->SaveModified(host));
    EXPECT_TRUE(m_seam.boxes.isEmpty()) << "nothing to ask about";

    Action(ID_EDIT_REDO)->trigger();
    EXPECT_TRUE(frame->isWindowModified());
    Action(ID_EDIT_UNDO)->trigger();
    Action(ID_EDIT_UNDO)->trigger();
    EXPECT_TRUE(frame->isWindowModified()) << "left the saved state by undo";

    m_seam.answers = {QMessageBox::Cancel};
    EXPECT_FALSE(frame->close());
    ASSERT_EQ(m_seam.boxes.size(), 1);
    EXPECT_EQ(m_seam.boxes[0].text, QStringLiteral("Save changes to saved.erd?"));
    Action(ID_EDIT_REDO)->trigger();
    EXPECT_TRUE(frame->close()) << "back at the saved state: no question";
    EXPECT_EQ(m_seam.boxes.size(), 1);
}

TEST_F(UndoRedoTest, AFileSavedAfterUndoIsTheFileSavedBeforeTheStep)
{
    CDocumentHost* host = m_manager->OnFileNew();
    PlaceTable(QPoint(30, 30));
    PlaceTable(QPoint(250, 30));
    const QByteArray before = Saved(host, "before.erd");
    m_frame->ActiveView()->setFocus();
    Keys(Qt::ControlModifier | Qt::Key_A);
    Action(ID_EDIT_CUT)->trigger();
    Action(ID_EDIT_PASTE)->trigger();
    Action(ID_EDIT_PASTE)->trigger();
    const QByteArray after = Saved(host, "after.erd");

    Action(ID_EDIT_UNDO)->trigger();
    Action(ID_EDIT_UNDO)->trigger();
    Action(ID_EDIT_UNDO)->trigger();
    EXPECT_EQ(Saved(host, "undone.erd"), before);
    Action(ID_EDIT_REDO)->trigger();
    Action(ID_EDIT_REDO)->trigger();
    Action(ID_EDIT_REDO)->trigger();
    EXPECT_EQ(Saved(host, "redone.erd"), after);
}

TEST_F(UndoRedoTest, EveryWindowOfADocumentSharesItsHistory)
{
    CDocumentHost* first = m_manager->OnFileNew();
    CChildFrame* one = m_manager->Frames(first).constFirst();
    CChildFrame* two = m_manager->OnWindowNew(first);
    m_frame->ActivateFrame(one);
    PlaceTable(QPoint(30, 30));

    m_frame->ActivateFrame(two);
    EXPECT_EQ(Action(ID_EDIT_UNDO)->text(), QStringLiteral("&Undo Place Table"));
    EXPECT_TRUE(two->isWindowModified());
    Action(ID_EDIT_UNDO)->trigger();
    EXPECT_TRUE(first->GetDocument()->m_tables.empty());
    EXPECT_FALSE(one->isWindowModified());
    EXPECT_FALSE(two->isWindowModified());

    // Another document has a history of its own; the items follow the
    // active window.
    CDocumentHost* second = m_manager->OnFileNew();
    EXPECT_FALSE(Action(ID_EDIT_UNDO)->isEnabled());
    EXPECT_FALSE(Action(ID_EDIT_REDO)->isEnabled());
    PlaceTable(QPoint(30, 30));
    EXPECT_EQ(second->UndoStack()->count(), 1);
    m_frame->ActivateFrame(one);
    EXPECT_FALSE(Action(ID_EDIT_UNDO)->isEnabled());
    EXPECT_EQ(Action(ID_EDIT_REDO)->text(), QStringLiteral("&Redo Place Table"));
    Action(ID_EDIT_REDO)->trigger();
    EXPECT_EQ(first->GetDocument()->m_tables.size(), 1u);
    EXPECT_EQ(second->GetDocument()->m_tables.size(), 1u);
}
