#pragma once

#include <QDeadlineTimer>

#include <functional>

namespace app {

// Milliseconds on a clock that never goes back. What counts time in the programs reads one of
// these, so that a test can give it a clock of its own.
using Clock = std::function<qint64()>;

inline qint64 steadyMs() {
    return QDeadlineTimer::current(Qt::PreciseTimer).deadline();
}

// `clock`, or the steady clock when it is empty.
inline Clock clockOrSteady(Clock clock) {
    return clock ? std::move(clock) : Clock(steadyMs);
}

} // namespace app
