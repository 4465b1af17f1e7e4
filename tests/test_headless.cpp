// corvale --search: the link search without a window, as another program would use it.
#include "support/localweb.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTest>

namespace {

const QString kSearch = QStringLiteral("http://zhidao.baidu.com/search?&word=");

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
    void nothingFound();
    void usageErrors_data();
    void usageErrors();

private:
    Run corvale(const QStringList& args);

    LocalWeb web;
    const QString a = QStringLiteral("ed2k://|file|%E7%94%B5%E5%BD%B1.rmvb|734003200|ABC|/");
    const QString b = QStringLiteral("ed2k://|file|tab\there.mkv|4700000000|DEF|/");
};

void TestHeadless::initTestCase() {
    QVERIFY(web.start());
    const QString page = QStringLiteral("<a href=\"%1\">x</a><a href=\"%2\">y</a>").arg(a, b);
    // The keyword GBK-escaped, then as typed (UTF-8 escapes on the wire).
    for (const char* keyword : {"%B5%E7%D3%B0", "%E7%94%B5%E5%BD%B1"})
        web.route(kSearch + QLatin1String(keyword) + QStringLiteral("+ed2k"), page.toUtf8(), 200,
                  QStringLiteral("gbk"));
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
    QCOMPARE(r.out, QStringLiteral("1\t电影.rmvb\t 700M\trmvb\t%1\n"
                                   "2\ttab here.mkv\t 4.4G\tmkv\t%2\n")
                        .arg(a, QString(b).replace(QLatin1Char('\t'), QLatin1Char(' '))));
}

void TestHeadless::rowsAsJson() {
    const Run r =
        corvale({QStringLiteral("--json"), QStringLiteral("--search"), QStringLiteral("电影")});
    QCOMPARE(r.status, 0);
    const QStringList lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 2);
    const QJsonObject second = QJsonDocument::fromJson(lines[1].toUtf8()).object();
    QCOMPARE(second.value(QStringLiteral("id")).toInt(), 2);
    QCOMPARE(second.value(QStringLiteral("name")).toString(), QStringLiteral("tab\there.mkv"));
    QCOMPARE(second.value(QStringLiteral("size")).toString(), QStringLiteral(" 4.4G"));
    QCOMPARE(second.value(QStringLiteral("format")).toString(), QStringLiteral("mkv"));
    // JSON carries the link exactly as it was found.
    QCOMPARE(second.value(QStringLiteral("link")).toString(), b);
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
}

void TestHeadless::usageErrors() {
    QFETCH(QStringList, args);
    const Run r = corvale(args);
    QCOMPARE(r.status, 2);
    QVERIFY2(r.err.startsWith(QStringLiteral("usage: corvale")), qPrintable(r.err));
    QCOMPARE(r.out, QString());
}

QTEST_GUILESS_MAIN(TestHeadless)
#include "test_headless.moc"
