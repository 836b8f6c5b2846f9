// Commands and events that run out of memory: the program says so and keeps
// every open diagram, and the file on disk stays as it was. The allocation
// functions of this executable refuse large blocks while a limit is set.
#include "CRecordingSeam.h"
#include "TestBytes.h"
#include "CDocManager.h"
#include "CDocumentHost.h"
#include "CKorvoApp.h"
#include "CKorvoDoc.h"
#include "CKorvoView.h"
#include "CMainFrame.h"
#include "CModalSeam.h"
#include "CommandIds.h"
#include "KorvoTableView.h"

#include <QAction>
#include <QEvent>
#include <QFile>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QTemporaryDir>
#include <QTest>
#include <QUndoStack>

#include <cstdlib>
#include <memory>
#include <new>

#include <gtest/gtest.h>

namespace {

// While non-zero, any single allocation of at least this many bytes fails.
size_t g_refuseFrom = 0;

class AllocationLimit {
public:
    explicit AllocationLimit(size_t bytes) { g_refuseFrom = bytes; }
    ~AllocationLimit() { g_refuseFrom = 0; }
};

} // namespace

// GCC takes these replacements for a mismatch of new and free; they are the
// allocation functions themselves, so malloc and free pair up.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
void* operator new(std::size_t size)
{
    if (g_refuseFrom != 0 && size >= g_refuseFrom)
        throw std::bad_alloc();
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return ::operator new(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

namespace {

constexpr size_t kLimit = 4 << 20;

// An object whose event handling runs out of memory, as a paint or a key
// handler can.
class Hungry : public QObject {
protected:
    bool event(QEvent*) override { throw std::bad_alloc(); }
};

class OutOfMemoryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_frame = std::make_unique<CMainFrame>();
        m_frame->show();
        m_host = m_frame->GetDocManager()->OnFileNew();
        // A table whose description alone is larger than the limit.
        auto table = std::make_unique<KorvoTableView>();
        table->m_def.m_strName = "t";
        table->m_def.m_strDescription = std::string(2 * kLimit, 'd');
        table->m_def.m_strCheck = std::string(2 * kLimit, 'c');
        m_host->GetDocument()->AddTable(std::move(table));
        m_host->SetModifiedFlag(true);
    }
    void TearDown() override
    {
        m_frame->GetDocManager()->CloseAllDocuments();
        m_frame.reset();
    }

    QByteArray Read(const QString& path) const
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir m_dir;
    CRecordingSeam m_seam;
    std::unique_ptr<CMainFrame> m_frame;
    CDocumentHost* m_host = nullptr;
};

} // namespace

// Regression: running out of memory in a command ended the program with
// std::bad_alloc and every open diagram was lost.
TEST_F(OutOfMemoryTest, CommandsSaySoAndKeepTheDiagrams)
{
    const QString diagram = m_dir.filePath(QStringLiteral("d.erd"));
    const QString script = m_dir.filePath(QStringLiteral("d.sql"));
    WriteBytes(diagram, "old diagram");
    WriteBytes(script, "old script");
    m_host->SetPathName(diagram);
    m_host->SetModifiedFlag(true);

    const struct {
        int command;
        QString answer;
    } table[] = {
        {ID_FILE_SAVE, QString()},
        {ID_DIAGRAM_EXPORT_SQL, script},
        {ID_FILE_SAVE_AS, m_dir.filePath(QStringLiteral("new.erd"))},
    };
    for (const auto& row : table) {
        m_seam.boxes.clear();
        if (!row.answer.isEmpty())
            m_seam.saveAnswers = QStringList{row.answer};
        {
            AllocationLimit limit(kLimit);
            m_frame->GetAction(row.command)->trigger();
        }
        ASSERT_EQ(m_seam.boxes.size(), 1) << row.command;
        EXPECT_EQ(m_seam.boxes[0].text, QString::fromLatin1(kOutOfMemoryMessage));
        EXPECT_EQ(m_seam.boxes[0].icon, QMessageBox::Warning);
    }
    EXPECT_EQ(m_frame->GetDocManager()->Documents(), QList<CDocumentHost*>{m_host});
    EXPECT_TRUE(m_host->IsModified());
    EXPECT_EQ(m_host->GetDocument()->m_tables.size(), 1u);
    EXPECT_EQ(Read(diagram), QByteArray("old diagram"));
    EXPECT_EQ(Read(script), QByteArray("old script"));
    EXPECT_FALSE(QFile::exists(m_dir.filePath(QStringLiteral("new.erd"))));

    // With the memory back, the same save works.
    m_seam.boxes.clear();
    m_frame->GetAction(ID_FILE_SAVE)->trigger();
    EXPECT_TRUE(m_seam.boxes.isEmpty());
    EXPECT_FALSE(m_host->IsModified());
    EXPECT_GT(Read(diagram).size(), qsizetype(4 * kLimit));
}

