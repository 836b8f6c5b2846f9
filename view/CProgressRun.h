#pragma once

#include <QString>

#include <functional>

class QWidget;

// Runs a long computation on a worker thread while the window stays alive:
// after a short delay a progress dialog with Cancel shows how far the work
// has come. Until the work ends, input to every other window is dropped, no
// shortcut fires and neither the main window nor a document window closes, so
// no command changes or closes a diagram meanwhile. Painting, timers and the
// like go on; the work must therefore read nothing that they change.
class CProgressRun {
public:
    // Reports the work done so far of the whole; false once Cancel was pressed.
    // Called on the worker thread.
    using Progress = std::function<bool(int done, int total)>;
    using Work = std::function<void(const Progress& progress)>;

    // The dialog's parent (its window is used), caption and line of text.
    CProgressRun(QWidget* parent, const QString& caption, const QString& label);

    // Runs work to its end. False when Cancel was pressed, whatever the work
    // made of it: what it produced is then to be dropped. An exception the
    // work throws comes out of Run once the worker has ended.
    bool Run(const Work& work);

    // How long the dialog waits before it shows, in milliseconds, and how
    // often it follows the work.
    static constexpr int kShowDelay = 400;
    static constexpr int kPollInterval = 30;

private:
    QWidget* m_pParent;
    QString m_strCaption;
    QString m_strLabel;
};
