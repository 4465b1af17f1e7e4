// The portal window in this process, showing pages served by localweb: start-up state and
// order, layout and resizing, the version check's announcement, the browser host (no context
// menu, no navigation shortcuts), the script bridge that starts the player, here a recording
// stand-in, the cap on players still running and the page brought back after its process ended.
#include "browser/recovery.h"
#include "portal/form1.h"
#include "support/columns.h"
#include "support/desktoprecorder.h"
#include "support/localweb.h"
#include "support/pageload.h"
#include "support/pageprocess.h"
#include "support/portalwindowtest.h"
#include "vendor/hosts.h"
#include "webkit/versioncheck.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFile>
#include <QHeaderView>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScopeGuard>
#include <QSet>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <csignal>
#include <memory>

#include <unistd.h>

using portal::Form1;
using portal::ResultList;

namespace {

const QString kRoot = QStringLiteral("http://" CORVALE_PORTAL_HOST "/");
const QString kVersionFile = QStringLiteral("http://" CORVALE_PORTAL_HOST "/d.txt");
const QString kDownloadFile = QStringLiteral("http://" CORVALE_PORTAL_HOST "/up.txt");

// The address of one of this test's own pages on the portal host.
QString testPage(const char* name) {
    return QStringLiteral("http://" CORVALE_PORTAL_HOST "/t/") + QLatin1String(name);
}

// A page whose body holds `content` and then runs `script`.
QByteArray scriptPage(const QByteArray& script, const QByteArray& content = {}) {
    return "<html><body>" + content + "<script>" + script + "</script></body></html>";
}

// Counts pop-up menus as they show, anywhere in the program.
class MenuWatch : public QObject {
public:
    int shown = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show && qobject_cast<QMenu*>(watched))
            ++shown;
        return false;
    }
};

// Clicks the middle of the page's element `id` with the mouse, as a person would.
bool clickElement(QWebEngineView* view, const QString& id) {
    if (!painted(view))
        return false;
    const QPoint centre = elementCentre(view, id);
    QWidget* surface = view->focusProxy();
    if (centre == QPoint(-1, -1) || !surface)
        return false;
    QTest::mouseClick(surface, Qt::LeftButton, {}, centre);
    return true;
}

} // namespace

class TestPortalWindow : public PortalWindowTest {
    Q_OBJECT
private Q_SLOTS:
    void init();

    void startUpState();
    void startPageBeforeVersionCheck();
    void tabOrder();
    void resizeFollowsTheWindow();
    void versionCheck_data();
    void versionCheck();
    void noContextMenu();
    void noNavigationShortcuts();
    void helloWorldStartsThePlayer();
    void bridgeValuesAreReadOnly();
    void searchReachesTheBridge();
    void channelProbedFromAPage();
    void resultListFromTheKeyboard();
    void accessibleNames();
    void pageProcessEnds();
    void runningPlayersAreCapped();

private:
    // A new portal window in `form`, its browser in `view`, shown, with the recording player.
    Form1& open();
    // Waits until the window's start page has loaded.
    bool startPageLoaded(Form1& form);

    QWebEngineView* view = nullptr;
    bool versionCheckDone = false;
    // How often the limit was asked for a start: every request that reached the window.
    int startRequests = 0;
};

void TestPortalWindow::init() {
    clearRecords();
}

Form1& TestPortalWindow::open() {
    form = std::make_unique<Form1>();
    Form1* f = form.get();
    view = f->WebBrowser1();
    f->setPlayerPath(QStringLiteral(RECORDER_PATH));
    f->playerStarts().setClock([this] {
        ++startRequests;
        return clockMs;
    });
    versionCheckDone = false;
    connect(f->versionCheck(), &webkit::VersionCheck::finished, this,
            [this] { versionCheckDone = true; });
    f->show();
    if (!QTest::qWaitForWindowExposed(f))
        qWarning("the portal window was not shown");
    return *f;
}

bool TestPortalWindow::startPageLoaded(Form1& f) {
    return showsComplete(f.WebBrowser1()->page(), kRoot);
}

