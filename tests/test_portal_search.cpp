// The portal window's navigation, keyword entry, link search and result actions, driven through
// the real window (keys, clicks, menu, clipboard) against pages served by localweb, with a
// recording stand-in for the player.
#include "portal/form1.h"
#include "support/ed2k.h"
#include "support/localweb.h"
#include "support/portalwindowtest.h"
#include "vendor/hosts.h"
#include "webkit/fetch.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QStyleHints>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEngineView>

#include <memory>

using portal::Form1;
using portal::ResultList;

namespace {

const QString kPlaceholder = QStringLiteral(" 请在这里输入关键字");
const QString kSearch = QStringLiteral("http://zhidao.baidu.com/search?&word=");
const QString kQuestion = QStringLiteral("http://zhidao.baidu.com/question/%1.html");
const QString kSiteSearch = QStringLiteral("http://" CORVALE_PORTAL_HOST "/search.php?keyword=");

QByteArray attrs(const QStringList& links) {
    QString page = QStringLiteral("<html><body>");
    for (const QString& l : links)
        page += QStringLiteral("<a href=\"%1\">下载</a>\n").arg(l);
    return (page + QStringLiteral("</body></html>")).toUtf8();
}

// The visible message box of the window, if any.
QMessageBox* messageBox(QWidget& window) {
    for (auto* box : window.findChildren<QMessageBox*>())
        if (box->isVisible())
            return box;
    return nullptr;
}

QStringList rowTexts(const ResultList* list, int row) {
    QStringList cells;
    for (int c = 0; c < 4; ++c)
        cells << list->text(row, c);
    return cells;
}

} // namespace

class TestPortalSearch : public PortalWindowTest {
    Q_OBJECT
private Q_SLOTS:
    void init();

    void modesSwitchWhatIsShown();
    void playerButtonStartsThePlayerWithQd();
    void doubleClickIsOneClick();
    void keywordBoxPlaceholderAndEnter();
    void emptyKeywordMessages();
    void siteSearchInEveryMode();
    void linkSearchFillsTheList();
    void aLinkHoldingAStarStaysOneRow();
    void linkSearchOverTheStandInCatalogue();
    void noResultsBanner();
    void searchModeButtonWithAKeyword();
    void modeChangeDuringASearch();
    void newSearchReplacesTheRunningOne();
    void resultActions();
    void actionsWithoutARowDoNothing();
    void tenThousandRows();

private:
    void open();
    // Types into the keyword box as a user would: click, select all, type.
    void type(const QString& text);
    void enter() { QTest::keyClick(form->Text1(), Qt::Key_Return); }
    bool searchEnded() const;
};

void TestPortalSearch::init() {
    clearRecords();
    open();
}

void TestPortalSearch::open() {
    form = std::make_unique<Form1>();
    form->setPlayerPath(QStringLiteral(RECORDER_PATH));
    form->playerStarts().setClock([this] { return clockMs; });
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
}

void TestPortalSearch::type(const QString& text) {
    form->Text1()->setFocus();
    form->Text1()->selectAll();
    form->Text1()->del();
    // Key by key; a character with no key of its own comes as typed text, as from an input method.
    for (QChar c : text) {
        if (c.unicode() < 0x80)
            QTest::keyClick(form->Text1(), char(c.unicode()));
        else
            QTest::sendKeyEvent(QTest::Click, form->Text1(), Qt::Key_unknown, QString(c),
                                Qt::NoModifier);
    }
    QCOMPARE(form->Text1()->text(), text);
}

bool TestPortalSearch::searchEnded() const {
    return !form->Picture3()->isVisible() && webkit::Fetcher::instance().running() == 0;
}

