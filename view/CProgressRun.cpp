#include "CProgressRun.h"

#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QMainWindow>
#include <QMdiSubWindow>
#include <QPointer>
#include <QProgressDialog>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <exception>
#include <thread>

namespace {

// Drops input and shortcuts meant for anything but the progress dialog, and
// keeps the main window and the document windows from closing.
class CInputGate : public QObject {
public:
    explicit CInputGate(QWidget* open) : m_pOpen(open) { qApp->installEventFilter(this); }
    ~CInputGate() override { qApp->removeEventFilter(this); }

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

CProgressRun::CProgressRun(QWidget* parent, const QString& caption, const QString& label)
    : m_pParent(parent), m_strCaption(caption), m_strLabel(label)
{
}

bool CProgressRun::Run(const Work& work)
{
    std::atomic<bool> cancel{false};
    std::atomic<bool> finished{false};
    std::atomic<int> done{0};
    std::atomic<int> total{0};
    std::exception_ptr failure;

    // On the heap, owned by the window: the window outlives the run, as no
    // window may close meanwhile.
    QPointer<QProgressDialog> dialog =
        new QProgressDialog(m_strLabel, QObject::tr("Cancel"), 0, 0, m_pParent ? m_pParent->window() : nullptr);
    dialog->setObjectName(QStringLiteral("ProgressDialog"));
    dialog->setWindowTitle(m_strCaption);
    dialog->setWindowModality(Qt::ApplicationModal);
    dialog->setAutoClose(false);
    dialog->setAutoReset(false);
    dialog->setMinimumDuration(kShowDelay);
    dialog->setValue(0);
    bool waiting = false;
    QObject::connect(dialog, &QProgressDialog::canceled, dialog, [&cancel, &waiting] {
        cancel = true;
        // The worker stops at its next report; until then the pointer says so.
        if (!waiting)
            QApplication::setOverrideCursor(Qt::WaitCursor);
        waiting = true;
    });

    std::thread worker([&] {
        const Progress progress = [&](int doneSoFar, int whole) {
            done = doneSoFar;
            total = whole;
            return !cancel.load();
        };
        try {
            work(progress);
        } catch (...) {
            failure = std::current_exception();
        }
        finished = true;
    });

    {
        CInputGate gate(dialog);
        QEventLoop loop;
        QTimer poll;
        poll.setInterval(kPollInterval);
        QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
            if (finished) {
                loop.quit();
                return;
            }
            const int whole = total;
            if (dialog && whole > 0 && !cancel) {
                if (dialog->maximum() != whole)
                    dialog->setMaximum(whole);
                dialog->setValue(std::clamp(done.load(), 0, whole));
            }
        });
        poll.start();
        if (!finished)
            loop.exec();
    }
    worker.join();

    const bool cancelled = cancel || (dialog && dialog->wasCanceled());
    if (waiting)
        QApplication::restoreOverrideCursor();
    delete dialog.data();
    if (failure)
        std::rethrow_exception(failure);
    return !cancelled;
}