void TestPortalWindow::startUpState() {
    Form1& f = open();

    QCOMPARE(
        f.windowTitle(),
        QStringLiteral("Qarvo--种子搜索 高清影院 云播放三合一  V1.2  官网：" CORVALE_SITE_HOST));
    QCOMPARE(f.size(), QSize(1008, 560));
    QVERIFY(!f.windowIcon().isNull());
    QCOMPARE(f.windowIcon().availableSizes().value(0), QSize(48, 48));

    // The window's values.
    QCOMPARE(f.qjym(), kRoot);
    QCOMPARE(f.anzt(), qint16(1));
    QCOMPARE(f.edurl(), QString());

    // Every control by its designer name, at its design place (twips / 15).
    const struct {
        const char* name;
        QRect geometry;
        bool visible;
    } controls[] = {
        {"Image1", QRect(0, 0, 1500, 40), true},
        {"Image2", QRect(8, 5, 100, 34), true},
        {"Image3", QRect(112, 5, 100, 34), true},
        {"Image4", QRect(216, 5, 100, 34), true},
        {"Text1", QRect(704, 7, 257, 24), true},
        {"Picture1", QRect(968, 7, 25, 25), true},
        {"WebBrowser1", QRect(0, 35, 1008, 547), true},
        {"ListView1", QRect(0, 35, 1008, 543), false},
        {"Picture2", QRect(272, 240, 497, 24), false},
        {"Picture3", QRect(432, 240, 183, 24), false},
    };
    for (const auto& c : controls) {
        auto* w = f.findChild<QWidget*>(QString::fromLatin1(c.name));
        QVERIFY2(w, c.name);
        QCOMPARE(w->geometry(), c.geometry);
        QVERIFY2(w->isVisible() == c.visible, c.name);
    }

    // Bitmaps at their sizes; the header strip is one solid blue.
    const struct {
        QLabel* label;
        QSize size;
    } bitmaps[] = {{f.Image1(), {1500, 40}}, {f.Image2(), {100, 34}},  {f.Image3(), {100, 34}},
                   {f.Image4(), {100, 34}},  {f.Picture1(), {25, 25}}, {f.Picture2(), {500, 24}},
                   {f.Picture3(), {183, 24}}};
    for (const auto& b : bitmaps)
        QCOMPARE(b.label->pixmap().size(), b.size);
    const QImage header = f.Image1()->pixmap().toImage();
    for (QPoint p : {QPoint(0, 0), QPoint(700, 20), QPoint(1499, 39)})
        QCOMPARE(header.pixelColor(p), QColor(77, 166, 222));

    // The keyword box holds the hint as its text.
    QCOMPARE(f.Text1()->text(), QStringLiteral(" 请在这里输入关键字"));

    // The result list: report view with four columns, whole rows, no editing, no sorting.
    ResultList* list = f.ListView1();
    QCOMPARE(list->columnCount(), 4);
    const QStringList headers = {QStringLiteral("ID"), QStringLiteral("电影名"),
                                 QStringLiteral("文件大小"), QStringLiteral("格式")};
    const int widths[] = {33, 835, 80, 53};
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(list->model()->headerData(i, Qt::Horizontal).toString(), headers[i]);
        QCOMPARE(list->columnWidth(i), widths[i]);
    }
    QCOMPARE(list->rowCount(), 0);
    QVERIFY(!list->rootIsDecorated());
    QCOMPARE(list->selectionBehavior(), QAbstractItemView::SelectRows);
    QCOMPARE(list->editTriggers(), QAbstractItemView::NoEditTriggers);
    QVERIFY(!list->isSortingEnabled());

    // The pop-up menu exists but is nowhere on show.
    QCOMPARE(f.mnuOptions()->objectName(), QStringLiteral("mnuOptions"));
    QCOMPARE(f.mnuOptions()->title(), QStringLiteral("右键"));
    QCOMPARE(f.aplary()->text(), QStringLiteral("在线云播放"));
    QCOMPARE(f.acopy()->text(), QStringLiteral("复制电影地址"));
    QVERIFY(!f.mnuOptions()->isVisible());
    QVERIFY(f.findChildren<QMenuBar*>().isEmpty());

    // Stacking, front to back: the banners, the search button, the list, the browser, the
    // keyword box, then the images.
    const QStringList front = {QStringLiteral("Picture3"),    QStringLiteral("Picture2"),
                               QStringLiteral("Picture1"),    QStringLiteral("ListView1"),
                               QStringLiteral("WebBrowser1"), QStringLiteral("Text1")};
    QStringList stack;
    for (QObject* child : f.children())
        if (child->isWidgetType() && !static_cast<QWidget*>(child)->isWindow())
            stack.prepend(child->objectName());
    QCOMPARE(stack.mid(0, front.size()), front);
    QCOMPARE(stack.mid(front.size()).size(), 4);
    QCOMPARE(stack.last(), QStringLiteral("Image1"));

    // The browser shows the vendor portal's start page.
    QVERIFY(startPageLoaded(f));
}

void TestPortalWindow::startPageBeforeVersionCheck() {
    open();
    QTRY_VERIFY_WITH_TIMEOUT(web.requestedUrls(kVersionFile).size() == 2, 20000);
    const QStringList urls = web.requestedUrls();
    const qsizetype page = urls.indexOf(kRoot);
    QVERIFY2(page >= 0, qPrintable(urls.join(QLatin1Char(' '))));
    QVERIFY2(page < urls.indexOf(kVersionFile), qPrintable(urls.join(QLatin1Char(' '))));
    // No newer version by default: the download address is not asked for.
    QTRY_VERIFY_WITH_TIMEOUT(versionCheckDone, 20000);
    QVERIFY(web.requestedUrls(kDownloadFile).isEmpty());
}

void TestPortalWindow::tabOrder() {
    const QString plain = testPage("plain.html");
    web.route(plain, "<html><body><p>nothing here takes the focus</p></body></html>");
    Form1& f = open();
    QVERIFY(startPageLoaded(f));
    QVERIFY(loadPage(f.WebBrowser1(), plain));
    f.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&f));
    const auto inBrowser = [&f] {
        QWidget* w = QApplication::focusWidget();
        return w && (w == f.WebBrowser1() || f.WebBrowser1()->isAncestorOf(w));
    };

    // Keyword box, browser, then (the list being hidden) the search button, and round again.
    f.Text1()->setFocus();
    QTRY_VERIFY(f.Text1()->hasFocus());
    QTest::keyClick(f.Text1(), Qt::Key_Tab);
    QTRY_VERIFY(inBrowser());
    // The page has nothing to focus, so the next Tab leaves it.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QTRY_VERIFY(f.Picture1()->hasFocus());
    QTest::keyClick(f.Picture1(), Qt::Key_Tab);
    QTRY_VERIFY(f.Text1()->hasFocus());

    // With the list shown it comes between the browser and the search button; backwards here.
    f.ListView1()->show();
    QTest::keyClick(f.Text1(), Qt::Key_Backtab, Qt::ShiftModifier);
    QTRY_VERIFY(f.Picture1()->hasFocus());
    QTest::keyClick(f.Picture1(), Qt::Key_Backtab, Qt::ShiftModifier);
    QTRY_VERIFY(f.ListView1()->hasFocus());
    QTest::keyClick(f.ListView1(), Qt::Key_Backtab, Qt::ShiftModifier);
    QTRY_VERIFY(inBrowser());
}

