// Memory of the portal and the player, whole process trees (QtWebEngine's helpers included),
// against an empty QtWebEngine window; and the time from the last page of a search that finds
// 10,000 links to the list showing them. Memory is read once it has settled. Each measurement
// runs in a process of its own (QtWebEngine starts once per process), all of them children of
// this one so that they share the same libraries with the same processes:
//     bench_resources            runs them all and prints the table
//     bench_resources MODE PORT  one measurement (empty, page, portal), localweb at PORT
#include "portalwindow.h"
#include "pss.h"

#include "app/memory.h"
#include "portal/form1.h"
#include "support/localweb.h"
#include "support/pageload.h"
#include "vendor/hosts.h"
#include "webkit/fetch.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QTest>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>
#include <string_view>

namespace {

using bench::settledPssMiB;

const QString kPlayPage = QStringLiteral("http://" CORVALE_PLAY_HOST "/high.php?v=abcdef");
const QString kKeyword = QStringLiteral("tenthousand");

// A bare QtWebEngine window of the player's size at `address`: the reference the programs are
// measured against ("about:blank"), and the play page's own cost.
int measureView(const QString& address) {
    QWebEngineView view;
    view.resize(968, 534);
    view.show();
    view.load(QUrl(address));
    documentComplete(view.page(), 30000);
    std::printf("%.1f\n", settledPssMiB(QCoreApplication::applicationPid()));
    return 0;
}

int measurePortal() {
    std::optional<portal::Form1> made;
    portal::Form1& form = bench::openPortal(made);
    const double started = settledPssMiB(QCoreApplication::applicationPid());

    // The search page of the keyword holds the 10,000 links; the clock starts when the last
    // page has arrived and stops once the list has painted them.
    QElapsedTimer clock;
    QObject::connect(&webkit::Fetcher::instance(), &webkit::Fetcher::arrived, &form,
                     [&] { clock.start(); });
    qint64 listMs = -1;
    QObject::connect(form.ListView1()->model(), &QAbstractItemModel::modelReset, &form, [&] {
        if (form.ListView1()->rowCount() == 0)
            return; // the list emptied as the search starts
        QTimer::singleShot(0, &form, [&] {
            form.ListView1()->viewport()->repaint();
            listMs = clock.elapsed();
        });
    });
    form.Image3_Click();
    form.Text1()->setText(kKeyword);
    int enter = 13;
    form.Text1_KeyPress(enter);
    if (!QTest::qWaitFor([&] { return listMs >= 0; }, 120000))
        std::fprintf(stderr, "the search listed nothing\n");
    const int rows = form.ListView1()->rowCount();
    std::printf("%.1f %.1f %lld %d\n", started, settledPssMiB(QCoreApplication::applicationPid()),
                static_cast<long long>(listMs), rows);
    return 0;
}

QString runChild(const QString& mode, quint16 port) {
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(QCoreApplication::applicationFilePath(), {mode, QString::number(port)});
    p.waitForFinished(120000);
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

double playerPss(LocalWeb& web) {
    QProcess player;
    player.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    player.start(binDir() + QStringLiteral("/brenlo/lumetta"),
                 {QStringLiteral("ed2k://|file|The.Matrix.1999.1080p.mkv|1073741824|"
                                 "D7912E224DFF8D2D91004160ACC32DAC|/")});
    if (!QTest::qWaitFor(
            [&] {
                return web.requestedUrls().contains(
                    QStringLiteral("http://" CORVALE_PLAY_HOST "/played"));
            },
            60000))
        std::fprintf(stderr, "the player did not reach playback\n");
    const double pss = settledPssMiB(player.processId());
    player.kill();
    player.waitForFinished(10000);
    return pss;
}

void routeTenThousandLinks(LocalWeb& web) {
    QByteArray page;
    for (int i = 0; i < 10000; ++i)
        page += QStringLiteral("<a href=\"ed2k://|file|%E7%94%B5%E5%BD%B1%1.rmvb|%2|"
                               "0123456789ABCDEF0123456789ABCDEF|/\">%1</a>\n")
                    .arg(i)
                    .arg(734003200 + i)
                    .toUtf8();
    web.route(QStringLiteral("http://zhidao.baidu.com/search?&word=") + kKeyword +
                  QStringLiteral("+ed2k"),
              page, 200, QStringLiteral("gbk"));
}

void printRow(const char* what, double mib, double empty) {
    std::printf("  %-36s %8.1f  (%+.0f%%)\n", what, mib, 100 * (mib / empty - 1));
}

} // namespace

int main(int, char** argv) {
    // The portal is measured in this program; it starts the way corvale does. The empty window
    // and the page stay as QtWebEngine has them.
    if (argv[1] && std::string_view(argv[1]) == "portal")
        app::keepLargeBlocksUntilReturned();
    // The same portal with the other setting: every large block unmapped as soon as it is freed.
    if (argv[1] && std::string_view(argv[1]) == "portal-eager")
        app::returnLargeBlocksWhenFreed();
    prepareWebEngine();
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    // Qt saw only the program's name; the mode comes from the real arguments.
    QStringList args;
    for (char** a = argv + 1; *a; ++a)
        args << QString::fromLocal8Bit(*a);
    if (args.size() == 2) {
        qputenv("http_proxy", QStringLiteral("http://127.0.0.1:%1").arg(args[1]).toUtf8());
        if (args[0] == QLatin1String("empty"))
            return measureView(QStringLiteral("about:blank"));
        if (args[0] == QLatin1String("page"))
            return measureView(kPlayPage);
        return measurePortal();
    }
    LocalWeb web;
    if (!web.start())
        return 1;
    web.useAsProxy();
    routeTenThousandLinks(web);
    const double empty = runChild(QStringLiteral("empty"), web.port()).toDouble();
    const double page = runChild(QStringLiteral("page"), web.port()).toDouble();
    const QStringList portal =
        runChild(QStringLiteral("portal"), web.port()).split(QLatin1Char(' '));
    const QStringList eager =
        runChild(QStringLiteral("portal-eager"), web.port()).split(QLatin1Char(' '));
    const double player = playerPss(web);
    std::printf("memory, whole process trees (PSS, MiB, settled); goal: within 20%% of an empty "
                "window\n");
    std::printf("  %-36s %8.1f\n", "empty QtWebEngine window", empty);
    printRow("portal after start-up", portal.value(0).toDouble(), empty);
    printRow("portal after a search, 10,000 rows", portal.value(1).toDouble(), empty);
    printRow("  same, large blocks unmapped at once", eager.value(1).toDouble(), empty);
    printRow("player playing", player, empty);
    printRow("(bare window showing the play page)", page, empty);
    std::printf("listing %s rows after the last page arrived: %s ms (goal <= 50); with large "
                "blocks unmapped at once: %s ms\n",
                qPrintable(portal.value(3)), qPrintable(portal.value(2)),
                qPrintable(eager.value(2)));
    return 0;
}
