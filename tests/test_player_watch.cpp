// The player's command line and its watch over the browser's address on the link page.
#include "player/addresswatch.h"
#include "support/columns.h"
#include "vendor/hosts.h"

#include <QTest>

using namespace lumetta;
using Verdict = AddressWatch::Verdict;

Q_DECLARE_METATYPE(AddressWatch::Verdict)
Q_DECLARE_METATYPE(lumetta::StartMode)

class TestPlayerWatch : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void vendorAddresses();
    void commandLine_data();
    void commandLine();
    void commandLineFromArguments();
    void watch_data();
    void watch();
    void linkBetweenMarkers();
    void watchEndsAtFirstLinkReadyAddress();
};

void TestPlayerWatch::vendorAddresses() {
    QCOMPARE(vendorSiteBase(), QStringLiteral("http://" CORVALE_SITE_HOST));
    const AddressWatch watch(vendorSiteBase());
    // The compared prefix follows from the host: "http://", the host, "/y/index2.html".
    QCOMPARE(watch.linkReadyPrefix(), QStringLiteral("http://" CORVALE_SITE_HOST "/y/index2.html"));
    QCOMPARE(watch.linkReadyPrefix().size(), qsizetype(7 + sizeof(CORVALE_SITE_HOST) - 1 + 14));
}

void TestPlayerWatch::commandLine_data() {
    addColumns<QString, StartMode>({"text", "mode"});
    QTest::newRow("empty") << QString() << StartMode::LinkPage;
    QTest::newRow("qd") << QStringLiteral("qd") << StartMode::LinkPage;
    QTest::newRow("QD in capitals") << QStringLiteral("QD") << StartMode::Link;
    QTest::newRow("Qd") << QStringLiteral("Qd") << StartMode::Link;
    QTest::newRow("qd with a trailing blank") << QStringLiteral("qd ") << StartMode::Link;
    QTest::newRow("qd with a leading blank") << QStringLiteral(" qd") << StartMode::Link;
    QTest::newRow("a blank alone") << QStringLiteral(" ") << StartMode::Link;
    QTest::newRow("an option-like text")
        << QStringLiteral("-platform offscreen") << StartMode::Link;
    QTest::newRow("link with blanks")
        << QStringLiteral("ed2k://|file|a b.avi|1|ABC|/") << StartMode::Link;
}

void TestPlayerWatch::commandLine() {
    QFETCH(QString, text);
    QFETCH(StartMode, mode);
    QCOMPARE(classifyCommandLine(text), mode);
}

void TestPlayerWatch::commandLineFromArguments() {
    QCOMPARE(commandLineFrom({}), QString());
    QCOMPARE(commandLineFrom({QStringLiteral("qd")}), QStringLiteral("qd"));
    // A link split at its blanks by the shell comes back whole.
    QCOMPARE(commandLineFrom({QStringLiteral("ed2k://|file|a"), QStringLiteral("b.avi|1|ABC|/")}),
             QStringLiteral("ed2k://|file|a b.avi|1|ABC|/"));
    // Arguments are neither trimmed nor dropped: an empty one still adds its blank.
    QCOMPARE(commandLineFrom({QStringLiteral("a"), QString(), QStringLiteral(" b ")}),
             QStringLiteral("a   b "));
    QCOMPARE(commandLineFrom({QStringLiteral("-style"), QStringLiteral("x")}),
             QStringLiteral("-style x"));
}