void TestPortalWindow::resizeFollowsTheWindow() {
    Form1& f = open();
    // Browser: full width, client height less 200 twips; list: less 260 twips. Tops stay.
    const auto expect = [&](int w, int h) {
        return QTest::qWaitFor(
            [&] {
                return f.WebBrowser1()->geometry() == QRect(0, 35, w, qRound(h - 200 / 15.0)) &&
                       f.ListView1()->geometry() == QRect(0, 35, w, qRound(h - 260 / 15.0));
            },
            10000);
    };
    QVERIFY(expect(1008, 560));

    f.resize(1400, 700);
    QVERIFY(expect(1400, 700));
    QCOMPARE(f.Image1()->geometry(), QRect(0, 0, 1500, 40));
    QCOMPARE(f.Picture1()->geometry(), QRect(968, 7, 25, 25));

    // Too low for either: the widths still follow, the heights stay as they were.
    f.resize(600, 10);
    QTRY_COMPARE(f.size(), QSize(600, 10));
    QCOMPARE(f.WebBrowser1()->geometry(), QRect(0, 35, 600, 687));
    QCOMPARE(f.ListView1()->geometry(), QRect(0, 35, 600, 683));
    // Between the two limits only the list keeps its height.
    f.resize(600, 15);
    QTRY_COMPARE(f.size(), QSize(600, 15));
    QCOMPARE(f.WebBrowser1()->geometry(), QRect(0, 35, 600, 2));
    QCOMPARE(f.ListView1()->geometry(), QRect(0, 35, 600, 683));

    f.resize(1008, 560);
    QVERIFY(expect(1008, 560));
    f.showMinimized();
    QTRY_VERIFY(f.isMinimized());
    f.showNormal();
    QTRY_VERIFY(!f.isMinimized());
    QVERIFY(expect(1008, 560));
    QVERIFY(f.findChildren<QMessageBox*>().isEmpty());
}

void TestPortalWindow::versionCheck_data() {
    addColumns<QByteArray, QByteArray, bool, QString, int>(
        {"version", "download", "announced", "opened", "versionFetches"});

    const QByteArray page = "http://" CORVALE_PORTAL_HOST "/download.html";
    QTest::newRow("newer") << QByteArray("2") << page << true << QString::fromLatin1(page) << 2;
    QTest::newRow("same") << QByteArray("1") << page << false << QString() << 2;
    QTest::newRow("three characters") << QByteArray("100") << page << false << QString() << 1;
    QTest::newRow("download with a line break") << QByteArray("2") << page + "\r\n"
                                                << true << QString() << 2;
    QTest::newRow("download as a file")
        << QByteArray("2") << QByteArray("file:///etc/passwd") << true << QString() << 2;
    QTest::newRow("download empty") << QByteArray("2") << QByteArray() << true << QString() << 2;
}

void TestPortalWindow::versionCheck() {
    QFETCH(QByteArray, version);
    QFETCH(QByteArray, download);
    QFETCH(bool, announced);
    QFETCH(QString, opened);
    QFETCH(int, versionFetches);

    web.route(kVersionFile, version);
    web.route(kDownloadFile, download);
    DesktopRecorder desktop;

    Form1& f = open();
    QTRY_VERIFY_WITH_TIMEOUT(versionCheckDone, 20000);
    QCOMPARE(web.requestedUrls(kVersionFile).size(), versionFetches);
    QCOMPARE(web.requestedUrls(kDownloadFile).size(), announced ? 1 : 0);

    auto* box = f.findChild<QMessageBox*>();
    if (!announced) {
        QVERIFY(!box);
        QVERIFY(desktop.opened.isEmpty());
        return;
    }
    QVERIFY(box);
    QVERIFY(box->isVisible());
    QCOMPARE(box->text(), QStringLiteral("发现新版本请更新，否则可能影响使用"));
    QCOMPARE(box->windowTitle(), QCoreApplication::applicationName());
    QCOMPARE(box->icon(), QMessageBox::NoIcon);
    QCOMPARE(box->buttons().size(), 1);
    QVERIFY(box->button(QMessageBox::Ok));
    // Modal over the window, which went on: the start page loads while the box is open.
    QCOMPARE(box->windowModality(), Qt::WindowModal);
    QVERIFY(startPageLoaded(f));
    QVERIFY(box->isVisible());
    QVERIFY(desktop.opened.isEmpty());

    QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
    QTRY_VERIFY(f.findChild<QMessageBox*>() == nullptr);
    if (opened.isEmpty()) {
        QVERIFY2(desktop.opened.isEmpty(), qPrintable(desktop.opened.value(0).toString()));
    } else {
        QCOMPARE(desktop.opened.size(), 1);
        QCOMPARE(desktop.opened[0].toString(), opened);
    }
    QCOMPARE(f.anzt(), qint16(1));
}

