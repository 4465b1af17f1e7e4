// Pages from the open web at their worst: the portal's link search and the player window end
// in bounded time, keep the event loop free while they wait, list what the sound pages hold and
// show nothing but their banners.
#include "player/pellion.h"
#include "player/playresolver.h"
#include "portal/form1.h"
#include "support/hostile.h"
#include "support/localweb.h"
#include "vendor/hosts.h"
#include "webkit/fetch.h"

#include <QLineEdit>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

namespace {

// Counts the events the application dispatches.
class EventCounter : public QObject {
public:
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent*) override {
        ++count;
        return false;
    }
};

const QString kSearch = QStringLiteral("http://zhidao.baidu.com/search?&word=");
const QString kQuestion = QStringLiteral("http://zhidao.baidu.com/question/%1.html");
const QString kGood = QStringLiteral("ed2k://|file|good.avi|734003200|0123456789ABCDEF|/");
const QString kGoodQuestion = QStringLiteral("ed2k://|file|fromquestion.mkv|1|ABCDEF|");
const QString kPlay = QStringLiteral("http://" CORVALE_PLAY_HOST "/high.php?v=abcdef");

void addRows(const QList<HostileReply>& replies) {
    QTest::addColumn<int>("index");
    for (int i = 0; i < replies.size(); ++i)
        QTest::newRow(replies[i].name) << i;
}

// The reply of the data row at hand.
const HostileReply& rowOf(const QList<HostileReply>& replies) {
    QFETCH(int, index);
    return replies[index];
}

// Types `keyword` into the window's search box in search mode and presses Enter.
void searchFor(portal::Form1& form, const QString& keyword) {
    form.Image3_Click();
    form.Text1()->setText(keyword);
    int enter = 13;
    form.Text1_KeyPress(enter);
}

} // namespace

using State = lumetta::pellion::State;

class TestHostile : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void hostileQuestionPage_data();
    void hostileQuestionPage();
    void thousandQuestionPages();
    void hostilePlayApiReply_data();
    void hostilePlayApiReply();

private:
    LocalWeb web;
    // Built once: each list holds replies of 10 MB.
    const QList<HostileReply> questionPages = hostileQuestionPages(kGoodQuestion);
    const QList<HostileReply> apiReplies = hostilePlayApiReplies(kPlay);
    // Cases so far: each names its pages and links after its own number.
    int rounds = 0;
};

void TestHostile::initTestCase() {
    prepareWebEngine();
    QVERIFY(web.start());
    web.useAsProxy();
    // A stalled answer ends after 3 s here instead of a minute.
    webkit::FetchLimits limits;
    limits.stallTimeoutS = 3;
    webkit::Fetcher::instance().setLimits(limits);
}

void TestHostile::hostileQuestionPage_data() {
    addRows(questionPages);
}

void TestHostile::hostileQuestionPage() {
    const HostileReply& hostile = rowOf(questionPages);
    const int round = ++rounds;
    const QString keyword = QStringLiteral("hostile%1").arg(round);
    // The search page holds one sound link and names a sound question page and the hostile one.
    const QString page =
        QStringLiteral("<a href=\"%1\">x</a><a href=\"%2\">q</a><a href=\"%3\">q</a>")
            .arg(kGood, kQuestion.arg(round * 10), kQuestion.arg(round * 10 + 1));
    web.routeGbk(kSearch + keyword + QStringLiteral("+ed2k"), page);
    web.routeGbk(kQuestion.arg(round * 10), "<p>" + kGoodQuestion + "</p>");
    hostile.serveAt(web, kQuestion.arg(round * 10 + 1));

    portal::Form1 form;
    form.setPlayerPath(QString());
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    searchFor(form, keyword);
    QVERIFY(form.Picture3()->isVisible());

    // The event loop stays free while the pages are read: a timer due at once fires while the
    // search still waits for its first pages, not after it.
    bool tickedDuringSearch = false;
    QTimer::singleShot(0, &form, [&] { tickedDuringSearch = form.Picture3()->isVisible(); });
    QTRY_VERIFY_WITH_TIMEOUT(!form.Picture3()->isVisible(), 30000);
    QVERIFY(tickedDuringSearch);

    // The sound pages' links are all there; the hostile page gave nothing, or its one link.
    QStringList names;
    for (int i = 0; i < form.ListView1()->rowCount(); ++i)
        names << form.ListView1()->text(i, 1);
    QVERIFY2(names.size() >= 2, qPrintable(names.join(QLatin1Char(','))));
    QCOMPARE(names.mid(0, 2),
             QStringList({QStringLiteral("good.avi"), QStringLiteral("fromquestion.mkv")}));
    QCOMPARE(names.size(), hostile.holdsAnswer ? 3 : 2);
    QVERIFY(!form.Picture2()->isVisible());
    QVERIFY(form.findChildren<QMessageBox*>().isEmpty());
}

