// The player window with a real QtWebEngine against localweb: start-up with a link or with the
// link page, hand-overs, error pages, the version announcement, the Referer on the wire, the
// video on the play page and the page brought back after its process ended. Needs a display.
#include "browser/browser.h"
#include "browser/recovery.h"
#include "player/addresswatch.h"
#include "player/pellion.h"
#include "player/playresolver.h"
#include "support/desktoprecorder.h"
#include "support/localweb.h"
#include "support/pageprocess.h"
#include "support/pagescript.h"
#include "support/screenplace.h"
#include "support/wirerecorder.h"
#include "vendor/hosts.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QHostAddress>
#include <QMessageBox>
#include <QProcess>
#include <QScopeGuard>
#include <QScreen>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <memory>
#include <optional>

#include <unistd.h>

using namespace lumetta;
using State = pellion::State;

namespace {

QString href(const pellion& w) {
    return js(w.WebBrowser1()->page(), QStringLiteral("location.href")).toString();
}

// Loads and shows a player started without a link, and waits until it shows the link page.
bool openOnLinkPage(pellion& w) {
    w.Form_Load();
    w.show();
    return QTest::qWaitFor([&] { return w.state() == pellion::State::Waiting; }, 30000) &&
           QTest::qWaitFor(
               [&] { return href(w) == vendorSiteBase() + QStringLiteral("/y/index.php"); }, 30000);
}

const QString kVideoPlaying = QStringLiteral("(function(){var v=document.getElementById('player');"
                                             "return !!v && !v.paused && v.currentTime > 0;})()");

// A well-formed eD2k link with a blank in its name; the stand-in API knows its play address.
const QString kLink =
    QStringLiteral("ed2k://|file|Big Buck.webm|47442|0123456789ABCDEF0123456789ABCDEF|/");
const QString kPlayAddress =
    QStringLiteral("http://" CORVALE_PLAY_HOST "/high.php?v=0123456789abcdef0123456789abcdef");

// localweb's server library percent-decodes request header values before they reach its log
// and its pages; what it shows is the sent value or that decoding of it.
bool sameAsShownByLocalweb(const QString& shown, const QString& sent) {
    return shown == sent || shown == QUrl::fromPercentEncoding(sent.toUtf8());
}

} // namespace

class TestPlayerWindow : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void designAndResize();
    void startWithLink();
    void loadingPageBeforeVersionAnswer_data();
    void loadingPageBeforeVersionAnswer();
    void playsOutOfView();
    void linkPageHandsOverALink_data();
    void linkPageHandsOverALink();
    void linkWithBlanksAndChinese();
    void lostAddressAnswerIsAskedForAgain();
    void badHandOver_data();
    void badHandOver();
    void slowResolutionIsAskedForOnce();
    void noPlayAddress_data();
    void noPlayAddress();
    void versionAnnouncement_data();
    void versionAnnouncement();
    void realProgramReadsWholeCommandLine();
    void fullScreenKeysAndNavigationKeys();
    void pageProcessEnds();

private:
    LocalWeb web;
    WireRecorder wire;
    const QString qjym = vendorSiteBase();
    const QString apiPrefix = QStringLiteral("http://" CORVALE_API_HOST "/playapi.php");
};

void TestPlayerWindow::initTestCase() {
    QVERIFY(web.start());
    QVERIFY(wire.start(web.port()));
    // Everything, the browser included, reaches localweb through the recording relay.
    qputenv("http_proxy", QStringLiteral("http://127.0.0.1:%1").arg(wire.port()).toUtf8());
    qputenv("no_proxy", "127.0.0.1,localhost");
}

void TestPlayerWindow::init() {
    web.clearRoutes();
    web.clearLog();
    wire.clear();
}

