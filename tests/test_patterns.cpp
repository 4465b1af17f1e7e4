// The link patterns on the kinds of text the Q&A site and the play API send.
#include "player/playresolver.h"
#include "portal/qasite.h"
#include "support/columns.h"
#include "webkit/patterns.h"

#include <QTest>

#include <re2/re2.h>

using namespace webkit;

class TestPatterns : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void patternsCompile();
    void searchPageLinks();
    void questionPageLinks();
    void questionLinks();
    void emptyMatchesEndTheWalk();
    void playAddress_data();
    void playAddress();
    void quickSearchAgreesWithAPlainScan_data();
    void quickSearchAgreesWithAPlainScan();
    void fixedBeginningOfOtherPatterns_data();
    void fixedBeginningOfOtherPatterns();
};

namespace {

// The matches as a plain scan finds them: an unanchored search from where the last match ended.
QStringList plainScan(std::string_view pattern, const QByteArray& utf8) {
    RE2::Options o;
    o.set_dot_nl(false);
    const RE2 re(re2::StringPiece(pattern.data(), pattern.size()), o);
    QStringList out;
    const re2::StringPiece input(utf8.constData(), size_t(utf8.size()));
    re2::StringPiece m;
    size_t pos = 0;
    while (pos <= input.size() && re.Match(input, pos, input.size(), RE2::UNANCHORED, &m, 1)) {
        out << QString::fromUtf8(m.data(), qsizetype(m.size()));
        pos = size_t(m.data() - input.data()) + m.size() + (m.empty() ? 1 : 0);
    }
    return out;
}

} // namespace

void TestPatterns::patternsCompile() {
    for (auto p : {portal::kSearchPageLinkPattern, portal::kQuestionPageLinkPattern,
                   portal::kQuestionLinkPattern, lumetta::PlayResolver::kPlayAddressPattern})
        QVERIFY(Pattern(p).ok());
    // One that does not compile matches nothing.
    const Pattern bad("(");
    QVERIFY(!bad.ok());
    QVERIFY(bad.matchAll(QStringLiteral("((")).isEmpty());
    QCOMPARE(bad.firstMatch(QStringLiteral("((")), QString());
}

void TestPatterns::searchPageLinks() {
    const Pattern p(portal::kSearchPageLinkPattern);
    const QString a =
        QStringLiteral("ed2k://|file|A.Film.avi|734003200|0123456789ABCDEF0123456789ABCDEF|/");
    const QString b = QStringLiteral(
        "ed2k://|file|%E7%94%B5%E5%BD%B1.rmvb|1342177280|FEDCBA9876543210FEDCBA9876543210|/");

    // In double-quoted attributes the links stay apart, each with its closing slash.
    QCOMPARE(p.matchAll(QStringLiteral("<a href=\"%1\">x</a><a href=\"%2\">y</a>").arg(a, b)),
             QStringList({a, b}));
    // Two links in one stretch of text without a double quote form one match.
    const QString plain = QStringLiteral("<p>first %1<br>then %2 end</p>").arg(a, b);
    QCOMPARE(p.matchAll(plain), QStringList({a + QStringLiteral("<br>then ") + b}));
    // Line breaks do not stop the run before the size.
    const QString multi = QStringLiteral("ed2k://|file|\nname.avi|12|abc|/");
    QCOMPARE(p.matchAll(multi), QStringList({multi}));
    // A one-character name is not matched; a double quote inside the name stops it.
    QVERIFY(p.matchAll(QStringLiteral("ed2k://|file|a|1|abc|/")).isEmpty());
    QVERIFY(p.matchAll(QStringLiteral("ed2k://|file|a\"b.avi|1|abc|/")).isEmpty());
    // No closing slash: not a search-page link.
    QVERIFY(p.matchAll(QStringLiteral("ed2k://|file|ab.avi|1|abc|")).isEmpty());
    // Case matters.
    QVERIFY(p.matchAll(QStringLiteral("ED2K://|FILE|ab.avi|1|abc|/")).isEmpty());
}

void TestPatterns::questionPageLinks() {
    const Pattern p(portal::kQuestionPageLinkPattern);
    // The same link as on the search page, taken without its closing slash.
    QCOMPARE(p.matchAll(QStringLiteral("<div class=\"a\">ed2k://|file|ab.avi|100|HASH_1|/</div>")),
             QStringList({QStringLiteral("ed2k://|file|ab.avi|100|HASH_1|")}));
    // Chinese text survives the round trip through the matcher.
    const QString cn = QStringLiteral("ed2k://|file|变形金刚.rmvb|4700000000|ABCDEF|");
    QCOMPARE(p.matchAll(QStringLiteral("答：") + cn + QStringLiteral("\"")), QStringList({cn}));
}

