#include "webkit/urlencode.h"

#include "webkit/charset.h"

namespace webkit {

namespace {

void appendEscape(QString& out, unsigned byte) {
    static const char hex[] = "0123456789ABCDEF";
    out += QLatin1Char('%');
    out += QLatin1Char(hex[(byte >> 4) & 0xF]);
    out += QLatin1Char(hex[byte & 0xF]);
}

bool isAsciiLetter(unsigned b) {
    return (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z');
}

QString gbkEncode(const QString& text, bool keepDigitsAndMarks) {
    static const QString passed = QStringLiteral("-,.0123456789/");
    QString out;
    GbkCodec gbk;
    out.reserve(text.size() * 3);
    for (QChar c : text) {
        if (keepDigitsAndMarks && passed.contains(c)) {
            out += c;
            continue;
        }
        const QByteArray bytes = gbk.encode(c);
        if (bytes.size() == 2) {
            appendEscape(out, uchar(bytes[0]));
            appendEscape(out, uchar(bytes[1]));
            continue;
        }
        const unsigned b = uchar(bytes[0]);
        if (isAsciiLetter(b))
            out += c;
        else
            appendEscape(out, b);
    }
    return out;
}

} // namespace

namespace portal {
QString URLEncode(const QString& strURL) {
    return gbkEncode(strURL, true);
}
} // namespace portal

namespace player {
QString URLEncode(const QString& strURL) {
    return gbkEncode(strURL, false);
}
} // namespace player

QString UTF8_URLEncoding(const QString& szInput) {
    QString out;
    out.reserve(szInput.size() * 3);
    for (QChar c : szInput) {
        const unsigned u = c.unicode();
        if (u < 0x80) {
            out += c;
        } else if (u < 0x800) {
            appendEscape(out, 0xC0 | (u >> 6));
            appendEscape(out, 0x80 | (u & 0x3F));
        } else {
            appendEscape(out, 0xE0 | (u >> 12));
            appendEscape(out, 0x80 | ((u >> 6) & 0x3F));
            appendEscape(out, 0x80 | (u & 0x3F));
        }
    }
    return out;
}

} // namespace webkit
