// Reading the start-up trace that a program started by a start-up benchmark writes to stderr,
// one line an event.
#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QProcess>

#include <functional>

namespace bench {

// Hands each line that `program` writes to stderr to `line`, until `line` returns true, the
// program ends or a minute has passed on `clock`; then ends the program.
inline void readTrace(QProcess& program, const QElapsedTimer& clock,
                      const std::function<bool(const QByteArray&)>& line) {
    QByteArray pending;
    bool done = false;
    while (!done && clock.elapsed() < 60000 && program.state() == QProcess::Running) {
        if (!program.waitForReadyRead(1000))
            continue;
        pending += program.readAllStandardError();
        qsizetype end;
        while (!done && (end = pending.indexOf('\n')) >= 0) {
            done = line(pending.left(end));
            pending.remove(0, end + 1);
        }
    }
    program.terminate();
    if (!program.waitForFinished(10000)) {
        program.kill();
        program.waitForFinished(10000);
    }
}

} // namespace bench
