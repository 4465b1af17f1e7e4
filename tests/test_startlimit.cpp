// The limits on player starts: at most one a second, later requests dropped rather than queued;
// and at most eight of the players started still running.
#include "portal/startlimit.h"

#include <QElapsedTimer>
#include <QScopeGuard>
#include <QTest>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

using portal::PlayerCap;
using portal::StartLimiter;

class TestStartLimit : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void oneStartASecond();
    void droppedRequestsDoNotPutTheNextStartOff();
    void steadyClockByDefault();
    void capCountsPlayersStillRunning();
};

void TestStartLimit::oneStartASecond() {
    qint64 now = 50'000;
    StartLimiter limit([&] { return now; });
    QVERIFY(limit.tryStart());
    // A page calling fifty times at once starts one player.
    int started = 0;
    for (int i = 0; i < 50; ++i)
        started += limit.tryStart();
    QCOMPARE(started, 0);
    now += 999;
    QVERIFY(!limit.tryStart());
    now += 1;
    QVERIFY(limit.tryStart());
    QVERIFY(!limit.tryStart());
    now += 5000;
    QVERIFY(limit.tryStart());

    // The first start is never held back, whatever the clock reads.
    qint64 early = 0;
    StartLimiter fresh([&] { return early; });
    QVERIFY(fresh.tryStart());
    QVERIFY(!fresh.tryStart());
}

void TestStartLimit::droppedRequestsDoNotPutTheNextStartOff() {
    qint64 now = 0;
    StartLimiter limit([&] { return now; });
    QVERIFY(limit.tryStart());
    // Requests every 300 ms: the interval runs from the last start, not the last request.
    QList<bool> answers;
    for (int i = 0; i < 8; ++i) {
        now += 300;
        answers << limit.tryStart();
    }
    QCOMPARE(answers, (QList<bool>{false, false, false, true, false, false, false, true}));

    // A new clock starts afresh.
    limit.setClock([] { return qint64(0); });
    QVERIFY(limit.tryStart());
    QVERIFY(!limit.tryStart());
}

void TestStartLimit::steadyClockByDefault() {
    StartLimiter limit;
    QElapsedTimer timer;
    timer.start();
    QVERIFY(limit.tryStart());
    const bool second = limit.tryStart();
    // Only a machine that stalled this process for a whole second may let the second through.
    if (timer.elapsed() < StartLimiter::kIntervalMs)
        QVERIFY(!second);
    bool later = false;
    QTRY_VERIFY_WITH_TIMEOUT(later = later || limit.tryStart(), 5000);
    QVERIFY(timer.elapsed() >= StartLimiter::kIntervalMs);
}

void TestStartLimit::capCountsPlayersStillRunning() {
    // Real processes, children of this one: one that ends becomes a zombie until it is reaped,
    // and counts no more from the moment it ended.
    QList<pid_t> children;
    const auto endAll = qScopeGuard([&] {
        for (pid_t pid : children) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    });
    const auto spawn = [&] {
        const pid_t pid = ::fork();
        if (pid == 0) {
            for (;;)
                ::pause();
        }
        children << pid;
        return pid;
    };

    PlayerCap cap;
    for (int i = 0; i < PlayerCap::kMax - 1; ++i)
        cap.started(spawn());
    QCOMPARE(cap.running(), PlayerCap::kMax - 1);
    QVERIFY(cap.mayStart());
    cap.started(spawn());
    QCOMPARE(cap.running(), PlayerCap::kMax);
    QVERIFY(!cap.mayStart());

    // One ends and is not yet reaped: a place is free.
    const pid_t ended = children.takeFirst();
    QCOMPARE(::kill(ended, SIGKILL), 0);
    QTRY_COMPARE(cap.running(), PlayerCap::kMax - 1);
    QVERIFY(cap.mayStart());
    QCOMPARE(::waitpid(ended, nullptr, 0), ended);
    // A start whose process is already gone, or that gave no process, takes no place.
    cap.started(ended);
    cap.started(0);
    cap.started(-1);
    QCOMPARE(cap.running(), PlayerCap::kMax - 1);
    cap.started(spawn());
    QVERIFY(!cap.mayStart());
}

QTEST_GUILESS_MAIN(TestStartLimit)
#include "test_startlimit.moc"
