// A browser in a window of the test's own, showing localweb's pages, with the behaviour that
// both programs' browsers share: new windows go to the desktop's browser (a recording handler
// here), full screen and back, downloads through the save dialog, sign-in for a site and a proxy,
// script dialogs, and the keys that edit a page's text field next to the navigation keys kept off.
#include "browser/browser.h"
#include "support/desktoprecorder.h"
#include "support/localweb.h"
#include "support/pageload.h"
#include "support/screenplace.h"
#include "vendor/hosts.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCompleter>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <memory>

namespace {

const QString kSite = QStringLiteral("http://" CORVALE_PORTAL_HOST);

// A window laid out like the programs': a header, the browser below it and a banner over the
// browser; the browser follows the window's size.
class Window : public QWidget {
public:
    Window() {
        resize(700, 500);
        header = new QLabel(QStringLiteral("header"), this);
        header->setGeometry(0, 0, 700, 40);
        view = new QWebEngineView(this);
        view->setGeometry(0, 40, 700, 460);
        banner = new QLabel(QStringLiteral("banner"), this);
        banner->setGeometry(200, 200, 300, 30);
        host = new browser::Browser(view);
    }
    QLabel* header;
    QWebEngineView* view;
    QLabel* banner;
    browser::Browser* host;

protected:
    void resizeEvent(QResizeEvent*) override { view->setGeometry(0, 40, width(), height() - 40); }
};

// Loads a page and waits until it takes mouse input.
bool loadDrawn(QWebEngineView* view, const QString& url) {
    return loadPage(view, url) && painted(view);
}

void click(QWebEngineView* view, const QString& id, Qt::MouseButton button = Qt::LeftButton,
           Qt::KeyboardModifiers mods = {}) {
    QTest::mouseClick(view->focusProxy(), button, mods, elementCentre(view, id));
}

template <typename T> T* shown(const QString& name = {}) {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* d = qobject_cast<T*>(w); d && d->isVisible() && (name.isEmpty() || d->objectName() == name))
            return d;
    return nullptr;
}

// Types `path` into a save dialog's name box as a user would and presses Enter; true once the
// dialog has closed. The keys go to the name box itself, once it has the focus, and a completion
// list that opened while typing is closed first, as it would take the Enter.
bool saveAs(QFileDialog* dialog, const QString& path) {
    const QPointer<QFileDialog> open(dialog);
    auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    if (!name || !QTest::qWaitForWindowActive(dialog) ||
        !QTest::qWaitFor([&] { return name->hasFocus(); }, 10000))
        return false;
    QTest::keyClick(name, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(name, path);
    if (name->text() != path)
        return false;
    if (QCompleter* completer = name->completer(); completer && completer->popup()->isVisible())
        QTest::keyClick(completer->popup(), Qt::Key_Escape);
    QTest::keyClick(name, Qt::Key_Return);
    return QTest::qWaitFor([&] { return !open || !open->isVisible(); }, 10000);
}

// Where every child of a window stands, how it is stacked and whether it shows.
QStringList layoutOf(const QWidget& window) {
    QStringList out{QStringLiteral("window %1x%2").arg(window.width()).arg(window.height())};
    for (QObject* child : window.children())
        if (auto* w = qobject_cast<QWidget*>(child); w && !w->isWindow())
            out << QStringLiteral("%1 %2,%3 %4x%5 %6")
                       .arg(QString::fromLatin1(w->metaObject()->className()))
                       .arg(w->x())
                       .arg(w->y())
                       .arg(w->width())
                       .arg(w->height())
                       .arg(w->isVisible());
    return out;
}

} // namespace

class TestBrowser : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void newWindowsGoToTheDesktop();
    void fullScreenAndBack();
    void downloads();
    void signIn();
    void scriptDialogs();
    void textKeysReachThePage();

private:
    LocalWeb web;
    QTemporaryDir tmp;
    DesktopRecorder desktop{{QStringLiteral("http"), QStringLiteral("https")}};
    std::unique_ptr<Window> window;
};

void TestBrowser::initTestCase() {
    prepareWebEngine();
    QVERIFY(tmp.isValid());
    QVERIFY(web.start());
    web.useAsProxy();
}

void TestBrowser::init() {
    desktop.opened.clear();
    window = std::make_unique<Window>();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
}

void TestBrowser::cleanup() {
    window.reset();
    web.clearRoutes();
}

