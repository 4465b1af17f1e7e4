// The link search against pages served by localweb: what goes on the wire, what is harvested
// and in which order, and how a search ends or is replaced.
#include "portal/search.h"
#include "support/ed2k.h"
#include "support/localwebtest.h"
#include "webkit/fetch.h"

#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <utility>

using namespace portal;

namespace {

const QString kSearch = QStringLiteral("http://zhidao.baidu.com/search?&word=");
const QString kQuestion = QStringLiteral("http://zhidao.baidu.com/question/%1.html");

QString attr(const QString& l) {
    return QStringLiteral("<a href=\"%1\">下载</a>\n").arg(l);
}
QString questionRef(int n) {
    return QStringLiteral("<a href=\"%1\">问题</a>\n").arg(kQuestion.arg(n));
}

// For the cases where one search replaces another: serves the new search ("new"), whose page
// holds one link, and returns that link.
QString serveNewSearch(LocalWeb& web) {
    const QString link = ed2kLink(QStringLiteral("new.avi"));
    web.routeGbk(kSearch + QStringLiteral("new+ed2k"), attr(link));
    return link;
}

QStringList run(LinkSearch& search, const QString& keyword) {
    QSignalSpy done(&search, &LinkSearch::finished);
    search.huoquindex(keyword);
    if (!done.wait(15000))
        return {QStringLiteral("<no result>")};
    return done.first().first().toStringList();
}

} // namespace

class TestSearch : public LocalWebTest {
    Q_OBJECT
private Q_SLOTS:
    void addressesOnTheWire();
    void harvestOrderAndDuplicates();
    void answersOutOfOrderKeepThePageOrder();
    void questionPagesAreReadOnceEach();
    void failedPagesYieldNothingButTheSearchGoesOn();
    void nothingFound();
    void newSearchReplacesTheRunningOne();
    void searchReplacedWhileAPageArrives();
    void searchReplacedWhileQuestionPagesAreRead();
    void questionPagesAreFetchedConcurrentlyButBounded();
};

void TestSearch::addressesOnTheWire() {
    LinkSearch search;
    run(search, QStringLiteral("abc"));
    QCOMPARE(web.requestedUrls(kSearch), QStringList({kSearch + QStringLiteral("abc+ed2k"),
                                                      kSearch + QStringLiteral("abc+ed2k")}));

    // A leading blank and a Chinese character: encoded in GBK in the first request, as typed
    // (escaped only where a request line needs it) in the second.
    web.clearLog();
    run(search, QStringLiteral(" a b电"));
    QStringList urls = web.requestedUrls(kSearch);
    urls.sort();
    QStringList expected = {kSearch + QStringLiteral("%20a%20b%B5%E7+ed2k"),
                            kSearch + QStringLiteral("%20a%20b%E7%94%B5+ed2k")};
    expected.sort();
    QCOMPARE(urls, expected);
}

void TestSearch::harvestOrderAndDuplicates() {
    const QString a = ed2kLink(QStringLiteral("%E7%94%B5%E5%BD%B1.rmvb"));
    const QString b = ed2kLink(QStringLiteral("The.Film.mkv"), "4700000000");
    const QString q1 = ed2kLink(QStringLiteral("问题一.avi"), "1", false);
    const QString q2 = ed2kLink(QStringLiteral("question.two.mp4"), "2", false);
    // The search page: two links in attributes, two in one quote-free stretch of answer text,
    // a one-character name, and question links 2 then 1.
    const QString page = attr(a) + attr(b) +
                         QStringLiteral("<p>答案：%1 和 %2 都可以</p>\n").arg(a, b) +
                         attr(ed2kLink(QStringLiteral("x"))) + questionRef(2) + questionRef(1);
    web.routeGbk(kSearch + QStringLiteral("films+ed2k"), page);
    web.routeGbk(kQuestion.arg(1), QStringLiteral("<p>") + q1 + QStringLiteral("/</p>"));
    // Question page 2 repeats a search-page link: it is kept twice, without its slash here.
    web.routeGbk(kQuestion.arg(2),
                 QStringLiteral("<div class=\"a\">%1</div><div class=\"a\">%2</div>").arg(q2, b));
    LinkSearch search;
    const QStringList links = run(search, QStringLiteral("films"));
    const QString bare = b.chopped(1);
    QCOMPARE(links, QStringList({a, b, a + QStringLiteral(" 和 ") + b, q2, bare, q1}));
    // Beside each link, the page it was read from.
    const QString s = kSearch + QStringLiteral("films+ed2k");
    QCOMPARE(search.linkSources(),
             QStringList({s, s, s, kQuestion.arg(2), kQuestion.arg(2), kQuestion.arg(1)}));

    // The sources belong to the search that found the links: a new search, or a search
    // dropped, leaves none behind.
    search.huoquindex(QStringLiteral("films"));
    QCOMPARE(search.linkSources(), QStringList());
    QCOMPARE(run(search, QStringLiteral("films")), links);
    QCOMPARE(search.linkSources().size(), links.size());
    search.cancel();
    QCOMPARE(search.linkSources(), QStringList());
}