void TestPlayerWindow::designAndResize() {
    pellion w(QStringLiteral("qd"));
    QCOMPARE(w.objectName(), QStringLiteral("pellion"));
    QCOMPARE(w.windowTitle(),
             QStringLiteral("Miravendv1.2  最好的的极速云点播软件  官网：" CORVALE_SITE_HOST));
    QCOMPARE(w.size(), QSize(968, 534));
    QCOMPARE(w.WebBrowser1()->objectName(), QStringLiteral("WebBrowser1"));
    QCOMPARE(w.WebBrowser1()->geometry(), QRect(0, 0, 497, 281));
    QCOMPARE(w.Timer1()->objectName(), QStringLiteral("Timer1"));
    QCOMPARE(w.Timer1()->interval(), 1000);
    QVERIFY(!w.Timer1()->isActive());
    QVERIFY(!w.Timer1()->isSingleShot());

    // Shown, the browser fills the window and reaches 280 twips (18.67 px) past its right edge.
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QTRY_COMPARE(w.WebBrowser1()->geometry(), QRect(0, 0, 968 + 19, 534));
    w.resize(640, 360);
    QTRY_COMPARE(w.WebBrowser1()->geometry(), QRect(0, 0, 640 + 19, 360));
    w.resize(1200, 700);
    QTRY_COMPARE(w.WebBrowser1()->geometry(), QRect(0, 0, 1200 + 19, 700));
    // The browser's top is never touched by a resize.
    w.WebBrowser1()->move(5, 7);
    w.resize(900, 500);
    QTRY_COMPARE(w.WebBrowser1()->geometry(), QRect(0, 7, 900 + 19, 500));
}

void TestPlayerWindow::startWithLink() {
    pellion w(kLink);
    QSignalSpy opened(&w, &pellion::playOpened);
    w.Form_Load();
    w.show();
    QTRY_COMPARE_WITH_TIMEOUT(opened.size(), 1, 30000);
    const QString request = PlayResolver::requestAddress(kLink);
    QCOMPARE(opened[0][0].toString(), kPlayAddress);
    QCOMPARE(opened[0][1].toString(), request);
    QCOMPARE(w.state(), State::Playing);
    QVERIFY(!w.Timer1()->isActive());

    QTRY_COMPARE_WITH_TIMEOUT(href(w), kPlayAddress, 30000);
    // The API was asked once, exactly as built, and only after the version check had its
    // two answers.
    const QStringList urls = web.requestedUrls();
    QCOMPARE(web.requestedUrls(apiPrefix), QStringList{request});
    const QString versionFile = QStringLiteral("http://" CORVALE_PORTAL_HOST "//yun.txt");
    QCOMPARE(urls.count(versionFile), 2);
    QVERIFY(urls.indexOf(request) > urls.lastIndexOf(versionFile));
    QVERIFY(!urls.contains(qjym + QStringLiteral("/y/index.php")));

    // The play page was asked for with exactly the request address as Referer.
    QCOMPARE(wire.header(kPlayAddress, "Referer").value_or(QStringLiteral("<not asked for>")),
             request);
    QString logged;
    for (const QJsonObject& r : web.requests()) {
        if (r.value(QStringLiteral("url")).toString() == kPlayAddress)
            logged = r.value(QStringLiteral("headers"))
                         .toObject()
                         .value(QStringLiteral("Referer"))
                         .toString();
    }
    QVERIFY2(sameAsShownByLocalweb(logged, request), qPrintable(logged));
    const QString shown =
        js(w.WebBrowser1()->page(), QStringLiteral("document.getElementById('referer').textContent"))
            .toString();
    QVERIFY2(sameAsShownByLocalweb(shown, request), qPrintable(shown));

    // The clip really plays.
    QTRY_VERIFY_WITH_TIMEOUT(js(w.WebBrowser1()->page(), kVideoPlaying).toBool(), 30000);

    const QString shots = qEnvironmentVariable("PLAYER_SCREENSHOT_DIR");
    if (!shots.isEmpty()) {
        QVERIFY(w.grab().save(QDir(shots).filePath(QStringLiteral("player-play-page.png"))));
        js(w.WebBrowser1()->page(),
           QStringLiteral("window.scrollTo(0, document.body.scrollHeight); true"));
        QTRY_VERIFY(js(w.WebBrowser1()->page(), QStringLiteral("window.scrollY > 0")).toBool());
        QVERIFY(w.grab().save(QDir(shots).filePath(QStringLiteral("player-play-page-end.png"))));
    }
}

void TestPlayerWindow::loadingPageBeforeVersionAnswer_data() {
    QTest::addColumn<QString>("commandLine");
    QTest::newRow("link") << kLink;
    QTest::newRow("qd") << QStringLiteral("qd");
}

