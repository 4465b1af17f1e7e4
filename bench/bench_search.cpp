// Wall time of a link search when every page takes 100 ms to answer, against the time a
// one-by-one run would take: (2 + question pages) round trips. Then a search whose page is 6 MB
// (44,000 links) against its floor, measured in the same run: the same two pages fetched through
// localweb with a bare libcurl handle and decoded by ICU. Then the search with its rows, in this
// process, and the whole `corvale --search` over that page, rows printed, against the same
// floor; and the command against the floor run as a process of its own.
#include "app/memory.h"
#include "gbk.h"
#include "portal/headless.h"
#include "portal/search.h"
#include "support/localweb.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>

#include <curl/curl.h>
#include <unicode/ucnv.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>

namespace {
const QString kSearch = QStringLiteral("http://zhidao.baidu.com/search?&word=");
constexpr int kLatencyMs = 100;

// A search page of about 6 MB in GBK: 44,000 links in attributes among Chinese answer text.
QByteArray largeSearchPage(int links) {
    QString page = QStringLiteral("<html><head><title>搜索结果</title></head><body>\n");
    for (int i = 0; i < links; ++i)
        page +=
            QStringLiteral("<p>网友推荐：高清版<a href=\"ed2k://|file|%E7%94%B5%E5%BD%B1%1.rmvb|%2|"
                           "0123456789ABCDEF0123456789ABCDEF|/\">电影 %1</a></p>\n")
                .arg(i)
                .arg(734003200 + i);
    page += QStringLiteral("</body></html>\n");
    return toGbk(page);
}

// The floor: one bare libcurl handle (it reads http_proxy itself) fetching the page twice, each
// body decoded from GBK by ICU. -1 when a body did not come whole.
qint64 floorMs(const QByteArray& url, qsizetype expectedBytes) {
    QElapsedTimer clock;
    clock.start();
    CURL* easy = curl_easy_init();
    std::string body;
    body.reserve(size_t(expectedBytes)); // one block, not grown as the body comes
    curl_easy_setopt(easy, CURLOPT_URL, url.constData());
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &body);
    curl_easy_setopt(
        easy, CURLOPT_WRITEFUNCTION, +[](char* data, size_t size, size_t n, void* user) {
            static_cast<std::string*>(user)->append(data, size * n);
            return size * n;
        });
    for (int i = 0; i < 2; ++i) {
        body.clear();
        curl_easy_perform(easy);
        if (qsizetype(body.size()) != expectedBytes) {
            std::fprintf(stderr, "the floor fetched %zu bytes, not %lld\n", body.size(),
                         static_cast<long long>(expectedBytes));
            curl_easy_cleanup(easy);
            return -1;
        }
        UErrorCode err = U_ZERO_ERROR;
        UConverter* cnv = ucnv_open("gbk", &err);
        const int32_t capacity = int32_t(body.size()) + 16;
        const std::unique_ptr<UChar[]> text(new UChar[size_t(capacity)]); // ICU fills it
        ucnv_toUChars(cnv, text.get(), capacity, body.data(), int32_t(body.size()), &err);
        ucnv_close(cnv);
    }
    curl_easy_cleanup(easy);
    return clock.elapsed();
}

// One search for `keyword` from the call to its end, `then` done with its links within that
// time; -1 when it found a number of links other than `expected`.
qint64 searchMs(const QString& keyword, qsizetype expected,
                const std::function<void(const QStringList&)>& then = {}) {
    portal::LinkSearch search;
    QEventLoop loop; // this is a command-line benchmark, not a window
    qsizetype found = -1;
    QObject::connect(&search, &portal::LinkSearch::finished, &loop, [&](const QStringList& links) {
        found = links.size();
        if (then)
            then(links);
        loop.quit();
    });
    QElapsedTimer clock;
    clock.start();
    search.huoquindex(keyword);
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    loop.exec();
    const qint64 ms = clock.elapsed();
    if (found != expected) {
        std::fprintf(stderr, "expected %lld links, got %lld\n", static_cast<long long>(expected),
                     static_cast<long long>(found));
        return -1;
    }
    return ms;
}

// The rows of `links` as `corvale --search` prints them, written to the null device.
void printRows(const QStringList& links) {
    static std::FILE* const null = std::fopen("/dev/null", "w");
    portal::printTextRows(null, links, false);
    std::fflush(null);
}

// The whole command `PROGRAM ARGS` (a program of the build), from its start to its exit, its
// output written to the null device; -1 when it failed.
qint64 commandMs(const QString& program, const QStringList& args) {
    QProcess command;
    command.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer clock;
    clock.start();
    command.start(QCoreApplication::applicationDirPath() + QLatin1Char('/') + program, args);
    if (!command.waitForFinished(60000) || command.exitStatus() != QProcess::NormalExit ||
        command.exitCode() != 0) {
        std::fprintf(stderr, "%s %s failed: %s\n", qPrintable(program),
                     qPrintable(args.join(QLatin1Char(' '))), qPrintable(command.errorString()));
        return -1;
    }
    return clock.elapsed();
}

qint64 corvaleMs(const QStringList& args) {
    return commandMs(QStringLiteral("corvale"), args);
}

