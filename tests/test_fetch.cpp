// The toolkit's HTTP fetch against the local stand-in web: bodies in their charsets, failures,
// limits and the exact request target on the wire.
#include "support/localweb.h"
#include "vendor/hosts.h"
#include "webkit/fetch.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <optional>

using namespace webkit;

namespace {

// Collects one GetResponse result.
struct Result {
    std::optional<QString> text;
    bool ready() const { return text.has_value(); }
};

std::shared_ptr<Result> fetch(const QString& url, const QString& charset,
                              QObject* context = nullptr) {
    auto r = std::make_shared<Result>();
    GetResponse(url, charset, context, [r](const QString& t) { r->text = t; });
    return r;
}

// Fetches every address at once and waits up to `timeoutMs` for all of them; their texts in the
// order of the addresses, or none when some did not end in time.
std::optional<QStringList> fetchAll(const QStringList& urls, const QString& charset,
                                    int timeoutMs) {
    QList<std::shared_ptr<Result>> results;
    for (const QString& url : urls)
        results << fetch(url, charset);
    const auto allReady = [&] {
        return std::all_of(results.cbegin(), results.cend(),
                           [](const auto& r) { return r->ready(); });
    };
    if (!QTest::qWaitFor(allReady, timeoutMs))
        return std::nullopt;
    QStringList texts;
    for (const auto& r : results)
        texts << *r->text;
    return texts;
}

// Changes the fetch limits for the case at hand; init() sets them back.
void changeLimits(const std::function<void(FetchLimits&)>& change) {
    FetchLimits limits = Fetcher::instance().limits();
    change(limits);
    Fetcher::instance().setLimits(limits);
}

} // namespace

class TestFetch : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void bodiesInTheirCharsets();
    void errorStatusGivesItsBody();
    void emptyAndUnknownGiveEmptyText();
    void transportFailuresEndWithEmptyText();
    void stalledServerTimesOut();
    void wholeFetchTimesOut();
    void bodyLimit();
    void redirects();
    void requestTargetGoesOutAsBuilt();
    void asksAsABrowserDoes();
    void manyAtOnceWithoutBlocking();
    void cancelAndContext();
    void fetchThatCannotStart();
    void utf8BodiesAndContext();
    void pagesArriveAsUtf8();

private:
    LocalWeb web;
    const QString site = QStringLiteral("http://" CORVALE_PORTAL_HOST);
};

void TestFetch::initTestCase() {
    QVERIFY(web.start());
    web.useAsProxy();
}

void TestFetch::init() {
    FetchLimits limits;
    limits.stallTimeoutS = 2;
    limits.connectTimeoutMs = 3000;
    Fetcher::instance().setLimits(limits);
}

void TestFetch::bodiesInTheirCharsets() {
    const QString chinese = QStringLiteral("<html><body>变形金刚 中文页面 ed2k</body></html>");
    web.routeGbk(site + QStringLiteral("/gbk.html"), chinese);
    web.route(site + QStringLiteral("/utf8.html"), chinese.toUtf8());
    web.route(site + QStringLiteral("/bom.html"), QByteArray("\xEF\xBB\xBF") + chinese.toUtf8());

    auto gbk = fetch(site + QStringLiteral("/gbk.html"), QStringLiteral("gbk"));
    auto utf8 = fetch(site + QStringLiteral("/utf8.html"), QStringLiteral("utf-8"));
    auto bom = fetch(site + QStringLiteral("/bom.html"), QStringLiteral("utf-8"));
    // GBK bytes read as UTF-8 are not the page: the charset really is applied.
    auto wrong = fetch(site + QStringLiteral("/gbk.html"), QStringLiteral("utf-8"));
    QTRY_VERIFY(gbk->ready() && utf8->ready() && bom->ready() && wrong->ready());
    QCOMPARE(*gbk->text, chinese);
    QCOMPARE(*utf8->text, chinese);
    QCOMPARE(*bom->text, chinese);
    QVERIFY(!wrong->text->isEmpty());
    QVERIFY(*wrong->text != chinese);
}

void TestFetch::errorStatusGivesItsBody() {
    auto r = fetch(site + QStringLiteral("/__fault/status/404"), QStringLiteral("gbk"));
    QTRY_VERIFY(r->ready());
    QVERIFY2(r->text->contains(QStringLiteral("error 404")), qPrintable(*r->text));
    auto five = fetch(site + QStringLiteral("/__fault/status/500"), QStringLiteral("gbk"));
    QTRY_VERIFY(five->ready());
    QVERIFY(five->text->contains(QStringLiteral("error 500")));
}

