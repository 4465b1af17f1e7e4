// Query encoders and the name decoder, checked character for character.
#include "support/columns.h"
#include "webkit/charset.h"
#include "webkit/urldecode.h"
#include "webkit/urlencode.h"

#include <QTest>

using namespace webkit;

class TestEncoding : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void encoders_data();
    void encoders();
    void everyEncodingIsAsciiWithUpperCaseEscapes();
    void decode_data();
    void decode();
    void hexPairs();
};

void TestEncoding::encoders_data() {
    addColumns<QString, QString, QString>({"routine", "input", "output"});
    auto row = [](const char* routine, const QString& in, const QString& out) {
        QTest::addRow("%s %s", routine, qPrintable(in))
            << QString::fromLatin1(routine) << in << out;
    };
    const QString link = QStringLiteral("ed2k://|file|a.avi|1|/");
    row("portal", QStringLiteral("电影 2012"), QStringLiteral("%B5%E7%D3%B0%202012"));
    row("player", QStringLiteral("电影 2012"), QStringLiteral("%B5%E7%D3%B0%20%32%30%31%32"));
    row("player", link, QStringLiteral("ed%32k%3A%2F%2F%7Cfile%7Ca%2Eavi%7C%31%7C%2F"));
    row("portal", link, QStringLiteral("ed2k%3A//%7Cfile%7Ca.avi%7C1%7C/"));
    row("utf8", QStringLiteral("中国 a"), QStringLiteral("%E4%B8%AD%E5%9B%BD a"));
    row("utf8", QString(QChar(0xE9)), QStringLiteral("%C3%A9"));
    row("utf8", QString(QChar(0xB7)), QStringLiteral("%C2%B7"));
    row("utf8", QString(QChar(0x800)), QStringLiteral("%E0%A0%80"));
    row("utf8", QStringLiteral("a b&c"), QStringLiteral("a b&c"));
    // The last and first code units of each UTF-8 length.
    row("utf8", QString(QChar(0x7F)), QString(QChar(0x7F)));
    row("utf8", QString(QChar(0x80)), QStringLiteral("%C2%80"));
    row("utf8", QString(QChar(0x7FF)), QStringLiteral("%DF%BF"));
    row("utf8", QString(QChar(0xFFFF)), QStringLiteral("%EF%BF%BF"));
    // Both ends of the letter ranges pass; the characters just outside them do not.
    row("player", QStringLiteral("@AZ[`az{"), QStringLiteral("%40AZ%5B%60az%7B"));
    row("portal", QStringLiteral("@AZ[`az{09:"), QStringLiteral("%40AZ%5B%60az%7B09%3A"));
    // Tabs: escaped by both GBK encoders, passed by the UTF-8 one.
    row("portal", QStringLiteral("\t"), QStringLiteral("%09"));
    row("player", QStringLiteral("\t"), QStringLiteral("%09"));
    row("utf8", QStringLiteral("\t"), QStringLiteral("\t"));
    for (const char* r : {"portal", "player", "utf8"})
        row(r, QString(), QString());
    // Punctuation the portal lets through is escaped by the player; others by both.
    row("portal", QStringLiteral("+_*-,./"), QStringLiteral("%2B%5F%2A-,./"));
    row("player", QStringLiteral("-,./"), QStringLiteral("%2D%2C%2E%2F"));
    // A character GBK lacks becomes "?"; the euro sign is GBK's one-byte 0x80.
    row("portal", QString(QChar(0x0E01)), QStringLiteral("%3F"));
    row("portal", QString(QChar(0x20AC)), QStringLiteral("%80"));
    // Code page 936 as Windows has it, private-use mappings included: another GBK table
    // (GB18030, or GBK without the user-defined area) gives other bytes for these.
    row("portal", QString(QChar(0xE000)), QStringLiteral("%AA%A1"));
    row("portal", QString(QChar(0xF8F5)), QStringLiteral("%FF"));
    row("player", QString(QChar(0xE000)), QStringLiteral("%AA%A1"));
    row("portal", QString(QChar(0x80)), QStringLiteral("%3F"));
    // A character outside the BMP: two surrogates, each its own three-byte sequence.
    row("utf8", QString::fromUcs4(U"\U0001F600"), QStringLiteral("%ED%A0%BD%ED%B8%80"));
    row("portal", QString::fromUcs4(U"\U0001F600"), QStringLiteral("%3F%3F"));
}

void TestEncoding::encoders() {
    QFETCH(QString, routine);
    QFETCH(QString, input);
    QFETCH(QString, output);
    QString got;
    if (routine == QLatin1String("portal"))
        got = portal::URLEncode(input);
    else if (routine == QLatin1String("player"))
        got = player::URLEncode(input);
    else
        got = UTF8_URLEncoding(input);
    QCOMPARE(got, output);
}