void TestPortalWindow::noContextMenu() {
    const QString first = testPage("first.html");
    const QString second = testPage("menu.html");
    web.route(first, "<html><body><p>first</p></body></html>");
    web.route(second, "<html><body style='height:900px'><p>right-click me</p><script>"
                      "window.menus = 0;"
                      "document.addEventListener('contextmenu', function () { ++window.menus; });"
                      "</script></body></html>");
    Form1& f = open();
    QVERIFY(startPageLoaded(f));
    QVERIFY(loadPage(f.WebBrowser1(), first));
    QVERIFY(loadPage(f.WebBrowser1(), second));
    QVERIFY(painted(f.WebBrowser1()));

    MenuWatch menus;
    qApp->installEventFilter(&menus);
    QWidget* surface = f.WebBrowser1()->focusProxy();
    QVERIFY(surface);

    // A right-click reaches the page, and no menu comes up.
    QTest::mouseClick(surface, Qt::RightButton, {}, QPoint(200, 120));
    QTRY_COMPARE(js(f.WebBrowser1(), QStringLiteral("window.menus")).toInt(), 1);
    // The menu key or Shift+F10 on the window.
    QContextMenuEvent keyboard(QContextMenuEvent::Keyboard, QPoint(10, 10),
                               f.WebBrowser1()->mapToGlobal(QPoint(10, 10)));
    QApplication::sendEvent(f.WebBrowser1(), &keyboard);

    // The same click with the browser's own menu allowed does bring one up: the watch would
    // have seen one above, in order, had it come.
    f.WebBrowser1()->setContextMenuPolicy(Qt::DefaultContextMenu);
    QTest::mouseClick(surface, Qt::RightButton, {}, QPoint(200, 120));
    QTRY_COMPARE(js(f.WebBrowser1(), QStringLiteral("window.menus")).toInt(), 2);
    const auto visibleMenu = []() -> QMenu* {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* menu = qobject_cast<QMenu*>(w); menu && menu->isVisible())
                return menu;
        return nullptr;
    };
    QTRY_VERIFY(visibleMenu());
    QCOMPARE(menus.shown, 1);
    visibleMenu()->close();
    f.WebBrowser1()->setContextMenuPolicy(Qt::NoContextMenu);
    qApp->removeEventFilter(&menus);
}

void TestPortalWindow::noNavigationShortcuts() {
    const QString a = testPage("a.html");
    const QString b = testPage("b.html");
    const QByteArray page = "<html><body><p>page</p><input id='box'></body></html>";
    web.route(a, page);
    web.route(b, page);
    Form1& f = open();
    QVERIFY(startPageLoaded(f));
    QVERIFY(loadPage(view, a));
    QVERIFY(loadPage(view, b));
    f.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&f));
    QWidget* surface = view->focusProxy();
    QVERIFY(surface);

    // Tries each shortcut on the page, then types into its box: once the typing shows, the
    // shortcuts before it have been dealt with. Nothing may have loaded and the page is the
    // same document.
    QSignalSpy started(view, &QWebEngineView::loadStarted);
    const auto tryShortcuts = [&](const QString& at, const char* typed) {
        QVERIFY(painted(view));
        js(view, QStringLiteral("window.marker = 42; var box = document.getElementById('box');"
                                "box.value = ''; box.focus();"));
        surface->setFocus();
        QTest::mouseClick(surface, Qt::BackButton, {}, QPoint(100, 100));
        QTest::mouseClick(surface, Qt::ForwardButton, {}, QPoint(100, 100));
        QTest::keyClick(surface, Qt::Key_Left, Qt::AltModifier);
        QTest::keyClick(surface, Qt::Key_Right, Qt::AltModifier);
        QTest::keyClick(surface, Qt::Key_Back);
        QTest::keyClick(surface, Qt::Key_Forward);
        QTest::keyClick(surface, Qt::Key_F5);
        QTest::keyClick(surface, Qt::Key_R, Qt::ControlModifier);
        QTest::keyClick(surface, Qt::Key_Refresh);
        QTest::keyClicks(surface, QString::fromLatin1(typed));
        QTRY_COMPARE(js(view, QStringLiteral("document.getElementById('box').value")).toString(),
                     QString::fromLatin1(typed));
        QCOMPARE(started.size(), 0);
        QCOMPARE(js(view, QStringLiteral("location.href")).toString(), at);
        QCOMPARE(js(view, QStringLiteral("window.marker")).toInt(), 42);
    };
    tryShortcuts(b, "typed b");

    // Page script still moves in the history; then forward is possible and still refused.
    js(view, QStringLiteral("history.back()"));
    QTRY_COMPARE(js(view, QStringLiteral("location.href")).toString(), a);
    QTRY_COMPARE(js(view, QStringLiteral("document.readyState")).toString(),
                 QStringLiteral("complete"));
    started.clear();
    tryShortcuts(a, "typed a");
}