void TestSearch::answersOutOfOrderKeepThePageOrder() {
    const QString e = ed2kLink(QStringLiteral("twice.avi"));
    const QString upper = ed2kLink(QStringLiteral("upper.avi"));
    const QString lower = ed2kLink(QStringLiteral("lower.avi"));
    // The search page's own links arrive last: one link twice in attributes, and two links on
    // consecutive lines of answer text, which make one name run across the line break.
    web.routeGbk(kSearch + QStringLiteral("%BC%D7+ed2k"),
                 attr(e) + attr(e) + QStringLiteral("<p>%1\n%2</p>").arg(upper, lower), 900);
    // The question pages answer in the reverse of their order on the page.
    web.routeGbk(kSearch + QStringLiteral("%E7%94%B2+ed2k"),
                 questionRef(1) + questionRef(2) + questionRef(3));
    QStringList questions;
    for (int n = 1; n <= 3; ++n) {
        questions << ed2kLink(QStringLiteral("q%1.avi").arg(n), "1", false);
        web.routeGbk(kQuestion.arg(n), QStringLiteral("<p>%1</p>").arg(questions.last()),
                     600 - 250 * (n - 1));
    }
    LinkSearch search;
    QCOMPARE(run(search, QStringLiteral("甲")),
             QStringList({e, e, upper + QStringLiteral("\n") + lower}) + questions);
}

void TestSearch::questionPagesAreReadOnceEach() {
    // Eight distinct question pages, one named three times, and more pages than are read at once.
    QString page;
    for (int n = 1; n <= 8; ++n)
        page += questionRef(n);
    page += questionRef(3) + questionRef(3);
    web.routeGbk(kSearch + QStringLiteral("many+ed2k"), page);
    QStringList expected;
    for (int n = 1; n <= 8; ++n) {
        const QString l = ed2kLink(QStringLiteral("page%1.avi").arg(n), "5", false);
        web.routeGbk(kQuestion.arg(n), QStringLiteral("<p>%1</p>").arg(l));
        expected << l;
    }
    LinkSearch search;
    QCOMPARE(run(search, QStringLiteral("many")), expected);
    QCOMPARE(web.requestedUrls(kQuestion.arg(3)).size(), 1);
    QCOMPARE(web.requestedUrls(QStringLiteral("http://zhidao.baidu.com/question/")).size(), 8);

    // The same search again with other keywords (as the portal does): each has only its own
    // pages and links, whichever of its two search pages comes last.
    const QString e1 = ed2kLink(QStringLiteral("e1.avi"));
    const QString q9 = ed2kLink(QStringLiteral("q9.avi"), "9", false);
    web.routeGbk(kSearch + QStringLiteral("%BC%D7+ed2k"), attr(e1), 800);
    web.routeGbk(kSearch + QStringLiteral("%E7%94%B2+ed2k"), questionRef(9));
    web.routeGbk(kQuestion.arg(9), q9);
    web.clearLog();
    QCOMPARE(run(search, QStringLiteral("甲")), QStringList({e1, q9}));
    QCOMPARE(web.requestedUrls(QStringLiteral("http://zhidao.baidu.com/question/")),
             QStringList({kQuestion.arg(9)}));
    const QString e2 = ed2kLink(QStringLiteral("e2.avi"));
    const QString q10 = ed2kLink(QStringLiteral("q10.avi"), "10", false);
    web.routeGbk(kSearch + QStringLiteral("%D2%D2+ed2k"), attr(e2));
    web.routeGbk(kSearch + QStringLiteral("%E4%B9%99+ed2k"), questionRef(10), 800);
    web.routeGbk(kQuestion.arg(10), q10);
    QCOMPARE(run(search, QStringLiteral("乙")), QStringList({e2, q10}));
}

void TestSearch::failedPagesYieldNothingButTheSearchGoesOn() {
    // First request fine, second (as typed) fails: the first pass's links are still listed and
    // no question page is read.
    const QString a = ed2kLink(QStringLiteral("kept.avi"));
    web.routeGbk(kSearch + QStringLiteral("%B5%E7+ed2k"), attr(a) + questionRef(7));
    web.route(kSearch + QStringLiteral("%E7%94%B5+ed2k"), QByteArray(), 500);
    LinkSearch search;
    QCOMPARE(run(search, QStringLiteral("电")), QStringList({a}));
    QVERIFY(web.requestedUrls(kQuestion.arg(7)).isEmpty());
    // The search page's links come from the first request, the one with the keyword encoded.
    QCOMPARE(search.linkSources(), QStringList({kSearch + QStringLiteral("%B5%E7+ed2k")}));

    // A question page that fails or is empty gives nothing; the next one still counts.
    const QString b = ed2kLink(QStringLiteral("second.avi"), "9", false);
    web.routeGbk(kSearch + QStringLiteral("qs+ed2k"),
                 questionRef(1) + questionRef(2) + questionRef(3));
    web.route(kQuestion.arg(1), QByteArray(), 200);
    web.route(kQuestion.arg(2), QByteArray("<html>not found</html>"), 404);
    web.routeGbk(kQuestion.arg(3), QStringLiteral("<p>%1</p>").arg(b));
    QCOMPARE(run(search, QStringLiteral("qs")), QStringList({b}));
    QCOMPARE(search.linkSources(), QStringList({kQuestion.arg(3)}));
}

