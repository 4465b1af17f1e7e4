// Play-address resolution against the play API served by localweb: the request on the wire and
// what is taken from the reply.
#include "player/playresolver.h"
#include "support/columns.h"
#include "support/localwebtest.h"
#include "vendor/hosts.h"
#include "webkit/fetch.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

using namespace lumetta;

namespace {

struct Outcome {
    bool resolved = false;
    QString playAddress;
    QString requestAddress;
};

// Resolves one link and waits for the answer.
Outcome resolve(const QString& link) {
    PlayResolver resolver;
    QSignalSpy ok(&resolver, &PlayResolver::resolved);
    QSignalSpy failed(&resolver, &PlayResolver::failed);
    resolver.dqbfdz(link);
    [&] { QTRY_VERIFY_WITH_TIMEOUT(ok.size() + failed.size() > 0, 20000); }();
    // Exactly one answer per call.
    if (ok.size() + failed.size() != 1 || resolver.busy())
        return {false, QStringLiteral("<answered %1 times>").arg(ok.size() + failed.size()), {}};
    if (!ok.isEmpty())
        return {true, ok[0][0].toString(), ok[0][1].toString()};
    return {false, QString(), failed[0][0].toString()};
}

} // namespace

class TestPlayerResolver : public LocalWebTest {
    Q_OBJECT
private Q_SLOTS:
    void requestAddressOnTheWire_data();
    void requestAddressOnTheWire();
    void playApiAnswers();
    void playAddressInReply_data();
    void playAddressInReply();
    void statusIsNotExamined();
    void failedFetch();
    void manyAtOnce();
    void bootstrapPage();
};

void TestPlayerResolver::requestAddressOnTheWire_data() {
    addColumns<QString, QString>({"link", "encoded"});
    // Digits, "|", ":", "/" and "." are all escaped; only letters pass.
    QTest::newRow("ed2k link") << QStringLiteral("ed2k://|file|a.avi|1|ABC|/")
                               << QStringLiteral(
                                      "ed%32k%3A%2F%2F%7Cfile%7Ca%2Eavi%7C%31%7CABC%7C%2F");
    QTest::newRow("Chinese name in GBK, blank, hyphen")
        << QStringLiteral("电影 x-1") << QStringLiteral("%B5%E7%D3%B0%20x%2D%31");
    QTest::newRow("characters with a meaning in addresses")
        << QStringLiteral("a&b=c?d#e%f+g") << QStringLiteral("a%26b%3Dc%3Fd%23e%25f%2Bg");
    QTest::newRow("QD") << QStringLiteral("QD") << QStringLiteral("QD");
}

void TestPlayerResolver::requestAddressOnTheWire() {
    QFETCH(QString, link);
    QFETCH(QString, encoded);
    const QString expected =
        QStringLiteral("http://" CORVALE_API_HOST "/playapi.php?method=high&u=") + encoded;
    QCOMPARE(PlayResolver::requestAddress(link), expected);

    const Outcome outcome = resolve(link);
    QCOMPARE(outcome.requestAddress, expected);
    // The request reached the API exactly as built, and it was a GET.
    const QList<QJsonObject> requests = web.requests();
    QCOMPARE(requests.size(), 1);
    QCOMPARE(requests[0].value(QStringLiteral("url")).toString(), expected);
    QCOMPARE(requests[0].value(QStringLiteral("method")).toString(), QStringLiteral("GET"));
}

void TestPlayerResolver::playApiAnswers() {
    // The stand-in API answers a well-formed eD2k link with one play address of its own form.
    const QString link = QStringLiteral("ed2k://|file|Big Buck Bunny.webm|47442|"
                                        "0123456789ABCDEF0123456789ABCDEF|/");
    const Outcome good = resolve(link);
    QVERIFY(good.resolved);
    QCOMPARE(good.playAddress, QStringLiteral("http://" CORVALE_PLAY_HOST
                                              "/high.php?v=0123456789abcdef0123456789abcdef"));
    QCOMPARE(good.requestAddress, PlayResolver::requestAddress(link));

    // Anything else gets an error reply without an address.
    const Outcome bad = resolve(QStringLiteral("ed2k://|file|no size|ABC|/"));
    QVERIFY(!bad.resolved);
    QVERIFY(bad.playAddress.isEmpty());
    QCOMPARE(bad.requestAddress,
             PlayResolver::requestAddress(QStringLiteral("ed2k://|file|no size|ABC|/")));
}