void TestEncoding::everyEncodingIsAsciiWithUpperCaseEscapes() {
    // Every BMP code unit, one at a time: the output is ASCII, and every "%" is followed by
    // two upper-case hexadecimal digits.
    for (uint u = 0; u <= 0xFFFF; u += 7) {
        const QString in = QString(QChar(char16_t(u)));
        for (const QString& out :
             QStringList{portal::URLEncode(in), player::URLEncode(in), UTF8_URLEncoding(in)}) {
            for (qsizetype i = 0; i < out.size(); ++i) {
                QVERIFY2(out[i].unicode() < 0x80, qPrintable(QString::number(u, 16)));
                if (out[i] == QLatin1Char('%')) {
                    QVERIFY(i + 2 < out.size());
                    for (QChar h : {out[i + 1], out[i + 2]})
                        QVERIFY2(QStringLiteral("0123456789ABCDEF").contains(h),
                                 qPrintable(QString::number(u, 16) + QLatin1Char(' ') + out));
                }
            }
        }
    }
}

void TestEncoding::decode_data() {
    addColumns<QString, QString>({"input", "output"});
    auto row = [](const QString& in, const QString& out) {
        QTest::addRow("%s", qPrintable(in)) << in << out;
    };
    row(QStringLiteral("a+b%20c"), QStringLiteral("a b c"));
    row(QStringLiteral("a%2Bb"), QStringLiteral("a+b"));
    row(QStringLiteral("abc"), QStringLiteral("abc"));
    row(QStringLiteral("%4"), QStringLiteral("%4"));
    row(QStringLiteral("%E4%B8%AD%E6%96%87"), QStringLiteral("中文"));
    row(QStringLiteral("%D6%D0%CE%C4"), QStringLiteral("中文"));
    row(QStringLiteral("%C3%A9"), QStringLiteral("茅"));
    row(QStringLiteral("%C3%A9%E4%B8%AD"), QStringLiteral("é中"));
    // Plain text between the escapes changes nothing of that, nor do several lone two-byte
    // forms before the sequence that settles it.
    row(QStringLiteral("x%C3%A9y%E4%B8%AD"), QStringLiteral("xéy中"));
    row(QStringLiteral("%C3%A9%C2%B7z%C3%A9%E4%B8%AD"), QStringLiteral("é·zé中"));
    // Lone two-byte forms one after another settle nothing: GBK, read once.
    row(QStringLiteral("%C3%A9%C3%A9"), QStringLiteral("茅茅"));
    // A GBK verdict after a lone two-byte form keeps what was read.
    row(QStringLiteral("%C3%A9%B0%A1"), QStringLiteral("茅啊"));
    row(QStringLiteral("%E9%80%80"), QStringLiteral("退"));
    row(QStringLiteral("x%E3%80%80y"), QStringLiteral("x") + QChar(0x3000) + QStringLiteral("y"));
    row(QStringLiteral("%F0%9F%98%80"), QString());
    row(QStringLiteral("%F0%90%80%80x"), QStringLiteral("x"));
    row(QStringLiteral("%B0%A1"), QStringLiteral("啊"));
    // Once the mode is settled it stays: the UTF-8 tail is read as GBK pairs.
    row(QStringLiteral("%D6%D0%CE%C4%E4%B8%AD"), QStringLiteral("中文") + QChar(0x6D93));
    // Text around the escapes is kept; so are the characters of an escape that is no escape.
    row(QStringLiteral("ab%4"), QStringLiteral("ab4"));
    row(QStringLiteral("ab%"), QStringLiteral("ab"));
    row(QStringLiteral("a%zzb"), QStringLiteral("azzb"));
    row(QStringLiteral("%0Ax"), QStringLiteral("0Ax"));
    row(QStringLiteral("%5Gx"), QStringLiteral("5Gx"));
    // An escape below 0x10 is still a whole trail byte after a GBK lead byte.
    row(QStringLiteral("%B0%0Ax"), QStringLiteral("?x"));
    // The printable escapes run from 0x20 to 0x7F; 0x1F is no escape.
    row(QStringLiteral("%1F"), QStringLiteral("1F"));
    row(QStringLiteral("%7F"), QString(QChar(0x7F)));
    row(QStringLiteral("%41"), QStringLiteral("A"));
    // 0x80 is the first escape that is a byte: as a lead with 0x41 it makes no GBK character.
    row(QStringLiteral("%80%41"), QStringLiteral("?"));
    // Continuation bytes run from 0x80 to 0xBF; three-byte forms from U+0800 to U+FFFF.
    row(QStringLiteral("%E4%80%80"), QString(QChar(0x4000)));
    row(QStringLiteral("%E4%BF%A1"), QStringLiteral("信"));
    row(QStringLiteral("%E4%B8%7F"), QString(QChar(0x6D93)) + QChar(0x7F));
    row(QStringLiteral("%E4%B8%C0"), QString(QChar(0x6D93)));
    row(QStringLiteral("%E0%A0%80"), QString(QChar(0x800)));
    row(QStringLiteral("%EF%BF%BF"), QString(QChar(0xFFFF)));
    // A four-byte lead without its third continuation byte: GBK pairs.
    row(QStringLiteral("%F0%9F%98%41"), QStringLiteral("馃楢"));
    // 0xFE and 0xFF lead no UTF-8 form, however many continuation bytes follow: GBK pairs.
    webkit::GbkCodec gbk;
    for (int lead : {0xFE, 0xFF})
        row(QLatin1Char('%') + QString::number(lead, 16).toUpper() +
                QStringLiteral("%80").repeated(6),
            gbk.decode(lead * 256 + 0x80) + gbk.decode(0x8080) + gbk.decode(0x8080));
    // Nor a two-byte form that later UTF-8 could prove: the mode is GBK from the first escape.
    for (int lead : {0xFE, 0xFF})
        row(QLatin1Char('%') + QString::number(lead, 16).toUpper() + QStringLiteral("%80%E4%B8%AD"),
            gbk.decode(lead * 256 + 0x80) + gbk.decode(0xE4B8));
    row(QStringLiteral("The.Matrix%201999.mkv"), QStringLiteral("The.Matrix 1999.mkv"));
    row(QStringLiteral("%E7%94%B5%E5%BD%B1.rmvb"), QStringLiteral("电影.rmvb"));
    // A GBK lead byte whose trail byte stands as a plain character: used once, not repeated.
    row(QStringLiteral("%B0A"), QStringLiteral("癆"));
    // A plain trail character is its GBK byte; one that has none, or two, is "?".
    row(QStringLiteral("%B0€"), webkit::GbkCodec().decode(0xB080));
    row(QStringLiteral("%B0") + QChar(0x80), QStringLiteral("?"));
    row(QStringLiteral("%B0中"), QStringLiteral("?"));
    // An escaped trail byte counts from 0x01; "%00" is none, and its "%" is the trail.
    row(QStringLiteral("%B0%01x"), QStringLiteral("?x"));
    row(QStringLiteral("%B0%00x"), QStringLiteral("?00x"));
    // A lead byte at the very end, with no trail byte at all.
    row(QStringLiteral("ab%B0"), QStringLiteral("ab"));
    // Surrogates escaped one by one come back as the pair.
    row(QStringLiteral("%ED%A0%BD%ED%B8%80"), QString::fromUcs4(U"\U0001F600"));
    // An invalid UTF-8 sequence in UTF-8 mode gives nothing; the faulty escape is consumed
    // with it, and what follows is read again.
    row(QStringLiteral("%E4%B8%AD%E4%41%42z"), QStringLiteral("中Bz"));
    // In UTF-8 mode an escape that leads no form gives nothing.
    row(QStringLiteral("%E4%B8%AD%80x"), QStringLiteral("中x"));
    row(QStringLiteral("%E4%B8%AD%FEx"), QStringLiteral("中x"));
}