void TestPlayerWindow::loadingPageBeforeVersionAnswer() {
    // The version check's question is held on its way to the vendor: the loading page is asked
    // for and shown all the same, and nothing else happens until the answer is in.
    QFETCH(QString, commandLine);
    const QString versionFile = QStringLiteral("http://" CORVALE_PORTAL_HOST "//yun.txt");
    const QString loadingPage = qjym + QStringLiteral("/loading/index.html?v=1");
    const QString linkPage = qjym + QStringLiteral("/y/index.php");
    wire.hold("GET " + versionFile.toUtf8() + ' ');
    const auto releaseAtEnd = qScopeGuard([this] { wire.release(); });
    pellion w(commandLine);
    QSignalSpy opened(&w, &pellion::playOpened);
    QSignalSpy states(&w, &pellion::stateChanged);
    w.Form_Load();
    w.show();
    QTRY_COMPARE_WITH_TIMEOUT(wire.held(), 1, 30000);
    QTRY_VERIFY_WITH_TIMEOUT(web.requestedUrls().contains(loadingPage), 30000);
    QTRY_COMPARE_WITH_TIMEOUT(href(w), loadingPage, 30000);
    QCOMPARE(w.state(), State::Loading);
    QCOMPARE(states.size(), 1);
    QVERIFY(!w.Timer1()->isActive());
    QStringList urls = web.requestedUrls();
    QVERIFY(!urls.contains(versionFile));
    QVERIFY(!urls.contains(linkPage));
    QVERIFY(web.requestedUrls(apiPrefix).isEmpty());

    wire.release();
    if (commandLine == kLink) {
        QTRY_COMPARE_WITH_TIMEOUT(opened.size(), 1, 30000);
        QCOMPARE(opened[0][0].toString(), kPlayAddress);
    } else {
        QTRY_COMPARE_WITH_TIMEOUT(w.state(), State::Waiting, 30000);
        QTRY_COMPARE_WITH_TIMEOUT(href(w), linkPage, 30000);
    }
    urls = web.requestedUrls();
    QCOMPARE(urls.count(versionFile), 2);
    QVERIFY(urls.indexOf(loadingPage) < urls.indexOf(versionFile));
}

void TestPlayerWindow::playsOutOfView() {
    // A window too small to show the video: the clip plays all the same, without waiting to be
    // seen or for a click.
    pellion w(kLink);
    QSignalSpy opened(&w, &pellion::playOpened);
    w.Form_Load();
    w.show();
    w.resize(300, 40);
    QTRY_COMPARE_WITH_TIMEOUT(opened.size(), 1, 30000);
    QTRY_COMPARE_WITH_TIMEOUT(href(w), kPlayAddress, 30000);
    QVERIFY(js(w.WebBrowser1()->page(),
               QStringLiteral("document.getElementById('player').getBoundingClientRect().top > "
                              "window.innerHeight"))
                .toBool());
    QTRY_VERIFY_WITH_TIMEOUT(js(w.WebBrowser1()->page(), kVideoPlaying).toBool(), 30000);
}

void TestPlayerWindow::linkPageHandsOverALink_data() {
    QTest::addColumn<QString>("commandLine");
    QTest::newRow("qd") << QStringLiteral("qd");
    QTest::newRow("empty") << QString();
}

void TestPlayerWindow::linkPageHandsOverALink() {
    QFETCH(QString, commandLine);
    pellion w(commandLine);
    QSignalSpy opened(&w, &pellion::playOpened);
    w.Form_Load();
    w.show();
    QTRY_COMPARE_WITH_TIMEOUT(w.state(), State::Waiting, 30000);
    QVERIFY(w.Timer1()->isActive());
    QTRY_VERIFY_WITH_TIMEOUT(
        js(w.WebBrowser1()->page(), QStringLiteral("document.getElementById('film-1') !== null"))
            .toBool(),
        30000);
    QCOMPARE(href(w), qjym + QStringLiteral("/y/index.php"));
    QVERIFY(web.requestedUrls(apiPrefix).isEmpty());

    // The user picks a film; the page hands its link over in the address.
    js(w.WebBrowser1()->page(), QStringLiteral("document.getElementById('film-1').click(); true"));
    QTRY_COMPARE_WITH_TIMEOUT(opened.size(), 1, 30000);
    QVERIFY(!w.Timer1()->isActive());

    // The link is the text after "okok=" in the address the page went to.
    const QStringList handOvers = web.requestedUrls(qjym + QStringLiteral("/y/index2.html?okok="));
    QCOMPARE(handOvers.size(), 1);
    const QString link = handOvers[0].mid(handOvers[0].indexOf(QStringLiteral("okok=")) + 5);
    QVERIFY2(link.startsWith(QStringLiteral("ed2k://|file|")), qPrintable(link));
    const QString request = PlayResolver::requestAddress(link);
    QCOMPARE(opened[0][1].toString(), request);
    QCOMPARE(web.requestedUrls(apiPrefix), QStringList{request});

    const QString play = opened[0][0].toString();
    QVERIFY(play.startsWith(QStringLiteral("http://" CORVALE_PLAY_HOST "/high.php?v=")));
    QTRY_COMPARE_WITH_TIMEOUT(href(w), play, 30000);
    QCOMPARE(wire.header(play, "Referer").value_or(QStringLiteral("<not asked for>")), request);
    QTRY_VERIFY_WITH_TIMEOUT(js(w.WebBrowser1()->page(), kVideoPlaying).toBool(), 30000);
    QCOMPARE(w.state(), State::Playing);
}

