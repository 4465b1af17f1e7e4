#include "portal/startlimit.h"

#include <QByteArray>
#include <QFile>

#include <optional>

namespace portal {

namespace {
// When a running process began, in clock ticks since boot; none when there is no such process
// or it has ended (a zombie waiting to be reaped, or being reaped).
std::optional<quint64> processBegan(qint64 pid) {
    if (pid <= 0)
        return std::nullopt;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return std::nullopt;
    // pid (name) state ppid ...: the name may hold anything, so fields count from its last ')'.
    const QByteArray line = stat.read(4096);
    const qsizetype close = line.lastIndexOf(')');
    if (close < 0)
        return std::nullopt;
    const QList<QByteArray> fields = line.mid(close + 2).split(' ');
    // fields[0] is the state (field 3); the start time is field 22.
    if (fields.size() < 20 || fields[0] == "Z" || fields[0] == "X" || fields[0] == "x")
        return std::nullopt;
    bool ok = false;
    const quint64 began = fields[19].toULongLong(&ok);
    return ok ? std::optional<quint64>(began) : std::nullopt;
}
} // namespace

StartLimiter::StartLimiter(Clock clock) {
    setClock(std::move(clock));
}

void StartLimiter::setClock(Clock clock) {
    clock_ = app::clockOrSteady(std::move(clock));
    started_ = false;
}

bool StartLimiter::tryStart() {
    const qint64 now = clock_();
    if (started_ && now - last_ < kIntervalMs)
        return false;
    started_ = true;
    last_ = now;
    return true;
}

bool PlayerCap::mayStart() {
    return running() < kMax;
}

void PlayerCap::started(qint64 pid) {
    if (const auto began = processBegan(pid))
        players_.append({pid, *began});
}

int PlayerCap::running() {
    players_.removeIf([](const Player& p) { return processBegan(p.pid) != p.began; });
    return int(players_.size());
}

} // namespace portal