TEST_F(OutOfMemoryTest, AnEventThatRunsOutOfMemoryIsReported)
{
    Hungry hungry;
    QEvent event(QEvent::User);
    EXPECT_FALSE(QCoreApplication::sendEvent(&hungry, &event));
    ASSERT_EQ(m_seam.boxes.size(), 1);
    EXPECT_EQ(m_seam.boxes[0].text, QString::fromLatin1(kOutOfMemoryMessage));
    EXPECT_EQ(m_frame->GetDocManager()->Documents().size(), 1);
}

// An edit that runs out of memory may have changed the diagram before its
// step was recorded: the history goes, rather than let undo lead to a
// diagram that never was, and the saved state counts as left.
TEST_F(OutOfMemoryTest, AnEditThatRunsOutOfMemoryDropsTheHistory)
{
    CKorvoView* view = m_frame->ActiveView();
    auto placeTable = [&](QPoint at) {
        m_frame->GetAction(ID_TOOL_TABLE)->trigger();
        QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    };
    placeTable(QPoint(300, 300));
    ASSERT_EQ(m_host->UndoStack()->count(), 1);
    m_host->SetModifiedFlag(false);

    // A command: Delete of everything, whose step would hold the large table.
    m_frame->GetAction(ID_EDIT_SELECT_ALL)->trigger();
    {
        AllocationLimit limit(kLimit);
        m_frame->GetAction(ID_EDIT_DELETE)->trigger();
    }
    ASSERT_EQ(m_seam.boxes.size(), 1);
    EXPECT_EQ(m_host->UndoStack()->count(), 0);
    EXPECT_FALSE(m_frame->GetAction(ID_EDIT_UNDO)->isEnabled());
    EXPECT_TRUE(m_host->IsModified());
    EXPECT_EQ(m_host->GetDocument()->m_tables.size(), 2u);

    // An event of the window that ran out of memory, as the application's
    // event delivery meets it (an exception through Qt's own frames leaks
    // what they hold, so it is not thrown here): a paint leaves the history
    // alone, a key or a click on the canvas drops it.
    placeTable(QPoint(400, 300));
    ASSERT_EQ(m_host->UndoStack()->count(), 1);
    QPaintEvent paint(QRect(0, 0, 10, 10));
    CKorvoApp::ForgetHistoryAfter(view->viewport(), &paint);
    EXPECT_EQ(m_host->UndoStack()->count(), 1);
    QKeyEvent key(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier);
    CKorvoApp::ForgetHistoryAfter(m_frame.get(), &key);
    EXPECT_EQ(m_host->UndoStack()->count(), 1) << "not an event of a diagram window";
    CKorvoApp::ForgetHistoryAfter(view, &key);
    EXPECT_EQ(m_host->UndoStack()->count(), 0);
    EXPECT_TRUE(m_host->IsModified());

    placeTable(QPoint(400, 300));
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    CKorvoApp::ForgetHistoryAfter(view->viewport(), &press);
    EXPECT_EQ(m_host->UndoStack()->count(), 0);
}
