// Documents and their windows: untitled names, window titles, opening with
// every load outcome, saving, closing with the question about changes.
#include "CRecordingSeam.h"
#include "TestBytes.h"
#include "CAppState.h"
#include "CChildFrame.h"
#include "CDocManager.h"
#include "CDocumentHost.h"
#include "CKorvoApp.h"
#include "CKorvoDoc.h"
#include "CKorvoView.h"
#include "CMainFrame.h"
#include "CommandIds.h"
#include "DiagramFile.h"
#include "KorvoTableView.h"

#include <QAction>
#include <QCoreApplication>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QMdiArea>
#include <QMimeData>
#include <QTemporaryDir>
#include <QUrl>

#include <memory>

#include <gtest/gtest.h>

namespace {

QStringList FrameTitles(CDocManager* manager, CDocumentHost* host)
{
    QStringList titles;
    for (CChildFrame* frame : manager->Frames(host))
        titles.append(frame->windowTitle());
    return titles;
}

// A version-2 diagram with one table, as the program saves it.
QByteArray OneTableDiagram()
{
    CKorvoDoc doc;
    auto table = std::make_unique<KorvoTableView>();
    table->m_def.m_strName = "t";
    doc.AddTable(std::move(table));
    const std::string bytes = doc.SaveToBytes();
    return QByteArray(bytes.data(), qsizetype(bytes.size()));
}

class CDocManagerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_frame = std::make_unique<CMainFrame>();
        m_frame->show();
        m_manager = m_frame->GetDocManager();
    }
    void TearDown() override
    {
        m_manager->CloseAllDocuments();
        m_frame.reset();
        // Windows that closed are deleted on the next turn of the loop.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        if (CKorvoApp* app = CKorvoApp::Instance())
            for (const QString& path : app->RecentFiles())
                app->RemoveFromRecentFileList(path);
    }
    QString Path(const char* name) const { return m_dir.filePath(QString::fromLatin1(name)); }

    QTemporaryDir m_dir;
    CRecordingSeam m_seam;
    std::unique_ptr<CMainFrame> m_frame;
    CDocManager* m_manager = nullptr;
};

} // namespace

TEST_F(CDocManagerTest, NewDiagramsAreNumberedDgm1Dgm2)
{
    CDocumentHost* first = m_manager->OnFileNew();
    CDocumentHost* second = m_manager->OnFileNew();
    EXPECT_EQ(first->Title(), QStringLiteral("dgm1"));
    EXPECT_EQ(second->Title(), QStringLiteral("dgm2"));
    EXPECT_EQ(FrameTitles(m_manager, first), QStringList{"dgm1[*]"});
    EXPECT_EQ(m_frame->GetMdiArea()->subWindowList().size(), 2);
    EXPECT_EQ(m_frame->ActiveDocument(), second);
    EXPECT_EQ(m_frame->windowTitle(), QStringLiteral("Korvo - dgm2[*]"));
    EXPECT_FALSE(first->IsModified());

    // A number once given is not given again, even after its diagram closed.
    ASSERT_TRUE(m_manager->OnFileClose(second));
    EXPECT_EQ(m_manager->OnFileNew()->Title(), QStringLiteral("dgm3"));
}

TEST_F(CDocManagerTest, SecondWindowNumbersTheTitlesAndClosingOneDropsTheNumbers)
{
    CDocumentHost* host = m_manager->OnFileNew();
    CChildFrame* second = m_manager->OnWindowNew(host);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(FrameTitles(m_manager, host), (QStringList{"dgm1:1[*]", "dgm1:2[*]"}));
    EXPECT_EQ(m_manager->Documents().size(), 1);
    EXPECT_EQ(second->GetView()->GetDocumentHost(), host);

    // Both windows show the modified mark of their one document.
    host->SetModifiedFlag(true);
    for (CChildFrame* frame : m_manager->Frames(host))
        EXPECT_TRUE(frame->isWindowModified());
    EXPECT_TRUE(m_frame->isWindowModified());

    // Closing one of two windows asks nothing, even though changes are unsaved.
    ASSERT_TRUE(second->close());
    EXPECT_TRUE(m_seam.boxes.isEmpty());
    EXPECT_EQ(FrameTitles(m_manager, host), QStringList{"dgm1[*]"});
}