void TestPortalSearch::modesSwitchWhatIsShown() {
    Form1& f = *form;
    // The search-mode button with the placeholder still in the box only switches.
    QTest::mouseClick(f.Image3(), Qt::LeftButton);
    QCOMPARE(f.anzt(), qint16(2));
    QVERIFY(!f.WebBrowser1()->isVisible());
    QVERIFY(f.ListView1()->isVisible());
    QVERIFY(!f.Picture3()->isVisible());
    // ...and so it does with an empty box.
    type(QString());
    QTest::mouseClick(f.Image3(), Qt::LeftButton);
    QVERIFY(!f.Picture3()->isVisible());

    // Leaving search mode hides the no-results banner; from browser mode it is left alone.
    f.Picture2()->show();
    QTest::mouseClick(f.Image2(), Qt::LeftButton);
    QCOMPARE(f.anzt(), qint16(1));
    QVERIFY(f.WebBrowser1()->isVisible());
    QVERIFY(!f.ListView1()->isVisible());
    QVERIFY(!f.Picture2()->isVisible());
    f.Picture2()->show();
    QTest::mouseClick(f.Image2(), Qt::LeftButton);
    QVERIFY(f.Picture2()->isVisible());
    QVERIFY(web.requestedUrls(kSearch).isEmpty());
}

void TestPortalSearch::playerButtonStartsThePlayerWithQd() {
    Form1& f = *form;
    QTest::mouseClick(f.Image3(), Qt::LeftButton);
    QTest::mouseClick(f.Image4(), Qt::LeftButton);
    QTRY_COMPARE(recorded(), QList<QStringList>({{QStringLiteral("qd")}}));
    QCOMPARE(f.anzt(), qint16(3));
    // Nothing else changes: the list that was shown stays shown.
    QVERIFY(f.ListView1()->isVisible());
    QVERIFY(!f.WebBrowser1()->isVisible());

    // A keyword search in player mode only navigates the browser; the list is left as it is.
    web.route(kSearch + QStringLiteral("abc+ed2k"), attrs({ed2kLink(QStringLiteral("a.avi"))}), 200,
              QStringLiteral("gbk"));
    f.setLinks({ed2kLink(QStringLiteral("kept.avi"))});
    type(QStringLiteral("abc"));
    enter();
    QTRY_VERIFY(!web.requestedUrls(kSiteSearch + QStringLiteral("abc")).isEmpty());
    QVERIFY(web.requestedUrls(kSearch).isEmpty());
    QCOMPARE(f.links(), QStringList({ed2kLink(QStringLiteral("kept.avi"))}));
}

void TestPortalSearch::doubleClickIsOneClick() {
    Form1& f = *form;
    // A clock that moves a whole interval on every look: the start limit lets every start
    // through, so only the buttons decide how many players start.
    f.playerStarts().setClock([t = qint64(0)]() mutable { return t += 1000000; });
    type(QStringLiteral("abc"));
    QTest::mouseClick(f.Image3(), Qt::LeftButton);
    QStringList clicks;
    const QList<portal::ClickableBitmap*> buttons = {f.Image2(), f.Image3(), f.Image4(), f.Picture1()};
    for (auto* b : buttons)
        connect(b, &portal::ClickableBitmap::clicked, this, [&clicks, b] { clicks << b->objectName(); });

    // As Qt delivers a double-click: press, release, double-click, release.
    for (auto* b : buttons) {
        QTest::mousePress(b, Qt::LeftButton);
        QTest::mouseRelease(b, Qt::LeftButton);
        QTest::mouseDClick(b, Qt::LeftButton);
        QTest::mouseRelease(b, Qt::LeftButton);
    }
    QCOMPARE(clicks, QStringList({"Image2", "Image3", "Image4", "Picture1"}));
    QTRY_COMPARE(recorded(), QList<QStringList>({{QStringLiteral("qd")}}));

    // Real double-clicks on the display, each followed by a click in the keyword box: once that
    // click has arrived, so has everything before it.
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        QSKIP("real clicks need an X display");
    // Generous, so that a busy machine still makes each pair a double-click.
    QGuiApplication::styleHints()->setMouseDoubleClickInterval(5000);
    int boxClicks = 0;
    struct BoxClicks : QObject {
        int* count;
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == QEvent::MouseButtonRelease)
                ++*count;
            return false;
        }
    } boxWatch;
    boxWatch.count = &boxClicks;
    f.Text1()->installEventFilter(&boxWatch);
    f.activateWindow();
    clicks.clear();
    for (auto* b : buttons) {
        const QPoint at = b->mapToGlobal(b->rect().center());
        const QPoint box = f.Text1()->mapToGlobal(f.Text1()->rect().center());
        QProcess xdotool;
        xdotool.start(QStringLiteral("xdotool"),
                      {QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y()),
                       QStringLiteral("click"), QStringLiteral("--repeat"), QStringLiteral("2"),
                       QStringLiteral("--delay"), QStringLiteral("60"), QStringLiteral("1"),
                       QStringLiteral("mousemove"), QString::number(box.x()),
                       QString::number(box.y()), QStringLiteral("click"), QStringLiteral("1")});
        QVERIFY2(xdotool.waitForStarted(), "xdotool is missing");
        const int before = boxClicks;
        QTRY_VERIFY_WITH_TIMEOUT(boxClicks > before, 20000);
        QTRY_COMPARE_WITH_TIMEOUT(xdotool.state(), QProcess::NotRunning, 20000);
    }
    QCOMPARE(clicks, QStringList({"Image2", "Image3", "Image4", "Picture1"}));
    QTRY_COMPARE(recorded(), QList<QStringList>({{QStringLiteral("qd")}, {QStringLiteral("qd")}}));
    f.Text1()->removeEventFilter(&boxWatch);
    QGuiApplication::styleHints()->setMouseDoubleClickInterval(-1);
}