void TestPlayerWindow::linkWithBlanksAndChinese() {
    // The last film of the link page has blanks and Chinese in its plain name. The browser
    // escapes them in the address it goes to; the player hands that text on as it stands.
    const QString film =
        QStringLiteral("ed2k://|file|大闹天宫 Havoc in Heaven 1961.mkv|1181116006|"
                       "3F6A1C9B82D4E0715CA9B3E6D2F80417|/");
    pellion w(QStringLiteral("qd"));
    QSignalSpy opened(&w, &pellion::playOpened);
    QVERIFY(openOnLinkPage(w));
    QTRY_VERIFY_WITH_TIMEOUT(
        js(w.WebBrowser1()->page(),
           QStringLiteral("document.getElementById('film-22').getAttribute('onclick')"))
            .toString()
            .contains(film),
        30000);
    js(w.WebBrowser1()->page(), QStringLiteral("document.getElementById('film-22').click(); true"));
    QTRY_COMPARE_WITH_TIMEOUT(opened.size(), 1, 30000);

    const QStringList handOvers = web.requestedUrls(qjym + QStringLiteral("/y/index2.html?okok="));
    QCOMPARE(handOvers.size(), 1);
    const QString link = handOvers[0].mid(handOvers[0].indexOf(QStringLiteral("okok=")) + 5);
    // What went over the wire is escaped, and it is the film's link once unescaped.
    QVERIFY2(!link.contains(QLatin1Char(' ')) && !link.contains(QStringLiteral("天")),
             qPrintable(link));
    QCOMPARE(QUrl::fromPercentEncoding(link.toUtf8()), film);
    const QString request = PlayResolver::requestAddress(link);
    QCOMPARE(web.requestedUrls(apiPrefix), QStringList{request});
    QCOMPARE(opened[0][1].toString(), request);
    QCOMPARE(
        opened[0][0].toString(),
        QStringLiteral("http://" CORVALE_PLAY_HOST "/high.php?v=3f6a1c9b82d4e0715ca9b3e6d2f80417"));
    QTRY_COMPARE_WITH_TIMEOUT(href(w), opened[0][0].toString(), 30000);
}

void TestPlayerWindow::lostAddressAnswerIsAskedForAgain() {
    // The page never answers the first look at its address: after a few ticks the player asks
    // again, sees the hand-over and resolves it once; the lost answer, coming late, changes
    // nothing.
    const QString link = QStringLiteral("lost-answer-link");
    const QString request = PlayResolver::requestAddress(link);
    const QString play = QStringLiteral("http://" CORVALE_PLAY_HOST "/high.php?v=lost");
    web.route(request, play.toUtf8());
    pellion w(QStringLiteral("qd"));
    QSignalSpy opened(&w, &pellion::playOpened);
    QList<pellion::Answer> lost;
    int reads = 0;
    w.setAddressReader([&](const pellion::Answer& answer) {
        if (++reads == 1) {
            lost << answer;
            return;
        }
        w.WebBrowser1()->page()->runJavaScript(
            QStringLiteral("location.href"),
            [answer](const QVariant& address) { answer(address.toString()); });
    });
    QVERIFY(openOnLinkPage(w));
    QTRY_COMPARE_WITH_TIMEOUT(lost.size(), 1, 30000);
    js(w.WebBrowser1()->page(),
       QStringLiteral("location.href = '/y/index2.html?okok=%1'; true").arg(link));
    QTRY_COMPARE_WITH_TIMEOUT(opened.size(), 1, 30000);
    QVERIFY(reads >= 2);
    QCOMPARE(opened[0][0].toString(), play);
    QVERIFY(!w.Timer1()->isActive());

    lost[0](qjym + QStringLiteral("/y/index2.html?okok=another-link"));
    QTRY_COMPARE_WITH_TIMEOUT(href(w), play, 30000);
    QCOMPARE(opened.size(), 1);
    QCOMPARE(w.state(), State::Playing);
    QCOMPARE(web.requestedUrls(apiPrefix), QStringList{request});
}

