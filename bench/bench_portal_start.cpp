// Start-up time of the portal: from starting corvale to its window on screen, and to the end of
// the start page's load, once with the vendor site answering at once (through localweb) and once
// with it unreachable (the proxy names a closed port). Each start of corvale alternates with one
// of an empty QtWebEngine window (about:blank), the floor it is compared with. Needs a display:
// run it under xvfb-run.
//
//     bench_portal_start [RUNS]
#include "support/localweb.h"
#include "trace.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTcpServer>
#include <QTextStream>

#include <algorithm>
#include <optional>
#include <unistd.h>

namespace {

struct Run {
    std::optional<qint64> shown;  // ms from the start of the process
    std::optional<qint64> loaded; // ms from the start of the process
    bool loadedOk = false;
};

// Starts `program` (corvale with its start-up trace on, or the empty window, which always
// traces) and reads the trace until the page has loaded.
Run startOnce(const QString& program, const QString& proxy) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("http_proxy"), proxy);
    env.insert(QStringLiteral("no_proxy"), QStringLiteral("127.0.0.1,localhost"));
    env.insert(QStringLiteral("CORVALE_TRACE"), QStringLiteral("1"));
    if (geteuid() == 0)
        env.insert(QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX"), QStringLiteral("1"));

    QProcess corvale;
    corvale.setProcessEnvironment(env);
    corvale.setStandardOutputFile(QProcess::nullDevice());
    corvale.setReadChannel(QProcess::StandardError);
    Run run;
    QElapsedTimer clock;
    clock.start();
    corvale.start(binDir() + QLatin1Char('/') + program, {});
    if (!corvale.waitForStarted(10000))
        return run;
    bench::readTrace(corvale, clock, [&](const QByteArray& line) {
        if (line.startsWith("shown ") && !run.shown)
            run.shown = clock.elapsed();
        else if (line.startsWith("loaded ") && !run.loaded) {
            run.loaded = clock.elapsed();
            run.loadedOk = line.endsWith(" ok");
        }
        return run.loaded.has_value();
    });
    return run;
}

qint64 median(QList<qint64> ms) {
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

QString summary(QList<qint64> ms) {
    if (ms.isEmpty())
        return QStringLiteral("none");
    std::sort(ms.begin(), ms.end());
    return QStringLiteral("%1 ms (%2..%3)").arg(ms[ms.size() / 2]).arg(ms.first()).arg(ms.last());
}

QString ratio(const QList<qint64>& program, const QList<qint64>& floor) {
    if (program.isEmpty() || floor.isEmpty() || median(floor) <= 0)
        return QStringLiteral("-");
    return QString::number(double(median(program)) / double(median(floor)), 'f', 2);
}

const QString kCorvale = QStringLiteral("corvale");
const QString kEmptyWindow = QStringLiteral("empty_window");

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    const int runs = argc > 1 ? qMax(1, atoi(argv[1])) : 5;
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        out << "bench_portal_start needs a display; run it as: xvfb-run -a " << argv[0] << "\n";
        return 1;
    }

    LocalWeb web;
    if (!web.start()) {
        out << "bench_portal_start: localweb did not start\n";
        return 1;
    }
    // A port that nothing listens on.
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 closedPort = probe.serverPort();
    probe.close();

    const struct {
        const char* name;
        QString proxy;
    } cases[] = {
        {"vendor site answering", web.proxy()},
        {"vendor site unreachable", QStringLiteral("http://127.0.0.1:%1").arg(closedPort)}};

    out << "corvale start-up, " << runs << " runs each; median (min..max) from process start\n";
    bool goalMet = true;
    for (const auto& c : cases) {
        QList<qint64> shown, loaded, emptyShown, emptyLoaded;
        int loadedOk = 0;
        startOnce(kCorvale, c.proxy); // first starts warm the file cache, not counted
        startOnce(kEmptyWindow, c.proxy);
        for (int i = 0; i < runs; ++i) {
            const Run r = startOnce(kCorvale, c.proxy);
            if (r.shown)
                shown << *r.shown;
            if (r.loaded)
                loaded << *r.loaded;
            loadedOk += r.loadedOk ? 1 : 0;
            const Run e = startOnce(kEmptyWindow, c.proxy);
            if (e.shown)
                emptyShown << *e.shown;
            if (e.loaded)
                emptyLoaded << *e.loaded;
        }
        out << "  " << c.name << ":\n"
            << "    window shown       " << summary(shown) << "\n"
            << "    start page ended   " << summary(loaded) << ", loaded in " << loadedOk << " of "
            << runs << "\n"
            << "    empty QtWebEngine window: shown " << summary(emptyShown) << ", about:blank loaded "
            << summary(emptyLoaded) << "\n"
            << "    ratio of medians, corvale / empty window: shown " << ratio(shown, emptyShown)
            << ", loaded " << ratio(loaded, emptyLoaded) << "\n";
        out.flush();
        if (shown.size() < runs || *std::max_element(shown.begin(), shown.end()) > 1000)
            goalMet = false;
    }
    out << "goal: the window shows within 1000 ms in every run of both cases: "
        << (goalMet ? "met" : "NOT met") << "\n";
    return 0;
}
