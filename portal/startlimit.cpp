#include "portal/startlimit.h"

#include <QDeadlineTimer>

namespace portal {

namespace {
qint64 steadyMs() {
    return QDeadlineTimer::current(Qt::PreciseTimer).deadline();
}
} // namespace

StartLimiter::StartLimiter(Clock clock) {
    setClock(std::move(clock));
}

void StartLimiter::setClock(Clock clock) {
    clock_ = clock ? std::move(clock) : Clock(steadyMs);
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

} // namespace portal
