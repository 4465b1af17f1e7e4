// Rows of the result list built from harvested links, and the model that shows them.
#include "portal/resultmodel.h"
#include "portal/results.h"
#include "support/columns.h"

#include <QMimeData>
#include <QSignalSpy>

#include <QTest>

#include <memory>

using namespace portal;

class TestResults : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void sizes_data();
    void sizes();
    void rows();
    void malformedPiecesKeepTheirPlace();
    void edurlJoinsEveryLink();
    void modelMirrorsItsLinks();
};

void TestResults::sizes_data() {
    addColumns<QString, QString>({"bytes", "shown"});
    QTest::newRow("0") << "0"
                       << " 0M";
    QTest::newRow("just under 1 MiB") << "1048575"
                                      << " 0M";
    QTest::newRow("700 MiB") << "734003200"
                             << " 700M";
    QTest::newRow("a byte under 1024 MiB") << "1073741823"
                                           << " 1023M";
    QTest::newRow("exactly 1024 MiB") << "1073741824"
                                      << " 1024M";
    QTest::newRow("one byte more") << "1073741825"
                                   << " 1G";
    QTest::newRow("1.25 GiB, tie to even") << "1342177280"
                                           << " 1.2G";
    QTest::newRow("1.75 GiB, tie to even") << "1879048192"
                                           << " 1.8G";
    QTest::newRow("2 GiB without .0") << "2147483648"
                                      << " 2G";
    QTest::newRow("4.4G") << "4700000000"
                          << " 4.4G";
    QTest::newRow("huge") << "1099511627776000"
                          << " 1024000G";
    // From about 2^51 bytes up, a tenth of a GiB is below the double's resolution: the size must
    // be rounded once, from the double's exact value.
    QTest::newRow("just below a tie") << "3602879862957670"
                                      << " 3355443.3G";
    QTest::newRow("just above a tie") << "3602879970331853"
                                      << " 3355443.5G";
    QTest::newRow("read as the next double") << "9562949822919475"
                                             << " 8906191.1G";
    QTest::newRow("2^53") << "9007199254740992"
                          << " 8388608G";
    QTest::newRow("2^53 + 1, read as 2^53") << "9007199254740993"
                                            << " 8388608G";
    QTest::newRow("twenty digits") << "99999999999999999999"
                                   << " 93132257461.5G";
    QTest::newRow("not a number") << "12ab"
                                  << "";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("sign") << "-5"
                          << "";
    // Every digit counts, and the characters either side of the digits do not.
    QTest::newRow("beyond a double") << QString(400, QLatin1Char('9')) << "";
    QTest::newRow("nine") << "9"
                          << " 0M";
    QTest::newRow("slash") << "1/2"
                           << "";
    QTest::newRow("colon") << "1:2"
                           << "";
}

void TestResults::sizes() {
    QFETCH(QString, bytes);
    QFETCH(QString, shown);
    QCOMPARE(displaySize(bytes), shown);
}

void TestResults::rows() {
    const QStringList links = {
        QStringLiteral("ed2k://|file|%E7%94%B5%E5%BD%B1.rmvb|734003200|ABC|/"),
        QStringLiteral("ed2k://|file|a.b.mkv|4700000000|ABC|"),
        QStringLiteral("ed2k://|file|noformat|1|ABC|"),
        QStringLiteral("ed2k://|file|ends.|1|ABC|"),
        QStringLiteral("ed2k://|file|%D6%D0%CE%C4.avi|2147483648|ABC|/"),
        // A match that spans two links shows the first one's name and size.
        QStringLiteral("ed2k://|file|first.avi|1048576|H1|/ text ed2k://|file|second.mkv|9|H2|/"),
        QStringLiteral("ed2k://|file|a.b.mkv|4700000000|ABC|"),
    };
    const QList<ResultRow> rows = zairuRows(links);
    QCOMPARE(rows.size(), links.size());
    auto check = [&](int i, const char* id, const QString& name, const char* size,
                     const QString& fmt) {
        QCOMPARE(rows[i].id, QString::fromLatin1(id));
        QCOMPARE(rows[i].name, name);
        QCOMPARE(rows[i].size, QString::fromLatin1(size));
        QCOMPARE(rows[i].format, fmt);
    };
    check(0, "1", QStringLiteral("电影.rmvb"), " 700M", QStringLiteral("rmvb"));
    check(1, "2", QStringLiteral("a.b.mkv"), " 4.4G", QStringLiteral("mkv"));
    check(2, "3", QStringLiteral("noformat"), " 0M", QStringLiteral("noformat"));
    check(3, "4", QStringLiteral("ends."), " 0M", QString());
    check(4, "5", QStringLiteral("中文.avi"), " 2G", QStringLiteral("avi"));
    check(5, "6", QStringLiteral("first.avi"), " 1M", QStringLiteral("avi"));
    // The same link twice gives two rows.
    check(6, "7", QStringLiteral("a.b.mkv"), " 4.4G", QStringLiteral("mkv"));
}

