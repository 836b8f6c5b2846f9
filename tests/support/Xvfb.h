#pragma once

#include <QProcess>
#include <QString>

// A private X server on a display it chose as free, stopped with the object.
// Display() is empty when none could be started.
class Xvfb {
public:
    Xvfb();
    ~Xvfb();
    Xvfb(const Xvfb&) = delete;
    Xvfb& operator=(const Xvfb&) = delete;

    QString Display() const { return m_display; }

private:
    QProcess m_server;
    QString m_display;
};