void TestPlayerWindow::badHandOver_data() {
    QTest::addColumn<QString>("target");    // where the link page sends the browser
    QTest::addColumn<QString>("askedWith"); // the link the API is asked with, if any
    QTest::newRow("three characters") << QStringLiteral("/y/index2.html?okok=abc") << QString();
    QTest::newRow("five characters") << QStringLiteral("/y/index2.html?okok=abcde") << QString();
    QTest::newRow("no marker") << QStringLiteral("/y/index2.html?link=abcdefgh") << QString();
    // Long enough to be asked for, but the API knows no play address for it.
    QTest::newRow("six characters")
        << QStringLiteral("/y/index2.html?okok=abcdef") << QStringLiteral("abcdef");
}

void TestPlayerWindow::badHandOver() {
    QFETCH(QString, target);
    QFETCH(QString, askedWith);
    pellion w(QStringLiteral("qd"));
    QSignalSpy opened(&w, &pellion::playOpened);
    QVERIFY(openOnLinkPage(w));
    // The link page sends itself to the hand-over address, as its film list does on a click.
    js(w.WebBrowser1()->page(), QStringLiteral("location.href = '%1'; true").arg(target));
    QTRY_COMPARE_WITH_TIMEOUT(w.state(), State::ErrorPage, 30000);
    QVERIFY(!w.Timer1()->isActive());
    QTRY_COMPARE_WITH_TIMEOUT(href(w), qjym + QStringLiteral("/y/er.html"), 30000);
    QVERIFY(web.requestedUrls().contains(qjym + target));
    const QStringList asked = web.requestedUrls(apiPrefix);
    if (askedWith.isEmpty())
        QVERIFY2(asked.isEmpty(), qPrintable(asked.join(QLatin1Char(' '))));
    else
        QCOMPARE(asked, QStringList{PlayResolver::requestAddress(askedWith)});
    QCOMPARE(opened.size(), 0);
    QVERIFY(w.isVisible());
}

void TestPlayerWindow::slowResolutionIsAskedForOnce() {
    // The API holds its answer back over several ticks of Timer1: the hand-over is still
    // resolved once, and the watch has ended before the answer comes.
    const QString link = QStringLiteral("slow-link");
    const QString request = PlayResolver::requestAddress(link);
    const QString play = QStringLiteral("http://" CORVALE_PLAY_HOST "/high.php?v=slow");
    web.route(request, play.toUtf8(), 200, QStringLiteral("raw"), 3500);
    pellion w(QStringLiteral("qd"));
    QSignalSpy opened(&w, &pellion::playOpened);
    QVERIFY(openOnLinkPage(w));
    js(w.WebBrowser1()->page(),
       QStringLiteral("location.href = '/y/index2.html?okok=%1'; true").arg(link));
    QTRY_COMPARE_WITH_TIMEOUT(w.state(), State::Resolving, 30000);
    QVERIFY(!w.Timer1()->isActive());
    QTRY_COMPARE_WITH_TIMEOUT(opened.size(), 1, 30000);
    QCOMPARE(opened[0][0].toString(), play);
    QCOMPARE(web.requestedUrls(apiPrefix), QStringList{request});
    QTRY_COMPARE_WITH_TIMEOUT(href(w), play, 30000);
    QCOMPARE(web.requestedUrls(apiPrefix), QStringList{request});
}