void TestPatterns::questionLinks() {
    const Pattern p(portal::kQuestionLinkPattern);
    const QString page =
        QStringLiteral("<a href=\"http://zhidao.baidu.com/question/123.html\">q</a>"
                       "<a href=\"http://zhidao.baidu.com/question/123.html\">again</a>"
                       "<a href=\"http://zhidaoXbaiduYcom/question/7Zhtml\">dots match anything</a>"
                       "<a href=\"https://zhidao.baidu.com/question/9.html\">not http</a>"
                       "<a href=\"http://zhidao.baidu.com/question/.html\">no digits</a>");
    QCOMPARE(p.matchAll(page),
             QStringList({QStringLiteral("http://zhidao.baidu.com/question/123.html"),
                          QStringLiteral("http://zhidao.baidu.com/question/123.html"),
                          QStringLiteral("http://zhidaoXbaiduYcom/question/7Zhtml")}));
}

void TestPatterns::emptyMatchesEndTheWalk() {
    // None of the link patterns matches the empty text, but one that does still ends: every
    // empty match moves the search on by one, and the end of the text is a place too.
    const Pattern p("x*");
    QCOMPARE(p.matchAll(QStringLiteral("axxb")),
             QStringList({QString(), QStringLiteral("xx"), QString(), QString()}));
    QCOMPARE(p.matchAll(QString()), QStringList({QString()}));
    // Two links with nothing between them are two matches.
    const QString a = QStringLiteral("http://zhidao.baidu.com/question/1.html");
    const QString b = QStringLiteral("http://zhidao.baidu.com/question/22.html");
    QCOMPARE(Pattern(portal::kQuestionLinkPattern).matchAll(a + b), QStringList({a, b}));
}

void TestPatterns::playAddress_data() {
    addColumns<QString, QString>({"reply", "address"});
    QTest::newRow("among other text")
        << QStringLiteral("{\"url\":\"http://vod.example.com/high.php?k=a1b2\",\"x\":1}")
        << QStringLiteral("http://vod.example.com/high.php?k=a1b2");
    QTest::newRow("first of two") << QStringLiteral(
                                         "http://a.b.c/high.x?k=1 http://d.e.f/high.y?k=2")
                                  << QStringLiteral("http://a.b.c/high.x?k=1");
    QTest::newRow("cut at a hyphen") << QStringLiteral("http://a.b.c/high.php?u=abc-def&x=1")
                                     << QStringLiteral("http://a.b.c/high.php?u=abc");
    QTest::newRow("two-letter key") << QStringLiteral("http://a.b.c/high.php?id=5") << QString();
    QTest::newRow("four labels") << QStringLiteral("http://a.b.c.d/high.php?k=5") << QString();
    QTest::newRow("two labels") << QStringLiteral("http://b.c/high.php?k=5") << QString();
    QTest::newRow("hyphen in host") << QStringLiteral("http://a-1.b.c/high.php?k=5") << QString();
    QTest::newRow("port") << QStringLiteral("http://a.b.c:80/high.php?k=5") << QString();
    QTest::newRow("https") << QStringLiteral("https://a.b.c/high.php?k=5") << QString();
    QTest::newRow("empty") << QString() << QString();
}

void TestPatterns::playAddress() {
    QFETCH(QString, reply);
    QFETCH(QString, address);
    QCOMPARE(Pattern(lumetta::PlayResolver::kPlayAddressPattern).firstMatch(reply), address);
}

void TestPatterns::quickSearchAgreesWithAPlainScan_data() {
    // The search jumps to the next place where a match's fixed beginning stands and tries a match
    // anchored there first; what it finds must be what a plain scan finds.
    QTest::addColumn<QString>("text");
    const QString a = QStringLiteral("ed2k://|file|%E7%94%B5.avi|734003200|0123456789ABCDEF|/");
    QTest::newRow("in attributes") << QStringLiteral("<a href=\"%1\">x</a><a href=\"%1\">").arg(a);
    QTest::newRow("in plain text") << QStringLiteral("<p>%1 then %1</p>\"").arg(a);
    // A beginning that leads nowhere, then a link: the anchored try fails, the scan goes on.
    QTest::newRow("false start")
        << QStringLiteral("ed2k://|file|a\" ed2k://|file|x|y \"<a href=\"%1\">").arg(a);
    QTest::newRow("beginning inside a link")
        << QStringLiteral("ed2k://|file|ed2k://|file|ab|1|a|/\"ed2k://|file|ed2k://|file|\"");
    // The escaped ":" of the beginning is no longer part of what follows it.
    QTest::newRow("beginning's character twice")
        << QStringLiteral("ed2k:://|file|ab|1|a|/\" ed2k://|file|ab|1|a|/\"");
    QTest::newRow("quote as first name character") << QStringLiteral("ed2k://|file|\"ab|1|a|/\"");
    QTest::newRow("beyond the basic plane")
        << QStringLiteral("ed2k://|file|😀|1|a|/\" ed2k://|file|😀😀|1|a|/\" 电影ed2k://|file|电影.mkv|5|h|/");
    QTest::newRow("line breaks") << QStringLiteral("ed2k://|file|\nab\n|1|a|/\nx\"");
    QTest::newRow("cut at the end") << QStringLiteral("x ed2k://|file|ab|1|a|");
    QTest::newRow("questions") << QStringLiteral(
        "http://zhidao.baidu.com/question/1.html http://zhidao http://zhidaoXbaidu.com/question/"
        "http://zhidao.baidu.com/question/22xhtml");
    QTest::newRow("play address") << QStringLiteral("http://a http://a.b.c/high.php?k=1 x");
    QTest::newRow("no quote, links everywhere")
        << QStringLiteral("ed2k://|file|ab ").repeated(500) + a + QStringLiteral(" x");
    // A whole GBK page, decoded as the search decodes it.
    QString page;
    for (int i = 0; i < 200; ++i)
        page += QStringLiteral("<p>答：%1 或 ed2k://|file|电影%2.rmvb|%2|ABC|/</p><a href=\"%1\">"
                               "http://zhidao.baidu.com/question/%2.html</a>")
                    .arg(a)
                    .arg(i);
    QTest::newRow("decoded page") << page;
}

