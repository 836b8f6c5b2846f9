#include "CBackgroundTask.h"

#include "CModalSeam.h"

#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QMainWindow>
#include <QMdiSubWindow>
#include <QPointer>
#include <QProgressDialog>
#include <QTimer>

#include <algorithm>
#include <climits>
#include <exception>
#include <new>

namespace {

// Drops input and shortcuts meant for anything but the progress dialog, and
// keeps the main window and the document windows from closing.
class CInputGate : public QObject {
public:
    explicit CInputGate(QWidget* open) : m_pOpen(open) { qApp->installEventFilter(this); }
    ~CInputGate() override { qApp->removeEventFilter(this); }
    CInputGate(const CInputGate&) = delete;
    CInputGate& operator=(const CInputGate&) = delete;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::ContextMenu:
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TabletPress:
        case QEvent::TabletRelease:
        case QEvent::Close:
            break;
        default:
            return false;
        }
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget && m_pOpen && (widget == m_pOpen || m_pOpen->isAncestorOf(widget)))
            return false;
        if (event->type() == QEvent::Close) {
            if (!qobject_cast<QMainWindow*>(widget) && !qobject_cast<QMdiSubWindow*>(widget))
                return false;
            event->ignore();
            return true;
        }
        // A key the focus widget claims sets off no shortcut.
        if (event->type() == QEvent::ShortcutOverride)
            event->accept();
        return true;
    }

private:
    QPointer<QWidget> m_pOpen;
};

} // namespace

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

bool CBackgroundTask::RunWithProgress(QWidget* parent, const QString& label, std::function<void()> work,
                                      const QString& caption)
{
    // Earlier work of this task still runs: nothing starts, as if cancelled.
    if (m_running)
        return false;
    // On the heap and watched: a parent that goes meanwhile takes the dialog
    // along, which then counts as cancelled.
    QPointer<QProgressDialog> dialog = new QProgressDialog(label, QStringLiteral("Cancel"), 0, 1000, parent);
    dialog->setWindowTitle(caption.isEmpty() ? QStringLiteral("Korvo") : caption);
    dialog->setWindowModality(Qt::ApplicationModal);
    dialog->setAutoClose(false);
    dialog->setAutoReset(false);
    // The seam decides when the dialog shows; Qt's own timer never does.
    dialog->setMinimumDuration(INT_MAX);
    dialog->setValue(0);
    bool cancelled = false;
    auto stop = [this, &cancelled] {
        if (cancelled)
            return;
        cancelled = true;
        Cancel();
        // The work stops at its next report; until then the pointer says so.
        QApplication::setOverrideCursor(Qt::WaitCursor);
    };
    connect(dialog, &QProgressDialog::canceled, this, stop);
    QTimer tick;
    connect(&tick, &QTimer::timeout, dialog, [this, progress = dialog.data()] {
        const int permille = Permille();
        if (permille < 0)
            progress->setRange(0, 0);
        else if (progress->maximum() == 0)
            progress->setRange(0, 1000);
        if (permille >= 0)
            progress->setValue(std::max(permille, 1));
    });
    tick.start(100);

    Start(std::move(work));
    {
        const CInputGate gate(dialog);
        CModalSeam::Get().ShowProgress(*dialog);
        // Until the dialog shows, clicks and keys wait for the command to
        // end, as they would for any command; once it shows, it alone takes
        // them and what is meant for any other window is dropped.
        while (IsRunning()) {
            if (!dialog || dialog->wasCanceled())
                stop();
            const QEventLoop::ProcessEventsFlags input = dialog && dialog->isVisible()
                                                             ? QEventLoop::AllEvents
                                                             : QEventLoop::ExcludeUserInputEvents;
            QCoreApplication::processEvents(input | QEventLoop::WaitForMoreEvents);
        }
    }
    if (cancelled)
        QApplication::restoreOverrideCursor();
    else
        cancelled = dialog && dialog->wasCanceled();
    delete dialog.data();
    return !cancelled;
}
