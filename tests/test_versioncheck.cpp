// The start-up version check, both variants, against version files served by localweb.
#include "support/columns.h"
#include "support/localwebtest.h"
#include "vendor/hosts.h"
#include "webkit/fetch.h"
#include "webkit/versioncheck.h"

#include <QSignalSpy>
#include <QTest>

using namespace webkit;
using Variant = VersionCheck::Variant;

class TestVersionCheck : public LocalWebTest {
    Q_OBJECT
private Q_SLOTS:
    void addresses();
    void flow_data();
    void flow();
    void failedFetches();
    void twoFetchesAnswerDifferently_data();
    void twoFetchesAnswerDifferently();
    void numbers();
    void openable();
};

void TestVersionCheck::addresses() {
    VersionCheck portal(Variant::Portal);
    VersionCheck player(Variant::Player);
    QCOMPARE(portal.versionUrl(), QStringLiteral("http://" CORVALE_PORTAL_HOST "/d.txt"));
    QCOMPARE(portal.downloadUrl(), QStringLiteral("http://" CORVALE_PORTAL_HOST "/up.txt"));
    QCOMPARE(player.versionUrl(), QStringLiteral("http://" CORVALE_PORTAL_HOST "//yun.txt"));
    QCOMPARE(player.downloadUrl(), QStringLiteral("http://" CORVALE_PORTAL_HOST "//yunup.txt"));
}

void TestVersionCheck::flow_data() {
    addColumns<int, QByteArray, bool, int>({"variant", "version", "announced", "versionFetches"});
    for (int v : {int(Variant::Portal), int(Variant::Player)}) {
        const char* name = v == int(Variant::Portal) ? "portal" : "player";
        QTest::addRow("%s 1", name) << v << QByteArray("1") << false << 2;
        QTest::addRow("%s 2", name) << v << QByteArray("2") << true << 2;
        QTest::addRow("%s 0", name) << v << QByteArray("0") << false << 2;
        QTest::addRow("%s -1", name) << v << QByteArray("-1") << false << 2;
        QTest::addRow("%s 99", name) << v << QByteArray("99") << true << 2;
        QTest::addRow("%s 100", name) << v << QByteArray("100") << false << 1;
        QTest::addRow("%s 2 and a line break", name) << v << QByteArray("2\r\n") << false << 1;
        QTest::addRow("%s letters", name) << v << QByteArray("ab") << false << 2;
        QTest::addRow("%s empty", name) << v << QByteArray() << false << 2;
    }
}

void TestVersionCheck::flow() {
    QFETCH(int, variant);
    QFETCH(QByteArray, version);
    QFETCH(bool, announced);
    QFETCH(int, versionFetches);
    VersionCheck check{Variant(variant)};
    web.route(check.versionUrl(), version);
    web.route(check.downloadUrl(), "http://" CORVALE_PORTAL_HOST "/download.html");
    web.clearLog();
    QSignalSpy news(&check, &VersionCheck::newVersion);
    QSignalSpy done(&check, &VersionCheck::finished);
    check.pdup();
    QVERIFY(done.wait(10000));
    // Once finished, the check asks for nothing more and says nothing more.
    QTRY_COMPARE(Fetcher::instance().running(), 0);
    QCOMPARE(done.size(), 1);
    QCOMPARE(news.size(), announced ? 1 : 0);
    if (announced)
        QCOMPARE(news[0][0].toString(),
                 QStringLiteral("http://" CORVALE_PORTAL_HOST "/download.html"));
    // The version file once or twice, then the download file only when announced, in order.
    QStringList expected;
    for (int i = 0; i < versionFetches; ++i)
        expected << check.versionUrl();
    if (announced)
        expected << check.downloadUrl();
    QCOMPARE(web.requestedUrls(QStringLiteral("http://" CORVALE_PORTAL_HOST "/")), expected);
}

void TestVersionCheck::failedFetches() {
    // No answer at all: the empty text passes the length test and is no number.
    VersionCheck check(Variant::Portal);
    web.route(check.versionUrl(), "");
    web.route(check.downloadUrl(), "http://" CORVALE_PORTAL_HOST "/download.html");
    QSignalSpy news(&check, &VersionCheck::newVersion);
    QSignalSpy done(&check, &VersionCheck::finished);
    web.route(check.versionUrl(), "");
    check.pdup();
    QVERIFY(done.wait(10000));
    QCOMPARE(news.size(), 0); // both answers empty: no number, nothing announced

    // A download file that cannot be fetched still gives the announcement, with empty text.
    VersionCheck again(Variant::Portal);
    web.route(again.versionUrl(), "5");
    web.route(again.downloadUrl(), "", 404);
    QSignalSpy news2(&again, &VersionCheck::newVersion);
    QSignalSpy done2(&again, &VersionCheck::finished);
    again.pdup();
    QVERIFY(done2.wait(10000));
    QCOMPARE(news2.size(), 1);
    QCOMPARE(news2[0][0].toString(), QString());
}

