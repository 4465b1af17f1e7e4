// The charset decoders and GBK's bytes of a character: the decoder to UTF-16, the one straight
// to UTF-8 (which must give the same text), and the code page's single characters.
#include "support/columns.h"
#include "webkit/charset.h"

#include <QTest>

using namespace webkit;

class TestCharset : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void decoderDirectly();
    void utf8DecoderGivesTheSameText_data();
    void utf8DecoderGivesTheSameText();
    void utf8DecoderOnEveryGbkPair();
    void gbkCodes();
};

void TestCharset::decoderDirectly() {
    QCOMPARE(EncodingConvertor(QByteArray("\xD6\xD0\xCE\xC4"), QStringLiteral("gbk")),
             QStringLiteral("中文"));
    QCOMPARE(EncodingConvertor(QByteArray("abc"), QStringLiteral("bogus")), QString());
    // Invalid bytes do not end the decoding: the text around them survives.
    const QString bad = EncodingConvertor(QByteArray("a\xFF\xFF"
                                                     "b\x81"),
                                          QStringLiteral("gbk"));
    QVERIFY(bad.startsWith(QLatin1Char('a')));
    QVERIFY(bad.contains(QLatin1Char('b')));
    const QString badUtf8 = EncodingConvertor(QByteArray("x\xC3(y"), QStringLiteral("utf-8"));
    QVERIFY(badUtf8.startsWith(QLatin1Char('x')) && badUtf8.endsWith(QLatin1Char('y')));

    // A UTF-8 byte-order mark is skipped, also when it is the whole body; only a whole one, and
    // only in UTF-8.
    const QByteArray bom("\xEF\xBB\xBF");
    QCOMPARE(EncodingConvertor(bom, QStringLiteral("utf-8")), QString());
    QCOMPARE(EncodingConvertor(bom + "a", QStringLiteral("utf-8")), QStringLiteral("a"));
    QCOMPARE(EncodingConvertor(bom.left(2), QStringLiteral("utf-8")), QString(QChar(0xFFFD)));
    QCOMPARE(EncodingConvertor(bom + "a", QStringLiteral("gbk")), QStringLiteral("锘縜"));
    const QString tail = EncodingConvertor("a\xBB\xBF"
                                           "b",
                                           QStringLiteral("utf-8"));
    QVERIFY(tail.startsWith(QLatin1Char('a')) && tail.endsWith(QLatin1Char('b')));

    // A charset that gives more UTF-16 units than there are bytes loses nothing: SCSU selects
    // a window on U+1F600 (three bytes), then every byte is one emoji, two units each.
    QByteArray scsu("\x0B\x01\xEC");
    scsu += QByteArray(100, '\x80');
    QString emoji;
    for (int i = 0; i < 100; ++i)
        emoji += QString::fromUcs4(U"\U0001F600");
    QCOMPARE(EncodingConvertor(scsu, QStringLiteral("SCSU")), emoji);
}

void TestCharset::utf8DecoderGivesTheSameText_data() {
    addColumns<QByteArray, QString>({"bytes", "charset"});
    const QByteArray longAscii(40, 'x');     // long enough to be copied past the decoder
    const QByteArray cn("\xD6\xD0\xCE\xC4"); // 中文
    QTest::newRow("empty") << QByteArray() << "gbk";
    QTest::newRow("ascii only") << QByteArray("<a href=\"ed2k://|file|a.avi|1|h|/\">") << "gbk";
    QTest::newRow("chinese only") << cn << "gbk";
    QTest::newRow("chinese between long ascii runs") << longAscii + cn + longAscii + cn << "gbk";
    // Trail bytes 40..7E are ASCII letters: they belong to the character before them.
    QTest::newRow("ascii trail bytes")
        << QByteArray("\x81\x40\x81\x7E\xFE\x7E") + longAscii << "gbk";
    QTest::newRow("lead before a long ascii run")
        << QByteArray("\x81") + longAscii + QByteArray("\x81") << "gbk";
    QTest::newRow("lead before a byte that is no trail") << QByteArray("a\x81\x22"
                                                                       "b\x81\x7F")
                                                         << "gbk";
    QTest::newRow("lead at the end") << longAscii + QByteArray("\xB5") << "gbk";
    QTest::newRow("invalid bytes") << QByteArray("\x80\xFF\xFF\x81\xFF") + longAscii + "\xFF"
                                   << "gbk";
    QTest::newRow("utf-8 byte-order mark read as gbk") << QByteArray("\xEF\xBB\xBF"
                                                                     "abc")
                                                       << "gbk";
    QTest::newRow("utf-8 byte-order mark")
        << QByteArray("\xEF\xBB\xBF<p>\xE4\xB8\xAD</p>") << "utf-8";
    QTest::newRow("utf-8 beyond the basic plane") << QByteArray("a\xF0\x9F\x98\x80"
                                                                "b\xF0\x9F")
                                                  << "utf-8";
    QTest::newRow("utf-8 invalid") << QByteArray("x\xC3(y\xED\xA0\x80z") << "utf-8";
    QTest::newRow("unknown charset") << QByteArray("abc") << "bogus";
    // A large page of mixed text: many stretches, and a decode that needs more than one round.
    QByteArray mixed;
    for (int i = 0; i < 3000; ++i)
        mixed += cn + QByteArray(i % 50, 'a') + "\xA1\xA1" + QByteArray(i % 7, '|') + "\x81";
    QTest::newRow("large mixed page") << mixed << "gbk";
    QTest::newRow("large chinese page") << cn.repeated(20000) << "gbk";
    // ASCII read eight bytes at a time: a run one short of a block, and of two.
    QTest::newRow("ascii, 7 bytes") << QByteArray("abcdefg") << "gbk";
    QTest::newRow("ascii, 15 bytes") << QByteArray("abcdefghijklmno") << "gbk";
    // Bytes that are no GBK character each become a replacement character of three UTF-8
    // bytes: the output outgrows the room first made for it.
    QTest::newRow("no characters at all") << QByteArray(3000, '\xFF') << "gbk";
    // Then, past a long ASCII run, a long run of characters, which finds the room taken and has
    // to make more.
    QTest::newRow("no characters, then many")
        << QByteArray(3000, '\xFF') + longAscii + cn.repeated(3000) << "gbk";
}

