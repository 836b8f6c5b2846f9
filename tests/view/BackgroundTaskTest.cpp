// A command's work on a worker thread: what it throws comes back as its
// outcome, and with the program's own modal seam the progress dialog shows
// once the work has run a while and its Cancel stops the work.
#include "CBackgroundTask.h"
#include "CModalSeam.h"

#include <QApplication>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <QTimer>
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