void TestPortalWindow::helloWorldStartsThePlayer() {
    const QString inlinePage = testPage("inline.html");
    const QString emptyPage = testPage("empty.html");
    const QString clickPage = testPage("click.html");
    const QString framePage = testPage("frame.html");
    const QString framed = testPage("framed.html");
    const QString blanks = QStringLiteral("ed2k://|file|变形金刚 Transformers 2007.rmvb|1342177280|"
                                          "0123456789ABCDEF0123456789ABCDEF|/");
    const QString bars = QStringLiteral("a b  |中文|\"quoted\" 'single' $HOME;`x`|");
    const QString framedText = QStringLiteral("从框架里 | from a frame");

    // Calls made while the page is still being parsed, before the bridge can be connected:
    // values that are not text start nothing; of the texts only the first starts a player, the
    // rest come within the second.
    web.route(inlinePage, "<html><head><meta charset='utf-8'><script>"
                          "var x = window.external;"
                          "x.HelloWorld(); x.HelloWorld(null); x.HelloWorld(undefined);"
                          "x.HelloWorld(5); x.HelloWorld(true); x.HelloWorld({});"
                          "x.HelloWorld(['a']);"
                          "x.HelloWorld('" +
                              blanks.toUtf8() +
                              "');"
                              "for (var i = 0; i < 50; ++i) x.HelloWorld('again ' + i);"
                              "</script></head><body>inline</body></html>");
    web.route(emptyPage, scriptPage("window.external.HelloWorld('');"));
    web.route(clickPage,
              "<html><head><meta charset='utf-8'></head><body>"
              "<button id='play' onclick='window.external.HelloWorld(this.dataset.link)' "
              "data-link=\"" +
                  bars.toHtmlEscaped().toUtf8() + "\">play</button></body></html>");
    web.route(framePage, "<html><body><iframe src='/t/framed.html'></iframe></body></html>");
    web.route(framed, "<html><head><meta charset='utf-8'><script>"
                      "window.external.HelloWorld('" +
                          framedText.toUtf8() +
                          "');"
                          "window.external.HelloWorld(42);"
                          "</script></head><body>framed</body></html>");

    Form1& f = open();
    QVERIFY(startPageLoaded(f));

    startRequests = 0;
    QVERIFY(loadPage(view, inlinePage));
    QTRY_COMPARE_WITH_TIMEOUT(startRequests, 51, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(recorded(), (QList<QStringList>{{blanks}}), 10000);

    // The empty text is passed on as one empty argument, once the second has passed.
    nextSecond();
    QVERIFY(loadPage(view, emptyPage));
    QTRY_COMPARE_WITH_TIMEOUT(recorded(), (QList<QStringList>{{blanks}, {QString()}}), 10000);

    // From a click, after a navigation to another page.
    QFile::remove(recordFile);
    nextSecond();
    QVERIFY(loadPage(view, clickPage));
    js(view, QStringLiteral("document.getElementById('play').click()"));
    QTRY_COMPARE_WITH_TIMEOUT(recorded(), (QList<QStringList>{{bars}}), 10000);

    // Again on the same page, a second later: the player starts anew.
    nextSecond();
    js(view, QStringLiteral("document.getElementById('play').click()"));
    QTRY_COMPARE_WITH_TIMEOUT(recorded().size(), 2, 10000);
    QCOMPARE(recorded().at(1), QStringList{bars});

    // From a frame of the page; the frame's number starts nothing.
    QFile::remove(recordFile);
    nextSecond();
    QVERIFY(loadPage(view, framePage));
    QTRY_COMPARE_WITH_TIMEOUT(recorded(), (QList<QStringList>{{framedText}}), 10000);

    // The window's own starts share the limit with the pages'.
    f.HelloWorld(QStringLiteral("within the second"));
    QTest::mouseClick(f.Image4(), Qt::LeftButton);
    QCOMPARE(f.anzt(), qint16(3));
    f.setAnzt(1);

    // A player that is missing: nothing shows and nothing changes; the next start works.
    nextSecond();
    f.setPlayerPath(tmp.filePath(QStringLiteral("brenlo/lumetta")));
    f.HelloWorld(QStringLiteral("missing"));
    f.setPlayerPath(QStringLiteral(RECORDER_PATH));
    nextSecond();
    f.HelloWorld(QStringLiteral("after"));
    QTRY_COMPARE_WITH_TIMEOUT(recorded(),
                              (QList<QStringList>{{framedText}, {QStringLiteral("after")}}), 10000);
    QVERIFY(f.findChildren<QMessageBox*>().isEmpty());

    // A start changes nothing in the window.
    QCOMPARE(f.anzt(), qint16(1));
    QVERIFY(view->isVisible());
    QVERIFY(!f.ListView1()->isVisible());
}

void TestPortalWindow::bridgeValuesAreReadOnly() {
    const QString page = testPage("values.html");
    // What an inline script sees while the page loads, kept for the test to read.
    web.route(page, scriptPage("window.seen = [window.external.qjym, window.external.anzt,"
                               "               window.external.edurl];"));
    Form1& f = open();
    QVERIFY(startPageLoaded(f));
    f.setLinks(
        {QStringLiteral("ed2k://|file|a*b.avi|1|A|/"), QStringLiteral("ed2k://|file|c|2|C|")});
    const QString edurl = QStringLiteral("ed2k://|file|a*b.avi|1|A|/*ed2k://|file|c|2|C|*");
    QCOMPARE(f.edurl(), edurl);
    QCOMPARE(f.links().size(), 2);

    QVERIFY(loadPage(view, page));
    QCOMPARE(js(view, QStringLiteral("JSON.stringify(window.seen)")).toString(),
             QStringLiteral("[\"http://" CORVALE_PORTAL_HOST "/\",1,\"%1\"]").arg(edurl));

    // Later changes reach the page.
    f.setAnzt(2);
    f.setLinks({});
    QTRY_COMPARE(
        js(view, QStringLiteral("JSON.stringify([external.anzt, external.edurl])")).toString(),
        QStringLiteral("[2,\"\"]"));

    // The page can neither change the values nor replace the bridge, and sees nothing else.
    js(view, QStringLiteral("try { window.external.qjym = 'x'; } catch (e) {}"
                            "try { window.external.anzt = 9; } catch (e) {}"
                            "try { window.external.HelloWorld = null; } catch (e) {}"
                            "try { window.external = {}; } catch (e) {}"));
    QCOMPARE(js(view, QStringLiteral("JSON.stringify([Object.keys(window.external),"
                                     " external.qjym, external.anzt,"
                                     " typeof external.HelloWorld])"))
                 .toString(),
             QStringLiteral("[[\"HelloWorld\",\"edurl\",\"qjym\",\"anzt\"],"
                            "\"http://" CORVALE_PORTAL_HOST "/\",2,\"function\"]"));
    QCOMPARE(f.qjym(), kRoot);
    QCOMPARE(f.anzt(), qint16(2));
}

void TestPortalWindow::searchReachesTheBridge() {
    // A finished search: the list shows the links first, the bridge takes them right after,
    // and a page loaded then reads them while it loads.
    const QString page = testPage("found.html");
    const QString link = QStringLiteral("ed2k://|file|found.avi|1|A|/");
    web.route(page, scriptPage("window.seen = window.external.edurl;"));
    web.route(QStringLiteral("http://zhidao.baidu.com/search?&word=found+ed2k"),
              QStringLiteral("<a href=\"%1\">x</a>").arg(link).toUtf8());
    Form1& f = open();
    QVERIFY(startPageLoaded(f));
    QTest::mouseClick(f.Image3(), Qt::LeftButton);
    QTest::mouseClick(f.Text1(), Qt::LeftButton); // the placeholder goes
    QTest::keyClicks(f.Text1(), QStringLiteral("found"));
    QCOMPARE(f.Text1()->text(), QStringLiteral("found"));
    QTest::keyClick(f.Text1(), Qt::Key_Return);
    QTRY_COMPARE_WITH_TIMEOUT(f.ListView1()->rowCount(), 1, 20000);
    QCOMPARE(f.edurl(), link + QLatin1Char('*'));
    QTRY_COMPARE(js(view, QStringLiteral("external.edurl")).toString(), f.edurl());
    QVERIFY(loadPage(view, page));
    QCOMPARE(js(view, QStringLiteral("window.seen")).toString(), f.edurl());
}

void TestPortalWindow::channelProbedFromAPage() {
    // A page that skips window.external and speaks to the channel's transport itself: it learns
    // what is published, then tries to write every property and call every method there is,
    // HelloWorld with values that are not text included.
    Form1& f = open();
    QVERIFY(startPageLoaded(f));
    f.setLinks({QStringLiteral("ed2k://|file|kept.avi|1|A|/")});
    const QString edurl = f.edurl();
    QTRY_COMPARE(js(view, QStringLiteral("external.edurl")).toString(), edurl);

    js(view, QStringLiteral(R"JS(
        (function () {
            var t = qt.webChannelTransport;
            var previous = t.onmessage;
            window.answers = {};
            t.onmessage = function (m) {
                var d = JSON.parse(m.data);
                if (d.type === 10 && d.id >= 1000)
                    window.answers[d.id] = d.data;
                else if (previous)
                    previous.call(t, m);
            };
            window.probe = function (message) { t.send(JSON.stringify(message)); };
            probe({type: 3, id: 1000});
        })();
    )JS"));
    QTRY_VERIFY(js(view, QStringLiteral("!!window.answers[1000]")).toBool());
    const QJsonObject published =
        QJsonDocument::fromJson(
            js(view, QStringLiteral("JSON.stringify(window.answers[1000])")).toString().toUtf8())
            .object();
    QCOMPARE(published.keys(), QStringList{QStringLiteral("external")});
    const QJsonObject external = published.value(QStringLiteral("external")).toObject();
    // Names as published, without QObject's own (objectName, destroyed, deleteLater), which
    // every published object has and which are tried below all the same.
    const QStringList qobjectOwn = {QStringLiteral("objectName"), QStringLiteral("destroyed"),
                                    QStringLiteral("objectNameChanged"),
                                    QStringLiteral("deleteLater")};
    const auto names = [&](const char* key, int nameAt) {
        QSet<QString> found;
        for (const QJsonValue& entry : external.value(QLatin1String(key)).toArray()) {
            QString name = entry.toArray().at(nameAt).toString().section(QLatin1Char('('), 0, 0);
            if (!qobjectOwn.contains(name))
                found << name;
        }
        return found;
    };
    QCOMPARE(names("methods", 0), QSet<QString>{QStringLiteral("HelloWorld")});
    QCOMPARE(names("properties", 1), (QSet<QString>{QStringLiteral("edurl"),
                                                    QStringLiteral("qjym"),
                                                    QStringLiteral("anzt")}));

    nextSecond();
    js(view, QStringLiteral(R"JS(
        (function () {
            var info = window.answers[1000].external;
            var hello = info.methods.filter(function (m) { return m[0] === 'HelloWorld'; })[0][1];
            var id = 2000;
            for (var p = 0; p < 32; ++p) {
                probe({type: 9, object: 'external', property: p, value: 'written'});
                probe({type: 9, object: 'external', property: p, value: 7});
            }
            for (var m = 0; m < 64; ++m) {
                if (m !== hello)
                    probe({type: 6, object: 'external', method: m, args: ['x'], id: id++});
            }
            [[], [null], [5], [true], [{}], [['a']], [{'0': 'x'}]].forEach(
                function (args) {
                    probe({type: 6, object: 'external', method: hello, args: args, id: id++});
                });
            probe({type: 6, object: 'external', method: hello, args: ['last'], id: id++});
        })();
    )JS"));
    // Messages are handled in order: once the last call has started the player, everything
    // before it has been dealt with, and none of it started one.
    QTRY_COMPARE_WITH_TIMEOUT(recorded(), (QList<QStringList>{{QStringLiteral("last")}}), 10000);

    // Nothing of the window changed, the published object is still there under its name, and
    // the page still reads the window's values through the bridge.
    QCOMPARE(f.qjym(), kRoot);
    QCOMPARE(f.anzt(), qint16(1));
    QCOMPARE(f.edurl(), edurl);
    QVERIFY(f.findChild<QObject*>(QStringLiteral("external")));
    f.setAnzt(2);
    QTRY_COMPARE(
        js(view, QStringLiteral("JSON.stringify([external.qjym, external.anzt, external.edurl])"))
            .toString(),
        QStringLiteral("[\"%1\",2,\"%2\"]").arg(kRoot, edurl));
}

void TestPortalWindow::resultListFromTheKeyboard() {
    Form1& f = open();
    const QStringList links{QStringLiteral("ed2k://|file|a.avi|1|AAAA|/"),
                            QStringLiteral("ed2k://|file|b b.mkv|2|BBBB|/"),
                            QStringLiteral("ed2k://|file|c.mp4|3|CCCC|/")};
    f.Image3_Click();
    f.setLinks(links);
    f.zairu();
    ResultList* list = f.ListView1();
    QVERIFY(list->isVisible());
    f.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&f));
    list->setFocus();
    QTRY_VERIFY(list->hasFocus());

    // From the first row down to the second; Enter and the keypad's Enter play it as a
    // double-click does.
    list->setCurrentRow(0);
    QTest::keyClick(list, Qt::Key_Down);
    QCOMPARE(list->selectedRow(), 1);
    QTest::keyClick(list, Qt::Key_Return);
    QTRY_COMPARE_WITH_TIMEOUT(recorded(), (QList<QStringList>{{links[1]}}), 10000);
    QTest::keyClick(list, Qt::Key_Down);
    nextSecond();
    QTest::keyClick(list, Qt::Key_Enter, Qt::KeypadModifier);
    QTRY_COMPARE_WITH_TIMEOUT(recorded(), (QList<QStringList>{{links[1]}, {links[2]}}), 10000);

    // Ctrl+C copies the selected row's link.
    QApplication::clipboard()->setText(QStringLiteral("before"));
    QTest::keyClick(list, Qt::Key_Up);
    QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(), links[1]);

    // The menu key and Shift+F10 open the pop-up menu just below the selected row.
    const QPoint below = list->viewport()->mapToGlobal(list->rowRect(1).bottomLeft());
    for (const auto& [key, mods] : {std::pair{Qt::Key_Menu, Qt::KeyboardModifiers()},
                                    std::pair{Qt::Key_F10, Qt::KeyboardModifiers(Qt::ShiftModifier)}}) {
        QTest::keyClick(list, key, mods);
        QTRY_VERIFY(f.mnuOptions()->isVisible());
        QVERIFY((f.mnuOptions()->pos() - below).manhattanLength() <= 2);
        // Its play item from the keyboard plays that row.
        QFile::remove(recordFile);
        nextSecond();
        QTest::keyClick(f.mnuOptions(), Qt::Key_Down);
        QTest::keyClick(f.mnuOptions(), Qt::Key_Return);
        QTRY_VERIFY(!f.mnuOptions()->isVisible());
        QTRY_COMPARE_WITH_TIMEOUT(recorded(), (QList<QStringList>{{links[1]}}), 10000);
    }
    // Each row's tooltip is its whole link.
    QCOMPARE(list->model()->index(2, 1).data(Qt::ToolTipRole).toString(), links[2]);
    QVERIFY(list->dragEnabled());
}

