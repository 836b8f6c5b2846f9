// A command's work on a worker thread: what it throws comes back as its
// outcome, and with the program's own modal seam the progress dialog shows
// once the work has run a while and its Cancel stops the work. While the
// work runs, only the progress dialog takes input and no window closes.
#include "CBackgroundTask.h"
#include "CModalSeam.h"
#include "CRecordingSeam.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QLineEdit>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

#include <atomic>
#include <chrono>
#include <new>
#include <stdexcept>
#include <thread>

#include <gtest/gtest.h>

namespace {

QProgressDialog* ShownProgress()
{
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* dialog = qobject_cast<QProgressDialog*>(widget); dialog && dialog->isVisible())
            return dialog;
    return nullptr;
}

} // namespace

TEST(BackgroundTask, WhatTheWorkThrowsIsItsOutcome)
{
    const struct {
        const char* what;
        void (*work)();
        bool outOfMemory;
        const char* failure;
    } cases[] = {
        {"returns", [] {}, false, ""},
        {"runs out of memory", [] { throw std::bad_alloc(); }, true, ""},
        {"fails", [] { throw std::runtime_error("the disk is on fire"); }, false, "the disk is on fire"},
        {"throws anything", [] { throw 42; }, false, "unexpected failure"},
    };
    QWidget window;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CBackgroundTask task;
        bool ran = false;
        EXPECT_TRUE(task.RunWithProgress(&window, QStringLiteral("Working..."), [&] {
            ran = true;
            c.work();
        }));
        EXPECT_TRUE(ran);
        EXPECT_FALSE(task.IsRunning());
        EXPECT_EQ(task.RanOutOfMemory(), c.outOfMemory);
        EXPECT_EQ(task.Failure().toStdString(), c.failure);
    }
}

TEST(BackgroundTask, ProgressShowsForLongWorkAndItsCancelStopsTheWork)
{
    CModalSeam::Install(nullptr); // the program's own seam
    QWidget window;
    window.show();
    CBackgroundTask task;
    std::atomic<int> reports{0};
    std::atomic<bool> stopped{false};
    // A person who presses Cancel once the progress dialog shows.
    QProgressDialog* seen = nullptr;
    QString label;
    QTimer person;
    QObject::connect(&person, &QTimer::timeout, [&] {
        QProgressDialog* dialog = ShownProgress();
        if (!dialog || seen)
            return;
        seen = dialog;
        label = dialog->labelText();
        EXPECT_TRUE(dialog->isModal());
        auto* cancel = dialog->findChild<QPushButton*>();
        ASSERT_NE(cancel, nullptr);
        QTest::mouseClick(cancel, Qt::LeftButton);
    });
    person.start(20);
    // Work that runs until it is told to stop (a minute stands for "never").
    const bool completed = task.RunWithProgress(&window, QStringLiteral("Reading big.sql..."), [&] {
        for (int i = 0; i < 6000; ++i) {
            if (!task.Report(0.5, "step")) {
                stopped = true;
                return;
            }
            ++reports;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    });
    person.stop();
    EXPECT_FALSE(completed);
    EXPECT_TRUE(stopped) << "the work learned of the Cancel";
    ASSERT_NE(seen, nullptr);
    EXPECT_EQ(label, QStringLiteral("Reading big.sql..."));
    EXPECT_GT(reports.load(), 0);
    EXPECT_EQ(ShownProgress(), nullptr) << "the dialog goes with the command";
}

TEST(BackgroundTask, WhileTheWorkRunsOnlyTheProgressDialogTakesInput)
{
    CRecordingSeam seam;
    QMainWindow main;
    auto* area = new QMdiArea;
    main.setCentralWidget(area);
    auto* page = new QWidget;
    auto* edit = new QLineEdit(page);
    auto* button = new QPushButton(QStringLiteral("Delete"), page);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(edit);
    layout->addWidget(button);
    QMdiSubWindow* document = area->addSubWindow(page);
    int pressed = 0;
    QObject::connect(button, &QPushButton::clicked, [&pressed] { ++pressed; });
    auto* shortcut = new QAction(&main);
    shortcut->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F9));
    shortcut->setShortcutContext(Qt::ApplicationShortcut);
    main.addAction(shortcut);
    int fired = 0;
    QObject::connect(shortcut, &QAction::triggered, [&fired] { ++fired; });
    main.show();
    main.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&main));
    edit->setFocus();

    // What a person tries while the work runs, then Cancel.
    auto tryEverything = [&] {
        QTest::keyClicks(edit, QStringLiteral("abc"));
        QTest::keyClick(edit, Qt::Key_F9, Qt::ControlModifier);
        QTest::mouseClick(button, Qt::LeftButton);
        EXPECT_FALSE(document->close());
        EXPECT_FALSE(main.close());
    };
    CBackgroundTask task;
    std::atomic<bool> stopped{false};
    bool waitCursor = false;
    seam.workProgress = [&](QProgressDialog& dialog) {
        tryEverything();
        auto* cancel = dialog.findChild<QPushButton*>();
        ASSERT_NE(cancel, nullptr);
        QTest::mouseClick(cancel, Qt::LeftButton);
        // The work has not yet stopped: the pointer waits with it.
        waitCursor = QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor;
    };
    const bool completed = task.RunWithProgress(&main, QStringLiteral("Working..."), [&] {
        // Cancel reaches the work only through its reports; a minute stands
        // for "never".
        for (int i = 0; i < 6000 && !stopped; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            stopped = !task.Report(0.5);
        }
    });
    EXPECT_FALSE(completed);
    EXPECT_TRUE(stopped);
    EXPECT_TRUE(waitCursor);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(edit->text().isEmpty());
    EXPECT_EQ(fired, 0);
    EXPECT_EQ(pressed, 0);
    EXPECT_TRUE(main.isVisible());
    EXPECT_TRUE(document->isVisible());

    // With the work over, the same input reaches the window again.
    main.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&main));
    QTest::keyClicks(edit, QStringLiteral("abc"));
    QTest::keyClick(edit, Qt::Key_F9, Qt::ControlModifier);
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(edit->text(), QStringLiteral("abc"));
    EXPECT_EQ(fired, 1);
    EXPECT_EQ(pressed, 1);
    EXPECT_TRUE(document->close());
    EXPECT_TRUE(main.close());
}

// A window that goes while the work runs takes its progress dialog along;
// the run counts as cancelled and the program goes on.
TEST(BackgroundTask, AParentThatGoesCancelsTheRun)
{
    CRecordingSeam seam;
    auto* window = new QWidget;
    window->show();
    CBackgroundTask task;
    seam.workProgress = [&window](QProgressDialog&) {
        delete window;
        window = nullptr;
    };
    const bool completed = task.RunWithProgress(window, QStringLiteral("Working..."), [&task] {
        for (int i = 0; i < 6000 && task.Report(-1); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    });
    EXPECT_FALSE(completed);
    EXPECT_TRUE(task.IsCancelled());
    EXPECT_EQ(ShownProgress(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}