void TestHostile::thousandQuestionPages() {
    QString page;
    for (int n = 1; n <= 1000; ++n)
        page += QStringLiteral("<a href=\"%1\">q</a>\n").arg(kQuestion.arg(900000 + n));
    web.routeGbk(kSearch + QStringLiteral("thousand+ed2k"), page);
    web.routeGbk(QStringLiteral("http://zhidao.baidu.com/question/9*"),
                 "<p>" + kGoodQuestion + "</p>");
    portal::Form1 form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    searchFor(form, QStringLiteral("thousand"));
    bool tickedDuringSearch = false;
    QTimer::singleShot(0, &form, [&] { tickedDuringSearch = form.Picture3()->isVisible(); });
    QTRY_VERIFY_WITH_TIMEOUT(form.ListView1()->rowCount() == 1000, 60000);
    QVERIFY(tickedDuringSearch);
    QCOMPARE(web.requestedUrls(QStringLiteral("http://zhidao.baidu.com/question/9")).size(), 1000);
}

void TestHostile::hostilePlayApiReply_data() {
    addRows(apiReplies);
}

void TestHostile::hostilePlayApiReply() {
    const HostileReply& hostile = rowOf(apiReplies);
    const QString link = QStringLiteral("ed2k://|file|hostile%1.avi|1|ABCDEF|/").arg(++rounds);
    hostile.serveAt(web, lumetta::PlayResolver::requestAddress(link));

    lumetta::pellion w(link);
    QSignalSpy opened(&w, &lumetta::pellion::playOpened);
    // The reply comes through the event loop, never within the call that asked for it: the
    // application dispatches events between entering the state and leaving it. (A reply that
    // fails at once, as a body over the limit does, may end the state before a timer due at
    // once has had its turn, so the events themselves are counted.)
    EventCounter events;
    qApp->installEventFilter(&events);
    int eventsAtResolving = -1;
    bool tickedWhileResolving = false;
    connect(&w, &lumetta::pellion::stateChanged, &w, [&](lumetta::pellion::State state) {
        if (state == State::Resolving)
            eventsAtResolving = events.count;
        else if (eventsAtResolving >= 0 && !tickedWhileResolving)
            tickedWhileResolving = events.count > eventsAtResolving;
    });
    w.Form_Load();
    w.show();
    QTRY_VERIFY_WITH_TIMEOUT(w.state() == State::Playing || w.state() == State::ErrorPage, 30000);
    QVERIFY(tickedWhileResolving);
    if (hostile.holdsAnswer) {
        QCOMPARE(w.state(), State::Playing);
        QCOMPARE(opened.size(), 1);
        QCOMPARE(opened[0][0].toString(), kPlay);
    } else {
        QCOMPARE(w.state(), State::ErrorPage);
        QCOMPARE(opened.size(), 0);
    }
    QVERIFY(w.isVisible());
    QVERIFY(w.findChildren<QMessageBox*>().isEmpty());
}

QTEST_MAIN(TestHostile)
#include "test_hostile.moc"