void TestResults::malformedPiecesKeepTheirPlace() {
    const QList<ResultRow> rows = zairuRows(
        {QStringLiteral("garbage"), QStringLiteral("ed2k://|file"), QStringLiteral("ed2k://|file|"),
         QStringLiteral("ed2k://|file|a|b.avi|12|H|"), QStringLiteral("ed2k://|file||5|H|"),
         QStringLiteral("ed2k://|file|x*y.avi|5|H|"), QStringLiteral("ed2k://|file|cut.avi"),
         QStringLiteral("ed2k://|file|cut.mkv|1048576")});
    QCOMPARE(rows.size(), 8);
    QCOMPARE(rows[0].id, QStringLiteral("1"));
    QCOMPARE(rows[0].name, QString());
    QCOMPARE(rows[0].size, QString());
    // Two fields, then three: no name field, then an empty one.
    QCOMPARE(rows[1].id, QStringLiteral("2"));
    QCOMPARE(rows[1].name, QString());
    QCOMPARE(rows[1].format, QString());
    QCOMPARE(rows[2].name, QString());
    QCOMPARE(rows[2].size, QString());
    // A "|" in the name moves the size out of place: no size rather than a wrong one.
    QCOMPARE(rows[3].name, QStringLiteral("a"));
    QCOMPARE(rows[3].size, QString());
    QCOMPARE(rows[4].name, QString());
    QCOMPARE(rows[4].size, QStringLiteral(" 0M"));
    // A "*" inside a link no longer cuts it.
    QCOMPARE(rows[5].id, QStringLiteral("6"));
    QCOMPARE(rows[5].name, QStringLiteral("x*y.avi"));
    // A link cut right after its name, and right after its size: what is there is shown.
    QCOMPARE(rows[6].name, QStringLiteral("cut.avi"));
    QCOMPARE(rows[6].format, QStringLiteral("avi"));
    QCOMPARE(rows[6].size, QString());
    QCOMPARE(rows[7].name, QStringLiteral("cut.mkv"));
    QCOMPARE(rows[7].size, QStringLiteral(" 1M"));
}

void TestResults::edurlJoinsEveryLink() {
    QCOMPARE(edurlText({}), QString());
    QCOMPARE(edurlText({QStringLiteral("a"), QStringLiteral("b*c")}), QStringLiteral("a*b*c*"));
}

