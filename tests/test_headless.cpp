// corvale --search: the link search without a window, as another program would use it; and
// corvale's command line as a whole, without a display.
#include "support/localweb.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTest>

namespace {

const QString kSearch = QStringLiteral("http://zhidao.baidu.com/search?&word=");
const QString kQuestion = QStringLiteral("http://zhidao.baidu.com/question/77.html");
// The first request carries the keyword GBK-escaped; the second as typed (UTF-8 escapes on
// the wire).
const QString kEncodedSearch = kSearch + QStringLiteral("%B5%E7%D3%B0+ed2k");
const QString kTypedSearch = kSearch + QStringLiteral("%E7%94%B5%E5%BD%B1+ed2k");

struct Run {
    int status = -1;
    QString out;
    QString err;
};

} // namespace

class TestHeadless : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void rowsAsTabbedLines();
    void rowsAsJson();
    void uniqueRows();
    void nothingFound();
    void usageErrors_data();
    void usageErrors();
    void helpAndVersion();

private:
    Run corvale(const QStringList& args);

    LocalWeb web;
    const QString a = QStringLiteral("ed2k://|file|%E7%94%B5%E5%BD%B1.rmvb|734003200|ABC|/");
    const QString b = QStringLiteral("ed2k://|file|tab\there.mkv|4700000000|DEF|/");
    // On the question page: the file of `a` again (its hash in other case), a name holding a
    // vertical bar (so no decimal size field), and `b`'s hash with another size.
    const QString c = QStringLiteral("ed2k://|file|again.rmvb|734003200|abc|");
    const QString d = QStringLiteral("ed2k://|file|odd|name.avi|5|FFF|");
    const QString e = QStringLiteral("ed2k://|file|other.mkv|4700000001|DEF|");
};

void TestHeadless::initTestCase() {
    QVERIFY(web.start());
    const QString page = QStringLiteral("<a href=\"%1\">x</a><a href=\"%2\">y</a>").arg(a, b);
    web.routeGbk(kEncodedSearch, page);
    // Only the second answer names the question page, so that its links are told apart.
    web.routeGbk(kTypedSearch, page + QStringLiteral("<a href=\"%1\">q</a>").arg(kQuestion));
    const QString question =
        QStringLiteral("<p>\"%1\" \"%2\" \"%3\"</p>").arg(c, d, e);
    web.routeGbk(kQuestion, question);
}

Run TestHeadless::corvale(const QStringList& args) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("http_proxy"), web.proxy());
    // No display: the search needs none.
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    p.setProcessEnvironment(env);
    p.start(binDir() + QStringLiteral("/corvale"), args);
    Run r;
    if (!p.waitForFinished(30000))
        return r;
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

void TestHeadless::rowsAsTabbedLines() {
    const Run r = corvale({QStringLiteral("--search"), QStringLiteral("电影")});
    QCOMPARE(r.status, 0);
    // A tab inside a cell would split the line: it is shown as a blank.
    const QString bShown = QString(b).replace(QLatin1Char('\t'), QLatin1Char(' '));
    QCOMPARE(r.out, QStringLiteral("1\t电影.rmvb\t 700M\trmvb\t%1\n"
                                   "2\ttab here.mkv\t 4.4G\tmkv\t%2\n"
                                   "3\tagain.rmvb\t 700M\trmvb\t%3\n"
                                   "4\todd\t\todd\t%4\n"
                                   "5\tother.mkv\t 4.4G\tmkv\t%5\n")
                        .arg(a, bShown, c, d, e));

    // One row per file, renumbered; still five cells a line.
    const Run u = corvale({QStringLiteral("--unique"), QStringLiteral("--search"),
                           QStringLiteral("电影")});
    QCOMPARE(u.status, 0);
    QCOMPARE(u.out, QStringLiteral("1\t电影.rmvb\t 700M\trmvb\t%1\n"
                                   "2\ttab here.mkv\t 4.4G\tmkv\t%2\n"
                                   "3\todd\t\todd\t%3\n"
                                   "4\tother.mkv\t 4.4G\tmkv\t%4\n")
                        .arg(a, bShown, d, e));
}

void TestHeadless::rowsAsJson() {
    const Run r =
        corvale({QStringLiteral("--json"), QStringLiteral("--search"), QStringLiteral("电影")});
    QCOMPARE(r.status, 0);
    const QStringList lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 5);
    QList<QJsonObject> rows;
    for (const QString& line : lines) {
        QJsonParseError error;
        rows << QJsonDocument::fromJson(line.toUtf8(), &error).object();
        QVERIFY2(error.error == QJsonParseError::NoError, qPrintable(line));
        QVERIFY2(!rows.last().contains(QStringLiteral("count")), qPrintable(line));
    }
    // Each row names the page its link was read from, exactly as it was requested.
    const QStringList sources = {kEncodedSearch, kEncodedSearch, kQuestion, kQuestion, kQuestion};
    // The size field as a number, or null where it is none.
    const QList<QJsonValue> bytes = {734003200.0, 4700000000.0, 734003200.0, QJsonValue::Null,
                                     4700000001.0};
    for (qsizetype i = 0; i < rows.size(); ++i) {
        QCOMPARE(rows[i].value(QStringLiteral("id")).toInt(), i + 1);
        QCOMPARE(rows[i].value(QStringLiteral("source")).toString(), sources[i]);
        const QJsonValue got = rows[i].value(QStringLiteral("bytes"));
        QCOMPARE(got.type(), bytes[i].type());
        QCOMPARE(got.toDouble(), bytes[i].toDouble());
    }
    // Written as whole numbers, not in exponent form.
    QVERIFY2(lines[1].contains(QStringLiteral("\"bytes\":4700000000")), qPrintable(lines[1]));
    const QJsonObject& second = rows[1];
    QCOMPARE(second.value(QStringLiteral("id")).toInt(), 2);
    QCOMPARE(second.value(QStringLiteral("name")).toString(), QStringLiteral("tab\there.mkv"));
    QCOMPARE(second.value(QStringLiteral("size")).toString(), QStringLiteral(" 4.4G"));
    QCOMPARE(second.value(QStringLiteral("format")).toString(), QStringLiteral("mkv"));
    // JSON carries the link exactly as it was found.
    QCOMPARE(second.value(QStringLiteral("link")).toString(), b);
}

