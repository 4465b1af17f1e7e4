// Pages from the open web at their worst: the link search and the play-address resolution end
// in bounded time, keep the event loop free while they wait, list what the sound pages hold and
// show nothing but their banners.
#include "player/playresolver.h"
#include "portal/form1.h"
#include "support/localweb.h"
#include "webkit/fetch.h"

#include <QLineEdit>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

namespace {

const QString kSearch = QStringLiteral("http://zhidao.baidu.com/search?&word=");
const QString kQuestion = QStringLiteral("http://zhidao.baidu.com/question/%1.html");
const QString kGood = QStringLiteral("ed2k://|file|good.avi|734003200|0123456789ABCDEF|/");
const QString kGoodQuestion = QStringLiteral("ed2k://|file|fromquestion.mkv|1|ABCDEF|");

QByteArray hostileNoQuotes() {
    QByteArray page;
    page.reserve(10 << 20);
    while (page.size() < (10 << 20))
        page += "ed2k://|file|ab ";
    return page;
}

} // namespace

class TestHostile : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void hostileQuestionPage_data();
    void hostileQuestionPage();
    void thousandQuestionPages();
    void hugePlayApiReply();

private:
    LocalWeb web;
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
    QTest::addColumn<QByteArray>("body"); // a page of its own, or
    QTest::addColumn<QString>("fault");   // a failure in its place
    QTest::addColumn<QString>("charset");
    QByteArray badGbk = "<p>\x81\x20\xFF\xFE\x80\x81";
    badGbk += kGoodQuestion.toUtf8() + "\xA1</p>\xFF";
    QTest::newRow("10 MB of link starts, no double quote")
        << hostileNoQuotes() << QString() << "raw";
    QTest::newRow("invalid GBK around a link") << badGbk << QString() << "raw";
    QTest::newRow("100 MB body") << QByteArray() << "/__fault/big/100000000"
                                 << "raw";
    QTest::newRow("stalled connection") << QByteArray() << "/__fault/stall"
                                        << "raw";
    QTest::newRow("reset mid-body") << QByteArray() << "/__fault/reset"
                                    << "raw";
    QTest::newRow("redirect loop") << QByteArray() << "/__fault/redirect-loop"
                                   << "raw";
}

void TestHostile::hostileQuestionPage() {
    QFETCH(QByteArray, body);
    QFETCH(QString, fault);
    QFETCH(QString, charset);
    static int round = 0;
    const QString keyword = QStringLiteral("hostile%1").arg(++round);
    // The search page holds one sound link and names a sound question page and the hostile one.
    const QString page =
        QStringLiteral("<a href=\"%1\">x</a><a href=\"%2\">q</a><a href=\"%3\">q</a>")
            .arg(kGood, kQuestion.arg(round * 10), kQuestion.arg(round * 10 + 1));
    web.route(kSearch + keyword + QStringLiteral("+ed2k"), page.toUtf8(), 200,
              QStringLiteral("gbk"));
    web.route(kQuestion.arg(round * 10), ("<p>" + kGoodQuestion + "</p>").toUtf8(), 200,
              QStringLiteral("gbk"));
    if (fault.isEmpty())
        web.route(kQuestion.arg(round * 10 + 1), body, 200, charset);
    else
        web.routeFault(kQuestion.arg(round * 10 + 1), fault);

    portal::Form1 form;
    form.setPlayerPath(QString());
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.Image3_Click();
    form.Text1->setText(keyword);
    int enter = 13;
    form.Text1_KeyPress(enter);
    QVERIFY(form.Picture3->isVisible());

    // The event loop stays free while the pages are read: a timer due at once fires while the
    // search still waits for its first pages, not after it.
    bool tickedDuringSearch = false;
    QTimer::singleShot(0, &form, [&] { tickedDuringSearch = form.Picture3->isVisible(); });
    QTRY_VERIFY_WITH_TIMEOUT(!form.Picture3->isVisible(), 30000);
    QVERIFY(tickedDuringSearch);

    // The sound pages' links are all there; the hostile page gave nothing, or its one link.
    QStringList names;
    for (int i = 0; i < form.ListView1->topLevelItemCount(); ++i)
        names << form.ListView1->topLevelItem(i)->text(1);
    QVERIFY2(names.size() >= 2, qPrintable(names.join(QLatin1Char(','))));
    QCOMPARE(names.mid(0, 2),
             QStringList({QStringLiteral("good.avi"), QStringLiteral("fromquestion.mkv")}));
    QVERIFY(names.size() <= 3);
    QVERIFY(!form.Picture2->isVisible());
    QVERIFY(form.findChildren<QMessageBox*>().isEmpty());
}

void TestHostile::thousandQuestionPages() {
    QString page;
    for (int n = 1; n <= 1000; ++n)
        page += QStringLiteral("<a href=\"%1\">q</a>\n").arg(kQuestion.arg(900000 + n));
    web.route(kSearch + QStringLiteral("thousand+ed2k"), page.toUtf8(), 200, QStringLiteral("gbk"));
    web.route(QStringLiteral("http://zhidao.baidu.com/question/9*"),
              ("<p>" + kGoodQuestion + "</p>").toUtf8(), 200, QStringLiteral("gbk"));
    portal::Form1 form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.Image3_Click();
    form.Text1->setText(QStringLiteral("thousand"));
    int enter = 13;
    form.Text1_KeyPress(enter);
    bool tickedDuringSearch = false;
    QTimer::singleShot(0, &form, [&] { tickedDuringSearch = form.Picture3->isVisible(); });
    QTRY_VERIFY_WITH_TIMEOUT(form.ListView1->topLevelItemCount() == 1000, 60000);
    QVERIFY(tickedDuringSearch);
    QCOMPARE(web.requestedUrls(QStringLiteral("http://zhidao.baidu.com/question/9")).size(), 1000);
}

void TestHostile::hugePlayApiReply() {
    // A 10 MB reply with the play address at its very end: found, in bounded time.
    const QString link = QStringLiteral("ed2k://|file|big.reply.avi|1|ABCDEF|/");
    const QString request = lumetta::PlayResolver::requestAddress(link);
    QByteArray reply(10 << 20, 'x');
    reply += " http://vod.miravend.test/high.php?v=abcdef";
    web.route(request, reply);
    lumetta::PlayResolver resolver;
    QSignalSpy resolved(&resolver, &lumetta::PlayResolver::resolved);
    QSignalSpy failed(&resolver, &lumetta::PlayResolver::failed);
    resolver.dqbfdz(link);
    QTRY_VERIFY_WITH_TIMEOUT(resolved.size() + failed.size() == 1, 30000);
    QCOMPARE(resolved.size(), 1);
    QCOMPARE(resolved[0][0].toString(),
             QStringLiteral("http://vod.miravend.test/high.php?v=abcdef"));
}

QTEST_MAIN(TestHostile)
#include "test_hostile.moc"
