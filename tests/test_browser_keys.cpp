// Which keys and mouse buttons count as the browser's own navigation, the places sign-in
// answers are kept for, what may go to the desktop's browser, where a download is proposed and
// when a page whose process ended is loaded again.
// Runs under the offscreen platform, whose key bindings make Backspace "back".
#include "browser/browser.h"
#include "browser/downloads.h"
#include "browser/navigationkeys.h"
#include "browser/recovery.h"
#include "browser/signin.h"
#include "support/columns.h"
#include "vendor/hosts.h"

#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStandardPaths>
#include <QTest>

class TestBrowserKeys : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void navigationKeys_data();
    void navigationKeys();
    void mouseButtons();
    void desktopAddresses();
    void signInPlaces();
    void proposedPath();
    void pageProcessEnds();
};

void TestBrowserKeys::navigationKeys_data() {
    addColumns<int, int, bool>({"key", "modifiers", "navigates"});
    const int none = Qt::NoModifier, shift = Qt::ShiftModifier, ctrl = Qt::ControlModifier,
              alt = Qt::AltModifier;
    // The keys that edit text in a page's field, whatever the platform binds them to.
    QTest::newRow("Backspace") << int(Qt::Key_Backspace) << none << false;
    QTest::newRow("Shift+Backspace") << int(Qt::Key_Backspace) << shift << false;
    QTest::newRow("Ctrl+Backspace") << int(Qt::Key_Backspace) << ctrl << false;
    QTest::newRow("Delete") << int(Qt::Key_Delete) << none << false;
    QTest::newRow("Left") << int(Qt::Key_Left) << none << false;
    QTest::newRow("Right") << int(Qt::Key_Right) << none << false;
    QTest::newRow("Shift+Left") << int(Qt::Key_Left) << shift << false;
    QTest::newRow("Ctrl+Right") << int(Qt::Key_Right) << ctrl << false;
    QTest::newRow("Home") << int(Qt::Key_Home) << none << false;
    QTest::newRow("Shift+Home") << int(Qt::Key_Home) << shift << false;
    QTest::newRow("r") << int(Qt::Key_R) << none << false;
    QTest::newRow("Alt+R") << int(Qt::Key_R) << alt << false;
    QTest::newRow("Escape") << int(Qt::Key_Escape) << none << false;
    // The browser's own navigation.
    QTest::newRow("Alt+Left") << int(Qt::Key_Left) << alt << true;
    QTest::newRow("Alt+Right") << int(Qt::Key_Right) << alt << true;
    QTest::newRow("Alt+Home") << int(Qt::Key_Home) << alt << true;
    QTest::newRow("F5") << int(Qt::Key_F5) << none << true;
    QTest::newRow("Ctrl+F5") << int(Qt::Key_F5) << ctrl << true;
    QTest::newRow("Ctrl+R") << int(Qt::Key_R) << ctrl << true;
    QTest::newRow("Ctrl+Shift+R") << int(Qt::Key_R) << (ctrl | shift) << true;
    QTest::newRow("Back key") << int(Qt::Key_Back) << none << true;
    QTest::newRow("Forward key") << int(Qt::Key_Forward) << none << true;
    QTest::newRow("Refresh key") << int(Qt::Key_Refresh) << none << true;
    QTest::newRow("Home page key") << int(Qt::Key_HomePage) << none << true;
}

void TestBrowserKeys::navigationKeys() {
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(bool, navigates);
    // This platform binds Backspace to "back": the keys must be judged by themselves.
    QVERIFY(QKeySequence::keyBindings(QKeySequence::Back).contains(QKeySequence(Qt::Key_Backspace)));
    const auto mods = Qt::KeyboardModifiers(modifiers);
    for (const QEvent::Type type : {QEvent::ShortcutOverride, QEvent::KeyPress, QEvent::KeyRelease}) {
        const QKeyEvent event(type, key, mods);
        QCOMPARE(browser::isNavigationShortcut(&event), navigates);
    }
    // The keypad's arrows are the same keys.
    const QKeyEvent keypad(QEvent::KeyPress, key, mods | Qt::KeypadModifier);
    QCOMPARE(browser::isNavigationShortcut(&keypad), navigates);
}

void TestBrowserKeys::mouseButtons() {
    const QPointF at(5, 5);
    for (const QEvent::Type type :
         {QEvent::MouseButtonPress, QEvent::MouseButtonRelease, QEvent::MouseButtonDblClick}) {
        for (const Qt::MouseButton button :
             {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton, Qt::BackButton, Qt::ForwardButton}) {
            const QMouseEvent event(type, at, at, button, button, Qt::NoModifier);
            QCOMPARE(browser::isNavigationShortcut(&event),
                     button == Qt::BackButton || button == Qt::ForwardButton);
        }
    }
    const QMouseEvent move(QEvent::MouseMove, at, at, Qt::NoButton, Qt::BackButton, Qt::NoModifier);
    QVERIFY(!browser::isNavigationShortcut(&move));
}

