// The rows that `corvale --search` prints, and the reading of its command line, in-process.
#include "portal/headless.h"
#include "support/columns.h"
#include "support/ed2k.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

using namespace portal;

namespace {

// A link without the closing slash, named f.avi unless said otherwise.
QString link(const QString& size, const QString& hash,
             const QString& name = QStringLiteral("f.avi")) {
    return ed2kLink(name, size, hash, false);
}

} // namespace

class TestSearchRows : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void bytesOfTheSizeField_data();
    void bytesOfTheSizeField();
    void rowsKeepEveryLinkWithoutUnique();
    void uniqueFoldsSameSizeAndHash();
    void jsonCarriesCountOnlyWithUnique();
    void textLinesAreTheRowsCells();
    void commandLines();
};

void TestSearchRows::bytesOfTheSizeField_data() {
    addColumns<QString, QJsonValue>({"link", "bytes"});
    QTest::newRow("zero") << link(QStringLiteral("0"), QStringLiteral("H")) << QJsonValue(0);
    QTest::newRow("leading zeros")
        << link(QStringLiteral("007"), QStringLiteral("H")) << QJsonValue(7);
    QTest::newRow("2^53") << link(QStringLiteral("9007199254740992"), QStringLiteral("H"))
                          << QJsonValue(qint64(9007199254740992));
    // Past 2^53 a JSON number no longer holds every whole number exactly.
    QTest::newRow("2^53 + 1") << link(QStringLiteral("9007199254740993"), QStringLiteral("H"))
                              << QJsonValue(QJsonValue::Null);
    QTest::newRow("past 64 bits") << link(QStringLiteral("99999999999999999999999"),
                                          QStringLiteral("H"))
                                  << QJsonValue(QJsonValue::Null);
    QTest::newRow("empty") << link(QString(), QStringLiteral("H")) << QJsonValue(QJsonValue::Null);
    QTest::newRow("sign") << link(QStringLiteral("+5"), QStringLiteral("H"))
                          << QJsonValue(QJsonValue::Null);
    QTest::newRow("full-width digit")
        << link(QStringLiteral("５"), QStringLiteral("H")) << QJsonValue(QJsonValue::Null);
    // A name holding a vertical bar shifts the fields: the size field is a piece of the name.
    QTest::newRow("bar in name") << QStringLiteral("ed2k://|file|a|b.avi|5|H|")
                                 << QJsonValue(QJsonValue::Null);
    QTest::newRow("too few fields")
        << QStringLiteral("ed2k://|file|a.avi") << QJsonValue(QJsonValue::Null);
}

void TestSearchRows::bytesOfTheSizeField() {
    QFETCH(QString, link);
    QFETCH(QJsonValue, bytes);
    const QJsonValue got = sizeInBytes(link);
    QCOMPARE(got.type(), bytes.type());
    QCOMPARE(got.toInteger(-1), bytes.toInteger(-1));
}

void TestSearchRows::rowsKeepEveryLinkWithoutUnique() {
    const QString a = link(QStringLiteral("1"), QStringLiteral("AA"));
    const QStringList links = {a, a, link(QStringLiteral("2"), QStringLiteral("BB"))};
    const QStringList sources = {QStringLiteral("s1"), QStringLiteral("s2"), QStringLiteral("s3")};
    const QList<SearchRow> rows = searchRows(links, sources, false);
    QCOMPARE(rows.size(), 3);
    for (qsizetype i = 0; i < rows.size(); ++i) {
        QCOMPARE(rows[i].row.id, QString::number(i + 1));
        QCOMPARE(rows[i].link, links[i]);
        QCOMPARE(rows[i].source, sources[i]);
        QCOMPARE(rows[i].count, 1);
    }
}

void TestSearchRows::uniqueFoldsSameSizeAndHash() {
    const QStringList links = {
        link(QStringLiteral("100"), QStringLiteral("abcDEF"), QStringLiteral("first.avi")),
        link(QStringLiteral("100"), QStringLiteral("ABCDEF"), QStringLiteral("same.file.avi")),
        link(QStringLiteral("101"), QStringLiteral("abcdef")),  // same hash, other size
        link(QStringLiteral("100"), QStringLiteral("abcdeg")),  // same size, other hash
        link(QStringLiteral("0100"), QStringLiteral("abcdef")), // the same size written longer
        QStringLiteral("ed2k://|file|a|b.avi|5|H|"),            // no size field to compare
        QStringLiteral("ed2k://|file|a|b.avi|5|H|"),
        link(QStringLiteral("101"), QStringLiteral("ABCDEF") + QStringLiteral("/")),
        link(QStringLiteral("101"), QStringLiteral("abcdef")),
    };
    QStringList sources;
    for (qsizetype i = 0; i < links.size(); ++i)
        sources << QStringLiteral("page%1").arg(i);
    const QList<SearchRow> rows = searchRows(links, sources, true);

    // Kept: 0 (with 1 and 4), 2 (with 8), 3, 5, 6, 7: numbered 1 to 6 in their order.
    const QList<qsizetype> kept = {0, 2, 3, 5, 6, 7};
    const QList<int> counts = {3, 2, 1, 1, 1, 1};
    QCOMPARE(rows.size(), kept.size());
    for (qsizetype i = 0; i < rows.size(); ++i) {
        QCOMPARE(rows[i].row.id, QString::number(i + 1));
        QCOMPARE(rows[i].link, links[kept[i]]);
        QCOMPARE(rows[i].source, sources[kept[i]]);
        QCOMPARE(rows[i].count, counts[i]);
    }
    QCOMPARE(rows[0].row.name, QStringLiteral("first.avi"));
}

