#include "ProgramRun.h"

#include <QProcess>

#include <gtest/gtest.h>

#include <csignal>

ProgramRun Korvo(const QStringList& arguments, const ProgramLimits& limits)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QString::fromLatin1(name));
    process.setProcessEnvironment(env);
    process.setChildProcessModifier([limits] {
        // Only what is safe between fork and exec.
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit files{limits.fileSize, limits.fileSize};
        const rlimit memory{limits.addressSpace, limits.addressSpace};
        if (limits.fileSize != RLIM_INFINITY)
            setrlimit(RLIMIT_FSIZE, &files);
        if (limits.addressSpace != RLIM_INFINITY)
            setrlimit(RLIMIT_AS, &memory);
    });
    process.start(QStringLiteral(KORVO_EXECUTABLE), arguments);
    ProgramRun run;
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished();
        ADD_FAILURE() << "korvo did not finish: " << arguments.join(' ').toStdString();
        return run;
    }
    run.crashed = process.exitStatus() != QProcess::NormalExit;
    run.exitCode = run.crashed ? -1 : process.exitCode();
    run.out = process.readAllStandardOutput();
    run.err = QString::fromLocal8Bit(process.readAllStandardError());
    return run;
}

QStringList KorvoLines(const QString& err)
{
    QStringList lines;
    for (const QString& line : err.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        if (line.startsWith(QLatin1String("korvo:")))
            lines.append(line);
    return lines;
}