void TestFetch::emptyAndUnknownGiveEmptyText() {
    web.route(site + QStringLiteral("/page.txt"), "some text");
    auto empty = fetch(site + QStringLiteral("/__fault/empty"), QStringLiteral("gbk"));
    auto unknown = fetch(site + QStringLiteral("/page.txt"), QStringLiteral("no-such-charset"));
    auto nameless = fetch(site + QStringLiteral("/page.txt"), QString());
    auto known = fetch(site + QStringLiteral("/page.txt"), QStringLiteral("gbk"));
    QTRY_VERIFY(empty->ready() && unknown->ready() && nameless->ready() && known->ready());
    QCOMPARE(*empty->text, QString());
    QCOMPARE(*unknown->text, QString());
    QCOMPARE(*nameless->text, QString());
    QCOMPARE(*known->text, QStringLiteral("some text"));
}

void TestFetch::transportFailuresEndWithEmptyText() {
    // Refused: a loopback port nobody listens on (loopback bypasses the proxy).
    auto refused = fetch(QStringLiteral("http://127.0.0.1:9/"), QStringLiteral("gbk"));
    auto reset = fetch(site + QStringLiteral("/__fault/reset"), QStringLiteral("gbk"));
    auto malformed = fetch(QStringLiteral("not a url at all"), QStringLiteral("gbk"));
    auto scheme = fetch(QStringLiteral("file:///etc/passwd"), QStringLiteral("gbk"));
    // Even a fetch that cannot start reports later, never inside the call.
    auto empty = fetch(QString(), QStringLiteral("gbk"));
    QVERIFY(!empty->ready());
    QTRY_VERIFY_WITH_TIMEOUT(refused->ready() && reset->ready() && malformed->ready() &&
                                 scheme->ready() && empty->ready(),
                             10000);
    for (const auto& r : {refused, reset, malformed, scheme, empty})
        QCOMPARE(*r->text, QString());
}

void TestFetch::stalledServerTimesOut() {
    QElapsedTimer clock;
    clock.start();
    auto r = fetch(site + QStringLiteral("/__fault/stall"), QStringLiteral("gbk"));
    QTRY_VERIFY_WITH_TIMEOUT(r->ready(), 15000);
    QCOMPARE(*r->text, QString());
    // It ended because of the stall limit (2 s here), not anything sooner.
    QVERIFY(clock.elapsed() >= 1500);
}

void TestFetch::wholeFetchTimesOut() {
    // A server that answers only after 4 s, with every other bound far away: the limit on the
    // whole fetch ends it.
    changeLimits([](FetchLimits& limits) {
        limits.stallTimeoutS = 60;
        limits.totalTimeoutMs = 1000;
    });
    web.route(site + QStringLiteral("/late.txt"), "late", 200, QStringLiteral("raw"), 4000);
    auto r = fetch(site + QStringLiteral("/late.txt"), QStringLiteral("gbk"));
    QTRY_VERIFY_WITH_TIMEOUT(r->ready(), 15000);
    QCOMPARE(*r->text, QString());
}

void TestFetch::bodyLimit() {
    changeLimits([](FetchLimits& limits) { limits.maxBodyBytes = 1000000; });
    const QString big = site + QStringLiteral("/__fault/big/");
    // A body exactly at the cap is whole; one byte more gives nothing.
    const auto texts = fetchAll({big + QStringLiteral("1000000"), big + QStringLiteral("1000001"),
                                 big + QStringLiteral("3000000")},
                                QStringLiteral("utf-8"), 15000);
    QVERIFY(texts);
    QCOMPARE(texts->at(0).size(), 1000000);
    QCOMPARE(texts->mid(1), QStringList({QString(), QString()}));
    // The same without a length announced: the cap holds as the body comes.
    const QString chunked = site + QStringLiteral("/__fault/big-chunked/");
    const auto chunkedTexts =
        fetchAll({chunked + QStringLiteral("1000000"), chunked + QStringLiteral("1000001")},
                 QStringLiteral("utf-8"), 15000);
    QVERIFY(chunkedTexts);
    QCOMPARE(chunkedTexts->at(0).size(), 1000000);
    QCOMPARE(chunkedTexts->at(1), QString());
    // The default limit is 32 MiB.
    QCOMPARE(FetchLimits().maxBodyBytes, 32ll << 20);
}

void TestFetch::redirects() {
    changeLimits([](FetchLimits& limits) { limits.maxRedirects = 3; });
    // As many redirects as allowed are followed; one more ends the fetch.
    const auto texts = fetchAll({site + QStringLiteral("/__fault/redirect/3"),
                                 site + QStringLiteral("/__fault/redirect/4"),
                                 site + QStringLiteral("/__fault/redirect-loop")},
                                QStringLiteral("gbk"), 10000);
    QVERIFY(texts);
    QCOMPARE(*texts, QStringList({QStringLiteral("arrived"), QString(), QString()}));
}