void TestSearch::nothingFound() {
    web.routeGbk(kSearch + QStringLiteral("zzz+ed2k"), QStringLiteral("<html>没有找到</html>"));
    LinkSearch search;
    QCOMPARE(run(search, QStringLiteral("zzz")), QStringList());
    QVERIFY(!search.running());
    QCOMPARE(search.linkSources(), QStringList());
}

void TestSearch::newSearchReplacesTheRunningOne() {
    const QString b = serveNewSearch(web);
    web.routeGbk(kSearch + QStringLiteral("old+ed2k"),
                 attr(ed2kLink(QStringLiteral("old.avi"))) + questionRef(11));
    web.routeGbk(kQuestion.arg(11), ed2kLink(QStringLiteral("oldq.avi"), "1", false));
    LinkSearch search;
    QSignalSpy done(&search, &LinkSearch::finished);
    search.huoquindex(QStringLiteral("old"));
    search.huoquindex(QStringLiteral("new"));
    QVERIFY(done.wait(15000));
    QCOMPARE(done.size(), 1);
    QCOMPARE(done.first().first().toStringList(), QStringList({b}));
    // Whatever of the old search was already under way has ended, and reported nothing.
    QTRY_COMPARE(webkit::Fetcher::instance().running(), 0);
    QCOMPARE(done.size(), 1);
    QVERIFY(!search.running());

    // A search that goes away leaves no request running.
    {
        LinkSearch gone;
        gone.huoquindex(QStringLiteral("old"));
        QVERIFY(webkit::Fetcher::instance().running() > 0);
    }
    QCOMPARE(webkit::Fetcher::instance().running(), 0);
}

void TestSearch::searchReplacedWhileAPageArrives() {
    // The old search's page as typed arrives first and names a question page; the new search
    // is started from the signal that announces that arrival, before the page is handed on.
    // Nothing of the old page may reach the new search.
    const QString b = serveNewSearch(web);
    web.routeGbk(kSearch + QStringLiteral("%BE%C9+ed2k"), attr(ed2kLink(QStringLiteral("old.avi"))),
                 2000);
    web.routeGbk(kSearch + QStringLiteral("%E6%97%A7+ed2k"), questionRef(21));
    web.routeGbk(kQuestion.arg(21), ed2kLink(QStringLiteral("oldq.avi"), "1", false));
    LinkSearch search;
    QSignalSpy done(&search, &LinkSearch::finished);
    bool replaced = false;
    const auto replace =
        connect(&webkit::Fetcher::instance(), &webkit::Fetcher::arrived, &search, [&] {
            if (!std::exchange(replaced, true))
                search.huoquindex(QStringLiteral("new"));
        });
    search.huoquindex(QStringLiteral("旧"));
    QVERIFY(done.wait(15000));
    disconnect(replace);
    QVERIFY(replaced);
    QCOMPARE(done.first().first().toStringList(), QStringList({b}));
    QTRY_COMPARE(webkit::Fetcher::instance().running(), 0);
    QCOMPARE(done.size(), 1);
    QVERIFY(web.requestedUrls(kQuestion.arg(21)).isEmpty());
}

void TestSearch::searchReplacedWhileQuestionPagesAreRead() {
    const QString b = serveNewSearch(web);
    web.routeGbk(kSearch + QStringLiteral("slowq+ed2k"), questionRef(31));
    web.routeGbk(kQuestion.arg(31), ed2kLink(QStringLiteral("q31.avi"), "1", false), 3000);
    LinkSearch search;
    QSignalSpy done(&search, &LinkSearch::finished);
    search.huoquindex(QStringLiteral("slowq"));
    QTRY_COMPARE(search.questionPagesInFlight(), 1);
    QCOMPARE(run(search, QStringLiteral("new")), QStringList({b}));
    QCOMPARE(done.size(), 1);
}

void TestSearch::questionPagesAreFetchedConcurrentlyButBounded() {
    LocalWeb slow;
    QVERIFY(slow.start({QStringLiteral("--latency-ms"), QStringLiteral("150")}));
    slow.useAsProxy();
    QString page;
    for (int n = 1; n <= 14; ++n)
        page += questionRef(n);
    slow.routeGbk(kSearch + QStringLiteral("slow+ed2k"), page);
    int peak = 0;
    LinkSearch search;
    QTimer probe;
    connect(&probe, &QTimer::timeout,
            [&] { peak = std::max(peak, search.questionPagesInFlight()); });
    probe.start(5);
    run(search, QStringLiteral("slow"));
    web.useAsProxy();
    QCOMPARE(slow.requestedUrls(QStringLiteral("http://zhidao.baidu.com/question/")).size(), 14);
    QVERIFY2(peak <= 6, qPrintable(QString::number(peak)));
    QVERIFY2(peak >= 3, qPrintable(QString::number(peak)));
}

QTEST_GUILESS_MAIN(TestSearch)
#include "test_search.moc"
