#pragma once

#include "app/clock.h"

#include <QtGlobal>

#include <QList>

namespace portal {

// Lets the player start at most once an interval, whoever asks: a page, the result list or the
// player button. A request inside the interval after the last start is dropped, not queued, so a
// page calling in a loop starts one player, and another only once the interval has passed.
class StartLimiter {
public:
    using Clock = app::Clock;

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

// Holds the players that this portal started and that still run to at most kMax, whoever asks
// for them. It knows them by the process ids their starts gave, each with the time its process
// began, so that an id the system has since given to another process no longer counts; a process
// that has ended but is not yet reaped does not count either.
class PlayerCap {
public:
    static constexpr int kMax = 8;

    // Whether another player may start: fewer than kMax of ours still run.
    bool mayStart();
    // A player started as process `pid`. One that has already ended is not counted.
    void started(qint64 pid);
    // How many of ours still run.
    int running();

private:
    struct Player {
        qint64 pid;
        quint64 began;
    };
    QList<Player> players_;
};

} // namespace portal
