#pragma once

#include <QProcess>
#include <QString>

// A private X server on the first free display from :90 on, stopped with the
// object. Display() is empty when none could be started.
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
