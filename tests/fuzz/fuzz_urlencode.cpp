// The three query encoders: ASCII out, escapes well formed, decodable back where it must be.
#include "fuzz_common.h"
#include "webkit/urldecode.h"
#include "webkit/urlencode.h"

namespace {
bool wellFormed(const QString& out) {
    for (qsizetype i = 0; i < out.size(); ++i) {
        if (out[i].unicode() >= 0x80)
            return false;
        if (out[i] == QLatin1Char('%')) {
            if (i + 2 >= out.size())
                return false;
            for (QChar h : {out[i + 1], out[i + 2]})
                if (!QStringLiteral("0123456789ABCDEF").contains(h))
                    return false;
        }
    }
    return true;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = unitsOf(data, size);
    const QString portal = webkit::portal::URLEncode(text);
    const QString player = webkit::player::URLEncode(text);
    const QString utf8 = webkit::UTF8_URLEncoding(text);
    FUZZ_CHECK(wellFormed(portal));
    FUZZ_CHECK(wellFormed(player));
    // UTF-8 escapes pass ASCII through, so only the escapes' own digits are checked there.
    for (QChar c : utf8)
        FUZZ_CHECK(c.unicode() < 0x80);
    // Only letters pass the player's encoder: nothing else of the input survives unescaped.
    for (QChar c : player)
        FUZZ_CHECK(c == QLatin1Char('%') || c.isDigit() ||
                   (c >= QLatin1Char('A') && c <= QLatin1Char('F')) ||
                   (c.unicode() < 0x80 && c.isLetter()));
    // Every unit has an output: three characters at most per unit, six for a GBK pair.
    FUZZ_CHECK(player.size() <= text.size() * 6);
    FUZZ_CHECK(utf8.size() <= text.size() * 9);
    if (text.isEmpty())
        FUZZ_CHECK(portal.isEmpty() && player.isEmpty() && utf8.isEmpty());
    // Text without "%" and "+" encoded in UTF-8 escapes decodes back to itself when it holds no
    // surrogates (the decoder settles on UTF-8 at the first multi-byte sequence).
    bool plain = true;
    for (QChar c : text)
        if (c.isSurrogate() || c == QLatin1Char('%') || c == QLatin1Char('+') ||
            c.unicode() < 0x20 || c.unicode() == 0x7F)
            plain = false;
    bool wide = false;
    for (QChar c : text)
        if (c.unicode() >= 0x800)
            wide = true;
    if (plain && wide && text.size() > 0 && text[0].unicode() >= 0x800)
        FUZZ_CHECK(webkit::URLDecode(utf8) == text);
    return 0;
}