void TestCharset::utf8DecoderGivesTheSameText() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, charset);
    const QString text = EncodingConvertor(bytes, charset);
    QCOMPARE(EncodingConvertorUtf8(bytes, charset), text.toUtf8());
    if (QByteArrayView(QTest::currentDataTag()) == "no characters at all")
        QVERIFY(text.toUtf8().size() > bytes.size() * 2);
}

void TestCharset::utf8DecoderOnEveryGbkPair() {
    // Every two-byte sequence that starts outside ASCII, at the end of the input (alone and after
    // a byte that is no character) and before both a short and a long ASCII run: the stretch
    // the decoder hands on must end where ICU's characters end.
    const QByteArray shortRun("<a");
    const QByteArray longRun = QByteArray("<a href=\"").repeated(5);
    int differing = 0;
    for (int first = 0x80; first <= 0xFF; ++first) {
        for (int second = 0; second <= 0xFF; ++second) {
            const QByteArray pair = QByteArray(1, char(first)) + char(second);
            // After a byte that starts no pair (0x80 is a character of its own, 0xFF none),
            // the pair's first byte still starts a character.
            for (const QByteArray& bytes :
                 {pair, pair + shortRun, pair + longRun, "x" + pair + longRun + pair,
                  "\x80" + pair + longRun, "\xFF" + pair + longRun, "\x80" + pair,
                  "\xFF" + pair}) {
                const QByteArray expected =
                    EncodingConvertor(bytes, QStringLiteral("gbk")).toUtf8();
                if (EncodingConvertorUtf8(bytes, QStringLiteral("gbk")) != expected &&
                    ++differing <= 5)
                    qWarning("differs: %s", bytes.toHex(' ').constData());
            }
        }
    }
    QCOMPARE(differing, 0);
    // Every lead byte with every second byte 40..FE but 7F is a character, or ICU's substitute
    // for one, and comes from the table.
    QCOMPARE(gbkPairsInTable(), (0xFE - 0x81 + 1) * (0xFE - 0x40));
}

void TestCharset::gbkCodes() {
    webkit::GbkCodec gbk;
    // Two-byte codes are characters; the first and the last of the range.
    QCOMPARE(gbk.decode(0xB0A1), QStringLiteral("啊"));
    QCOMPARE(gbk.decode(0xD6D0), QStringLiteral("中"));
    QCOMPARE(gbk.decode(0x8140), QStringLiteral("丂"));
    QCOMPARE(gbk.decode(0xFEFE), QString(QChar(0xE4C5)));
    // Codes that are no character, one-byte codes included (the decoder is asked for pairs).
    for (int code : {0x41, 0x80, 0xB0, 0xFF, 0x100, 0x813F, 0xFFFF, 0x10000})
        QCOMPARE(gbk.decode(code), QStringLiteral("?"));
    QCOMPARE(gbk.encode(QChar(0x7F)), QByteArray("\x7F"));
    QCOMPARE(gbk.encode(QChar(0x20AC)), QByteArray("\x80"));
    QCOMPARE(gbk.encode(QChar(0x554A)), QByteArray("\xB0\xA1"));
    QCOMPARE(gbk.encode(QChar(0xD83D)), QByteArray("?"));
    // A character GBK does not have (Thai ko kai).
    QCOMPARE(gbk.encode(QChar(0x0E01)), QByteArray("?"));
}

QTEST_GUILESS_MAIN(TestCharset)
#include "test_charset.moc"