void TestFetch::requestTargetGoesOutAsBuilt() {
    web.clearLog();
    const QString api = QStringLiteral("http://" CORVALE_API_HOST
                                       "/playapi.php?method=high&u=ed%32k%3A%2F%2F%7Cfile");
    const QString typed = QStringLiteral("http://zhidao.baidu.com/search?&word=a b变+ed2k");
    auto a = fetch(api, QStringLiteral("utf-8"));
    auto b = fetch(typed, QStringLiteral("gbk"));
    QTRY_VERIFY(a->ready() && b->ready());
    const QStringList urls = web.requestedUrls();
    QVERIFY2(urls.contains(api), qPrintable(urls.join(QLatin1Char('\n'))));
    QVERIFY2(
        urls.contains(QStringLiteral("http://zhidao.baidu.com/search?&word=a%20b%E5%8F%98+ed2k")),
        qPrintable(urls.join(QLatin1Char('\n'))));
    QCOMPARE(requestTarget(QStringLiteral("a|b%7C\x01\x7F")), QByteArray("a|b%7C%01%7F"));
    // Everything from "!" to "~" stands as it is; the blank below and DEL above are escaped.
    QCOMPARE(requestTarget(QStringLiteral(" !~\x7F")), QByteArray("%20!~%7F"));
    // Every byte of a character beyond ASCII, 0x80 included.
    QCOMPARE(requestTarget(QStringLiteral("一")), QByteArray("%E4%B8%80"));

    // Dot segments and doubled slashes stay in the path.
    web.clearLog();
    const QString dots = QStringLiteral("http://" CORVALE_PORTAL_HOST "/a/./b/../c//d/..");
    auto c = fetch(dots, QStringLiteral("gbk"));
    QTRY_VERIFY(c->ready());
    QCOMPARE(web.requestedUrls(), QStringList{dots});
}

void TestFetch::asksAsABrowserDoes() {
    // Some sites answer other programs differently: the request names a browser's agent and
    // takes compressed bodies.
    web.route(site + QStringLiteral("/agent.txt"), "x");
    web.clearLog();
    auto r = fetch(site + QStringLiteral("/agent.txt"), QStringLiteral("gbk"));
    QTRY_VERIFY(r->ready());
    const QList<QJsonObject> requests = web.requests();
    QCOMPARE(requests.size(), 1);
    const QJsonObject headers = requests[0].value(QStringLiteral("headers")).toObject();
    QVERIFY2(headers.value(QStringLiteral("User-Agent"))
                 .toString()
                 .startsWith(QStringLiteral("Mozilla/5.0 (X11; Linux")),
             qPrintable(QJsonDocument(headers).toJson()));
    QVERIFY2(headers.value(QStringLiteral("Accept-Encoding"))
                 .toString()
                 .contains(QStringLiteral("gzip")),
             qPrintable(QJsonDocument(headers).toJson()));

    // Nothing else: never a Referer or a cookie, not even after a redirect whose answer set one.
    web.clearLog();
    auto d = fetch(QStringLiteral("http://" CORVALE_PORTAL_HOST "/__fault/redirect/1"),
                   QStringLiteral("gbk"));
    QTRY_VERIFY(d->ready());
    QCOMPARE(*d->text, QStringLiteral("arrived"));
    const QList<QJsonObject> sent = web.requests();
    QCOMPARE(sent.size(), 2);
    for (const QJsonObject& request : sent) {
        QStringList names = request.value(QStringLiteral("headers")).toObject().keys();
        for (QString& n : names)
            n = n.toLower();
        QVERIFY2(names.contains(QStringLiteral("user-agent")), qPrintable(names.join(' ')));
        QVERIFY2(!names.contains(QStringLiteral("referer")), qPrintable(names.join(' ')));
        QVERIFY2(!names.contains(QStringLiteral("cookie")), qPrintable(names.join(' ')));
    }
}

void TestFetch::manyAtOnceWithoutBlocking() {
    // A stalled fetch is under way while others finish and timers keep firing.
    auto stalled = fetch(site + QStringLiteral("/__fault/stall"), QStringLiteral("gbk"));
    QList<std::shared_ptr<Result>> pages;
    for (int i = 0; i < 20; ++i) {
        web.route(site + QStringLiteral("/p%1.txt").arg(i), QByteArray::number(i));
        pages << fetch(site + QStringLiteral("/p%1.txt").arg(i), QStringLiteral("gbk"));
    }
    int ticks = 0;
    QTimer tick;
    connect(&tick, &QTimer::timeout, [&] { ++ticks; });
    tick.start(10);
    QTRY_VERIFY(std::all_of(pages.begin(), pages.end(), [](auto& p) { return p->ready(); }));
    for (int i = 0; i < 20; ++i)
        QCOMPARE(*pages[i]->text, QString::number(i));
    QVERIFY(!stalled->ready());
    QTRY_VERIFY(ticks >= 5);
    QTRY_VERIFY_WITH_TIMEOUT(stalled->ready(), 15000);
}

