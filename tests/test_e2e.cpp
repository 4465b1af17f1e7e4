// The whole mission with the real programs: the portal window (in this process, so the test can
// type and click in it) starts the real player, built beside this test as brenlo/lumetta, which
// asks the play API and plays. Everything outside is localweb, whose request log shows what the
// player did.
#include "portal/form1.h"
#include "support/localweb.h"
#include "support/pageload.h"
#include "support/wirerecorder.h"
#include "vendor/hosts.h"
#include "webkit/urlencode.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>

namespace {

const QString kApi = QStringLiteral("http://" CORVALE_API_HOST "/playapi.php?method=high&u=");
const QString kPlayPage = QStringLiteral("http://" CORVALE_PLAY_HOST "/high.php?v=");
const QString kPlayed = QStringLiteral("http://" CORVALE_PLAY_HOST "/played");
const QString kLinkPage = QStringLiteral("http://" CORVALE_SITE_HOST "/y/index.php");

QString playerPath() {
    return binDir() + QStringLiteral("/brenlo/lumetta");
}

void screenshot(const QString& name) {
    const QString dir = qEnvironmentVariable("SCREENSHOTS");
    if (dir.isEmpty())
        return;
    QGuiApplication::primaryScreen()->grabWindow(0).save(dir + QLatin1Char('/') + name);
}

// The environments of the processes that running players started (QtWebEngine's helpers and
// theirs), read from /proc.
QList<QByteArray> playerHelperEnvironments() {
    QMultiMap<qint64, qint64> children;
    QList<qint64> players;
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool ok = false;
        const qint64 pid = entry.toLongLong(&ok);
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!ok || !stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray s = stat.readAll();
        children.insert(s.mid(s.lastIndexOf(')') + 2).split(' ').value(1).toLongLong(), pid);
        QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
        if (cmdline.open(QIODevice::ReadOnly) &&
            cmdline.readAll().split('\0').value(0) == playerPath().toLocal8Bit())
            players << pid;
    }
    QList<QByteArray> environments;
    QList<qint64> todo;
    for (qint64 player : players)
        todo += children.values(player);
    while (!todo.isEmpty()) {
        const qint64 pid = todo.takeFirst();
        todo += children.values(pid);
        // Only QtWebEngine's helpers: the engine also starts other programs later on, such as
        // dbus-launch, which the setting is not meant for.
        QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
        if (!cmdline.open(QIODevice::ReadOnly) ||
            !cmdline.readAll().split('\0').value(0).endsWith("/QtWebEngineProcess"))
            continue;
        QFile environ(QStringLiteral("/proc/%1/environ").arg(pid));
        if (environ.open(QIODevice::ReadOnly))
            environments << environ.readAll();
    }
    return environments;
}

} // namespace

class TestE2E : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void searchCopyAndPlay();
    void playerButtonAndLinkPage();

private:
    // Waits until the player has asked the API for `link`, opened its play page with the API
    // request as Referer, and the clip has played.
    void expectPlayed(const QString& link);

    LocalWeb web;
    // Between the programs and localweb, to read headers exactly as they were sent.
    WireRecorder wire;
};

void TestE2E::initTestCase() {
    prepareWebEngine();
    QVERIFY2(QFile::exists(playerPath()), qPrintable(playerPath()));
    QVERIFY(web.start());
    web.useAsProxy();
    QVERIFY(wire.start(web.port()));
    qputenv("http_proxy", QStringLiteral("http://127.0.0.1:%1").arg(wire.port()).toUtf8());
}

void TestE2E::cleanupTestCase() {
    // The players were started detached, as the portal starts them; end them here.
    QProcess::execute(QStringLiteral("pkill"), {QStringLiteral("-f"), playerPath()});
}

void TestE2E::expectPlayed(const QString& link) {
    const QString request = kApi + webkit::player::URLEncode(link);
    QTRY_VERIFY_WITH_TIMEOUT(web.requestedUrls().contains(request), 30000);
    QTRY_VERIFY_WITH_TIMEOUT(!web.requestedUrls(kPlayPage).isEmpty(), 30000);
    const QString playPage = web.requestedUrls(kPlayPage).last();
    QCOMPARE(wire.header(playPage, "Referer"), std::optional<QString>(request));
    QTRY_VERIFY_WITH_TIMEOUT(!web.requestedUrls(kPlayed).isEmpty(), 30000);
}

