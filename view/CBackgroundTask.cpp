#include "CBackgroundTask.h"

#include "CModalSeam.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QProgressDialog>
#include <QTimer>

#include <algorithm>
#include <climits>
#include <exception>
#include <new>

CBackgroundTask::CBackgroundTask(QObject* parent) : QObject(parent) {}

CBackgroundTask::~CBackgroundTask()
{
    // The finishing call queued for this object dies with it.
    Cancel();
    Join();
}

void CBackgroundTask::Join()
{
    if (m_thread.joinable())
        m_thread.join();
}

bool CBackgroundTask::Start(std::function<void()> work)
{
    if (m_running)
        return false;
    Join();
    m_running = true;
    m_cancelled = false;
    m_permille = -1;
    m_outOfMemory = false;
    m_failure.clear();
    {
        const std::lock_guard<std::mutex> lock(m_stepMutex);
        m_step.clear();
    }
    m_thread = std::thread([this, work = std::move(work)] {
        bool outOfMemory = false;
        QString failure;
        try {
            work();
        } catch (const std::bad_alloc&) {
            outOfMemory = true;
        } catch (const std::exception& error) {
            failure = QString::fromUtf8(error.what());
        } catch (...) {
            failure = QStringLiteral("unexpected failure");
        }
        // The GUI thread learns the outcome only once the work is over.
        QMetaObject::invokeMethod(
            this,
            [this, outOfMemory, failure] {
                Join();
                m_outOfMemory = outOfMemory;
                m_failure = failure;
                m_running = false;
                emit Finished();
            },
            Qt::QueuedConnection);
    });
    return true;
}

bool CBackgroundTask::Report(double share, std::string_view step)
{
    m_permille = share < 0 ? -1 : int(std::clamp(share, 0.0, 1.0) * 1000);
    if (!step.empty()) {
        const std::lock_guard<std::mutex> lock(m_stepMutex);
        m_step.assign(step);
    }
    return !m_cancelled;
}

QString CBackgroundTask::Step() const
{
    const std::lock_guard<std::mutex> lock(m_stepMutex);
    return QString::fromUtf8(m_step.data(), qsizetype(m_step.size()));
}

bool CBackgroundTask::RunWithProgress(QWidget* parent, const QString& label, std::function<void()> work)
{
    QProgressDialog dialog(label, QStringLiteral("Cancel"), 0, 1000, parent);
    dialog.setWindowTitle(QStringLiteral("Korvo"));
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.setAutoClose(false);
    dialog.setAutoReset(false);
    // The seam decides when the dialog shows; Qt's own timer never does.
    dialog.setMinimumDuration(INT_MAX);
    dialog.setValue(0);
    bool cancelled = false;
    connect(&dialog, &QProgressDialog::canceled, this, [this, &cancelled] {
        cancelled = true;
        Cancel();
    });
    QTimer tick;
    connect(&tick, &QTimer::timeout, &dialog, [this, &dialog] {
        const int permille = Permille();
        if (permille < 0)
            dialog.setRange(0, 0);
        else if (dialog.maximum() == 0)
            dialog.setRange(0, 1000);
        if (permille >= 0)
            dialog.setValue(std::max(permille, 1));
    });
    tick.start(100);

    Start(std::move(work));
    CModalSeam::Get().ShowProgress(dialog);
    // Until the dialog shows, clicks and keys wait for the command to end, as
    // they would for any command; once it shows, it alone takes them.
    while (IsRunning()) {
        if (dialog.wasCanceled()) {
            cancelled = true;
            Cancel();
        }
        const QEventLoop::ProcessEventsFlags input =
            dialog.isVisible() ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents;
        QCoreApplication::processEvents(input | QEventLoop::WaitForMoreEvents);
    }
    return !cancelled && !dialog.wasCanceled();
}