void TestFetch::cancelAndContext() {
    web.route(site + QStringLiteral("/c.txt"), "c");
    QSignalSpy arrived(&Fetcher::instance(), &Fetcher::arrived);
    bool called = false;
    const quint64 id = GetResponse(site + QStringLiteral("/c.txt"), QStringLiteral("gbk"), nullptr,
                                   [&](const QString&) { called = true; });
    Fetcher::instance().cancel(id);
    Fetcher::instance().cancel(id); // twice is harmless
    auto* context = new QObject;
    bool contextCalled = false;
    const quint64 orphan = GetResponse(site + QStringLiteral("/c.txt"), QStringLiteral("gbk"),
                                       context, [&](const QString&) { contextCalled = true; });
    delete context;
    // A later fetch finishing proves the earlier ones had their chance.
    auto later = fetch(site + QStringLiteral("/c.txt"), QStringLiteral("gbk"));
    QTRY_VERIFY(later->ready());
    QTRY_COMPARE(Fetcher::instance().running(), 0);
    QVERIFY(!called);
    QVERIFY(!contextCalled);
    // Every fetch that was not cancelled is announced as it ends, its callback's fate aside.
    QList<quint64> ended;
    for (const QList<QVariant>& a : arrived) {
        QVERIFY(a[1].toBool());
        ended << a[0].toULongLong();
    }
    QCOMPARE(ended.size(), 2);
    QVERIFY(!ended.contains(id));
    QVERIFY(ended.contains(orphan));
}

void TestFetch::fetchThatCannotStart() {
    // libcurl refuses an address of more than 8 MB: the fetch cannot start. It still reports
    // later, as a failure, and can be cancelled before that like any other.
    const QString huge = site + QLatin1Char('/') + QString(9'000'000, QLatin1Char('a'));
    QSignalSpy arrived(&Fetcher::instance(), &Fetcher::arrived);
    auto refused = fetch(huge, QStringLiteral("gbk"));
    QVERIFY(!refused->ready());
    bool called = false;
    const quint64 cancelled =
        GetResponse(huge, QStringLiteral("gbk"), nullptr, [&](const QString&) { called = true; });
    Fetcher::instance().cancel(cancelled);
    QTRY_VERIFY(refused->ready());
    QCOMPARE(*refused->text, QString());
    QTRY_COMPARE(Fetcher::instance().running(), 0);
    QVERIFY(!called);
    QCOMPARE(arrived.size(), 1);
    QCOMPARE(arrived[0][1].toBool(), false);
    QVERIFY(arrived[0][0].toULongLong() != cancelled);
}

void TestFetch::utf8BodiesAndContext() {
    // The same fetch, with the body left in UTF-8: nothing once its context is gone.
    const QString chinese = QStringLiteral("变形金刚");
    web.routeGbk(site + QStringLiteral("/u8.html"), chinese);
    std::optional<QByteArray> kept;
    bool orphanCalled = false;
    auto* context = new QObject;
    GetResponseUtf8(site + QStringLiteral("/u8.html"), QStringLiteral("gbk"), nullptr,
                    [&](const QByteArray& body) { kept = body; });
    GetResponseUtf8(site + QStringLiteral("/u8.html"), QStringLiteral("gbk"), context,
                    [&](const QByteArray&) { orphanCalled = true; });
    delete context;
    QTRY_VERIFY(kept.has_value());
    QTRY_COMPARE(Fetcher::instance().running(), 0);
    QCOMPARE(*kept, chinese.toUtf8());
    QVERIFY(!orphanCalled);
}

void TestFetch::pagesArriveAsUtf8() {
    const QString url = site + QStringLiteral("/utf8/page");
    web.routeGbk(url, QStringLiteral("<p>电影 ed2k</p>"));
    std::optional<QByteArray> page;
    GetResponseUtf8(url, QStringLiteral("gbk"), nullptr, [&](const QByteArray& p) { page = p; });
    QTRY_VERIFY_WITH_TIMEOUT(page.has_value(), 30000);
    QCOMPARE(QString::fromUtf8(*page), QStringLiteral("<p>电影 ed2k</p>"));
}

QTEST_GUILESS_MAIN(TestFetch)
#include "test_fetch.moc"