void TestBrowserKeys::desktopAddresses() {
    using browser::Browser;
    QVERIFY(Browser::opensInDesktop(QUrl(QStringLiteral("http://" CORVALE_PORTAL_HOST "/a.html"))));
    QVERIFY(Browser::opensInDesktop(QUrl(QStringLiteral("HTTPS://example.test/?q=1"))));
    for (const char* refused : {"ftp://example.test/x", "file:///etc/passwd", "javascript:alert(1)",
                                "data:text/html,hi", "about:blank", "ed2k://|file|a|1|AB|/",
                                "mailto:a@example.test", "http://", "http:///path", ""})
        QVERIFY2(!Browser::opensInDesktop(QUrl(QString::fromLatin1(refused))), refused);
}

void TestBrowserKeys::signInPlaces() {
    using browser::SignIn;
    const QString realm = QStringLiteral("r");
    const QString site = SignIn::placeOf(QUrl(QStringLiteral("http://a.test/x")), realm, {});
    // The same site and realm, whatever the path and an explicit default port.
    QCOMPARE(SignIn::placeOf(QUrl(QStringLiteral("http://a.test:80/y?z")), realm, {}), site);
    // Another realm, port, scheme or host is another place; so is a proxy.
    QVERIFY(SignIn::placeOf(QUrl(QStringLiteral("http://a.test/x")), QStringLiteral("s"), {}) != site);
    QVERIFY(SignIn::placeOf(QUrl(QStringLiteral("http://a.test:8080/x")), realm, {}) != site);
    QVERIFY(SignIn::placeOf(QUrl(QStringLiteral("https://a.test/x")), realm, {}) != site);
    QVERIFY(SignIn::placeOf(QUrl(QStringLiteral("http://b.test/x")), realm, {}) != site);
    QVERIFY(SignIn::placeOf(QUrl(QStringLiteral("http://a.test/x")), realm,
                            QStringLiteral("a.test")) != site);
}

void TestBrowserKeys::proposedPath() {
    using browser::Download;
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    if (folder.isEmpty())
        folder = QDir::homePath();
    const QDir downloads(folder);
    QCOMPARE(Download::proposedPath(QStringLiteral("film.torrent")),
             downloads.filePath(QStringLiteral("film.torrent")));
    // A suggested name never picks the folder.
    QCOMPARE(Download::proposedPath(QStringLiteral("../../.bashrc")),
             downloads.filePath(QStringLiteral(".bashrc")));
    QCOMPARE(Download::proposedPath(QStringLiteral("/etc/passwd")),
             downloads.filePath(QStringLiteral("passwd")));
    QCOMPARE(Download::proposedPath(QStringLiteral("..")), downloads.filePath(QStringLiteral("download")));
    QCOMPARE(Download::proposedPath(QString()), downloads.filePath(QStringLiteral("download")));
}

void TestBrowserKeys::pageProcessEnds() {
    using Step = browser::RecoveryPolicy::Step;
    constexpr qint64 quiet = browser::RecoveryPolicy::kQuietMs;
    qint64 now = 100'000;
    browser::RecoveryPolicy policy([&] { return now; });

    // Normal ends never count; the first abnormal one reloads, whenever it comes.
    QCOMPARE(policy.ended(true), Step::Ignore);
    QCOMPARE(policy.ended(false), Step::Reload);
    QCOMPARE(policy.ended(true), Step::Ignore);
    // Ten seconds and more after a reload, an end reloads once more; just under, it gives up.
    now += quiet;
    QCOMPARE(policy.ended(false), Step::Reload);
    now += quiet - 1;
    QCOMPARE(policy.ended(false), Step::GiveUp);
    QVERIFY(policy.givenUp());
    // Given up, further ends (the notice's own process among them) change nothing, however late.
    now += 10 * quiet;
    QCOMPARE(policy.ended(false), Step::Ignore);
    QVERIFY(policy.givenUp());

    // A try from the notice counts as a reload: an end right after it gives up again, one
    // after ten seconds reloads.
    policy.retried();
    QVERIFY(!policy.givenUp());
    now += 1;
    QCOMPARE(policy.ended(false), Step::GiveUp);
    policy.retried();
    now += quiet;
    QCOMPARE(policy.ended(false), Step::Reload);

    // Given up, the page going elsewhere leaves the notice behind; an end soon after the
    // last reload still gives up, a later one reloads.
    now += 1;
    QCOMPARE(policy.ended(false), Step::GiveUp);
    policy.movedOn();
    QVERIFY(!policy.givenUp());
    QCOMPARE(policy.ended(false), Step::GiveUp);
    policy.movedOn();
    now += quiet;
    QCOMPARE(policy.ended(false), Step::Reload);

    // The notice: one line and the link that tries again.
    const QString notice = browser::Recovery::noticeHtml();
    QVERIFY(notice.contains(QStringLiteral("页面已停止运行。")));
    QVERIFY(notice.contains(QStringLiteral("href=\"%1\">重试</a>")
                                .arg(browser::Recovery::retryAddress().toString())));
}

QTEST_MAIN(TestBrowserKeys)
#include "test_browser_keys.moc"