void TestBrowser::newWindowsGoToTheDesktop() {
    const QString page = kSite + QStringLiteral("/t/links.html");
    const QString target = kSite + QStringLiteral("/t/target.html");
    web.route(page,
              "<html><body style='margin:0'>"
              "<p><a id='blank' target='_blank' href='/t/blank.html'>blank</a></p>"
              "<p><a id='plain' href='/t/target.html'>plain</a></p>"
              "<p><a id='ftp' target='_blank' href='ftp://files.test/a'>ftp</a></p>"
              "<p><button id='open' onclick=\"window.open('https://" CORVALE_PORTAL_HOST
              "/t/opened.html')\">"
              "open</button></p>"
              "<p><button id='file' onclick=\"window.open('file:///etc/passwd')\">file</button></p>"
              "<p><button id='blankopen' onclick=\"window.open('about:blank')\">blank</button></p>"
              "<script>window.marker = 42;"
              "setTimeout(function () { window.open('http://" CORVALE_PORTAL_HOST
              "/t/popup.html'); }, 0);"
              "</script></body></html>");
    QWebEngineView* view = window->view;
    QVERIFY(loadDrawn(view, page));
    QSignalSpy started(view, &QWebEngineView::loadStarted);

    click(view, QStringLiteral("ftp"));
    click(view, QStringLiteral("file"));
    click(view, QStringLiteral("blankopen"));
    click(view, QStringLiteral("blank"));
    QTRY_COMPARE_WITH_TIMEOUT(desktop.opened.size(), 1, 20000);
    click(view, QStringLiteral("plain"), Qt::MiddleButton);
    click(view, QStringLiteral("plain"), Qt::LeftButton, Qt::ControlModifier);
    click(view, QStringLiteral("open"));
    QTRY_COMPARE_WITH_TIMEOUT(desktop.opened.size(), 4, 20000);
    // In the order clicked; neither the other schemes nor the pop-up of the page's own accord,
    // which came before every click, went out.
    const QList<QUrl> expected{
        QUrl(kSite + QStringLiteral("/t/blank.html")), QUrl(target), QUrl(target),
        QUrl(QStringLiteral("https://" CORVALE_PORTAL_HOST "/t/opened.html"))};
    QCOMPARE(desktop.opened, expected);
    // The browser kept its page.
    QCOMPARE(started.size(), 0);
    QCOMPARE(js(view, QStringLiteral("location.href")).toString(), page);
    QCOMPARE(js(view, QStringLiteral("window.marker")).toInt(), 42);
}

void TestBrowser::fullScreenAndBack() {
    const QString page = kSite + QStringLiteral("/t/video.html");
    web.route(page, "<html><body style='margin:0'>"
                    "<button id='full' onclick='document.documentElement.requestFullscreen()'>"
                    "full screen</button><input id='box'></body></html>");
    Window& w = *window;
    QVERIFY(loadDrawn(w.view, page));
    const QStringList before = layoutOf(w);
    QVERIFY(!w.isFullScreen());
    // Where the window stands; under a window manager (this case also runs under openbox) full
    // screen fills the screen, and the window comes back here.
    const QRect onScreen = screenPlace(w);
    QVERIFY(onScreen.isValid());
    const auto fillsTheScreen = [&] {
        return !windowManagerRuns() || screenPlace(w) == w.screen()->geometry();
    };
    QSignalSpy changed(w.host, &browser::Browser::fullScreenChanged);

    const auto fullWithOnlyTheBrowser = [&] {
        return w.isFullScreen() && w.view->geometry() == w.rect() &&
               w.childAt(w.banner->geometry().center()) != w.banner &&
               js(w.view, QStringLiteral("!!document.fullscreenElement")).toBool();
    };
    // The page's button, then Esc.
    click(w.view, QStringLiteral("full"));
    QTRY_VERIFY_WITH_TIMEOUT(fullWithOnlyTheBrowser(), 20000);
    QTRY_VERIFY_WITH_TIMEOUT(fillsTheScreen(), 20000);
    QCOMPARE(changed.size(), 1);
    QVERIFY(w.host->isFullScreen());
    QTest::keyClick(w.view->focusProxy(), Qt::Key_Escape);
    QTRY_VERIFY_WITH_TIMEOUT(!w.isFullScreen(), 20000);
    QTRY_COMPARE_WITH_TIMEOUT(layoutOf(w), before, 20000);
    QTRY_COMPARE_WITH_TIMEOUT(screenPlace(w), onScreen, 20000);
    QTRY_VERIFY(!js(w.view, QStringLiteral("!!document.fullscreenElement")).toBool());
    QVERIFY(w.childAt(w.banner->geometry().center()) == w.banner);

    // The page's button, then the page's own exit.
    click(w.view, QStringLiteral("full"));
    QTRY_VERIFY_WITH_TIMEOUT(fullWithOnlyTheBrowser(), 20000);
    js(w.view, QStringLiteral("document.exitFullscreen(); 1"));
    QTRY_VERIFY_WITH_TIMEOUT(!w.isFullScreen(), 20000);
    QTRY_COMPARE_WITH_TIMEOUT(layoutOf(w), before, 20000);
    QTRY_COMPARE_WITH_TIMEOUT(screenPlace(w), onScreen, 20000);
    QCOMPARE(changed.size(), 4);

    // Without a click the page gets no full screen; Esc outside full screen reaches the page.
    js(w.view, QStringLiteral("window.refused = false; document.documentElement.requestFullscreen()"
                              ".catch(function () { window.refused = true; }); 1"));
    QTRY_VERIFY(js(w.view, QStringLiteral("window.refused")).toBool());
    js(w.view, QStringLiteral("window.esc = 0; document.addEventListener('keydown', function (e) {"
                              " if (e.key === 'Escape') ++window.esc; }); 1"));
    QTest::keyClick(w.view->focusProxy(), Qt::Key_Escape);
    QTRY_COMPARE(js(w.view, QStringLiteral("window.esc")).toInt(), 1);
    QVERIFY(!w.isFullScreen());
    QCOMPARE(layoutOf(w), before);
}

