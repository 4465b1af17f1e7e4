// A long session, measured: memory of whole process trees (PSS, QtWebEngine's helpers
// included) over many link searches in one portal window, and over a player that plays for
// minutes. Prints figures; asserts nothing. The goal: after the first 100 searches the portal
// grows by no more than 2%, and the player (each minute's median) by no more than 2% after its
// first minute.
//     bench_soak [--searches N] [--minutes M]     (500 and 10 by default)
// The portal and the player run at the same time, each in a process of its own, against one
// localweb. The portal searches alternately for a keyword with results and one without.
#include "portalwindow.h"
#include "pss.h"

#include "app/memory.h"
#include "portal/form1.h"
#include "portal/search.h"
#include "support/localweb.h"
#include "vendor/hosts.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProcess>
#include <QTest>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string_view>

namespace {

const QString kFound = QStringLiteral("matrix");
const QString kNothing = QStringLiteral("nosuchfilmanywhere");
const QString kLink = QStringLiteral("ed2k://|file|The.Matrix.1999.1080p.mkv|1073741824|"
                                     "D7912E224DFF8D2D91004160ACC32DAC|/");

double growth(double now, double base) {
    return 100 * (now / base - 1);
}

// One portal window in this process; its tree is this process and its helpers.
int soakPortal(int searches) {
    std::optional<portal::Form1> made;
    portal::Form1& form = bench::openPortal(made);
    const qint64 self = QCoreApplication::applicationPid();
    const double start = bench::settledPssMiB(self);
    std::printf("portal  searches %4d  %7.1f MiB\n", 0, start);
    std::fflush(stdout);

    auto* search = form.findChild<portal::LinkSearch*>();
    int done = 0, found = 0;
    QObject::connect(search, &portal::LinkSearch::finished, &form,
                     [&](const QStringList& links) {
                         ++done;
                         found += !links.isEmpty();
                     });
    form.Image3_Click();
    double after100 = 0;
    QElapsedTimer clock;
    clock.start();
    for (int i = 1; i <= searches; ++i) {
        form.Text1()->setText(i % 2 ? kFound : kNothing);
        int enter = 13;
        form.Text1_KeyPress(enter);
        if (!QTest::qWaitFor([&] { return done >= i; }, 60000)) {
            std::fprintf(stderr, "search %d did not end\n", i);
            return 1;
        }
        if (i % 100 == 0 || i == searches) {
            const double now = bench::settledPssMiB(self);
            if (i == 100)
                after100 = now;
            std::printf("portal  searches %4d  %7.1f MiB  %+5.1f%% since start", i, now,
                        growth(now, start));
            if (after100 > 0 && i > 100)
                std::printf("  %+5.1f%% since search 100 (goal within 2%%)", growth(now, after100));
            std::printf("  [%d with links, %.0f s]\n", found, clock.elapsed() / 1000.0);
            std::fflush(stdout);
        }
    }
    return 0;
}

// A player that plays the catalogue's clip for `minutes`, read once a minute.
void soakPlayer(LocalWeb& web, int minutes, bool& finished) {
    auto* player = new QProcess(qApp);
    player->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    player->start(binDir() + QStringLiteral("/brenlo/lumetta"), {kLink});
    if (!QTest::qWaitFor(
            [&] {
                return web.requestedUrls().contains(
                    QStringLiteral("http://" CORVALE_PLAY_HOST "/played"));
            },
            120000)) {
        std::fprintf(stderr, "the player did not reach playback\n");
        finished = true;
        return;
    }
    // A playing video's memory swings by tens of MiB as the clip loops and its buffers come
    // and go, so the tree is read every five seconds and each minute shows the median of its
    // readings, with the lowest and highest.
    struct Minute {
        QList<double> samples;
        QList<double> medians;
    };
    auto state = std::make_shared<Minute>();
    auto* everyFiveSeconds = new QTimer(qApp);
    const auto sample = [player, state, minutes, everyFiveSeconds, &finished] {
        state->samples.append(bench::treePssMiB(player->processId()));
        // Minute 0 is the first reading at playback; every later minute has twelve.
        const bool first = state->medians.isEmpty();
        if (!first && state->samples.size() < 12)
            return;
        QList<double> sorted = state->samples;
        std::sort(sorted.begin(), sorted.end());
        const double median = sorted.at(sorted.size() / 2);
        state->medians.append(median);
        state->samples.clear();
        const qsizetype minute = state->medians.size() - 1;
        std::printf("player  minute   %4lld  %7.1f MiB median  (%.1f to %.1f)",
                    static_cast<long long>(minute), median, sorted.first(), sorted.last());
        if (minute >= 2)
            std::printf("  %+5.1f%% since minute 1 (goal within 2%%)",
                        growth(median, state->medians.at(1)));
        std::printf("\n");
        std::fflush(stdout);
        if (minute >= minutes) {
            everyFiveSeconds->stop();
            player->kill();
            player->waitForFinished(10000);
            finished = true;
        }
    };
    sample();
    QObject::connect(everyFiveSeconds, &QTimer::timeout, qApp, sample);
    everyFiveSeconds->start(5000);
}

} // namespace

int main(int argc, char** argv) {
    int searches = 500, minutes = 10;
    bool portalChild = false;
    quint16 port = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i];
        if (a == "--searches" && i + 1 < argc)
            searches = std::atoi(argv[++i]);
        else if (a == "--minutes" && i + 1 < argc)
            minutes = std::atoi(argv[++i]);
        else if (a == "--portal-at" && i + 1 < argc) {
            portalChild = true;
            port = quint16(std::atoi(argv[++i]));
        } else {
            std::fprintf(stderr, "usage: %s [--searches N] [--minutes M]\n", argv[0]);
            return 2;
        }
    }
    if (portalChild)
        app::keepLargeBlocksUntilReturned(); // as corvale starts
    prepareWebEngine();
    int qtArgc = 1;
    QApplication app(qtArgc, argv);

    if (portalChild) {
        qputenv("http_proxy", QStringLiteral("http://127.0.0.1:%1").arg(port).toUtf8());
        return soakPortal(searches);
    }

    LocalWeb web;
    if (!web.start())
        return 1;
    web.useAsProxy();
    std::printf("memory over a long session, whole process trees (PSS, MiB): %d searches in one "
                "portal window, a player playing %d minutes, side by side\n",
                searches, minutes);
    std::fflush(stdout);

    bool portalDone = searches <= 0, playerDone = minutes <= 0;
    QProcess portal;
    portal.setProcessChannelMode(QProcess::ForwardedChannels);
    if (!portalDone) {
        QObject::connect(&portal, &QProcess::finished, &app, [&] { portalDone = true; });
        portal.start(QCoreApplication::applicationFilePath(),
                     {QStringLiteral("--searches"), QString::number(searches),
                      QStringLiteral("--portal-at"), QString::number(web.port())});
    }
    if (!playerDone)
        soakPlayer(web, minutes, playerDone);
    // Neither part holds the other up; the longest one sets the end.
    while (!portalDone || !playerDone)
        QTest::qWait(200);
    return 0;
}