void TestE2E::searchCopyAndPlay() {
    portal::Form1 form;
    QCOMPARE(form.playerPath(), playerPath());
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QTRY_VERIFY_WITH_TIMEOUT(
        web.requestedUrls().contains(QStringLiteral("http://" CORVALE_PORTAL_HOST "/")), 20000);
    // The page itself says when it has loaded.
    QVERIFY(documentComplete(form.WebBrowser1()->page()));
    screenshot(QStringLiteral("e2e-portal-start.png"));

    // Search mode, a Chinese keyword typed as an input method would, then Enter.
    QTest::mouseClick(form.Image3(), Qt::LeftButton);
    QTest::mouseClick(form.Text1(), Qt::LeftButton);
    QCOMPARE(form.Text1()->text(), QString());
    for (QChar c : QStringLiteral("变形"))
        QTest::sendKeyEvent(QTest::Click, form.Text1(), Qt::Key_unknown, QString(c), Qt::NoModifier);
    QTest::keyClick(form.Text1(), Qt::Key_Return);
    QVERIFY(form.Picture3()->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(form.ListView1()->rowCount() > 1, 30000);
    QVERIFY(!form.Picture3()->isVisible());
    screenshot(QStringLiteral("e2e-portal-results.png"));

    // What localweb's pages hold: the Transformers link first, 1.25 GiB shown as 1.2G.
    portal::ResultList* list = form.ListView1();
    QCOMPARE(list->text(0, 1), QStringLiteral("变形金刚.Transformers.2007.BD1080P.rmvb"));
    QCOMPARE(list->text(0, 2), QStringLiteral(" 1.2G"));
    QCOMPARE(list->text(0, 3), QStringLiteral("rmvb"));
    const QStringList links = form.links();
    QCOMPARE(links.size(), list->rowCount());
    QVERIFY(links[0].startsWith(QStringLiteral("ed2k://|file|%E5%8F%98%E5%BD%A2")));

    // Copy row 1.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->rowRect(0).center());
    form.acopy()->trigger();
    QCOMPARE(QApplication::clipboard()->text(), links[0]);

    // Double-click row 2: the real player starts with exactly that link and plays it.
    web.clearLog();
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, list->rowRect(1).center());
    expectPlayed(links[1]);
    screenshot(QStringLiteral("e2e-player-playing.png"));

    // The player's web helpers were started to give large blocks back as they are freed.
    const QList<QByteArray> helpers = playerHelperEnvironments();
    QVERIFY(!helpers.isEmpty());
    for (const QByteArray& environment : helpers)
        QVERIFY(
            environment.split('\0').contains("GLIBC_TUNABLES=glibc.malloc.mmap_threshold=131072"));
}

void TestE2E::playerButtonAndLinkPage() {
    // The link page hands a link over as soon as it is shown, as the vendor's page does when
    // the user picks a film.
    const QString chosen = QStringLiteral(
        "ed2k://|file|The.Matrix.1999.1080p.mkv|1073741824|D7912E224DFF8D2D91004160ACC32DAC|/");
    web.route(kLinkPage,
              QStringLiteral("<html><body>片库<script>setTimeout(function () {"
                             "location.href = 'http://" CORVALE_SITE_HOST "/y/index2.html?okok=%1';"
                             "}, 300);</script></body></html>")
                  .arg(chosen)
                  .toUtf8());
    portal::Form1 form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    web.clearLog();
    QTest::mouseClick(form.Image4(), Qt::LeftButton);
    QCOMPARE(form.anzt(), qint16(3));
    // The player shows its loading page, then the link page, then plays what it was handed.
    // The order in which the loading page and the link page reach the server is not the
    // player's to keep: the link page's navigation replaces the loading page's, which may still
    // be on its way (or never sent) on a busy machine. That the link page waits for the version
    // check, with the loading page shown, is the player window test's.
    QTRY_VERIFY_WITH_TIMEOUT(web.requestedUrls().contains(kLinkPage), 30000);
    expectPlayed(chosen);
    screenshot(QStringLiteral("e2e-player-from-link-page.png"));
}

QTEST_MAIN(TestE2E)
#include "test_e2e.moc"
