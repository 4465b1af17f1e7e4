#pragma once

#include <QtGlobal>

#include <functional>

namespace portal {

// Lets the player start at most once an interval, whoever asks: a page, the result list or the
// player button. A request inside the interval after the last start is dropped, not queued, so a
// page calling in a loop starts one player, and another only once the interval has passed.
class StartLimiter {
public:
    // Milliseconds on a clock that never goes back.
    using Clock = std::function<qint64()>;

    static constexpr qint64 kIntervalMs = 1000;

    explicit StartLimiter(Clock clock = {});

    // Whether a start may go ahead now; when it may, the interval begins again from now.
    bool tryStart();

    void setClock(Clock clock);

private:
    Clock clock_;
    bool started_ = false;
    qint64 last_ = 0;
};

} // namespace portal
