// Memory of a process tree as the benchmarks read it: the proportional set size of a process
// and all its descendants (QtWebEngine's helpers included).
#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QList>
#include <QMap>
#include <QString>
#include <QTest>

#include <cmath>

namespace bench {

// Proportional set size of a process and all its descendants, in MiB.
inline double treePssMiB(qint64 root) {
    QMap<qint64, QList<qint64>> children;
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool ok = false;
        const qint64 pid = entry.toLongLong(&ok);
        if (!ok)
            continue;
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray s = stat.readAll();
        const QList<QByteArray> fields = s.mid(s.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1)
            children[fields[1].toLongLong()] << pid;
    }
    double kib = 0;
    QList<qint64> todo{root};
    while (!todo.isEmpty()) {
        const qint64 pid = todo.takeFirst();
        todo += children.value(pid);
        QFile rollup(QStringLiteral("/proc/%1/smaps_rollup").arg(pid));
        if (!rollup.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray& line : rollup.readAll().split('\n'))
            if (line.startsWith("Pss:"))
                kib += line.mid(4).trimmed().split(' ').value(0).toDouble();
    }
    return kib / 1024;
}

// The tree's memory once it has settled: read every half second until two readings are within
// half a MiB of each other, for at most 15 s.
inline double settledPssMiB(qint64 root) {
    double last = treePssMiB(root);
    for (int i = 0; i < 30; ++i) {
        QTest::qWait(500);
        const double now = treePssMiB(root);
        if (std::abs(now - last) < 0.5)
            return now;
        last = now;
    }
    return last;
}

} // namespace bench
