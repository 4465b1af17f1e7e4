// Start-up of the player with a link: the time from starting lumetta until its play page has
// loaded, with localweb answering at once. Each start alternates with one of an empty QtWebEngine
// window (about:blank), the floor it is compared with. Needs a display (run it under xvfb-run).
//
//   bench_player_start [runs]
#include "support/localweb.h"
#include "trace.h"
#include "vendor/hosts.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>

#include <algorithm>
#include <cstdio>
#include <optional>

#include <unistd.h>

namespace {

const QString kLink =
    QStringLiteral("ed2k://|file|Big Buck.webm|47442|0123456789ABCDEF0123456789ABCDEF|/");
const QString kPlayPageLine = QStringLiteral("loaded http://" CORVALE_PLAY_HOST
                                             "/high.php?v=0123456789abcdef0123456789abcdef");

struct Times {
    qint64 resolvedMs = -1; // the play address came back from the API
    qint64 loadedMs = -1;   // the play page finished loading
};

// One start of the program; none when it did not reach the play page in time.
std::optional<Times> startOnce() {
    QProcess lumetta;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LUMETTA_TRACE"), QStringLiteral("1"));
    lumetta.setProcessEnvironment(env);
    lumetta.setReadChannel(QProcess::StandardError); // the trace lines come on stderr
    QElapsedTimer clock;
    clock.start();
    lumetta.start(binDir() + QStringLiteral("/brenlo/lumetta"), {kLink});
    if (!lumetta.waitForStarted(10000))
        return std::nullopt;
    Times t;
    bench::readTrace(lumetta, clock, [&](const QByteArray& line) {
        if (line == "state Playing" && t.resolvedMs < 0)
            t.resolvedMs = clock.elapsed();
        if (QString::fromUtf8(line) == kPlayPageLine)
            t.loadedMs = clock.elapsed();
        return t.loadedMs >= 0;
    });
    if (t.loadedMs < 0)
        return std::nullopt;
    return t;
}

struct EmptyTimes {
    qint64 shownMs = -1;
    qint64 loadedMs = -1;
};

// One start of the empty window; none when it did not load in time.
std::optional<EmptyTimes> startEmptyOnce() {
    QProcess empty;
    empty.setReadChannel(QProcess::StandardError);
    QElapsedTimer clock;
    clock.start();
    empty.start(binDir() + QStringLiteral("/empty_window"), {});
    if (!empty.waitForStarted(10000))
        return std::nullopt;
    EmptyTimes t;
    bench::readTrace(empty, clock, [&](const QByteArray& line) {
        if (line.startsWith("shown ") && t.shownMs < 0)
            t.shownMs = clock.elapsed();
        else if (line.startsWith("loaded ") && t.loadedMs < 0)
            t.loadedMs = clock.elapsed();
        return t.loadedMs >= 0;
    });
    if (t.loadedMs < 0)
        return std::nullopt;
    return t;
}

qint64 median(QList<qint64> ms) {
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    // QtWebEngine refuses its sandbox when run as root.
    if (geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 5;

    LocalWeb web;
    if (!web.start()) {
        std::fprintf(stderr, "bench_player_start: localweb did not start\n");
        return 1;
    }
    web.useAsProxy();

    std::printf("lumetta started with a link, until the play page has loaded (%d runs)\n", runs);
    QList<qint64> loaded, emptyShown, emptyLoaded;
    startOnce(); // first starts warm the file cache, not counted
    startEmptyOnce();
    for (int i = 1; i <= runs; ++i) {
        if (const std::optional<EmptyTimes> e = startEmptyOnce()) {
            std::printf("  run %d: empty QtWebEngine window shown after %lld ms, about:blank "
                        "loaded after %lld ms\n",
                        i, static_cast<long long>(e->shownMs), static_cast<long long>(e->loadedMs));
            emptyShown << e->shownMs;
            emptyLoaded << e->loadedMs;
        }
        const std::optional<Times> t = startOnce();
        if (!t) {
            std::printf("  run %d: the play page did not load within 60 s\n", i);
            continue;
        }
        std::printf("  run %d: play address after %lld ms, play page loaded after %lld ms\n", i,
                    static_cast<long long>(t->resolvedMs), static_cast<long long>(t->loadedMs));
        loaded << t->loadedMs;
    }
    if (loaded.isEmpty())
        return 1;
    std::sort(loaded.begin(), loaded.end());
    std::printf(
        "play page loaded: min %lld ms, median %lld ms, max %lld ms (goal: under 1500 ms)\n",
        static_cast<long long>(loaded.first()), static_cast<long long>(loaded[loaded.size() / 2]),
        static_cast<long long>(loaded.last()));
    if (!emptyLoaded.isEmpty())
        std::printf("empty QtWebEngine window: shown median %lld ms, loaded median %lld ms; "
                    "ratio of medians, play page loaded / empty window loaded: %.2f\n",
                    static_cast<long long>(median(emptyShown)),
                    static_cast<long long>(median(emptyLoaded)),
                    double(median(loaded)) / double(median(emptyLoaded)));
    return 0;
}