void TestPlayerWindow::noPlayAddress_data() {
    QTest::addColumn<QString>("commandLine");
    QTest::addColumn<QByteArray>("reply"); // empty: the stand-in API answers by itself
    QTest::addColumn<int>("status");
    // "QD" is a link, which the API does not know.
    QTest::newRow("QD") << QStringLiteral("QD") << QByteArray() << 200;
    QTest::newRow("reply without an address")
        << kLink << QByteArray("{\"code\":1,\"msg\":\"busy, try http://" CORVALE_PLAY_HOST "/\"}")
        << 200;
    QTest::newRow("address on a four-label host")
        << kLink << QByteArray("http://a." CORVALE_PLAY_HOST "/high.php?v=abc") << 200;
    QTest::newRow("empty error reply") << kLink << QByteArray() << 503;
}

void TestPlayerWindow::noPlayAddress() {
    QFETCH(QString, commandLine);
    QFETCH(QByteArray, reply);
    QFETCH(int, status);
    const QString request = PlayResolver::requestAddress(commandLine);
    if (!reply.isEmpty() || status != 200)
        web.route(request, reply, status);
    pellion w(commandLine);
    QSignalSpy opened(&w, &pellion::playOpened);
    w.Form_Load();
    w.show();
    QTRY_COMPARE_WITH_TIMEOUT(w.state(), State::ErrorPage, 30000);
    QTRY_COMPARE_WITH_TIMEOUT(href(w), qjym + QStringLiteral("/y/er.html"), 30000);
    QCOMPARE(web.requestedUrls(apiPrefix), QStringList{request});
    QCOMPARE(opened.size(), 0);
    QVERIFY(!w.Timer1()->isActive());
    QVERIFY(w.isVisible());
}

void TestPlayerWindow::versionAnnouncement_data() {
    QTest::addColumn<QByteArray>("download");
    QTest::addColumn<int>("downloadStatus");
    QTest::addColumn<QString>("opened"); // empty: nothing may be opened
    QTest::newRow("web address") << QByteArray("http://" CORVALE_PORTAL_HOST "/download.html")
                                 << 200
                                 << QStringLiteral("http://" CORVALE_PORTAL_HOST "/download.html");
    QTest::newRow("local file") << QByteArray("file:///etc/passwd") << 200 << QString();
    QTest::newRow("download file missing") << QByteArray() << 404 << QString();
}

void TestPlayerWindow::versionAnnouncement() {
    QFETCH(QByteArray, download);
    QFETCH(int, downloadStatus);
    QFETCH(QString, opened);
    web.route(QStringLiteral("http://" CORVALE_PORTAL_HOST "//yun.txt"), "2");
    web.route(QStringLiteral("http://" CORVALE_PORTAL_HOST "//yunup.txt"), download,
              downloadStatus);
    DesktopRecorder desktop;

    pellion w(QStringLiteral("qd"));
    w.Form_Load();
    w.show();
    QPointer<QMessageBox> box;
    QTRY_VERIFY_WITH_TIMEOUT((box = w.findChild<QMessageBox*>()) && box->isVisible(), 30000);
    QCOMPARE(box->text(), QStringLiteral("发现新版本请更新，否则可能影响使用"));
    QCOMPARE(box->windowTitle(), QStringLiteral("lumetta"));
    QCOMPARE(box->icon(), QMessageBox::NoIcon);
    QCOMPARE(box->buttons().size(), 1);
    QVERIFY(box->button(QMessageBox::Ok));
    QVERIFY(box->isModal());
    // Start-up waits for the user: the link page comes only after the box is closed.
    QCOMPARE(w.state(), State::Loading);
    QVERIFY(!w.Timer1()->isActive());
    QVERIFY(desktop.opened.isEmpty());
    QVERIFY(web.requestedUrls(QStringLiteral("http://" CORVALE_PORTAL_HOST "//yunup.txt")).size() ==
            1);

    box->button(QMessageBox::Ok)->click();
    QTRY_COMPARE_WITH_TIMEOUT(w.state(), State::Waiting, 30000);
    QVERIFY(w.Timer1()->isActive());
    if (opened.isEmpty())
        QVERIFY(desktop.opened.isEmpty());
    else
        QCOMPARE(desktop.opened, QList<QUrl>{QUrl(opened)});
    QTRY_COMPARE_WITH_TIMEOUT(href(w), qjym + QStringLiteral("/y/index.php"), 30000);
    QTRY_VERIFY(!box); // closed and gone
}