// The large page: floor and search alternate, after one round of each that is not counted. The
// process keeps large blocks as corvale does.
int largePage() {
    constexpr int kLinks = 44000;
    LocalWeb web;
    if (!web.start()) {
        std::fprintf(stderr, "localweb did not start\n");
        return 1;
    }
    web.useAsProxy();
    const QString keyword = QStringLiteral("large");
    const QString url = kSearch + keyword + QStringLiteral("+ed2k");
    const QByteArray page = largeSearchPage(kLinks);
    web.route(url, page, 200, QStringLiteral("raw"));

    // The floor again as a process of its own (this benchmark, started with --floor): like the
    // command, it starts with the same libraries loaded and its memory untouched.
    const QStringList floorCommand{QStringLiteral("--floor"), url, QString::number(page.size())};
    QList<qint64> floors, searches, printed, commands, starts, floorCommands;
    for (int round = 0; round < 9; ++round) {
        const qint64 f = floorMs(url.toUtf8(), page.size());
        const qint64 s = searchMs(keyword, kLinks);
        const qint64 p = searchMs(keyword, kLinks, printRows);
        const qint64 c = corvaleMs({QStringLiteral("--search"), keyword});
        const qint64 v = corvaleMs({QStringLiteral("--version")});
        const qint64 fc = commandMs(QStringLiteral("bench_search"), floorCommand);
        if (f < 0 || s < 0 || p < 0 || c < 0 || v < 0 || fc < 0)
            return 1;
        if (round == 0)
            continue;
        floors << f;
        searches << s;
        printed << p;
        commands << c;
        starts << v;
        floorCommands << fc;
    }
    auto list = [](const QList<qint64>& ms) {
        QStringList parts;
        for (qint64 m : ms)
            parts << QString::number(m);
        return parts.join(QLatin1Char(' '));
    };
    auto median = [](QList<qint64> ms) {
        std::sort(ms.begin(), ms.end());
        return ms[ms.size() / 2];
    };
    auto ratio = [&](const char* what, const QList<qint64>& ms, const char* floor = "floor",
                     const QList<qint64>* against = nullptr) {
        const QList<qint64>& base = against ? *against : floors;
        std::printf("  ratio %s / %s: %.2f of the medians, %.2f of the best rounds "
                    "(goal <= 1.5)\n",
                    what, floor, double(median(ms)) / double(median(base)),
                    double(*std::min_element(ms.begin(), ms.end())) /
                        double(*std::min_element(base.begin(), base.end())));
    };
    std::printf("\nsearch page of %.1f MB, %d links (ms per round)\n", double(page.size()) / 1e6,
                kLinks);
    std::printf("  floor: libcurl + ICU, page twice  %s\n", qPrintable(list(floors)));
    std::printf("  link search                      %s\n", qPrintable(list(searches)));
    ratio("search", searches);
    // What the command does between its start and its exit, in a process that has run it before.
    std::printf("  search and rows, in this process %s\n", qPrintable(list(printed)));
    ratio("search and rows", printed);
    std::printf("  corvale --search, rows printed   %s\n", qPrintable(list(commands)));
    std::printf("  of which starting: --version     %s\n", qPrintable(list(starts)));
    ratio("command", commands);
    std::printf("  the floor as a process           %s\n", qPrintable(list(floorCommands)));
    ratio("command", commands, "floor as a process", &floorCommands);
    return 0;
}
} // namespace

int main(int argc, char** argv) {
    app::keepLargeBlocksUntilReturned(); // as corvale starts
    // bench_search --floor URL BYTES: the floor alone, through the proxy it was given.
    if (argc == 4 && std::strcmp(argv[1], "--floor") == 0)
        return floorMs(argv[2], std::atoll(argv[3])) < 0 ? 1 : 0;
    QCoreApplication app(argc, argv);
    LocalWeb web;
    if (!web.start({QStringLiteral("--latency-ms"), QString::number(kLatencyMs)})) {
        std::fprintf(stderr, "localweb did not start\n");
        return 1;
    }
    web.useAsProxy();

    std::printf("%-16s %10s %14s %12s %s\n", "question pages", "wall ms", "one-by-one ms",
                "round trips", "goal");
    for (int pages : {0, 6, 12}) {
        const QString keyword = QStringLiteral("bench%1").arg(pages);
        QString page;
        for (int n = 1; n <= pages; ++n) {
            const QString q =
                QStringLiteral("http://zhidao.baidu.com/question/%1%2.html").arg(pages).arg(n);
            page += QStringLiteral("<a href=\"%1\">q</a>\n").arg(q);
            web.routeGbk(q, QStringLiteral("<p>ed2k://|file|page%1.avi|5|ABCDEF|/</p>").arg(n));
        }
        page += QStringLiteral("<a href=\"ed2k://|file|main.avi|5|ABCDEF|/\">x</a>");
        web.routeGbk(kSearch + keyword + QStringLiteral("+ed2k"), page);

        // Best of three, so a stray hiccup of the machine does not count.
        qint64 best = -1;
        for (int round = 0; round < 3; ++round) {
            const qint64 ms = searchMs(keyword, pages + 1);
            if (ms < 0)
                return 1;
            if (best < 0 || ms < best)
                best = ms;
        }
        const double trips = double(best) / kLatencyMs;
        std::printf("%-16d %10lld %14d %12.2f %s\n", pages, static_cast<long long>(best),
                    (2 + pages) * kLatencyMs, trips, pages <= 6 ? "<= 2.5" : "<= 3.5");
    }
    std::fflush(stdout);
    web.stop();
    return largePage();
}
