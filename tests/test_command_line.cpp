// Both programs started as a user would from a terminal, without a display: what they read as
// options, and how they end when they cannot open a window.
#include "support/columns.h"
#include "support/localweb.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <utility>

namespace {

struct Run {
    int status = -1;
    QString out;
    QString err;
};

// How a test run's display looks to the programs.
enum class DisplayKind {
    None,           // neither DISPLAY nor WAYLAND_DISPLAY
    DeadX,          // DISPLAY names an X server that does not answer
    DeadWayland,    // a Wayland session whose compositor does not answer
    DeadWaylandQpa, // the same, with the Wayland platform named outright
};

// An X display number that no server on this machine answers.
QString deadDisplay() {
    for (int n = 4711;; ++n) {
        if (!QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(n)) &&
            !QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(n)))
            return QStringLiteral(":%1").arg(n);
    }
}

// The programs with the display `display`, and no proxy: nothing here may reach the network.
// `named` is set to the display's name as the programs see it.
Run start(const QString& program, const QStringList& args, DisplayKind display = DisplayKind::None,
          QString* named = nullptr) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_SESSION_TYPE",
                             "http_proxy"})
        env.remove(QLatin1String(name));
    // A runtime folder of the run's own, where no compositor ever made a socket.
    QTemporaryDir runtime;
    QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QString name;
    switch (display) {
    case DisplayKind::None:
        break;
    case DisplayKind::DeadX:
        name = deadDisplay();
        env.insert(QStringLiteral("DISPLAY"), name);
        break;
    case DisplayKind::DeadWaylandQpa:
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));
        [[fallthrough]];
    case DisplayKind::DeadWayland:
        name = QStringLiteral("wayland-gone");
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
        env.insert(QStringLiteral("XDG_SESSION_TYPE"), QStringLiteral("wayland"));
        env.insert(QStringLiteral("WAYLAND_DISPLAY"), name);
        break;
    }
    if (named)
        *named = name;
    env.insert(QStringLiteral("http_proxy"), QStringLiteral("http://127.0.0.1:9"));
    p.setProcessEnvironment(env);
    p.start(binDir() + program, args);
    Run r;
    // A window that did open would keep the program running: it is killed and fails the test.
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

const QString kCorvale = QStringLiteral("/corvale");
const QString kLumetta = QStringLiteral("/brenlo/lumetta");

} // namespace

Q_DECLARE_METATYPE(DisplayKind)

class TestCommandLine : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void playerHelpAndVersion();
    void withoutDisplay_data();
    void withoutDisplay();

private:
    // A copy of the portal program alone, without the window module it loads from its folder.
    QTemporaryDir moduleless_;
};

void TestCommandLine::playerHelpAndVersion() {
    const Run help = start(kLumetta, {QStringLiteral("--help")});
    QCOMPARE(help.status, 0);
    QCOMPARE(help.err, QString());
    QVERIFY2(help.out.startsWith(QStringLiteral("usage: lumetta")), qPrintable(help.out));
    for (const char* text : {"--version", "qd", "ed2k://|file|", "ed2k: links", "http_proxy",
                             "Exit status"})
        QVERIFY2(help.out.contains(QLatin1String(text)), text);

    const Run version = start(kLumetta, {QStringLiteral("--version")});
    QCOMPARE(version.status, 0);
    QCOMPARE(version.out, QStringLiteral("lumetta 1.00 (Miravend)\n"));
}

void TestCommandLine::withoutDisplay_data() {
    addColumns<QString, QStringList, DisplayKind>({"program", "args", "display"});
    const std::pair<DisplayKind, const char*> displays[] = {
        {DisplayKind::None, "no display"},
        {DisplayKind::DeadX, "unreachable display"},
        {DisplayKind::DeadWayland, "unreachable Wayland display"},
        {DisplayKind::DeadWaylandQpa, "unreachable Wayland display, platform named"},
    };
    for (const auto& [display, how] : displays) {
        QTest::addRow("corvale, %s", how) << kCorvale << QStringList() << display;
        QTest::addRow("lumetta, %s", how) << kLumetta << QStringList() << display;
        QTest::addRow("lumetta qd, %s", how) << kLumetta << QStringList{QStringLiteral("qd")}
                                             << display;
    }
    // Anything but --help or --version alone is a link to play: the player tries its window.
    QTest::addRow("lumetta link") << kLumetta
                                  << QStringList{QStringLiteral("ed2k://|file|a.avi|1|ABC|/")}
                                  << DisplayKind::None;
    QTest::addRow("lumetta --help x") << kLumetta
                                      << QStringList{QStringLiteral("--help"), QStringLiteral("x")}
                                      << DisplayKind::None;
    QTest::addRow("lumetta --version --help")
        << kLumetta << QStringList{QStringLiteral("--version"), QStringLiteral("--help")}
        << DisplayKind::None;
    // A portal whose window module is missing (a broken install) says so the same way.
    const QString alone = moduleless_.filePath(QStringLiteral("corvale"));
    QVERIFY(QFile::exists(alone) || QFile::copy(binDir() + kCorvale, alone));
    QTest::addRow("corvale without its window module")
        << QLatin1Char('/') + QDir(binDir()).relativeFilePath(alone) << QStringList()
        << DisplayKind::None;
    QTest::addRow("lumetta -platform offscreen")
        << kLumetta << QStringList{QStringLiteral("-platform"), QStringLiteral("offscreen")}
        << DisplayKind::None;
}

void TestCommandLine::withoutDisplay() {
    QFETCH(QString, program);
    QFETCH(QStringList, args);
    QFETCH(DisplayKind, display);
    QString named;
    const Run r = start(program, args, display, &named);
    // One line that says why, and status 1: not Qt's abort (status 134, a core and a page of
    // plugin advice), nor the platform plugin's own complaint before it.
    QCOMPARE(r.status, 1);
    const QString name = program.section(QLatin1Char('/'), -1);
    QVERIFY2(r.err.startsWith(name + QStringLiteral(": cannot open a window: ")),
             qPrintable(r.err));
    QCOMPARE(r.err.count(QLatin1Char('\n')), 1);
    QVERIFY2(r.err.endsWith(QLatin1Char('\n')), qPrintable(r.err));
    if (!named.isEmpty())
        QVERIFY2(r.err.contains(named), qPrintable(r.err));
    QCOMPARE(r.out, QString());
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "test_command_line.moc"
