// Both windows as native Wayland clients (run by support/under-weston.sh under a headless
// compositor, QT_QPA_PLATFORM=wayland, no X display) against localweb: the portal shows its
// start page and lists a link search's rows; the player started with a link plays its clip, and
// its full screen fills the output until Esc gives the window back its size.
#include "browser/browser.h"
#include "player/pellion.h"
#include "portal/form1.h"
#include "support/localweb.h"
#include "support/pageload.h"
#include "vendor/hosts.h"
#include "webkit/fetch.h"

#include <QApplication>
#include <QLineEdit>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <memory>
#include <optional>

namespace {

// SCREENSHOTS=DIR keeps a picture of the window.
void keep(QWidget& window, const QString& name) {
    if (const QString dir = qEnvironmentVariable("SCREENSHOTS"); !dir.isEmpty())
        QVERIFY(window.grab().save(dir + QLatin1Char('/') + name));
}

const QString kStartPage = QStringLiteral("http://" CORVALE_PORTAL_HOST "/");
const QString kLink =
    QStringLiteral("ed2k://|file|Big Buck.webm|47442|0123456789ABCDEF0123456789ABCDEF|/");
const QString kPlayAddress =
    QStringLiteral("http://" CORVALE_PLAY_HOST "/high.php?v=0123456789abcdef0123456789abcdef");
const QString kVideoPlaying = QStringLiteral("(function(){var v=document.getElementById('player');"
                                             "return !!v && !v.paused && v.currentTime > 0;})()");

} // namespace

class TestWaylandWindow : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void portalStartPageAndLinkSearch();
    void playerPlaysAndFullScreen();

private:
    LocalWeb web;
    QTemporaryDir tmp;
};

void TestWaylandWindow::initTestCase() {
    // Natively, or the test proves nothing about Wayland.
    QCOMPARE(QGuiApplication::platformName(), QStringLiteral("wayland"));
    QVERIFY(qEnvironmentVariableIsEmpty("DISPLAY"));
    prepareWebEngine();
    QVERIFY(web.start());
    web.useAsProxy();
    qputenv("PLAYER_RECORD", tmp.filePath(QStringLiteral("player.jsonl")).toLocal8Bit());
}

void TestWaylandWindow::portalStartPageAndLinkSearch() {
    portal::Form1 form;
    form.setPlayerPath(QStringLiteral(RECORDER_PATH));
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QVERIFY(form.windowHandle()->handle());

    // The start page, whole, in the view.
    QTRY_VERIFY_WITH_TIMEOUT(web.requestedUrls().contains(kStartPage), 30000);
    QVERIFY(showsComplete(form.WebBrowser1()->page(), kStartPage, 30000));
    QVERIFY(js(form.WebBrowser1()->page(), QStringLiteral("document.body.children.length")).toInt() >
            0);
    keep(form, QStringLiteral("wayland-portal-start.png"));

    // A link search over the stand-in catalogue, as typed by an input method, then Enter.
    QTest::mouseClick(form.Image3(), Qt::LeftButton);
    QTest::mouseClick(form.Text1(), Qt::LeftButton);
    form.Text1()->clear();
    for (QChar c : QStringLiteral("变形"))
        QTest::sendKeyEvent(QTest::Click, form.Text1(), Qt::Key_unknown, QString(c), Qt::NoModifier);
    QTest::keyClick(form.Text1(), Qt::Key_Return);
    QTRY_VERIFY_WITH_TIMEOUT(!form.Picture3()->isVisible() &&
                                 webkit::Fetcher::instance().running() == 0 &&
                                 form.ListView1()->rowCount() > 0,
                             30000);
    QVERIFY(form.ListView1()->isVisible());
    QStringList first;
    for (int c = 0; c < 4; ++c)
        first << form.ListView1()->text(0, c);
    QCOMPARE(first,
             QStringList({"1", "变形金刚.Transformers.2007.BD1080P.rmvb", " 1.2G", "rmvb"}));
    keep(form, QStringLiteral("wayland-portal-results.png"));
}

void TestWaylandWindow::playerPlaysAndFullScreen() {
    lumetta::pellion w(kLink);
    QSignalSpy opened(&w, &lumetta::pellion::playOpened);
    w.Form_Load();
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QTRY_COMPARE_WITH_TIMEOUT(opened.size(), 1, 30000);
    QCOMPARE(opened[0][0].toString(), kPlayAddress);
    QTRY_COMPARE_WITH_TIMEOUT(js(w.WebBrowser1()->page(), QStringLiteral("location.href")).toString(),
                              kPlayAddress, 30000);
    QTRY_VERIFY_WITH_TIMEOUT(js(w.WebBrowser1()->page(), kVideoPlaying).toBool(), 30000);
    keep(w, QStringLiteral("wayland-player-playing.png"));

    // F11: the compositor gives the window the whole output, and the browser all of the window.
    const QSize size = w.size();
    const QRect place = w.WebBrowser1()->geometry();
    QScreen* screen = w.screen();
    QVERIFY(screen);
    QVERIFY2(size != screen->size(), "the window already fills the output");
    QWidget* surface = w.WebBrowser1()->focusProxy();
    QVERIFY(surface);
    QTest::keyClick(surface, Qt::Key_F11);
    QTRY_VERIFY_WITH_TIMEOUT(w.isFullScreen() && w.browser()->isFullScreen(), 20000);
    QTRY_COMPARE_WITH_TIMEOUT(w.size(), screen->size(), 20000);
    QTRY_COMPARE(w.WebBrowser1()->geometry(), w.rect());
    keep(w, QStringLiteral("wayland-player-full-screen.png"));

    // Esc: the window as it was.
    QTest::keyClick(surface, Qt::Key_Escape);
    QTRY_VERIFY_WITH_TIMEOUT(!w.isFullScreen(), 20000);
    QTRY_COMPARE_WITH_TIMEOUT(w.size(), size, 20000);
    QTRY_COMPARE(w.WebBrowser1()->geometry(), place);
}

int main(int argc, char** argv) {
    // The headless compositor has no seat (no keyboard, no pointer), and Qt 6.4's Wayland text
    // input then crashes on the first key or click in a text box; no input method is asked for.
    qputenv("QT_IM_MODULE", "none");
    QApplication app(argc, argv);
    TestWaylandWindow test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_wayland_window.moc"