void TestBrowser::downloads() {
    const QString page = kSite + QStringLiteral("/t/downloads.html");
    const QString broken = kSite + QStringLiteral("/t/broken.bin");
    web.route(page, "<html><body style='margin:0'>"
                    "<p><a id='file' href='/__fault/download/300000'>file</a></p>"
                    "<p><a id='broken' href='/t/broken.bin'>broken</a></p></body></html>");
    web.routeFault(broken, QStringLiteral("/__fault/reset"));
    QWebEngineView* view = window->view;
    QVERIFY(loadDrawn(view, page));
    QSignalSpy ended(window->host, &browser::Browser::downloadEnded);
    const QString target = tmp.filePath(QStringLiteral("saved film.bin"));

    // Saved where the user says: the dialog proposes the site's name, the user types another.
    click(view, QStringLiteral("file"));
    QTRY_VERIFY_WITH_TIMEOUT(shown<QFileDialog>(), 20000);
    QFileDialog* dialog = shown<QFileDialog>();
    QCOMPARE(dialog->acceptMode(), QFileDialog::AcceptSave);
    QVERIFY(dialog->selectedFiles().value(0).endsWith(QStringLiteral("/download-300000.bin")));
    QVERIFY(saveAs(dialog, target));
    QTRY_COMPARE_WITH_TIMEOUT(ended.size(), 1, 30000);
    QCOMPARE(ended[0], (QVariantList{true, target}));
    QFile saved(target);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    const QByteArray bytes = saved.readAll();
    QCOMPARE(bytes.size(), 300000);
    QCOMPARE(bytes.left(28), QByteArray("abcdefghijklmnopqrstuvwxyzab"));
    QCOMPARE(bytes.at(299999), char('a' + 299999 % 26));
    QCOMPARE(QDir(tmp.path()).entryList(QDir::Files), QStringList{QStringLiteral("saved film.bin")});

    // Cancelled in the dialog: nothing saved anywhere the user can see.
    click(view, QStringLiteral("file"));
    QTRY_VERIFY_WITH_TIMEOUT(shown<QFileDialog>(), 20000);
    QTest::keyClick(shown<QFileDialog>(), Qt::Key_Escape);
    QTRY_COMPARE_WITH_TIMEOUT(ended.size(), 2, 20000);
    QCOMPARE(ended[1], (QVariantList{false, QString()}));
    QVERIFY(!shown<QFileDialog>());

    // A download the server breaks off says so, and leaves no file.
    const QString lost = tmp.filePath(QStringLiteral("lost.bin"));
    click(view, QStringLiteral("broken"));
    QTRY_VERIFY_WITH_TIMEOUT(shown<QFileDialog>(), 20000);
    QVERIFY(saveAs(shown<QFileDialog>(), lost));
    QTRY_COMPARE_WITH_TIMEOUT(ended.size(), 3, 30000);
    QCOMPARE(ended[2], (QVariantList{false, QString()}));
    QMessageBox* failed = shown<QMessageBox>(QStringLiteral("downloadFailed"));
    QVERIFY(failed);
    QCOMPARE(window->findChildren<QMessageBox*>().size(), 1);
    QVERIFY2(failed->text().startsWith(QStringLiteral("下载失败：broken.bin")), qPrintable(failed->text()));
    QCOMPARE(failed->parentWidget(), window.get());
    QVERIFY(!QFile::exists(lost));
    failed->close();
    // The page stayed.
    QCOMPARE(js(view, QStringLiteral("location.href")).toString(), page);
}