void TestPortalSearch::keywordBoxPlaceholderAndEnter() {
    Form1& f = *form;
    QCOMPARE(f.Text1()->text(), kPlaceholder);
    QTest::mouseClick(f.Text1(), Qt::LeftButton);
    QCOMPARE(f.Text1()->text(), QString());
    // The placeholder is never put back; a second click leaves what was typed.
    type(QStringLiteral("abc"));
    QTest::mouseClick(f.Text1(), Qt::LeftButton);
    QCOMPARE(f.Text1()->text(), QStringLiteral("abc"));
    // An edited placeholder is not the placeholder.
    type(kPlaceholder + QStringLiteral("x"));
    QTest::mouseClick(f.Text1(), Qt::LeftButton);
    QCOMPARE(f.Text1()->text(), kPlaceholder + QStringLiteral("x"));

    // Enter never reaches the box; other keys always do.
    type(QStringLiteral("ab"));
    QTest::keyClick(f.Text1(), Qt::Key_Enter);
    enter();
    QTest::keyClicks(f.Text1(), QStringLiteral("c d"));
    QCOMPARE(f.Text1()->text(), QStringLiteral("abc d"));

    // Enter with Ctrl or Alt is no Enter: nothing searched, the list and banners untouched.
    // Enter on the keypad and with Shift search.
    QTest::mouseClick(f.Image3(), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(searchEnded(), 20000);
    f.setLinks({ed2kLink(QStringLiteral("kept.avi"))});
    f.Picture2()->show();
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
        for (Qt::KeyboardModifiers mods :
             {Qt::KeyboardModifiers(Qt::ControlModifier), Qt::KeyboardModifiers(Qt::AltModifier),
              Qt::ControlModifier | Qt::AltModifier, Qt::ControlModifier | Qt::KeypadModifier,
              Qt::AltModifier | Qt::ShiftModifier}) {
            QTest::keyClick(f.Text1(), key, mods);
            QCOMPARE(f.links(), QStringList({ed2kLink(QStringLiteral("kept.avi"))}));
            QVERIFY(f.Picture2()->isVisible());
            QVERIFY(!f.Picture3()->isVisible());
        }
    }
    QTest::keyClick(f.Text1(), Qt::Key_Enter, Qt::KeypadModifier);
    QVERIFY(f.links().isEmpty());
    QVERIFY(f.Picture3()->isVisible());
    QVERIFY(!f.Picture2()->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(searchEnded(), 20000);
    f.setLinks({ed2kLink(QStringLiteral("kept.avi"))});
    QTest::keyClick(f.Text1(), Qt::Key_Return, Qt::ShiftModifier);
    QVERIFY(f.links().isEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(searchEnded(), 20000);
    QVERIFY(web.requestedUrls(kSearch + QStringLiteral("abc")).size() >= 2);
    QCOMPARE(f.Text1()->text(), QStringLiteral("abc d"));
}

void TestPortalSearch::emptyKeywordMessages() {
    Form1& f = *form;
    type(QString());
    // Enter hides the no-results banner before it finds the box empty.
    f.Picture2()->show();
    enter();
    QTRY_VERIFY(messageBox(f));
    QCOMPARE(messageBox(f)->text(), QStringLiteral("请输入关键字!"));
    QCOMPARE(messageBox(f)->icon(), QMessageBox::NoIcon);
    QCOMPARE(messageBox(f)->buttons().size(), 1);
    QVERIFY(!f.Picture2()->isVisible());
    QTest::mouseClick(messageBox(f)->button(QMessageBox::Ok), Qt::LeftButton);
    QTRY_VERIFY(!messageBox(f));

    // The search button has its own message and leaves the banner as it was.
    f.Picture2()->show();
    QTest::mouseClick(f.Picture1(), Qt::LeftButton);
    QTRY_VERIFY(messageBox(f));
    QCOMPARE(messageBox(f)->text(), QStringLiteral("请输入关键字!!"));
    QVERIFY(f.Picture2()->isVisible());
    QTest::mouseClick(messageBox(f)->button(QMessageBox::Ok), Qt::LeftButton);
    QTRY_VERIFY(!messageBox(f));
    // Nothing was searched.
    QVERIFY(web.requestedUrls(kSiteSearch).isEmpty());
    QVERIFY(web.requestedUrls(kSearch).isEmpty());
}

void TestPortalSearch::siteSearchInEveryMode() {
    Form1& f = *form;
    // Browser mode: the site search in the browser, with the keyword in UTF-8 escapes; the
    // placeholder, blank included, is a keyword like any other.
    QTest::mouseClick(f.Picture1(), Qt::LeftButton);
    const QString placeholder = QStringLiteral(
        "%20%E8%AF%B7%E5%9C%A8%E8%BF%99%E9%87%8C%E8%BE%93%E5%85%A5%E5%85%B3%E9%94%AE%E5%AD%97");
    QTRY_VERIFY_WITH_TIMEOUT(!web.requestedUrls(kSiteSearch + placeholder).isEmpty(), 20000);
    type(QStringLiteral("中国a"));
    enter();
    QTRY_VERIFY_WITH_TIMEOUT(
        !web.requestedUrls(kSiteSearch + QStringLiteral("%E4%B8%AD%E5%9B%BDa")).isEmpty(), 20000);
    QVERIFY(web.requestedUrls(kSearch).isEmpty());
    QCOMPARE(f.ListView1()->rowCount(), 0);

    // Search mode: the browser, though hidden, goes to the site search as well.
    QTest::mouseClick(f.Image3(), Qt::LeftButton);
    web.clearLog();
    type(QStringLiteral("xyz"));
    QTest::mouseClick(f.Picture1(), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!web.requestedUrls(kSiteSearch + QStringLiteral("xyz")).isEmpty(),
                             20000);
    QTRY_COMPARE(web.requestedUrls(kSearch).size(), 2);
}

void TestPortalSearch::linkSearchFillsTheList() {
    Form1& f = *form;
    const QStringList page = {ed2kLink(QStringLiteral("%E7%94%B5%E5%BD%B1.rmvb")),
                              ed2kLink(QStringLiteral("Big.One.mkv"), "4700000000")};
    const QString q = ed2kLink(QStringLiteral("q.avi"), "1342177280", false);
    QByteArray body = attrs(page);
    body += QStringLiteral("<a href=\"%1\">q</a>").arg(kQuestion.arg(5)).toUtf8();
    web.route(kSearch + QStringLiteral("film+ed2k"), body, 200, QStringLiteral("gbk"));
    web.routeGbk(kQuestion.arg(5), QStringLiteral("<p>") + q + QStringLiteral("</p>"), 300);

    QTest::mouseClick(f.Image3(), Qt::LeftButton);
    f.Picture2()->show();
    type(QStringLiteral("film"));
    enter();
    // The banner shows at once and the list was emptied; the rows come when all is read.
    QVERIFY(f.Picture3()->isVisible());
    QVERIFY(!f.Picture2()->isVisible());
    QCOMPARE(f.ListView1()->rowCount(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(f.ListView1()->rowCount() == 3, 20000);
    QVERIFY(!f.Picture3()->isVisible());
    QCOMPARE(rowTexts(f.ListView1(), 0), QStringList({"1", "电影.rmvb", " 700M", "rmvb"}));
    QCOMPARE(rowTexts(f.ListView1(), 1), QStringList({"2", "Big.One.mkv", " 4.4G", "mkv"}));
    QCOMPARE(rowTexts(f.ListView1(), 2), QStringList({"3", "q.avi", " 1.2G", "avi"}));
    QCOMPARE(f.edurl(), page[0] + "*" + page[1] + "*" + q + "*");
}

// A link in plain answer text may hold "*", the character that joins the links in edurl. The
// list keeps each link whole: one row, and the whole link handed to the player.
void TestPortalSearch::aLinkHoldingAStarStaysOneRow() {
    Form1& f = *form;
    const QString starred = QStringLiteral("ed2k://|file|a*b.avi|1|H|/");
    const QString quoted = ed2kLink(QStringLiteral("c.avi"));
    web.route(kSearch + QStringLiteral("star+ed2k"),
              QStringLiteral("<p>%1</p>").arg(starred).toUtf8() + attrs({quoted}), 200,
              QStringLiteral("gbk"));
    QTest::mouseClick(f.Image3(), Qt::LeftButton);
    type(QStringLiteral("star"));
    enter();
    QTRY_VERIFY_WITH_TIMEOUT(searchEnded() && f.ListView1()->rowCount() > 0, 20000);
    QCOMPARE(f.ListView1()->rowCount(), 2);
    QCOMPARE(rowTexts(f.ListView1(), 0), QStringList({"1", "a*b.avi", " 0M", "avi"}));
    QCOMPARE(rowTexts(f.ListView1(), 1), QStringList({"2", "c.avi", " 700M", "avi"}));
    QCOMPARE(f.edurl(), starred + "*" + quoted + "*");
    const QPoint row1 = f.ListView1()->rowRect(0).center();
    QTest::mouseClick(f.ListView1()->viewport(), Qt::LeftButton, {}, row1);
    QTest::mouseDClick(f.ListView1()->viewport(), Qt::LeftButton, {}, row1);
    QTRY_COMPARE(recorded(), QList<QStringList>({{starred}}));
}

void TestPortalSearch::linkSearchOverTheStandInCatalogue() {
    Form1& f = *form;
    QTest::mouseClick(f.Image3(), Qt::LeftButton);
    type(QStringLiteral("变形"));
    enter();
    QTRY_VERIFY_WITH_TIMEOUT(searchEnded() && f.ListView1()->rowCount() > 0, 20000);
    QCOMPARE(rowTexts(f.ListView1(), 0),
             QStringList({"1", "变形金刚.Transformers.2007.BD1080P.rmvb", " 1.2G", "rmvb"}));
    // SCREENSHOTS=DIR keeps a picture of the listed results.
    if (const QString dir = qEnvironmentVariable("SCREENSHOTS"); !dir.isEmpty())
        QVERIFY(f.grab().save(dir + QStringLiteral("/portal-results.png")));
    // The first request carried the keyword in GBK escapes, the second as typed.
    QStringList urls = web.requestedUrls(kSearch);
    urls.sort();
    QCOMPARE(urls, QStringList({kSearch + QStringLiteral("%B1%E4%D0%CE+ed2k"),
                                kSearch + QStringLiteral("%E5%8F%98%E5%BD%A2+ed2k")}));
}

void TestPortalSearch::noResultsBanner() {
    Form1& f = *form;
    web.route(kSearch + QStringLiteral("none+ed2k"), "<html>nothing</html>", 200,
              QStringLiteral("gbk"));
    QTest::mouseClick(f.Image3(), Qt::LeftButton);
    type(QStringLiteral("none"));
    enter();
    QTRY_VERIFY_WITH_TIMEOUT(f.Picture2()->isVisible(), 20000);
    QVERIFY(!f.Picture3()->isVisible());
    QCOMPARE(f.ListView1()->rowCount(), 0);
    QCOMPARE(f.edurl(), QString());
    // No message box on this path.
    QVERIFY(!messageBox(f));
}

void TestPortalSearch::searchModeButtonWithAKeyword() {
    Form1& f = *form;
    web.route(kSearch + QStringLiteral("kw+ed2k"), attrs({ed2kLink(QStringLiteral("kw.avi"))}), 200,
              QStringLiteral("gbk"), 500);
    f.setLinks({ed2kLink(QStringLiteral("old.avi"))});
    f.zairu();
    type(QStringLiteral("kw"));
    web.clearLog();
    // The search starts with the banner; the rows stay until the answers are in, and the
    // browser goes nowhere.
    QTest::mouseClick(f.Image3(), Qt::LeftButton);
    QVERIFY(f.Picture3()->isVisible());
    QVERIFY(f.ListView1()->isVisible());
    QCOMPARE(f.ListView1()->rowCount(), 1);
    QCOMPARE(f.ListView1()->text(0, 1), QStringLiteral("old.avi"));
    QTRY_VERIFY_WITH_TIMEOUT(f.ListView1()->rowCount() == 1 &&
                                 f.ListView1()->text(0, 1) == QStringLiteral("kw.avi"),
                             20000);
    QVERIFY(!f.Picture3()->isVisible());
    // (A site search of an earlier test may still reach the log; only this keyword counts.)
    QVERIFY(web.requestedUrls(kSiteSearch + QStringLiteral("kw")).isEmpty());

    // A keyword of blanks is a keyword like any other.
    web.clearLog();
    type(QStringLiteral("   "));
    QTest::mouseClick(f.Image3(), Qt::LeftButton);
    QVERIFY(f.Picture3()->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(searchEnded(), 20000);
    QStringList asked = web.requestedUrls(kSearch);
    asked.sort();
    QCOMPARE(asked, QStringList({kSearch + QStringLiteral("%20%20%20+ed2k"),
                                 kSearch + QStringLiteral("%20%20%20+ed2k")}));

    // The cinema button during a search shows the browser and leaves the searching banner.
    web.route(kSearch + QStringLiteral("slow+ed2k"), "<html>nothing</html>", 200,
              QStringLiteral("gbk"), 500);
    type(QStringLiteral("slow"));
    QTest::mouseClick(f.Image3(), Qt::LeftButton);
    QTest::mouseClick(f.Image2(), Qt::LeftButton);
    QVERIFY(f.WebBrowser1()->isVisible());
    QVERIFY(!f.ListView1()->isVisible());
    QVERIFY(f.Picture3()->isVisible());
    QCOMPARE(f.anzt(), qint16(1));
    // In browser mode it leaves the no-results banner too.
    f.Picture2()->show();
    QTest::mouseClick(f.Image2(), Qt::LeftButton);
    QVERIFY(f.Picture2()->isVisible());
    f.Picture2()->hide();
    QTRY_VERIFY_WITH_TIMEOUT(searchEnded(), 20000);

    // Nothing found after the window went to player mode: no banner, an empty list.
    QTest::mouseClick(f.Image3(), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(searchEnded(), 20000);
    f.setLinks({ed2kLink(QStringLiteral("old.avi"))});
    f.zairu();
    f.Picture2()->hide();
    QTest::mouseClick(f.Image3(), Qt::LeftButton);
    QTest::mouseClick(f.Image4(), Qt::LeftButton);
    QCOMPARE(f.anzt(), qint16(3));
    QTRY_VERIFY_WITH_TIMEOUT(searchEnded(), 20000);
    QCOMPARE(f.ListView1()->rowCount(), 0);
    QVERIFY(f.links().isEmpty());
    QVERIFY(!f.Picture2()->isVisible());
    QVERIFY(f.ListView1()->isVisible());
}

void TestPortalSearch::modeChangeDuringASearch() {
    Form1& f = *form;
    // Nothing found while the user went back to the browser: no banner, an empty list.
    web.route(kSearch + QStringLiteral("slow+ed2k"), "<html>nothing</html>", 200,
              QStringLiteral("gbk"), 500);
    QTest::mouseClick(f.Image3(), Qt::LeftButton);
    type(QStringLiteral("slow"));
    enter();
    QTest::mouseClick(f.Image2(), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(searchEnded(), 20000);
    QVERIFY(!f.Picture2()->isVisible());
    QCOMPARE(f.ListView1()->rowCount(), 0);

    // Links found meanwhile still fill the hidden list.
    web.route(kSearch + QStringLiteral("slow2+ed2k"), attrs({ed2kLink(QStringLiteral("late.avi"))}),
              200, QStringLiteral("gbk"), 500);
    QTest::mouseClick(f.Image3(), Qt::LeftButton);
    type(QStringLiteral("slow2"));
    enter();
    QTest::mouseClick(f.Image2(), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(f.ListView1()->rowCount() == 1, 20000);
    QVERIFY(!f.ListView1()->isVisible());
    QVERIFY(!f.Picture3()->isVisible());
}

void TestPortalSearch::newSearchReplacesTheRunningOne() {
    Form1& f = *form;
    web.route(kSearch + QStringLiteral("old+ed2k"), attrs({ed2kLink(QStringLiteral("old.avi"))}),
              200, QStringLiteral("gbk"), 800);
    web.route(kSearch + QStringLiteral("new+ed2k"), attrs({ed2kLink(QStringLiteral("new.avi"))}),
              200, QStringLiteral("gbk"));
    QTest::mouseClick(f.Image3(), Qt::LeftButton);
    type(QStringLiteral("old"));
    enter();
    QTRY_COMPARE(web.requestedUrls(kSearch + QStringLiteral("old")).size(), 2);
    type(QStringLiteral("new"));
    enter();
    QTRY_VERIFY_WITH_TIMEOUT(f.ListView1()->rowCount() == 1, 20000);
    QCOMPARE(f.ListView1()->text(0, 1), QStringLiteral("new.avi"));
    // The old answers arrive later and change nothing.
    QTRY_VERIFY_WITH_TIMEOUT(webkit::Fetcher::instance().running() == 0, 20000);
    QCOMPARE(f.ListView1()->rowCount(), 1);
    QCOMPARE(f.links(), QStringList({ed2kLink(QStringLiteral("new.avi"))}));
    QVERIFY(!f.Picture3()->isVisible());
}

void TestPortalSearch::resultActions() {
    Form1& f = *form;
    const QString one = ed2kLink(QStringLiteral("one.avi"));
    const QString two = ed2kLink(QStringLiteral("two words 二.mkv"), "5", false);
    const QString three = ed2kLink(QStringLiteral("three.mp4"));
    web.routeGbk(kSearch + QStringLiteral("acts+ed2k"),
                 attrs({one, three}) +
                     QStringLiteral("<a href=\"%1\">q</a>").arg(kQuestion.arg(9)));
    web.routeGbk(kQuestion.arg(9), QStringLiteral("<p>") + two + QStringLiteral("/</p>"));
    QTest::mouseClick(f.Image3(), Qt::LeftButton);
    type(QStringLiteral("acts"));
    enter();
    QTRY_VERIFY_WITH_TIMEOUT(f.ListView1()->rowCount() == 3, 20000);
    ResultList* list = f.ListView1();
    // Rows follow edurl: the search page's links, then the question page's.
    QCOMPARE(list->text(2, 1), QStringLiteral("two words 二.mkv"));

    auto rowCenter = [&](int row) { return list->rowRect(row).center(); };

    // A right-button release over a row opens the menu; "在线云播放" plays that row's link.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rowCenter(2));
    QTest::mouseClick(list->viewport(), Qt::RightButton, {}, rowCenter(2));
    QTRY_VERIFY(f.mnuOptions()->isVisible());
    f.mnuOptions()->hide();
    f.aplary()->trigger();
    QTRY_COMPARE(recorded(), QList<QStringList>({{two}}));

    // A double-click plays the same link as the menu, a second later.
    nextSecond();
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, rowCenter(2));
    QTRY_COMPARE(recorded().size(), 2);
    QCOMPARE(recorded().last(), QStringList({two}));
    // Within the same second the list starts nothing more; after it, the next row plays.
    f.aplary()->trigger();
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, rowCenter(2));
    nextSecond();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rowCenter(1));
    f.aplary()->trigger();
    QTRY_COMPARE(recorded(), QList<QStringList>({{two}, {two}, {three}}));

    // "复制电影地址" leaves exactly the first link on the clipboard.
    QApplication::clipboard()->setText(QStringLiteral("something else"));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rowCenter(0));
    f.acopy()->trigger();
    QCOMPARE(QApplication::clipboard()->text(), one);

    // The left button opens no menu; the right button over the empty part of the list does.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      QPoint(20, list->viewport()->height() - 5));
    QVERIFY(!f.mnuOptions()->isVisible());
    QTest::mouseClick(list->viewport(), Qt::RightButton, {},
                      QPoint(20, list->viewport()->height() - 5));
    QTRY_VERIFY(f.mnuOptions()->isVisible());
    f.mnuOptions()->hide();
}

void TestPortalSearch::actionsWithoutARowDoNothing() {
    Form1& f = *form;
    QTest::mouseClick(f.Image3(), Qt::LeftButton);
    // An empty list: nothing to play or copy.
    QApplication::clipboard()->setText(QStringLiteral("untouched"));
    f.aplary()->trigger();
    f.acopy()->trigger();
    QTest::mouseDClick(f.ListView1()->viewport(), Qt::LeftButton, {}, QPoint(20, 20));
    // Rows whose links are gone (the links were replaced by fewer): nothing either.
    f.setLinks({ed2kLink(QStringLiteral("a.avi")), ed2kLink(QStringLiteral("b.avi"))});
    f.zairu();
    f.ListView1()->setCurrentRow(1);
    f.setLinks({ed2kLink(QStringLiteral("a.avi"))});
    f.aplary()->trigger();
    f.acopy()->trigger();
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("untouched"));
    // A start made after all that is the first one the player records.
    f.ListView1()->setCurrentRow(0);
    f.aplary()->trigger();
    QTRY_COMPARE(recorded(), QList<QStringList>({{ed2kLink(QStringLiteral("a.avi"))}}));
}

void TestPortalSearch::tenThousandRows() {
    Form1& f = *form;
    QStringList links;
    for (int i = 0; i < 10000; ++i)
        links << ed2kLink(QStringLiteral("film%1.avi").arg(i), "1048576");
    web.route(kSearch + QStringLiteral("lots+ed2k"), attrs(links), 200, QStringLiteral("gbk"));
    QTest::mouseClick(f.Image3(), Qt::LeftButton);
    type(QStringLiteral("lots"));
    enter();
    QTRY_VERIFY_WITH_TIMEOUT(f.ListView1()->rowCount() == 10000, 30000);
    QCOMPARE(rowTexts(f.ListView1(), 9999), QStringList({"10000", "film9999.avi", " 1M", "avi"}));
}

QTEST_MAIN(TestPortalSearch)
#include "test_portal_search.moc"