void TestPlayerResolver::playAddressInReply_data() {
    addColumns<QByteArray, QString>({"reply", "play"});

    QTest::newRow("among other text")
        << QByteArray("{\"code\":0,\"url\":\"http://" CORVALE_PLAY_HOST
                      "/high.php?k=a1b2\",\"t\":1}")
        << QStringLiteral("http://" CORVALE_PLAY_HOST "/high.php?k=a1b2");
    QTest::newRow("first of two") << QByteArray("see http://one.play.test/high.php?v=first and "
                                                "http://two.play.test/high.php?v=second")
                                  << QStringLiteral("http://one.play.test/high.php?v=first");
    QTest::newRow("value cut at a hyphen")
        << QByteArray("http://" CORVALE_PLAY_HOST "/high.php?u=abc-def&x=1")
        << QStringLiteral("http://" CORVALE_PLAY_HOST "/high.php?u=abc");
    QTest::newRow("any extension, underscore")
        << QByteArray("<a href=\"http://v_1.m.t/high.asp?v=A_b9\">")
        << QStringLiteral("http://v_1.m.t/high.asp?v=A_b9");
    QTest::newRow("Chinese text around it")
        << QByteArray("播放地址：http://" CORVALE_PLAY_HOST "/high.php?v=abc，请稍候")
        << QStringLiteral("http://" CORVALE_PLAY_HOST "/high.php?v=abc");
    QTest::newRow("unfit address first, fit one later")
        << QByteArray("http://a.b.c.d/high.php?v=1 http://x.y.z/high.php?v=2")
        << QStringLiteral("http://x.y.z/high.php?v=2");

    QTest::newRow("two-letter key")
        << QByteArray("http://" CORVALE_PLAY_HOST "/high.php?id=5") << QString();
    QTest::newRow("four labels") << QByteArray("http://a." CORVALE_PLAY_HOST "/high.php?v=5")
                                 << QString();
    QTest::newRow("two labels") << QByteArray("http://play.test/high.php?v=5") << QString();
    QTest::newRow("hyphen in host")
        << QByteArray("http://vod.mira-vend.test/high.php?v=5") << QString();
    QTest::newRow("port") << QByteArray("http://" CORVALE_PLAY_HOST ":80/high.php?v=5")
                          << QString();
    QTest::newRow("https") << QByteArray("https://" CORVALE_PLAY_HOST "/high.php?v=5") << QString();
    QTest::newRow("scheme in capitals")
        << QByteArray("HTTP://" CORVALE_PLAY_HOST "/high.php?v=5") << QString();
    QTest::newRow("path in capitals")
        << QByteArray("http://" CORVALE_PLAY_HOST "/High.php?v=5") << QString();
    QTest::newRow("deeper path") << QByteArray("http://" CORVALE_PLAY_HOST "/x/high.php?v=5")
                                 << QString();
    QTest::newRow("empty value") << QByteArray("http://" CORVALE_PLAY_HOST "/high.php?v=")
                                 << QString();
    QTest::newRow("escaped slashes")
        << QByteArray("http:\\/\\/" CORVALE_PLAY_HOST "\\/high.php?v=5") << QString();
    QTest::newRow("empty reply") << QByteArray() << QString();
}

void TestPlayerResolver::playAddressInReply() {
    QFETCH(QByteArray, reply);
    QFETCH(QString, play);
    const QString link = QStringLiteral("ed2k://|file|crafted.avi|1|ABC|/");
    web.route(PlayResolver::requestAddress(link), reply);
    const Outcome outcome = resolve(link);
    QCOMPARE(outcome.resolved, !play.isEmpty());
    QCOMPARE(outcome.playAddress, play);
    QCOMPARE(outcome.requestAddress, PlayResolver::requestAddress(link));
    // Nothing but the one API request went out.
    QCOMPARE(web.requestedUrls(), QStringList{PlayResolver::requestAddress(link)});
}