void TestPortalWindow::accessibleNames() {
    Form1& f = open();
    const auto name = [](QWidget* w) {
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
        return a ? a->text(QAccessible::Name) : QStringLiteral("<none>");
    };
    QCOMPARE(name(f.Image2()), QStringLiteral("Qarvo影院"));
    QCOMPARE(name(f.Image3()), QStringLiteral("种子搜索"));
    QCOMPARE(name(f.Image4()), QStringLiteral("云播放"));
    QCOMPARE(name(f.Picture1()), QStringLiteral("搜索"));
    QCOMPARE(name(f.Picture2()),
             QStringLiteral("没有找到相关的种子，请试试输入演员的名字，或换个关键字再搜索"));
    QCOMPARE(name(f.Picture3()), QStringLiteral("正在搜索，请稍候…"));
    QCOMPARE(name(f.Text1()), QStringLiteral("关键字"));
    QCOMPARE(name(f.ListView1()), QStringLiteral("搜索结果"));
    QCOMPARE(name(f.WebBrowser1()), QStringLiteral("网页"));
    QVERIFY(!name(f.Image1()).isEmpty());
}

void TestPortalWindow::pageProcessEnds() {
    // A page that calls the bridge as it loads, left behind the result list of a search.
    const QString page = testPage("ends.html");
    web.route(page, scriptPage("window.external.HelloWorld('loaded');", "<p>page</p>"));
    Form1& f = open();
    // The recovery's clock stands still: every end below comes "at once" after the last reload.
    f.recovery()->policy().setClock([] { return qint64(0); });
    QVERIFY(startPageLoaded(f));
    QVERIFY(loadPage(view, page));
    QTRY_COMPARE_WITH_TIMEOUT(recorded().size(), 1, 10000);
    const QStringList links{QStringLiteral("ed2k://|file|a.avi|1|AAAA|/"),
                            QStringLiteral("ed2k://|file|b.mkv|2|BBBB|/")};
    f.Image3_Click(); // the keyword box holds its hint: no search
    f.setLinks(links);
    f.zairu();
    f.Text1()->setText(QStringLiteral("kept"));
    const auto pageBack = [&](int loads) {
        return QTest::qWaitFor(
            [&] {
                return web.requestedUrls(page).size() == loads && recorded().size() == loads &&
                       holdsComplete(view->page(), page);
            },
            30000);
    };

    // Its process is killed: the page loads again and its bridge works; the window is as it was.
    nextSecond();
    qint64 pid = view->page()->renderProcessPid();
    QVERIFY(killPageProcess(view->page()));
    QVERIFY(pageBack(2));
    QVERIFY(newPageProcess(view->page(), pid));
    QCOMPARE(f.anzt(), qint16(2));
    QVERIFY(!view->isVisible());
    QVERIFY(f.ListView1()->isVisible());
    QCOMPARE(f.ListView1()->rowCount(), 2);
    QCOMPARE(f.links(), links);
    QCOMPARE(f.Text1()->text(), QStringLiteral("kept"));

    // Killed again within ten seconds: no third load, the notice instead.
    nextSecond();
    pid = view->page()->renderProcessPid();
    QVERIFY(killPageProcess(view->page()));
    QVERIFY(newPageProcess(view->page(), pid));
    QTRY_COMPARE_WITH_TIMEOUT(js(view, QStringLiteral("document.body.innerText")).toString(),
                              QStringLiteral("页面已停止运行。重试"), 20000);
    QCOMPARE(web.requestedUrls(page).size(), 2);
    QCOMPARE(f.ListView1()->rowCount(), 2);

    // The user goes back to the browser and clicks the notice's link: the page and its bridge
    // are back.
    QTest::mouseClick(f.Image2(), Qt::LeftButton);
    QVERIFY(view->isVisible());
    QVERIFY(clickElement(view, QStringLiteral("retry")));
    QVERIFY(pageBack(3));
    QVERIFY(!web.requestedUrls().contains(browser::Recovery::retryAddress().toString()));
    QCOMPARE(recorded().last(), QStringList{QStringLiteral("loaded")});
}