void TestResults::modelMirrorsItsLinks() {
    Links shown;
    ResultModel model(&shown);
    QCOMPARE(model.columnCount(), 0);
    model.setColumnTitles({QStringLiteral("ID"), QStringLiteral("电影名"),
                           QStringLiteral("文件大小"), QStringLiteral("格式")});
    QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), QStringLiteral("ID"));
    QCOMPARE(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("电影名"));
    QCOMPARE(model.headerData(3, Qt::Horizontal).toString(), QStringLiteral("格式"));
    QVERIFY(!model.headerData(4, Qt::Horizontal).isValid());
    QVERIFY(!model.headerData(-1, Qt::Horizontal).isValid());
    QVERIFY(!model.headerData(0, Qt::Vertical).isValid());
    QVERIFY(!model.headerData(1, Qt::Horizontal, Qt::ToolTipRole).isValid());

    QStringList links;
    for (int i = 0; i < 3000; ++i)
        links << QStringLiteral("ed2k://|file|%E7%94%B5%E5%BD%B1%1.rmvb|%2|ABCDEF|/")
                     .arg(i)
                     .arg(qint64(i) << 20);
    links << QStringLiteral("not a link");
    // Views hear of every change before and after it.
    QSignalSpy aboutToReset(&model, &QAbstractItemModel::modelAboutToBeReset);
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    shown.set(links);
    QCOMPARE(aboutToReset.size(), 1);
    QCOMPARE(reset.size(), 1);
    model.setColumnTitles({QStringLiteral("ID"), QStringLiteral("电影名"),
                           QStringLiteral("文件大小"), QStringLiteral("格式")});
    QCOMPARE(aboutToReset.size(), 2);
    QCOMPARE(reset.size(), 2);
    QCOMPARE(model.rowCount(), 3001);
    // Cells asked for in any order, each the same as the row built on its own.
    for (int r : {2999, 0, 1500, 0, 3000, 7}) {
        const ResultRow expected = zairuRow(r + 1, links[r]);
        const QStringList cells = {expected.id, expected.name, expected.size, expected.format};
        for (int c : {3, 0, 2, 1})
            QCOMPARE(model.data(model.index(r, c)).toString(), cells[c]);
    }
    QCOMPARE(model.text(700, 1), QStringLiteral("电影700.rmvb"));
    QCOMPARE(model.text(700, 2), QStringLiteral(" 700M"));
    QCOMPARE(model.text(1500, 2), QStringLiteral(" 1.5G"));
    // Nothing outside the cells, and no other role.
    QCOMPARE(model.text(3001, 0), QString());
    QCOMPARE(model.text(-1, 0), QString());
    QCOMPARE(model.text(0, 4), QString());
    QCOMPARE(model.text(0, -1), QString());
    QVERIFY(!model.data(model.index(0, 1), Qt::DecorationRole).isValid());
    QVERIFY(!model.data(model.index(3001, 1), Qt::ToolTipRole).isValid());
    // Every cell of a row shows its whole link as tooltip; a row dragged out carries it as text.
    for (int c : {0, 3})
        QCOMPARE(model.data(model.index(3000, c), Qt::ToolTipRole).toString(), links[3000]);
    QVERIFY(model.flags(model.index(5, 1)) & Qt::ItemIsDragEnabled);
    QVERIFY(!(model.flags(QModelIndex()) & Qt::ItemIsDragEnabled));
    QCOMPARE(model.mimeTypes(), QStringList{QStringLiteral("text/plain")});
    const std::unique_ptr<QMimeData> one(
        model.mimeData({model.index(7, 0), model.index(7, 1), model.index(7, 3)}));
    QVERIFY(one);
    QCOMPARE(one->text(), links[7]);
    const std::unique_ptr<QMimeData> two(model.mimeData({model.index(9, 2), model.index(2, 0)}));
    QCOMPARE(two->text(), links[2] + QLatin1Char('\n') + links[9]);
    QVERIFY(!model.mimeData({model.index(3001, 0)}));
    QVERIFY(!model.index(0, 0, model.index(0, 0)).isValid());
    QVERIFY(!model.data(QModelIndex()).isValid());
    // Cells have no rows or columns of their own.
    QCOMPARE(model.rowCount(model.index(0, 0)), 0);
    QCOMPARE(model.columnCount(model.index(0, 0)), 0);

    const QStringList given = links;
    // The rows stay those of the links given, whatever becomes of the caller's list.
    links.clear();
    links << QStringLiteral("ed2k://|file|other.avi|1|A|/");
    QCOMPARE(model.rowCount(), 3001);
    QCOMPARE(model.text(0, 1), QStringLiteral("电影0.rmvb"));
    QCOMPARE(model.data(model.index(0, 1), Qt::ToolTipRole).toString(), given[0]);

    // New links replace the rows already shown, the one last asked for included.
    QCOMPARE(model.text(0, 1), QStringLiteral("电影0.rmvb"));
    shown.set(links);
    QCOMPARE(model.rowCount(), 1);
    QCOMPARE(model.text(0, 1), QStringLiteral("other.avi"));
    // Only titled columns have cells.
    model.setColumnTitles({QStringLiteral("ID"), QStringLiteral("电影名")});
    QCOMPARE(model.text(0, 1), QStringLiteral("other.avi"));
    QCOMPARE(model.text(0, 2), QString());
    model.setColumnTitles({QStringLiteral("ID"), QStringLiteral("电影名"),
                           QStringLiteral("文件大小"), QStringLiteral("格式")});

    shown.clear();
    QCOMPARE(model.rowCount(), 0);
    QCOMPARE(model.text(0, 1), QString());
    QCOMPARE(model.columnCount(), 4);
}

QTEST_GUILESS_MAIN(TestResults)
#include "test_results.moc"