void TestPlayerWatch::watch_data() {
    addColumns<QString, Verdict, QString>({"address", "verdict", "link"});
    const QString ready = vendorSiteBase() + QStringLiteral("/y/index2.html");

    QTest::newRow("ed2k link") << ready + QStringLiteral("?okok=ed2k://|file|a.avi|1|ABC|/")
                               << Verdict::Resolve << QStringLiteral("ed2k://|file|a.avi|1|ABC|/");
    QTest::newRow("between first and second marker")
        << ready + QStringLiteral("?a=1&okok=AAAAAAokok=BBB") << Verdict::Resolve
        << QStringLiteral("AAAAAA");
    QTest::newRow("three markers") << ready + QStringLiteral("?okok=AAAAAAokok=BBBBBBokok=CCCCCC")
                                   << Verdict::Resolve << QStringLiteral("AAAAAA");
    QTest::newRow("six characters")
        << ready + QStringLiteral("?okok=abcdef") << Verdict::Resolve << QStringLiteral("abcdef");
    QTest::newRow("five characters")
        << ready + QStringLiteral("?okok=abcde") << Verdict::ErrorPage << QString();
    QTest::newRow("empty link") << ready + QStringLiteral("?okok=") << Verdict::ErrorPage
                                << QString();
    QTest::newRow("two markers in a row")
        << ready + QStringLiteral("?okok=okok=abcdefgh") << Verdict::ErrorPage << QString();
    QTest::newRow("no marker") << ready + QStringLiteral("?link=abcdefgh") << Verdict::ErrorPage
                               << QString();
    QTest::newRow("prefix alone") << ready << Verdict::ErrorPage << QString();
    QTest::newRow("marker in capitals")
        << ready + QStringLiteral("?OKOK=abcdefgh") << Verdict::ErrorPage << QString();
    QTest::newRow("escaped marker")
        << ready + QStringLiteral("?okok%3Dabcdefgh") << Verdict::ErrorPage << QString();
    QTest::newRow("prefix continues") << ready + QStringLiteral("x?okok=abcdefg")
                                      << Verdict::Resolve << QStringLiteral("abcdefg");
    QTest::newRow("link taken unchanged") << ready + QStringLiteral("?okok=%E7%94%B5 a|b ")
                                          << Verdict::Resolve << QStringLiteral("%E7%94%B5 a|b ");
    QTest::newRow("link with a fragment") << ready + QStringLiteral("?okok=abcdefg#top")
                                          << Verdict::Resolve << QStringLiteral("abcdefg#top");

    QTest::newRow("capital Y") << vendorSiteBase() + QStringLiteral("/Y/index2.html?okok=abcdefgh")
                               << Verdict::Wait << QString();
    QTest::newRow("one character short")
        << ready.chopped(1) + QStringLiteral("?okok=abcdefgh") << Verdict::Wait << QString();
    QTest::newRow("link page") << vendorSiteBase() + QStringLiteral("/y/index.php") << Verdict::Wait
                               << QString();
    QTest::newRow("other host") << QStringLiteral("http://" CORVALE_PORTAL_HOST
                                                  "/y/index2.html?okok=abcdefgh")
                                << Verdict::Wait << QString();
    QTest::newRow("https") << QStringLiteral("https://" CORVALE_SITE_HOST
                                             "/y/index2.html?okok=abcdefgh")
                           << Verdict::Wait << QString();
    QTest::newRow("host in capitals")
        << QStringLiteral("http://") + QStringLiteral(CORVALE_SITE_HOST).toUpper() +
               QStringLiteral("/y/index2.html?okok=abcdefgh")
        << Verdict::Wait << QString();
    QTest::newRow("marker elsewhere")
        << QStringLiteral("http://elsewhere.test/?okok=abcdefgh") << Verdict::Wait << QString();
    QTest::newRow("about:blank") << QStringLiteral("about:blank") << Verdict::Wait << QString();
    QTest::newRow("empty") << QString() << Verdict::Wait << QString();
}

void TestPlayerWatch::watch() {
    QFETCH(QString, address);
    QFETCH(Verdict, verdict);
    QFETCH(QString, link);
    AddressWatch watch(vendorSiteBase());
    const AddressWatch::Result result = watch.watch(address);
    QCOMPARE(result.verdict, verdict);
    QCOMPARE(result.link, link);
    QCOMPARE(watch.stopped(), verdict != Verdict::Wait);
}

void TestPlayerWatch::linkBetweenMarkers() {
    // The marker may open the text; the link ends at the next marker, or with the text.
    QCOMPARE(AddressWatch::linkIn(QStringLiteral("okok=abc")), QStringLiteral("abc"));
    QCOMPARE(AddressWatch::linkIn(QStringLiteral("okok=okok=")), QString());
    QCOMPARE(AddressWatch::linkIn(QStringLiteral("xokok=a")), QStringLiteral("a"));
    QCOMPARE(AddressWatch::linkIn(QStringLiteral("okok")), std::nullopt);
}

void TestPlayerWatch::watchEndsAtFirstLinkReadyAddress() {
    const QString ready = vendorSiteBase() + QStringLiteral("/y/index2.html?okok=");
    const QString linkPage = vendorSiteBase() + QStringLiteral("/y/index.php");

    // Addresses that are not link-ready may come any number of times.
    AddressWatch afterError(vendorSiteBase());
    for (int i = 0; i < 100; ++i)
        QCOMPARE(afterError.watch(linkPage).verdict, Verdict::Wait);
    QCOMPARE(afterError.watch(ready + QStringLiteral("abc")).verdict, Verdict::ErrorPage);
    // After the error page a good hand-over is ignored, and so is everything else.
    const AddressWatch::Result late = afterError.watch(ready + QStringLiteral("abcdefgh"));
    QCOMPARE(late.verdict, Verdict::Stopped);
    QVERIFY(late.link.isEmpty());
    QCOMPARE(afterError.watch(linkPage).verdict, Verdict::Stopped);

    // One link per run: a second hand-over after the first is ignored.
    AddressWatch afterLink(vendorSiteBase());
    QCOMPARE(afterLink.watch(ready + QStringLiteral("first-link")).link,
             QStringLiteral("first-link"));
    QCOMPARE(afterLink.watch(ready + QStringLiteral("second-link")).verdict, Verdict::Stopped);
}

QTEST_APPLESS_MAIN(TestPlayerWatch)
#include "test_player_watch.moc"