void TestPortalWindow::runningPlayersAreCapped() {
    // Players that keep running, as real ones do, started by a page once every 1.1 s: the one a
    // second limit lets every call through.
    const QString pidsFile = tmp.filePath(QStringLiteral("pids.txt"));
    QFile::remove(pidsFile);
    qputenv("PLAYER_PIDS", pidsFile.toLocal8Bit());
    const auto endPlayers = qScopeGuard([&] {
        qunsetenv("PLAYER_PIDS");
        for (qint64 pid : recordedPids(pidsFile))
            ::kill(pid_t(pid), SIGKILL);
    });
    const QString page = testPage("every-second.html");
    web.route(page, scriptPage("window.calls = 0; setInterval(function () {"
                               " ++window.calls; window.external.HelloWorld('call ' + window.calls);"
                               "}, 1100);"));
    Form1& f = open();
    f.playerStarts().setClock({});
    QVERIFY(startPageLoaded(f));
    QVERIFY(loadPage(view, page));
    const auto running = [&] {
        int n = 0;
        for (qint64 pid : recordedPids(pidsFile))
            n += processRuns(pid);
        return n;
    };
    const auto messages = [&] { return f.findChildren<QMessageBox*>(); };

    // Eight start; the next call is dropped and says why, once.
    QTRY_COMPARE_WITH_TIMEOUT(messages().size(), 1, 60000);
    QCOMPARE(recordedPids(pidsFile).size(), portal::PlayerCap::kMax);
    QCOMPARE(running(), portal::PlayerCap::kMax);
    QMessageBox* box = messages().first();
    QCOMPARE(box->text(), QStringLiteral("打开的播放器太多了，请先关闭一些播放器再播放。"));
    QCOMPARE(box->windowTitle(), QCoreApplication::applicationName());
    QCOMPARE(box->icon(), QMessageBox::NoIcon);
    QCOMPARE(box->buttons().size(), 1);
    QVERIFY(box->isVisible());
    // The page goes on calling, the window's own buttons too: nothing starts, nothing more shows.
    const int calls = js(view, QStringLiteral("window.calls")).toInt();
    f.Image4_Click();
    QTRY_VERIFY_WITH_TIMEOUT(js(view, QStringLiteral("window.calls")).toInt() >= calls + 2, 20000);
    QCOMPARE(recordedPids(pidsFile).size(), portal::PlayerCap::kMax);
    QCOMPARE(messages().size(), 1);
    QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
    QTRY_VERIFY(messages().isEmpty());

    // One player is closed: the page's next call starts another, and the cap holds again.
    const qint64 closed = recordedPids(pidsFile).first();
    QCOMPARE(::kill(pid_t(closed), SIGTERM), 0);
    QTRY_COMPARE_WITH_TIMEOUT(recordedPids(pidsFile).size(), portal::PlayerCap::kMax + 1, 20000);
    QVERIFY(!processRuns(closed));
    QCOMPARE(running(), portal::PlayerCap::kMax);
    QTRY_COMPARE_WITH_TIMEOUT(messages().size(), 1, 20000);
    QCOMPARE(recordedPids(pidsFile).size(), portal::PlayerCap::kMax + 1);
}

QTEST_MAIN(TestPortalWindow)
#include "test_portal_window.moc"