void TestBrowser::signIn() {
    QWebEngineView* view = window->view;
    const auto answer = [](const QString& user, const QString& password) {
        QDialog* dialog = shown<QDialog>(QStringLiteral("signIn"));
        QVERIFY(dialog);
        auto* userBox = dialog->findChild<QLineEdit*>(QStringLiteral("user"));
        auto* passwordBox = dialog->findChild<QLineEdit*>(QStringLiteral("password"));
        QVERIFY(userBox && passwordBox);
        QCOMPARE(passwordBox->echoMode(), QLineEdit::Password);
        QTRY_VERIFY(userBox->hasFocus());
        QTest::keyClicks(userBox, user);
        QTest::keyClick(userBox, Qt::Key_Tab);
        QTest::keyClicks(QApplication::focusWidget(), password);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    };
    const auto text = [&] { return js(view, QStringLiteral("document.body.innerText")).toString(); };

    // A site: a wrong password brings the dialog back, the right one the page.
    view->load(QUrl(kSite + QStringLiteral("/__fault/auth/ann/open%20sesame")));
    QTRY_VERIFY_WITH_TIMEOUT(shown<QDialog>(QStringLiteral("signIn")), 20000);
    QVERIFY(shown<QDialog>(QStringLiteral("signIn"))
                ->findChild<QLabel*>()
                ->text()
                .contains(QStringLiteral(CORVALE_PORTAL_HOST)));
    answer(QStringLiteral("ann"), QStringLiteral("wrong"));
    QTRY_VERIFY_WITH_TIMEOUT(!shown<QDialog>(QStringLiteral("signIn")), 20000);
    QTRY_VERIFY_WITH_TIMEOUT(shown<QDialog>(QStringLiteral("signIn")), 20000);
    answer(QStringLiteral("ann"), QStringLiteral("open%20sesame"));
    QTRY_VERIFY_WITH_TIMEOUT(text().contains(QStringLiteral("signed in as ann")), 20000);

    // A proxy that asks.
    view->load(QUrl(kSite + QStringLiteral("/__fault/proxy-auth/bob/pw")));
    QTRY_VERIFY_WITH_TIMEOUT(shown<QDialog>(QStringLiteral("signIn")), 20000);
    QVERIFY(shown<QDialog>(QStringLiteral("signIn"))->findChild<QLabel*>()->text().contains(
        QStringLiteral("代理服务器")));
    answer(QStringLiteral("bob"), QStringLiteral("pw"));
    QTRY_VERIFY_WITH_TIMEOUT(text().contains(QStringLiteral("signed in as bob")), 20000);

    // Cancelled: the page the site sent stays, and no dialog comes back.
    view->load(QUrl(kSite + QStringLiteral("/__fault/auth/cy/x")));
    QTRY_VERIFY_WITH_TIMEOUT(shown<QDialog>(QStringLiteral("signIn")), 20000);
    QTest::keyClick(shown<QDialog>(QStringLiteral("signIn")), Qt::Key_Escape);
    QTRY_VERIFY_WITH_TIMEOUT(text().contains(QStringLiteral("sign-in needed")), 20000);
    QVERIFY(!shown<QDialog>(QStringLiteral("signIn")));
}

// Answers each script dialog as it comes up, the way a user would, and keeps what it said.
class DialogAnswerer : public QObject {
public:
    QStringList seen;
    bool confirm = true;
    QString typed;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Show)
            return false;
        if (auto* box = qobject_cast<QMessageBox*>(watched)) {
            seen << box->text() + QLatin1Char('@') + box->parentWidget()->objectName();
            QTimer::singleShot(0, box, [box, this] {
                QTest::keyClick(box, confirm ? Qt::Key_Return : Qt::Key_Escape);
            });
        } else if (auto* input = qobject_cast<QInputDialog*>(watched)) {
            seen << input->labelText() + QLatin1Char('@') + input->parentWidget()->objectName();
            QTimer::singleShot(0, input, [input, this] {
                auto* edit = input->findChild<QLineEdit*>();
                edit->selectAll();
                QTest::keyClicks(edit, typed);
                QTest::keyClick(edit, Qt::Key_Return);
            });
        }
        return false;
    }
};

