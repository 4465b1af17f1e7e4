#include "webkit/urldecode.h"

#include "webkit/charset.h"
#include "webkit/hexdigit.h"

#include <algorithm>
#include <array>
#include <optional>

namespace webkit {

namespace {

int hexDigit(QChar c) {
    return hexDigitValue(c.unicode());
}

// Lead bytes of UTF-8 sequences: table[k] <= L < table[k + 1] announces k + 1 continuations.
constexpr std::array<int, 6> kLeads = {192, 224, 240, 248, 252, 254};

int leadIndex(int lead) {
    // Below the first entry this gives -1; the last entry only closes the range before it.
    const auto above = std::upper_bound(kLeads.begin(), kLeads.end(), lead);
    if (above == kLeads.end())
        return -1;
    return int(above - kLeads.begin()) - 1;
}

bool isContinuation(int b) {
    return b >= 128 && b <= 191;
}

enum Mode { Unknown = -1, Tentative = -2, Gbk = 0, Utf8 = 1 };

// One decoding run. Positions are 1-based, as the walk is described in terms of them.
class Decoder {
public:
    explicit Decoder(QStringView text) : t(text), n(int(text.size())) {}

    // Appends the text from `start` on, decoded, to `body`.
    void run(int start, QString& body) {
        // Decoding never lengthens the text. Qt's reserve() reallocates when asked for exactly
        // the room there is, so it is asked only for more.
        const qsizetype base = body.size();
        if (const qsizetype room = base + n - start + 1; body.capacity() < room)
            body.reserve(room);
        int mode = Unknown;
        for (int i = start; i <= n; ++i) {
            if (at(i) != QLatin1Char('%')) {
                // The plain text up to the next escape, at once.
                qsizetype next = t.indexOf(QLatin1Char('%'), i);
                if (next < 0)
                    next = n;
                body += t.sliced(i - 1, next - i + 1);
                i = int(next);
                continue;
            }
            const int b = hexAt(i + 1);
            if (b >= 32 && b <= 127) {
                body += QChar(b);
                i += 2;
            } else if (b >= 128) {
                i += 2; // on the escape's second digit
                if (mode == Unknown || mode == Tentative) {
                    const int verdict = detect(b, i);
                    // Text read tentatively was read as GBK: only a UTF-8 verdict changes it.
                    const bool restart = verdict == Utf8 && mode == Tentative;
                    mode = verdict;
                    if (restart) {
                        body.truncate(base);
                        i = start - 1;
                        continue;
                    }
                }
                if (mode == Utf8)
                    decodeUtf8(b, i, body);
                else
                    decodeGbk(b, i, body);
            }
            // Any other value: the "%" is dropped and its two characters are read as text.
        }
    }

private:
    // Only ever asked for a position that exists.
    QChar at(int pos) const { return t[pos - 1]; }
    // Positions asked about are never before the first.
    bool exists(int pos) const { return pos <= n; }

    int hexAt(int pos) const {
        if (!exists(pos) || !exists(pos + 1))
            return -1;
        // Same verdict as URLDecode_Hex on the two characters, without building a string.
        const int hi = hexDigit(t[pos - 1]);
        const int lo = hexDigit(t[pos]);
        return hi < 0 || lo < 0 ? -1 : hi * 16 + lo;
    }

    int detect(int lead, int i) const {
        const int k = leadIndex(lead);
        if (k < 0)
            return Gbk;
        for (int j = 0; j <= k; ++j)
            if (!isContinuation(hexAt(i + 3 * j + 2)))
                return Gbk;
        return k == 0 ? Tentative : Utf8;
    }

    void decodeUtf8(int lead, int& i, QString& body) const {
        const int k = leadIndex(lead);
        if (k < 0)
            return;
        qint64 scale = 1;
        for (int j = 0; j <= k; ++j)
            scale *= 64;
        const qint64 base = qint64(lead ^ kLeads[k]) * scale;
        qint64 u = 0;
        for (int j = 0; j <= k; ++j) {
            const int c = hexAt(i + 2);
            i += 3;
            if (!isContinuation(c))
                return;
            scale /= 64;
            u += qint64(c & 63) * scale;
        }
        const qint64 code = base + u;
        if (code <= 0xFFFF)
            body += QChar(char16_t(code));
    }

    void decodeGbk(int lead, int& i, QString& body) {
        int code;
        const int c = hexAt(i + 2);
        if (c > 0) {
            code = lead * 256 + c;
            i += 3;
        } else {
            // The trail byte stands as a plain character right after the escape.
            if (!exists(i + 1)) {
                return;
            }
            code = lead * 256 + singleByteCode(at(i + 1));
            i += 1;
        }
        body += gbk().decode(code);
    }

    int singleByteCode(QChar c) {
        const QByteArray bytes = gbk().encode(c);
        return bytes.size() == 1 ? uchar(bytes[0]) : '?';
    }

    GbkCodec& gbk() {
        if (!codec)
            codec.emplace();
        return *codec;
    }

    const QStringView t;
    const int n;
    std::optional<GbkCodec> codec;
};

} // namespace

int URLDecode_Hex(const QString& h) {
    // Blanks around the two digits are trimmed, and nothing else: a tab or a line break is no
    // blank.
    qsizetype from = 0, to = h.size();
    while (from < to && h[from] == QLatin1Char(' '))
        ++from;
    while (to > from && h[to - 1] == QLatin1Char(' '))
        --to;
    if (to - from != 2)
        return -1;
    const int hi = hexDigit(h[from]);
    const int lo = hexDigit(h[from + 1]);
    if (hi < 0 || lo < 0)
        return -1;
    return hi * 16 + lo;
}

void URLDecodeAppend(QStringView urlcode, QString& out) {
    // What was decoded is a text, the empty one included, never null.
    if (out.isNull())
        out = QStringLiteral("");
    // Few texts hold a "+"; only those are copied to make each a blank.
    QString blanked;
    QStringView text = urlcode;
    if (text.contains(QLatin1Char('+'))) {
        blanked = text.toString().replace(QLatin1Char('+'), QLatin1Char(' '));
        text = blanked;
    }
    const int first = int(text.indexOf(QLatin1Char('%'))) + 1;
    if (first == 0 || text.size() < 3) {
        out += text;
        return;
    }
    // The text before the first escape passes unchanged; from there on the walk reads every
    // character, so text after the last escape, valid or not, is kept as plain text once.
    out += text.first(first - 1);
    Decoder(text).run(first, out);
}

QString URLDecode(const QString& urlcode) {
    if (urlcode.isNull())
        return {};
    QString text;
    URLDecodeAppend(urlcode, text);
    return text;
}

} // namespace webkit