void TestEncoding::decode() {
    QFETCH(QString, input);
    QFETCH(QString, output);
    QCOMPARE(URLDecode(input), output);
}

void TestEncoding::hexPairs() {
    QCOMPARE(URLDecode_Hex(QStringLiteral("2F")), 0x2F);
    QCOMPARE(URLDecode_Hex(QStringLiteral("ff")), 255);
    QCOMPARE(URLDecode_Hex(QStringLiteral("00")), 0);
    // The ends of each digit range, and the characters just outside them.
    QCOMPARE(URLDecode_Hex(QStringLiteral("9a")), 0x9A);
    QCOMPARE(URLDecode_Hex(QStringLiteral("A0")), 0xA0);
    QCOMPARE(URLDecode_Hex(QStringLiteral("fF")), 0xFF);
    for (const char* outside : {"/0", ":0", "@0", "G0", "`0", "g0", "0/", "0:"})
        QCOMPARE(URLDecode_Hex(QString::fromLatin1(outside)), -1);
    QCOMPARE(URLDecode_Hex(QStringLiteral(" A")), -1);
    QCOMPARE(URLDecode_Hex(QStringLiteral("G1")), -1);
    QCOMPARE(URLDecode_Hex(QStringLiteral("1")), -1);
    QCOMPARE(URLDecode_Hex(QStringLiteral("-1")), -1);
    QCOMPARE(URLDecode_Hex(QString()), -1);
    // Blanks around the pair are trimmed; no other white space is.
    QCOMPARE(URLDecode_Hex(QStringLiteral("  AB ")), 0xAB);
    for (const QString& spaced :
         {QStringLiteral("\tAB"), QStringLiteral("AB\n"), QStringLiteral("\r\nAB"),
          QStringLiteral("A B"), QStringLiteral("\u00A0AB"), QStringLiteral("AB\u3000")})
        QCOMPARE(URLDecode_Hex(spaced), -1);
}

QTEST_GUILESS_MAIN(TestEncoding)
#include "test_encoding.moc"