void TestBrowser::scriptDialogs() {
    const QString page = kSite + QStringLiteral("/t/dialogs.html");
    web.route(page, "<html><body><p>dialogs</p></body></html>");
    Window& w = *window;
    w.setObjectName(QStringLiteral("window"));
    QVERIFY(loadDrawn(w.view, page));
    DialogAnswerer answerer;
    qApp->installEventFilter(&answerer);

    // An alert holds nothing up; its text stands as the page wrote it.
    QCOMPARE(js(w.view, QStringLiteral("alert('<b>提醒</b>\\nline two'); 'after'")).toString(),
             QStringLiteral("after"));
    QTRY_COMPARE(answerer.seen, QStringList{QStringLiteral("<b>提醒</b>\nline two@window")});
    QCOMPARE(js(w.view, QStringLiteral("confirm('sure?')")).toBool(), true);
    answerer.confirm = false;
    QCOMPARE(js(w.view, QStringLiteral("confirm('really?')")).toBool(), false);
    answerer.typed = QStringLiteral("The Matrix");
    QCOMPARE(js(w.view, QStringLiteral("prompt('name?', 'x')")).toString(), answerer.typed);
    QCOMPARE(answerer.seen.mid(1), (QStringList{QStringLiteral("sure?@window"),
                                                QStringLiteral("really?@window"),
                                                QStringLiteral("name?@window")}));
    qApp->removeEventFilter(&answerer);
}

void TestBrowser::textKeysReachThePage() {
    const QString a = kSite + QStringLiteral("/t/a.html");
    const QString b = kSite + QStringLiteral("/t/b.html");
    const QByteArray body = "<html><body><p>page</p><input id='box'></body></html>";
    web.route(a, body);
    web.route(b, body);
    QWebEngineView* view = window->view;
    QVERIFY(loadDrawn(view, a));
    QVERIFY(loadDrawn(view, b));
    QSignalSpy started(view, &QWebEngineView::loadStarted);
    QWidget* surface = view->focusProxy();
    surface->setFocus();
    // The page counts the keys that reach it: keys travel to the page apart from scripts, and
    // a script may overtake keys sent before it.
    js(view, QStringLiteral("window.marker = 42; window.keys = 0;"
                            "document.addEventListener('keydown', function () { ++window.keys; });"
                            "document.getElementById('box').focus(); 1"));
    const auto value = [&] {
        return js(view, QStringLiteral("document.getElementById('box').value")).toString();
    };

    QTest::keyClicks(surface, QStringLiteral("abcdef"));
    QTRY_COMPARE(value(), QStringLiteral("abcdef"));
    QTest::keyClick(surface, Qt::Key_Left);
    QTest::keyClick(surface, Qt::Key_Left);
    QTest::keyClick(surface, Qt::Key_Backspace);      // abcef, after "c"
    QTest::keyClick(surface, Qt::Key_Delete);         // abcf
    QTest::keyClick(surface, Qt::Key_Backspace, Qt::ShiftModifier); // abf
    QTest::keyClick(surface, Qt::Key_Home);
    QTest::keyClick(surface, Qt::Key_Right);
    QTest::keyClick(surface, Qt::Key_Delete);         // af
    QTest::keyClick(surface, Qt::Key_End);
    QTest::keyClicks(surface, QStringLiteral("!"));
    QTRY_COMPARE(value(), QStringLiteral("af!"));
    // The navigation keys among them changed neither the text nor the page.
    QTest::keyClick(surface, Qt::Key_Left, Qt::AltModifier);
    QTest::mouseClick(surface, Qt::BackButton, {}, QPoint(50, 50));
    QTest::keyClick(surface, Qt::Key_F5);
    js(view, QStringLiteral("document.getElementById('box').focus(); 1"));
    QTest::keyClick(surface, Qt::Key_Backspace);
    QTRY_COMPARE(value(), QStringLiteral("af"));
    // Backspace outside a field does not go back either.
    js(view, QStringLiteral("document.getElementById('box').blur(); window.keys = 0; 1"));
    QTest::keyClick(surface, Qt::Key_Backspace);
    QTest::keyClick(surface, Qt::Key_Backspace, Qt::ShiftModifier);
    QTRY_COMPARE(js(view, QStringLiteral("window.keys")).toInt(), 3); // Shift has its own
    js(view, QStringLiteral("document.getElementById('box').focus(); 1"));
    QTest::keyClicks(surface, QStringLiteral("z"));
    QTRY_COMPARE(value(), QStringLiteral("afz"));
    QCOMPARE(started.size(), 0);
    QCOMPARE(js(view, QStringLiteral("location.href")).toString(), b);
    QCOMPARE(js(view, QStringLiteral("window.marker")).toInt(), 42);
}

QTEST_MAIN(TestBrowser)
#include "test_browser.moc"