void TestPlayerWindow::realProgramReadsWholeCommandLine() {
    // The program as installed: its arguments are the player's own, even ones that look like
    // Qt's options, and they are joined with single blanks into one link.
    struct Case {
        QStringList arguments;
        QString awaited;  // the line on stderr that ends the case
        QStringList asked; // the links the API is asked for
    };
    // The error and link pages are awaited by the window's state: a page opened while the
    // loading page still loads may be reported by the engine as that one load.
    const QString played = QStringLiteral("loaded ") + kPlayAddress;
    const QString errorPage = QStringLiteral("state ErrorPage");
    const QString linkPage = QStringLiteral("state Waiting");
    const QList<Case> cases = {
        {{QStringLiteral("ed2k://|file|Big"),
          QStringLiteral("Buck.webm|47442|0123456789ABCDEF0123456789ABCDEF|/")},
         played,
         {kLink}},
        {{QStringLiteral("-platform"), QStringLiteral("no-such-platform")},
         errorPage,
         {QStringLiteral("-platform no-such-platform")}},
        // Blanks around the link are kept: the API does not know the link with them.
        {{QLatin1Char(' ') + kLink + QStringLiteral("  ")},
         errorPage,
         {QLatin1Char(' ') + kLink + QStringLiteral("  ")}},
        // One empty argument is an empty command line; two make a blank, which is a link.
        {{QString()}, linkPage, {}},
        {{QString(), QString()}, errorPage, {QStringLiteral(" ")}},
    };
    for (const Case& c : cases) {
        web.clearLog();
        QProcess lumetta;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("LUMETTA_TRACE"), QStringLiteral("1"));
        // Only the request addresses matter here: the program talks to localweb directly.
        env.insert(QStringLiteral("http_proxy"), web.proxy());
        lumetta.setProcessEnvironment(env);
        QString err;
        connect(&lumetta, &QProcess::readyReadStandardError, this,
                [&] { err += QString::fromUtf8(lumetta.readAllStandardError()); });
        lumetta.start(binDir() + QStringLiteral("/brenlo/lumetta"), c.arguments);
        QVERIFY(lumetta.waitForStarted(10000));
        const bool reached = QTest::qWaitFor([&] { return err.contains(c.awaited); }, 60000);
        if (!reached)
            qWarning().noquote() << "lumetta wrote:\n"
                                 << err << "\nlocalweb was asked for:\n"
                                 << web.requestedUrls().join(QLatin1Char('\n'));
        QVERIFY(reached);
        QCOMPARE(lumetta.state(), QProcess::Running);
        QStringList asked;
        for (const QString& link : c.asked)
            asked << PlayResolver::requestAddress(link);
        QCOMPARE(web.requestedUrls(apiPrefix), asked);
        lumetta.terminate();
        QVERIFY(lumetta.waitForFinished(10000));
    }
}

// F11 shows the player full screen with only its browser and back, Esc leaves too; the
// browser's navigation keys stay off while Backspace still edits the page's text. Under a
// window manager (also run under openbox) full screen fills the screen, and the window comes
// back to its size and place.
void TestPlayerWindow::fullScreenKeysAndNavigationKeys() {
    pellion w{QString()};
    QVERIFY(openOnLinkPage(w));
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    const QSize size = w.size();
    const QRect place = w.WebBrowser1()->geometry();
    const QRect onScreen = screenPlace(w);
    QVERIFY(onScreen.isValid());
    QCOMPARE(onScreen.size(), size);
    QWidget* surface = w.WebBrowser1()->focusProxy();
    QVERIFY(surface);
    surface->setFocus();

    for (const Qt::Key leave : {Qt::Key_F11, Qt::Key_Escape}) {
        QTest::keyClick(surface, Qt::Key_F11);
        QTRY_VERIFY(w.isFullScreen() && w.browser()->isFullScreen());
        if (windowManagerRuns())
            QTRY_COMPARE_WITH_TIMEOUT(screenPlace(w), w.screen()->geometry(), 20000);
        QTRY_COMPARE(w.WebBrowser1()->geometry(), w.rect());
        QTest::keyClick(surface, leave);
        QTRY_VERIFY(!w.isFullScreen());
        QTRY_COMPARE(w.size(), size);
        QTRY_COMPARE_WITH_TIMEOUT(screenPlace(w), onScreen, 20000);
        QTRY_COMPARE(w.WebBrowser1()->geometry(), place);
    }

    QSignalSpy started(w.WebBrowser1(), &QWebEngineView::loadStarted);
    js(w.WebBrowser1()->page(),
       QStringLiteral("var box = document.createElement('input'); box.id = 'box';"
                      "document.body.appendChild(box); box.focus(); 1"));
    QTest::keyClicks(surface, QStringLiteral("abc"));
    QTest::keyClick(surface, Qt::Key_Left, Qt::AltModifier);
    QTest::keyClick(surface, Qt::Key_F5);
    QTest::mouseClick(surface, Qt::BackButton, {}, QPoint(20, 20));
    QTest::keyClick(surface, Qt::Key_Backspace);
    QTRY_COMPARE(js(w.WebBrowser1()->page(), QStringLiteral("document.getElementById('box').value"))
                     .toString(),
                 QStringLiteral("ab"));
    QCOMPARE(started.size(), 0);
    QCOMPARE(href(w), vendorSiteBase() + QStringLiteral("/y/index.php"));
}

