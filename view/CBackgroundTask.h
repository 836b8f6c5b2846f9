#pragma once

#include <QObject>
#include <QString>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

class QWidget;

// Runs one piece of work at a time on a thread of its own, so that the
// windows stay painted while a script or a database is read. The work says
// how far it has come, and learns whether to stop, through Report; the task
// tells the GUI thread when the work has returned (Finished).
//
// The work must touch no widget and no document: it leaves its result in
// what it captured, which the GUI thread reads once the task has finished.
// Nothing the work throws leaves its thread: running out of memory and any
// other exception become RanOutOfMemory() and Failure().
class CBackgroundTask : public QObject {
    Q_OBJECT
public:
    explicit CBackgroundTask(QObject* parent = nullptr);
    // Asks work still running to stop, and waits for it.
    ~CBackgroundTask() override;
    CBackgroundTask(const CBackgroundTask&) = delete;
    CBackgroundTask& operator=(const CBackgroundTask&) = delete;

    // Starts work on a new thread; false, and nothing started, while earlier
    // work still runs. GUI thread only.
    bool Start(std::function<void()> work);
    // True from Start until Finished has been emitted. GUI thread only.
    bool IsRunning() const { return m_running; }

    // Asks the work to stop at its next Report; any thread.
    void Cancel() { m_cancelled = true; }
    bool IsCancelled() const { return m_cancelled; }

    // For the work: how far it has come (0 to 1; below 0 when it cannot
    // tell) and what it is doing. False when it should stop.
    bool Report(double share, std::string_view step = {});
    // The last report, for the GUI thread: the share in thousandths (-1 when
    // unknown) and the step.
    int Permille() const { return m_permille; }
    QString Step() const;

    // How the last work ended when it threw instead of returning.
    bool RanOutOfMemory() const { return m_outOfMemory; }
    QString Failure() const { return m_failure; }

    // Runs work as one step of a command and returns when it is done, with
    // the windows painted meanwhile. A progress dialog with Cancel (captioned
    // `caption`, "Korvo" when empty, labelled `label`, over parent) is handed
    // to the modal seam, which shows it when the work takes a while. Until
    // the work ends, input meant for any other window is held back or
    // dropped, no shortcut fires and neither the main window nor a document
    // window closes, so nothing changes or closes a diagram meanwhile; once
    // Cancel is pressed the pointer waits until the work has stopped. False
    // when the user cancelled, whether or not the work had noticed it before
    // it ended, and when earlier work of this task still runs (nothing runs).
    bool RunWithProgress(QWidget* parent, const QString& label, std::function<void()> work,
                         const QString& caption = QString());

signals:
    // The work has returned; emitted on the GUI thread.
    void Finished();

private:
    void Join();

    std::thread m_thread;
    bool m_running = false;
    std::atomic<bool> m_cancelled{false};
    std::atomic<int> m_permille{-1};
    mutable std::mutex m_stepMutex;
    std::string m_step;
    bool m_outOfMemory = false;
    QString m_failure;
};