void TestSearchRows::jsonCarriesCountOnlyWithUnique() {
    SearchRow r;
    r.row = {QStringLiteral("3"), QStringLiteral("a\tb"), QStringLiteral(" 0M"),
             QStringLiteral("avi")};
    r.link = link(QStringLiteral("12"), QStringLiteral("H"));
    r.source = QStringLiteral("http://zhidao.baidu.com/question/1.html");
    r.count = 4;
    const QJsonObject plain = QJsonDocument::fromJson(searchRowJson(r, false)).object();
    QVERIFY(!plain.contains(QStringLiteral("count")));
    QCOMPARE(plain.value(QStringLiteral("bytes")).toInteger(), 12);
    QCOMPARE(plain.value(QStringLiteral("source")).toString(), r.source);
    const QJsonObject unique = QJsonDocument::fromJson(searchRowJson(r, true)).object();
    QCOMPARE(unique.value(QStringLiteral("count")).toInt(), 4);
}

void TestSearchRows::textLinesAreTheRowsCells() {
    // Enough links to fill several output blocks; among them names with a tab, a line break and
    // Chinese, a link without a name, and repeats of one file for --unique to fold. The names
    // take turns between plain text, UTF-8 and GBK escapes, a "+", and escapes first read as GBK
    // and then again as UTF-8, long and short: the text rows decode every name into one buffer.
    const QStringList names = {QStringLiteral("电影\t%1\nx.%2"),
                               QStringLiteral("%E7%94%B5%E5%BD%B1+%1\r.%2"),
                               QStringLiteral("%B5%E7%D3%B0%1.%2"),
                               QStringLiteral("x%C3%A9%E4%BD%A0%1.%2"), QStringLiteral("%1")};
    QStringList links;
    for (int i = 0; i < 3000; ++i) {
        const int file = i % 2500;
        links << link(QString::number(qint64(file) * 1000003), QStringLiteral("H%1").arg(file),
                      names[i % names.size()].arg(i).arg(i % 2 ? "avi" : "rmvb"));
    }
    links << QStringLiteral("ed2k://|file|") << QStringLiteral("not a link");
    for (bool unique : {false, true}) {
        QByteArray printed;
        int flushes = 0;
        QByteArray out;
        appendTextRows(out, links, unique, [&](QByteArray& block) {
            printed += block;
            block.clear();
            ++flushes;
        });
        QVERIFY(out.isEmpty());
        QVERIFY2(flushes > 2, "the rows go out in more than one block");
        QByteArray expected;
        for (const SearchRow& r : searchRows(links, QStringList(links.size()), unique)) {
            QStringList cells = {r.row.id, r.row.name, r.row.size, r.row.format, r.link};
            for (QString& cell : cells)
                cell.replace(u'\t', u' ').replace(u'\n', u' ').replace(u'\r', u' ');
            expected += cells.join(u'\t').toUtf8() + '\n';
        }
        QCOMPARE(printed.count('\n'), unique ? 2502 : 3002);
        QCOMPARE(printed, expected);
    }
}

void TestSearchRows::commandLines() {
    using A = CommandLine::Action;
    const CommandLine none = readCommandLine({});
    QCOMPARE(none.action, A::Window);

    // The word after --search is the keyword, whatever it looks like.
    const CommandLine dashed = readCommandLine(
        {QStringLiteral("--unique"), QStringLiteral("--search"), QStringLiteral("--json")});
    QCOMPARE(dashed.action, A::Search);
    QCOMPARE(dashed.keyword, QStringLiteral("--json"));
    QVERIFY(!dashed.json);
    QVERIFY(dashed.unique);

    const CommandLine both =
        readCommandLine({QStringLiteral("--search"), QStringLiteral(" a b"),
                         QStringLiteral("--json"), QStringLiteral("--unique")});
    QCOMPARE(both.action, A::Search);
    QCOMPARE(both.keyword, QStringLiteral(" a b"));
    QVERIFY(both.json && both.unique);

    const CommandLine unknown = readCommandLine({QStringLiteral("--colour")});
    QCOMPARE(unknown.action, A::Usage);
    QCOMPARE(unknown.problem, QStringLiteral("unknown option --colour"));
    // The first problem is the one reported.
    const CommandLine two = readCommandLine({QStringLiteral("x"), QStringLiteral("--y")});
    QCOMPARE(two.problem, QStringLiteral("unexpected argument x"));
}

QTEST_GUILESS_MAIN(TestSearchRows)
#include "test_search_rows.moc"