void TestPatterns::quickSearchAgreesWithAPlainScan() {
    QFETCH(QString, text);
    const QByteArray utf8 = text.toUtf8();
    int found = 0;
    for (auto p : {portal::kSearchPageLinkPattern, portal::kQuestionPageLinkPattern,
                   portal::kQuestionLinkPattern, lumetta::PlayResolver::kPlayAddressPattern}) {
        const QStringList expected = plainScan(p, utf8);
        QCOMPARE(Pattern(p).matchAll(QByteArrayView(utf8)), expected);
        // A copy whose memory ends with the text (and its NUL): the sanitizer build sees any
        // read past it.
        const QByteArray exact(utf8.constData(), utf8.size());
        QCOMPARE(Pattern(p).matchAll(QByteArrayView(exact)), expected);
        QCOMPARE(Pattern(p).matchAll(text), expected);
        QCOMPARE(Pattern(p).firstMatch(text), expected.value(0));
        found += int(expected.size());
    }
    QVERIFY(found > 0); // each row has something to find
}

void TestPatterns::fixedBeginningOfOtherPatterns_data() {
    // Patterns whose fixed beginning is short or none: the quick search must not take more for
    // certain than the pattern says.
    QTest::addColumn<QByteArray>("pattern");
    QTest::addColumn<int>("length"); // of the pattern within the text given; -1: all of it
    QTest::addColumn<QString>("text");
    QTest::newRow("alternation") << QByteArray("ab|cd") << -1 << QStringLiteral("xcd ab cd");
    QTest::newRow("group") << QByteArray("(c)?ab") << -1 << QStringLiteral("ab cab");
    QTest::newRow("escaped character, optional")
        << QByteArray("a\\.?b") << -1 << QStringLiteral("ab a.b");
    QTest::newRow("counted, none at all") << QByteArray("ab{0,2}c") << -1 << QStringLiteral("ac abbc");
    QTest::newRow("escape then class")
        << QByteArray("x\\.\\d\\.") << -1 << QStringLiteral("x.5.");
    QTest::newRow("escape first, then class")
        << QByteArray("\\/\\d") << -1 << QStringLiteral("/5");
    // The beginning is looked for by its rarest byte: "z" here, found before the beginning too.
    QTest::newRow("rarest byte elsewhere")
        << QByteArray("xyz\\d") << -1 << QStringLiteral("zzz xyz xyz1 z");
    QTest::newRow("beginning right after a false one")
        << QByteArray("\\|ab") << -1 << QStringLiteral("||ab |x||ab");
    // So common a rarest byte that the general search takes over, right after the last place
    // where the beginning was not.
    QTest::newRow("rarest byte everywhere")
        << QByteArray("\\|ab") << -1 << QString(66, u'|') + QStringLiteral("ab ||ab");
    QTest::newRow("rarest byte everywhere, then the beginning")
        << QByteArray("\\|ab\\d*") << -1 << QString(70, u'|') + QStringLiteral("ab1");
    // What follows the beginning may begin the same way (it is matched right after the first
    // beginning, not after a second), and a match may end where the text ends.
    QTest::newRow("beginning at the end")
        << QByteArray("ab\\d*") << -1 << QStringLiteral("ab1 abab2 ab");
    QTest::newRow("all of it fixed") << QByteArray("a\\|b") << -1 << QStringLiteral("a|b a|ba|b");
    // What follows the beginning sees the character before it.
    QTest::newRow("word boundary after the beginning")
        << QByteArray("ab\\b") << -1 << QStringLiteral("abc ab ab. xab");
    // The pattern is the first three characters of a longer text.
    QTest::newRow("part of a longer text") << QByteArray("abcX") << 3 << QStringLiteral("abc abcX");
}

void TestPatterns::fixedBeginningOfOtherPatterns() {
    QFETCH(QByteArray, pattern);
    QFETCH(int, length);
    QFETCH(QString, text);
    const std::string_view p(pattern.constData(), length < 0 ? size_t(pattern.size()) : size_t(length));
    const QStringList expected = plainScan(p, text.toUtf8());
    QVERIFY(!expected.isEmpty());
    QCOMPARE(Pattern(p).matchAll(text), expected);
}

QTEST_GUILESS_MAIN(TestPatterns)
#include "test_patterns.moc"
