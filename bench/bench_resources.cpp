// Memory of the portal and the player, whole process trees (QtWebEngine's helpers included),
// against an empty QtWebEngine window; and the time to list 10,000 rows once the last page is in.
// Each measurement runs in a process of its own (QtWebEngine starts once per process):
//     bench_resources            runs them all and prints the table
//     bench_resources MODE PORT  one measurement (empty, portal), localweb at PORT
#include "portal/form1.h"
#include "support/localweb.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QTest>
#include <QTreeWidget>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <cstdio>

namespace {

// Proportional set size of a process and all its descendants, in MiB.
double treePssMiB(qint64 root) {
    QMap<qint64, QList<qint64>> children;
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool ok = false;
        const qint64 pid = entry.toLongLong(&ok);
        if (!ok)
            continue;
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray s = stat.readAll();
        const QList<QByteArray> fields = s.mid(s.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1)
            children[fields[1].toLongLong()] << pid;
    }
    double kib = 0;
    QList<qint64> todo{root};
    while (!todo.isEmpty()) {
        const qint64 pid = todo.takeFirst();
        todo += children.value(pid);
        QFile rollup(QStringLiteral("/proc/%1/smaps_rollup").arg(pid));
        if (!rollup.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray& line : rollup.readAll().split('\n'))
            if (line.startsWith("Pss:"))
                kib += line.mid(4).trimmed().split(' ').value(0).toDouble();
    }
    return kib / 1024;
}

bool pageLoaded(QWebEngineView* view) {
    bool done = false;
    return QTest::qWaitFor(
        [&] {
            view->page()->runJavaScript(
                QStringLiteral("document.readyState"),
                [&](const QVariant& v) { done = v.toString() == QLatin1String("complete"); });
            return done;
        },
        30000);
}

int measureEmpty() {
    QWebEngineView view;
    view.resize(1008, 560);
    view.show();
    view.load(QUrl(QStringLiteral("about:blank")));
    pageLoaded(&view);
    QTest::qWait(1000); // let the helpers settle before reading memory
    std::printf("%.1f\n", treePssMiB(QCoreApplication::applicationPid()));
    return 0;
}

int measurePortal() {
    portal::Form1 form;
    form.show();
    pageLoaded(form.WebBrowser1);
    QTest::qWait(1000);
    const double started = treePssMiB(QCoreApplication::applicationPid());
    QStringList links;
    for (int i = 0; i < 10000; ++i)
        links << QStringLiteral("ed2k://|file|%E7%94%B5%E5%BD%B1%1.rmvb|%2|0123456789ABCDEF|/")
                     .arg(i)
                     .arg(734003200 + i);
    QElapsedTimer clock;
    clock.start();
    form.setLinks(links);
    form.zairu();
    QCoreApplication::processEvents(); // the list paints its rows
    const qint64 listMs = clock.elapsed();
    form.Image3_Click();
    QTest::qWait(1000);
    std::printf("%.1f %.1f %lld\n", started, treePssMiB(QCoreApplication::applicationPid()),
                static_cast<long long>(listMs));
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
                    QStringLiteral("http://vod.miravend.test/played"));
            },
            60000))
        std::fprintf(stderr, "the player did not reach playback\n");
    QTest::qWait(1000);
    const double pss = treePssMiB(player.processId());
    player.kill();
    player.waitForFinished(10000);
    return pss;
}

} // namespace

int main(int, char** argv) {
    prepareWebEngine();
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    // Qt saw only the program's name; the mode comes from the real arguments.
    QStringList args;
    for (char** a = argv + 1; *a; ++a)
        args << QString::fromLocal8Bit(*a);
    if (args.size() == 2) {
        qputenv("http_proxy", QStringLiteral("http://127.0.0.1:%1").arg(args[1]).toUtf8());
        return args[0] == QLatin1String("empty") ? measureEmpty() : measurePortal();
    }
    LocalWeb web;
    if (!web.start())
        return 1;
    web.useAsProxy();
    const double empty = runChild(QStringLiteral("empty"), web.port()).toDouble();
    const QStringList portal =
        runChild(QStringLiteral("portal"), web.port()).split(QLatin1Char(' '));
    const double player = playerPss(web);
    std::printf("memory, whole process trees (PSS, MiB); goal: within 20%% of an empty window\n");
    std::printf("  empty QtWebEngine window          %8.1f\n", empty);
    std::printf("  portal after start-up             %8.1f  (%+.0f%%)\n",
                portal.value(0).toDouble(), 100 * (portal.value(0).toDouble() / empty - 1));
    std::printf("  portal with 10,000 rows listed    %8.1f  (%+.0f%%)\n",
                portal.value(1).toDouble(), 100 * (portal.value(1).toDouble() / empty - 1));
    std::printf("  player playing                    %8.1f  (%+.0f%%)\n", player,
                100 * (player / empty - 1));
    std::printf("listing 10,000 rows: %s ms (goal < 100)\n", qPrintable(portal.value(2)));
    return 0;
}