void TestVersionCheck::twoFetchesAnswerDifferently_data() {
    addColumns<int, QList<QByteArray>, bool>({"variant", "answers", "announced"});
    for (int v : {int(Variant::Portal), int(Variant::Player)}) {
        const char* name = v == int(Variant::Portal) ? "portal" : "player";
        // Only the second text is read as a number; the first only passes the length test.
        QTest::addRow("%s 1 then 2", name) << v << QList<QByteArray>{"1", "2"} << true;
        QTest::addRow("%s 2 then 1", name) << v << QList<QByteArray>{"2", "1"} << false;
        QTest::addRow("%s 1 then 100", name) << v << QList<QByteArray>{"1", "100"} << true;
        QTest::addRow("%s failed then 100", name) << v << QList<QByteArray>{{}, "100"} << true;
        QTest::addRow("%s 100 then 2", name) << v << QList<QByteArray>{"100", "2"} << false;
    }
}

void TestVersionCheck::twoFetchesAnswerDifferently() {
    QFETCH(int, variant);
    QFETCH(QList<QByteArray>, answers);
    QFETCH(bool, announced);
    VersionCheck check{Variant(variant)};
    web.routeInTurn(check.versionUrl(), answers);
    web.route(check.downloadUrl(), "http://" CORVALE_PORTAL_HOST "/download.html");
    QSignalSpy news(&check, &VersionCheck::newVersion);
    QSignalSpy done(&check, &VersionCheck::finished);
    check.pdup();
    QVERIFY(done.wait(10000));
    QCOMPARE(news.size(), announced ? 1 : 0);
}

void TestVersionCheck::numbers() {
    const auto portal = Variant::Portal;
    const auto player = Variant::Player;
    QVERIFY(VersionCheck::announces(QStringLiteral("2"), portal));
    QVERIFY(VersionCheck::announces(QStringLiteral("2.5"), player));
    QVERIFY(!VersionCheck::announces(QStringLiteral("1.9"), player)); // rounded down to 1
    QVERIFY(!VersionCheck::announces(QStringLiteral("-0.5"), player));
    QVERIFY(VersionCheck::announces(QStringLiteral("32767"), portal));
    QVERIFY(!VersionCheck::announces(QStringLiteral("32768"), portal)); // does not fit 16 bits
    QVERIFY(VersionCheck::announces(QStringLiteral("32768"), player));
    QVERIFY(VersionCheck::announces(QStringLiteral(" +3 "), portal));
    QVERIFY(!VersionCheck::announces(QStringLiteral("inf"), player));
    QVERIFY(!VersionCheck::announces(QStringLiteral("nan"), player));
    QVERIFY(!VersionCheck::announces(QStringLiteral("<html>error</html>"), portal));
}

void TestVersionCheck::openable() {
    QVERIFY(VersionCheck::openable(QStringLiteral("http://" CORVALE_PORTAL_HOST "/download.html")));
    QVERIFY(VersionCheck::openable(QStringLiteral("https://example.org/get")));
    QVERIFY(!VersionCheck::openable(QString()));
    QVERIFY(!VersionCheck::openable(QStringLiteral("/usr/bin/xterm")));
    QVERIFY(!VersionCheck::openable(QStringLiteral("file:///etc/passwd")));
    QVERIFY(!VersionCheck::openable(QStringLiteral("javascript:alert(1)")));
    QVERIFY(!VersionCheck::openable(
        QStringLiteral("http://" CORVALE_PORTAL_HOST "/download.html\r\n")));
    QVERIFY(!VersionCheck::openable(QStringLiteral("http:///nohost")));

    // Read tolerantly: a blank or "|" in the query leaves an http address, opened as written.
    const QUrl loose = VersionCheck::downloadAddress(
        QStringLiteral("http://" CORVALE_PORTAL_HOST "/get.php?name=a b|c&v=2"));
    QCOMPARE(loose.host(), QStringLiteral(CORVALE_PORTAL_HOST));
    QCOMPARE(loose.query(QUrl::FullyDecoded), QStringLiteral("name=a b|c&v=2"));
    QVERIFY(VersionCheck::openable(QStringLiteral("HTTPS://" CORVALE_PORTAL_HOST "/a b")));
    // A control character anywhere, C1 included, and any scheme but http and https: nothing.
    for (const QString& text : {QStringLiteral("http://" CORVALE_PORTAL_HOST "/a\tb"),
                                QStringLiteral("http://" CORVALE_PORTAL_HOST "/\x7f"),
                                QStringLiteral("http://" CORVALE_PORTAL_HOST "/a\u0085"),
                                QStringLiteral("\nhttp://" CORVALE_PORTAL_HOST "/"),
                                QStringLiteral("ftp://" CORVALE_PORTAL_HOST "/a b"),
                                QStringLiteral(CORVALE_PORTAL_HOST "/a b")})
        QVERIFY2(VersionCheck::downloadAddress(text).isEmpty(), qPrintable(text));
}

QTEST_GUILESS_MAIN(TestVersionCheck)
#include "test_versioncheck.moc"
