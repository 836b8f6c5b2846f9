#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <sys/resource.h>

// One run of the korvo program as a user runs it, without a display.
struct ProgramRun {
    int exitCode = -1;
    bool crashed = false;
    QByteArray out;
    QString err;
};

// Limits the run's files may grow to and the memory it may map; a write past
// the file limit fails with EFBIG instead of killing the program.
struct ProgramLimits {
    rlim_t fileSize = RLIM_INFINITY;
    rlim_t addressSpace = RLIM_INFINITY;
};

ProgramRun Korvo(const QStringList& arguments, const ProgramLimits& limits = {});
// The error lines korvo wrote, without the platform's own chatter.
QStringList KorvoLines(const QString& err);