void TestPlayerResolver::statusIsNotExamined() {
    // Only the body counts: an error status with an address in its body still resolves.
    const QString link = QStringLiteral("status-test");
    web.route(PlayResolver::requestAddress(link), "http://" CORVALE_PLAY_HOST "/high.php?v=x1",
              500);
    const Outcome outcome = resolve(link);
    QVERIFY(outcome.resolved);
    QCOMPARE(outcome.playAddress, QStringLiteral("http://" CORVALE_PLAY_HOST "/high.php?v=x1"));
}

void TestPlayerResolver::failedFetch() {
    // Nobody listens on the proxy's port: the fetch fails and the link is not resolved.
    const QByteArray saved = qgetenv("http_proxy");
    qputenv("http_proxy", "http://127.0.0.1:1");
    const Outcome outcome = resolve(QStringLiteral("ed2k://|file|a.avi|1|ABC|/"));
    qputenv("http_proxy", saved);
    QVERIFY(!outcome.resolved);
    QCOMPARE(outcome.requestAddress,
             PlayResolver::requestAddress(QStringLiteral("ed2k://|file|a.avi|1|ABC|/")));
    QVERIFY(web.requestedUrls().isEmpty());
}

void TestPlayerResolver::manyAtOnce() {
    // Each call gets its own answer, with its own request address.
    PlayResolver resolver;
    QSignalSpy ok(&resolver, &PlayResolver::resolved);
    QSignalSpy failed(&resolver, &PlayResolver::failed);
    for (int i = 0; i < 3; ++i) {
        const QString link = QStringLiteral("link-number-%1").arg(i);
        web.route(PlayResolver::requestAddress(link),
                  QStringLiteral("http://" CORVALE_PLAY_HOST "/high.php?v=n%1").arg(i).toUtf8());
        resolver.dqbfdz(link);
    }
    resolver.dqbfdz(QStringLiteral("unrouted"));
    QVERIFY(resolver.busy());
    QTRY_COMPARE_WITH_TIMEOUT(ok.size() + failed.size(), 4, 20000);
    QVERIFY(!resolver.busy());
    QCOMPARE(failed.size(), 1);
    QSet<QString> pairs;
    for (const QList<QVariant>& args : std::as_const(ok))
        pairs << args[0].toString() + QLatin1Char(' ') + args[1].toString();
    QSet<QString> expected;
    for (int i = 0; i < 3; ++i)
        expected << QStringLiteral("http://" CORVALE_PLAY_HOST "/high.php?v=n%1 ").arg(i) +
                        PlayResolver::requestAddress(QStringLiteral("link-number-%1").arg(i));
    QCOMPARE(pairs, expected);

    // A resolver that goes away leaves no request running.
    {
        PlayResolver gone;
        gone.dqbfdz(QStringLiteral("link-number-0"));
        QVERIFY(webkit::Fetcher::instance().running() > 0);
    }
    QCOMPARE(webkit::Fetcher::instance().running(), 0);
}

void TestPlayerResolver::bootstrapPage() {
    const QString play = QStringLiteral("http://" CORVALE_PLAY_HOST "/high.php?v=abc");
    // A request address that tries to end the script element and start one of its own.
    const QString request = QStringLiteral("http://" CORVALE_API_HOST
                                           "/playapi.php?u=</script><script>alert(1)</script>\"'");
    const QString page = refererBootstrapHtml(play, request);

    // One script element, whatever the addresses hold.
    QCOMPARE(page.count(QStringLiteral("<script")), 1);
    QCOMPARE(page.count(QStringLiteral("</script")), 1);
    // Its function is called with one JSON array: the request address, then the play address.
    const QRegularExpression call(QStringLiteral(R"(\}\)\((\[.*\])\);</script>)"));
    const QRegularExpressionMatch m = call.match(page);
    QVERIFY2(m.hasMatch(), qPrintable(page));
    QJsonParseError error;
    const QJsonDocument args = QJsonDocument::fromJson(m.captured(1).toUtf8(), &error);
    QCOMPARE(error.error, QJsonParseError::NoError);
    QCOMPARE(args.array(), QJsonArray({request, play}));
    // The first is taken as the page's own address, the second is where it goes.
    QVERIFY(page.contains(QStringLiteral("history.replaceState(null,\"\",a[0])")));
    QVERIFY(page.contains(QStringLiteral("location.replace(a[1])")));
}

QTEST_GUILESS_MAIN(TestPlayerResolver)
#include "test_player_resolver.moc"