void TestPlayerWindow::pageProcessEnds() {
    // Playing: the play page comes back with the same Referer, and the clip plays again.
    {
        pellion w(kLink);
        // The recovery's clock stands still: every end comes "at once" after the last reload.
        w.recovery()->policy().setClock([] { return qint64(0); });
        QWebEnginePage* page = w.WebBrowser1()->page();
        w.Form_Load();
        w.show();
        QTRY_VERIFY_WITH_TIMEOUT(js(page, kVideoPlaying).toBool(), 60000);
        const QString request = PlayResolver::requestAddress(kLink);
        const auto playsAgain = [&] {
            return QTest::qWaitFor(
                       [&] {
                           return web.requestedUrls(kPlayAddress).size() == 1 &&
                                  js(page, kVideoPlaying).toBool();
                       },
                       60000) &&
                   wire.header(kPlayAddress, "Referer") == request;
        };
        web.clearLog();
        wire.clear();
        QVERIFY(killPageProcess(page));
        QVERIFY(playsAgain());
        QCOMPARE(href(w), kPlayAddress);
        QCOMPARE(w.state(), State::Playing);
        // The API was not asked again: the same play page, opened as the first time.
        QVERIFY(web.requestedUrls(apiPrefix).isEmpty());

        // Killed again within ten seconds: the notice, whose link brings the film back.
        web.clearLog();
        wire.clear();
        QVERIFY(killPageProcess(page));
        QTRY_COMPARE_WITH_TIMEOUT(js(page, QStringLiteral("document.body.innerText")).toString(),
                                  QStringLiteral("页面已停止运行。重试"), 30000);
        QVERIFY(web.requestedUrls(kPlayAddress).isEmpty());
        js(page, QStringLiteral("document.getElementById('retry').click(); true"));
        QVERIFY(playsAgain());
        QCOMPARE(w.state(), State::Playing);
    }

    // On the link page: the link page again, and the address is still watched.
    pellion w(QStringLiteral("qd"));
    w.recovery()->policy().setClock([] { return qint64(0); });
    QSignalSpy opened(&w, &pellion::playOpened);
    QVERIFY(openOnLinkPage(w));
    web.clearLog();
    QVERIFY(killPageProcess(w.WebBrowser1()->page()));
    QTRY_VERIFY_WITH_TIMEOUT(
        js(w.WebBrowser1()->page(), QStringLiteral("document.getElementById('film-1') !== null"))
            .toBool(),
        30000);
    QCOMPARE(web.requestedUrls(qjym + QStringLiteral("/y/index.php")).size(), 1);
    QCOMPARE(w.state(), State::Waiting);
    QVERIFY(w.Timer1()->isActive());
    js(w.WebBrowser1()->page(), QStringLiteral("document.getElementById('film-1').click(); true"));
    QTRY_COMPARE_WITH_TIMEOUT(opened.size(), 1, 30000);
    QTRY_VERIFY_WITH_TIMEOUT(js(w.WebBrowser1()->page(), kVideoPlaying).toBool(), 60000);
}

int main(int argc, char** argv) {
    // QtWebEngine refuses its sandbox when run as root.
    if (geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Miravend"));
    QCoreApplication::setApplicationName(QStringLiteral("lumetta"));
    TestPlayerWindow test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_player_window.moc"