void TestHeadless::uniqueRows() {
    const Run r = corvale({QStringLiteral("--search"), QStringLiteral("电影"),
                           QStringLiteral("--unique"), QStringLiteral("--json")});
    QCOMPARE(r.status, 0);
    const QStringList lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 4);
    // `c` folds into `a` (same size, hash in another case); `e` shares `b`'s hash only; `d` has
    // no size to compare and stays alone.
    const QStringList links = {a, b, d, e};
    const QList<int> counts = {2, 1, 1, 1};
    const QStringList sources = {kEncodedSearch, kEncodedSearch, kQuestion, kQuestion};
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QJsonObject o = QJsonDocument::fromJson(lines[i].toUtf8()).object();
        QCOMPARE(o.value(QStringLiteral("id")).toInt(), i + 1);
        QCOMPARE(o.value(QStringLiteral("link")).toString(), links[i]);
        QCOMPARE(o.value(QStringLiteral("count")).toInt(-1), counts[i]);
        QCOMPARE(o.value(QStringLiteral("source")).toString(), sources[i]);
    }
}

void TestHeadless::nothingFound() {
    const Run r = corvale({QStringLiteral("--search"), QStringLiteral("-nothing-")});
    QCOMPARE(r.status, 1);
    QCOMPARE(r.out, QString());
}

void TestHeadless::usageErrors_data() {
    QTest::addColumn<QStringList>("args");
    QTest::newRow("no keyword") << QStringList{QStringLiteral("--search")};
    QTest::newRow("empty keyword") << QStringList{QStringLiteral("--search"), QString()};
    QTest::newRow("unknown option")
        << QStringList{QStringLiteral("--search"), QStringLiteral("a"), QStringLiteral("--colour")};
    QTest::newRow("two keywords") << QStringList{QStringLiteral("--search"), QStringLiteral("a"),
                                                 QStringLiteral("b")};
    QTest::newRow("search twice")
        << QStringList{QStringLiteral("--search"), QStringLiteral("a"), QStringLiteral("--search"),
                       QStringLiteral("b")};
    QTest::newRow("json twice") << QStringList{QStringLiteral("--search"), QStringLiteral("a"),
                                               QStringLiteral("--json"), QStringLiteral("--json")};
    // Without --search there is nothing for these to shape.
    QTest::newRow("json alone") << QStringList{QStringLiteral("--json")};
    QTest::newRow("unique alone") << QStringList{QStringLiteral("--unique")};
    // The window takes no arguments: an unknown option or a stray word opens none.
    QTest::newRow("unknown option alone") << QStringList{QStringLiteral("--fullscreen")};
    QTest::newRow("single dash") << QStringList{QStringLiteral("-x")};
    QTest::newRow("stray word") << QStringList{QStringLiteral("matrix")};
    QTest::newRow("version and more")
        << QStringList{QStringLiteral("--version"), QStringLiteral("--json")};
}

void TestHeadless::usageErrors() {
    QFETCH(QStringList, args);
    // Run without a display: had the window been tried, the status would be 1.
    const Run r = corvale(args);
    QCOMPARE(r.status, 2);
    // What is wrong, in one line, then the usage.
    QVERIFY2(r.err.startsWith(QStringLiteral("corvale: ")), qPrintable(r.err));
    QVERIFY2(r.err.contains(QStringLiteral("\n\nusage: corvale")), qPrintable(r.err));
    QCOMPARE(r.out, QString());
}

void TestHeadless::helpAndVersion() {
    // --help wins wherever it stands, except as the keyword itself.
    for (const QStringList& args :
         {QStringList{QStringLiteral("--help")}, QStringList{QStringLiteral("-h")},
          QStringList{QStringLiteral("--search"), QStringLiteral("x"), QStringLiteral("--help")}}) {
        const Run r = corvale(args);
        QCOMPARE(r.status, 0);
        QCOMPARE(r.err, QString());
        QVERIFY2(r.out.startsWith(QStringLiteral("usage: corvale")), qPrintable(r.out));
        for (const char* option : {"--search KEYWORD", "--json", "--unique", "--version",
                                   "http_proxy", "ed2k:", "Exit status"})
            QVERIFY2(r.out.contains(QLatin1String(option)), option);
    }
    const Run v = corvale({QStringLiteral("--version")});
    QCOMPARE(v.status, 0);
    QCOMPARE(v.out, QStringLiteral("corvale 1.01 (Qarvo)\n"));

    // "--help" right after --search is the keyword, searched like any other.
    const Run k = corvale({QStringLiteral("--search"), QStringLiteral("--help")});
    QCOMPARE(k.status, 1);
    QCOMPARE(k.out, QString());
    QVERIFY(!web.requestedUrls(kSearch + QStringLiteral("--help+ed2k")).isEmpty());
}

QTEST_GUILESS_MAIN(TestHeadless)
#include "test_headless.moc"