TEST_F(CDocManagerTest, ClosingTheLastWindowOfAModifiedDiagramAsks)
{
    CDocumentHost* host = m_manager->OnFileNew();
    host->SetModifiedFlag(true);
    CChildFrame* frame = m_manager->Frames(host).constFirst();

    m_seam.answers = {QMessageBox::Cancel};
    EXPECT_FALSE(frame->close());
    ASSERT_EQ(m_seam.boxes.size(), 1);
    EXPECT_EQ(m_seam.boxes[0].text, QStringLiteral("Save changes to dgm1?"));
    EXPECT_EQ(m_seam.boxes[0].caption, QStringLiteral("Korvo"));
    EXPECT_EQ(m_seam.boxes[0].buttons, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    EXPECT_EQ(m_manager->Documents(), QList<CDocumentHost*>{host});
    EXPECT_TRUE(host->IsModified());

    // No discards the changes and closes.
    m_seam.answers = {QMessageBox::No};
    EXPECT_TRUE(frame->close());
    EXPECT_TRUE(m_manager->Documents().isEmpty());
    EXPECT_FALSE(m_frame->ShowsDocumentMenus());
}

TEST_F(CDocManagerTest, YesSavesBeforeClosingAndACancelledSaveKeepsTheDiagram)
{
    CDocumentHost* host = m_manager->OnFileNew();
    host->SetModifiedFlag(true);

    // Yes, then the Save As dialog is cancelled: nothing closes.
    m_seam.answers = {QMessageBox::Yes};
    EXPECT_FALSE(m_manager->OnFileClose(host));
    EXPECT_EQ(m_manager->Documents().size(), 1);
    EXPECT_EQ(m_seam.saveProposals, QStringList{"dgm1.erd"});

    // Yes with a file name: saved, then closed.
    m_seam.answers = {QMessageBox::Yes};
    m_seam.saveAnswers = {Path("kept.erd")};
    EXPECT_TRUE(m_manager->OnFileClose(host));
    EXPECT_TRUE(m_manager->Documents().isEmpty());
    EXPECT_TRUE(QFileInfo(Path("kept.erd")).isFile());
}

TEST_F(CDocManagerTest, ExitAsksForEveryModifiedDiagramAndStopsAtCancel)
{
    CDocumentHost* first = m_manager->OnFileNew();
    CDocumentHost* clean = m_manager->OnFileNew();
    CDocumentHost* third = m_manager->OnFileNew();
    first->SetModifiedFlag(true);
    third->SetModifiedFlag(true);

    m_seam.answers = {QMessageBox::No, QMessageBox::Cancel};
    m_frame->GetAction(ID_APP_EXIT)->trigger();
    ASSERT_EQ(m_seam.boxes.size(), 2);
    EXPECT_EQ(m_seam.boxes[0].text, QStringLiteral("Save changes to dgm1?"));
    EXPECT_EQ(m_seam.boxes[1].text, QStringLiteral("Save changes to dgm3?"));
    EXPECT_TRUE(m_frame->isVisible());
    EXPECT_EQ(m_manager->Documents(), (QList<CDocumentHost*>{first, clean, third}));

    m_seam.answers = {QMessageBox::No, QMessageBox::No};
    m_frame->GetAction(ID_APP_EXIT)->trigger();
    EXPECT_FALSE(m_frame->isVisible());
    EXPECT_TRUE(m_manager->Documents().isEmpty());
}

TEST_F(CDocManagerTest, SaveWritesTheFileAndRenamesTheDiagram)
{
    CDocumentHost* host = m_manager->OnFileNew();
    host->GetDocument()->AddTable(std::make_unique<KorvoTableView>());
    host->SetModifiedFlag(true);

    m_seam.saveAnswers = {Path("first.erd")};
    m_frame->GetAction(ID_FILE_SAVE)->trigger();
    EXPECT_EQ(m_seam.filters, QStringList{"ERD Files (*.erd)"});
    EXPECT_EQ(m_seam.saveSuffixes, QStringList{"erd"});
    EXPECT_FALSE(host->IsModified());
    EXPECT_EQ(host->Title(), QStringLiteral("first.erd"));
    EXPECT_EQ(FrameTitles(m_manager, host), QStringList{"first.erd[*]"});
    EXPECT_EQ(CKorvoApp::Instance()->RecentFiles().value(0), QFileInfo(Path("first.erd")).canonicalFilePath());

    CKorvoDoc reread;
    EXPECT_EQ(LoadDiagramFile(Path("first.erd").toStdString(), reread).status, LoadStatus::Loaded);
    EXPECT_EQ(reread.m_tables.size(), 1u);

    // Save again goes to the same file without asking.
    host->SetModifiedFlag(true);
    m_frame->GetAction(ID_FILE_SAVE)->trigger();
    EXPECT_EQ(m_seam.saveProposals.size(), 1);
    EXPECT_FALSE(host->IsModified());

    // Save As proposes the current file.
    m_seam.saveAnswers = {Path("second.erd")};
    m_frame->GetAction(ID_FILE_SAVE_AS)->trigger();
    EXPECT_EQ(m_seam.saveProposals.value(1), QFileInfo(Path("first.erd")).canonicalFilePath());
    EXPECT_EQ(host->Title(), QStringLiteral("second.erd"));
}

TEST_F(CDocManagerTest, FailedSaveNamesTheFileAndKeepsTheChanges)
{
    CDocumentHost* host = m_manager->OnFileNew();
    host->SetModifiedFlag(true);
    const QString target = Path("missing-folder/x.erd");
    EXPECT_FALSE(m_manager->DoSave(host, target));
    ASSERT_EQ(m_seam.boxes.size(), 1);
    EXPECT_TRUE(m_seam.boxes[0].text.contains(target)) << m_seam.boxes[0].text.toStdString();
    EXPECT_EQ(m_seam.boxes[0].icon, QMessageBox::Warning);
    EXPECT_TRUE(host->IsModified());
    EXPECT_EQ(host->Title(), QStringLiteral("dgm1"));
    EXPECT_TRUE(host->PathName().isEmpty());
}

namespace {

struct LoadCase {
    const char* name;
    QByteArray bytes;
    bool write;
    bool opens;
    const char* text; // empty: no message; a leading '~' asks only that it appears in the text
    const char* caption;
    QMessageBox::Icon icon;
    bool ownerless;
    size_t tables;
};

QByteArray Font60()
{
    QByteArray font(60, '\0');
    font.replace(0, 4, Int32(240));
    font.replace(28, 5, QByteArray("Arial"));
    return font;
}

} // namespace

TEST_F(CDocManagerTest, LoadOutcomesBecomeTheirMessages)
{
    const QByteArray v1 = Int32(0x45524420) + Int32(1) + Int32(0) + Int32(0) + Font60();
    const QByteArray truncated = Int32(0x45524420) + Int32(2) + Int32(1) + Int32(0);
    const LoadCase cases[] = {
        {"good.erd", OneTableDiagram(), true, true, "", "", QMessageBox::NoIcon, false, 1},
        {"magic.erd", "KRVO" + Int32(2) + Int32(0), true, true, "File type not recognized.", "Unknown file type",
         QMessageBox::NoIcon, true, 0},
        {"v3.erd", Int32(0x45524420) + Int32(3) + OneTableDiagram().mid(8), true, true, "File version not supported.",
         "Version not supported", QMessageBox::NoIcon, true, 0},
        {"v1.erd", v1, true, true,
         "This file is from an older version of Korvo. When you save it will be converted to the current version.",
         "Korvo", QMessageBox::Warning, false, 0},
        {"empty.erd", QByteArray(), true, true, "", "", QMessageBox::NoIcon, false, 0},
        {"cut.erd", truncated, true, false, "Unexpected file format.", "Korvo", QMessageBox::Warning, false, 0},
        {"absent.erd", QByteArray(), false, false, "~absent.erd", "Korvo", QMessageBox::Warning, false, 0},
    };
    for (const LoadCase& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = Path(c.name);
        if (c.write)
            WriteBytes(path, c.bytes);
        m_seam.boxes.clear();
        const qsizetype before = m_manager->Documents().size();

        EXPECT_EQ(m_manager->OpenDocumentFile(path), c.opens);
        const QString text = QString::fromLatin1(c.text);
        if (text.isEmpty()) {
            EXPECT_TRUE(m_seam.boxes.isEmpty());
        } else {
            ASSERT_EQ(m_seam.boxes.size(), 1);
            const CRecordingSeam::Message& message = m_seam.boxes[0];
            if (text.startsWith(QLatin1Char('~')))
                EXPECT_TRUE(message.text.contains(text.mid(1))) << message.text.toStdString();
            else
                EXPECT_EQ(message.text, text);
            EXPECT_EQ(message.caption, QString::fromLatin1(c.caption));
            EXPECT_EQ(message.icon, c.icon);
            EXPECT_EQ(message.ownerless, c.ownerless);
        }
        if (!c.opens) {
            EXPECT_EQ(m_manager->Documents().size(), before);
            continue;
        }
        ASSERT_EQ(m_manager->Documents().size(), before + 1);
        CDocumentHost* host = m_manager->Documents().constLast();
        EXPECT_EQ(host->Title(), QString::fromLatin1(c.name));
        EXPECT_FALSE(host->IsModified());
        EXPECT_EQ(host->GetDocument()->m_tables.size(), c.tables);
        EXPECT_EQ(m_frame->ActiveDocument(), host);
    }
}

TEST_F(CDocManagerTest, AVersion1FileCutShortGivesTheNoticeThenFails)
{
    // Header, one table announced, and nothing of it.
    const QString path = Path("old-and-cut.erd");
    WriteBytes(path, Int32(0x45524420) + Int32(1) + Int32(1));
    m_seam.boxes.clear();
    const qsizetype before = m_manager->Documents().size();
    EXPECT_FALSE(m_manager->OpenDocumentFile(path));
    ASSERT_EQ(m_seam.boxes.size(), 2);
    EXPECT_EQ(m_seam.boxes[0].text,
              QStringLiteral("This file is from an older version of Korvo. When you save it will be converted to the "
                             "current version."));
    EXPECT_EQ(m_seam.boxes[1].text, QStringLiteral("Unexpected file format."));
    for (const CRecordingSeam::Message& message : m_seam.boxes) {
        EXPECT_EQ(message.caption, QStringLiteral("Korvo"));
        EXPECT_EQ(message.icon, QMessageBox::Warning);
        EXPECT_FALSE(message.ownerless);
    }
    EXPECT_EQ(m_manager->Documents().size(), before);
}

TEST_F(CDocManagerTest, OpeningAnOpenFileActivatesItsWindow)
{
    WriteBytes(Path("a.erd"), OneTableDiagram());
    ASSERT_TRUE(m_manager->OpenDocumentFile(Path("a.erd")));
    CDocumentHost* opened = m_manager->Documents().constFirst();
    m_manager->OnFileNew();
    ASSERT_NE(m_frame->ActiveDocument(), opened);

    m_seam.openAnswers = {m_dir.path() + QStringLiteral("/./a.erd")};
    m_frame->GetAction(ID_FILE_OPEN)->trigger();
    EXPECT_EQ(m_manager->Documents().size(), 2);
    EXPECT_EQ(m_frame->ActiveDocument(), opened);
    EXPECT_EQ(m_seam.filters, QStringList{"ERD Files (*.erd)"});
}

TEST_F(CDocManagerTest, RecentFilesReopenAndAVanishedOneLeavesTheList)
{
    WriteBytes(Path("r.erd"), OneTableDiagram());
    ASSERT_TRUE(m_manager->OpenDocumentFile(Path("r.erd")));
    ASSERT_TRUE(m_manager->OnFileClose(m_manager->Documents().constFirst()));

    m_frame->OnOpenRecentFile(0);
    EXPECT_EQ(m_manager->Documents().size(), 1);
    ASSERT_TRUE(m_manager->OnFileClose(m_manager->Documents().constFirst()));

    ASSERT_TRUE(QFile::remove(Path("r.erd")));
    m_frame->OnOpenRecentFile(0);
    EXPECT_TRUE(m_manager->Documents().isEmpty());
    EXPECT_TRUE(CKorvoApp::Instance()->RecentFiles().isEmpty());
}

TEST_F(CDocManagerTest, FilesDroppedOnTheMainWindowOpen)
{
    WriteBytes(Path("one.erd"), OneTableDiagram());
    WriteBytes(Path("two.erd"), OneTableDiagram());
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(Path("one.erd")), QUrl::fromLocalFile(Path("two.erd"))});
    QDragEnterEvent enter(QPoint(100, 100), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(m_frame.get(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(100, 100), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(m_frame.get(), &drop);
    ASSERT_EQ(m_manager->Documents().size(), 2);
    EXPECT_EQ(m_manager->Documents()[0]->Title(), QStringLiteral("one.erd"));
    EXPECT_EQ(m_manager->Documents()[1]->Title(), QStringLiteral("two.erd"));
}

TEST_F(CDocManagerTest, SaveNeverReplacesAFileThatCouldNotBeRead)
{
    // A diagram of a newer version opens empty; a plain Save must not turn the
    // file into an empty diagram, so it asks for a name first.
    const QByteArray newer = Int32(0x45524420) + Int32(3) + OneTableDiagram().mid(8);
    WriteBytes(Path("newer.erd"), newer);
    ASSERT_TRUE(m_manager->OpenDocumentFile(Path("newer.erd")));
    CDocumentHost* host = m_manager->Documents().constFirst();

    m_frame->GetAction(ID_FILE_SAVE)->trigger();
    EXPECT_EQ(m_seam.saveProposals, QStringList{QFileInfo(Path("newer.erd")).canonicalFilePath()});
    QFile file(Path("newer.erd"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), newer);

    // Once saved under a name of the user's choosing, Save writes there again.
    m_seam.saveAnswers = {Path("mine.erd")};
    m_frame->GetAction(ID_FILE_SAVE)->trigger();
    EXPECT_EQ(host->Title(), QStringLiteral("mine.erd"));
    m_frame->GetAction(ID_FILE_SAVE)->trigger();
    EXPECT_EQ(m_seam.saveProposals.size(), 2);
}

// File names beyond ASCII: the window title, the recent-file list, saving
// under a new name and reopening from the list all keep every character.
TEST_F(CDocManagerTest, FileNamesBeyondAsciiKeepEveryCharacter)
{
    const QString first = m_dir.filePath(QStringLiteral("\u9867\u5BA2 caf\u00E9.erd"));
    WriteBytes(first, OneTableDiagram());
    ASSERT_TRUE(m_manager->OpenDocumentFile(first));
    CDocumentHost* host = m_manager->Documents().constFirst();
    EXPECT_EQ(host->Title(), QStringLiteral("\u9867\u5BA2 caf\u00E9.erd"));
    EXPECT_EQ(FrameTitles(m_manager, host), QStringList{QStringLiteral("\u9867\u5BA2 caf\u00E9.erd[*]")});
    EXPECT_EQ(CKorvoApp::Instance()->RecentFiles().value(0), QFileInfo(first).canonicalFilePath());

    host->GetDocument()->m_tables[0]->m_def.m_strName = "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D \xF0\x9F\x8E\x89";
    host->SetModifiedFlag(true);
    const QString second = m_dir.filePath(QStringLiteral("Gr\u00FC\u00DFe \U0001F389.erd"));
    m_seam.saveAnswers = {second};
    m_frame->GetAction(ID_FILE_SAVE_AS)->trigger();
    EXPECT_EQ(host->Title(), QStringLiteral("Gr\u00FC\u00DFe \U0001F389.erd"));
    ASSERT_TRUE(m_manager->OnFileClose(host));

    m_frame->OnOpenRecentFile(0);
    ASSERT_EQ(m_manager->Documents().size(), 1);
    const CKorvoDoc* reopened = m_manager->Documents().constFirst()->GetDocument();
    ASSERT_EQ(reopened->m_tables.size(), 1u);
    EXPECT_EQ(reopened->m_tables[0]->m_def.m_strName, "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D \xF0\x9F\x8E\x89");
}
