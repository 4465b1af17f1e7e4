#include "webkit/charset.h"

#include <unicode/ucnv.h>
#include <unicode/ustring.h>
#include <unicode/utf16.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace webkit {

namespace {

struct ConverterCloser {
    void operator()(UConverter* c) const { ucnv_close(c); }
};
using Converter = std::unique_ptr<UConverter, ConverterCloser>;

Converter openConverter(const QString& name) {
    if (name.isEmpty()) // ICU would open the platform default for an empty name
        return {};
    UErrorCode err = U_ZERO_ERROR;
    Converter c(ucnv_open(name.toLatin1().constData(), &err));
    if (U_FAILURE(err))
        return {};
    return c;
}

} // namespace

QString EncodingConvertor(const QByteArray& content, const QString& encoding) {
    Converter cnv = openConverter(encoding);
    if (!cnv)
        return {};
    const char* src = content.constData();
    qsizetype len = content.size();
    if (ucnv_getType(cnv.get()) == UCNV_UTF8 && len >= 3 && src[0] == '\xEF' && src[1] == '\xBB' &&
        src[2] == '\xBF') {
        src += 3;
        len -= 3;
    }
    QString out;
    // Every converter we are asked for yields at most one UTF-16 unit per input byte, but
    // grow on overflow anyway so that any charset name is safe.
    qsizetype capacity = len + 16;
    for (;;) {
        out.resize(capacity);
        UErrorCode err = U_ZERO_ERROR;
        ucnv_resetToUnicode(cnv.get());
        const char* in = src;
        UChar* dst = reinterpret_cast<UChar*>(out.data());
        ucnv_toUnicode(cnv.get(), &dst, dst + capacity, &in, src + len, nullptr, true, &err);
        if (err == U_BUFFER_OVERFLOW_ERROR) {
            capacity *= 2;
            continue;
        }
        if (U_FAILURE(err))
            return {};
        out.resize(dst - reinterpret_cast<UChar*>(out.data()));
        return out;
    }
}

namespace {

// The canonical name of the converter "gbk" opens, so that its aliases take the GBK path too.
const char* gbkConverterName() {
    static const std::string name = [] {
        UErrorCode err = U_ZERO_ERROR;
        Converter c(ucnv_open("gbk", &err));
        return std::string(U_SUCCESS(err) ? ucnv_getName(c.get(), &err) : "");
    }();
    return name.c_str();
}

bool isAscii(uchar b) {
    return b < 0x80;
}

bool isLead(uchar b) {
    return b >= 0x81 && b <= 0xFE;
}

// Where the run of ASCII bytes that starts at `p` ends.
const uchar* asciiRunEnd(const uchar* p, const uchar* end) {
    for (; end - p >= 8; p += 8) {
        quint64 word;
        std::memcpy(&word, p, 8);
        if (word & 0x8080808080808080ull)
            break;
    }
    while (p < end && isAscii(*p))
        ++p;
    return p;
}

// The UTF-8 of one character; size 0 when the table does not hold it.
struct Utf8Char {
    char bytes[3];
    quint8 size;
};
static_assert(sizeof(Utf8Char) == 4);
constexpr Utf8Char kNone{{}, 0}; // no character

// The UTF-8 of every two-byte GBK sequence, by lead (81..FE) and second byte, as ICU decodes it:
// filled from ICU at first use, a row of pairs with the same lead at a time, each pair a
// character of the Basic Multilingual Plane or ICU's substitute for it.
class GbkPairs {
public:
    GbkPairs() : pairs_(kLeads * 256) {
        UErrorCode err = U_ZERO_ERROR;
        Converter cnv(ucnv_open("gbk", &err));
        // Second bytes outside 40..FE, and 7F, make no pair: ICU gives them back.
        constexpr int kSeconds = 0xFE - 0x40; // 40..FE but 7F
        std::array<uchar, kSeconds> second;
        for (int b = 0x40, n = 0; b <= 0xFE; ++b)
            if (b != 0x7F)
                second[size_t(n++)] = uchar(b);
        // One row of pairs at a time, all with the same lead. A byte gives at most one unit.
        std::array<char, 2 * kSeconds> in;
        std::array<UChar, 2 * kSeconds> units;
        for (int lead = 0x81; lead <= 0xFE; ++lead) {
            for (size_t n = 0; n < second.size(); ++n) {
                in[2 * n] = char(lead);
                in[2 * n + 1] = char(second[n]);
            }
            // Once ICU has failed, its opening of the converter included, it converts nothing.
            UChar* t = units.data();
            const char* s = in.data();
            ucnv_toUnicode(cnv.get(), &t, t + units.size(), &s, s + in.size(), nullptr, true, &err);
            // A row counts when each pair gave one unit; otherwise its pairs are left to ICU.
            if (size_t(t - units.data()) != second.size())
                continue;
            for (size_t i = 0; i < second.size(); ++i) {
                Utf8Char& c = pairs_[size_t((lead - 0x81) * 256 + second[i])];
                int32_t n = 0;
                U8_APPEND_UNSAFE(c.bytes, n, units[i]);
                c.size = quint8(n);
            }
        }
    }

    // The character that `lead` and `second` make, or one of size 0.
    const Utf8Char& at(uchar lead, uchar second) const {
        return pairs_[size_t((lead - 0x81) * 256 + second)];
    }
    int held() const {
        return int(std::count_if(pairs_.begin(), pairs_.end(), [](Utf8Char c) { return c.size; }));
    }

private:
    static constexpr int kLeads = 0xFE - 0x81 + 1;
    std::vector<Utf8Char> pairs_;
};

const GbkPairs& gbkPairs() {
    static const GbkPairs table;
    return table;
}

// UTF-8 output that grows as asked: room(n) gives a place for n more bytes, and add(n) counts
// those of them that were written.
class Utf8Out {
public:
    // ASCII keeps its size and a pair grows by half: more only for bytes that make no character.
    explicit Utf8Out(qsizetype inputSize) { out_.resize(inputSize + inputSize / 2 + 64); }

    char* room(qsizetype n) {
        if (out_.size() - used_ < n)
            out_.resize(std::max(out_.size() * 2, used_ + n));
        return out_.data() + used_;
    }
    void add(qsizetype n) { used_ += n; }
    QByteArray take() {
        out_.resize(used_);
        return std::move(out_);
    }

private:
    QByteArray out_;
    qsizetype used_ = 0;
};

// The character the table holds at `q` (before `end`), or one of size 0.
const Utf8Char& pairAt(const GbkPairs& table, const uchar* q, const uchar* end) {
    return isLead(*q) && q + 1 < end ? table.at(q[0], q[1]) : kNone;
}

// Writes the run of characters the table holds that starts at `p` with `c`, each as a whole
// entry in one move: its size byte lands past the character, where what comes next overwrites
// it or the final size leaves it out. Returns where the run ends.
const uchar* copyTableRun(const GbkPairs& table, const Utf8Char* c, const uchar* p,
                          const uchar* end, Utf8Out& out) {
    // Two bytes in make at most three out, and the run ends before the last byte.
    char* const first = out.room((end - p) / 2 * 3 + 1);
    char* o = first;
    do {
        std::memcpy(o, c, sizeof *c);
        o += c->size;
        p += 2;
    } while (p < end && (c = &pairAt(table, p, end))->size);
    out.add(o - first);
    return p;
}

// Where the stretch of bytes for ICU that starts at `p` ends: at the next long ASCII run or at
// the end, never inside a character. A page of bytes that make no character among characters
// costs one call of ICU a stretch, not one a byte.
const uchar* icuStretchEnd(const uchar* p, const uchar* end) {
    constexpr qsizetype kCopiedRun = 32; // shorter ASCII runs go through ICU with their stretch
    while (p < end) {
        if (isAscii(*p)) {
            const uchar* run = asciiRunEnd(p, end);
            if (run - p >= kCopiedRun || run == end)
                break;
            p = run;
            continue;
        }
        p += isLead(*p) && p + 1 < end ? 2 : 1;
    }
    return p;
}

// Decodes the bytes from `p` to `q` with ICU into `out`; false when ICU gives more than the
// bounds assumed here (never for GBK).
bool icuToUtf8(UConverter* cnv, const uchar* p, const uchar* q, Utf8Out& out) {
    UChar pivot[4096];
    ucnv_resetToUnicode(cnv);
    const char* in = reinterpret_cast<const char*>(p);
    const char* const inEnd = reinterpret_cast<const char*>(q);
    for (;;) {
        UErrorCode err = U_ZERO_ERROR;
        UChar* t = pivot;
        ucnv_toUnicode(cnv, &t, pivot + std::size(pivot), &in, inEnd, nullptr, true, &err);
        if (U_FAILURE(err) && err != U_BUFFER_OVERFLOW_ERROR)
            return false;
        const bool more = err == U_BUFFER_OVERFLOW_ERROR;
        if (more && U16_IS_LEAD(t[-1])) // a pair cut in two; GBK has none
            return false;
        // At most three UTF-8 bytes for each UTF-16 unit.
        const qsizetype capacity = 3 * (t - pivot);
        char* o = out.room(capacity);
        int32_t n = 0;
        UErrorCode utf8Err = U_ZERO_ERROR;
        u_strToUTF8WithSub(o, int32_t(capacity), &n, pivot, int32_t(t - pivot), 0xFFFD, nullptr,
                           &utf8Err);
        if (U_FAILURE(utf8Err))
            return false;
        out.add(n);
        if (!more)
            return true;
    }
}

// GBK bytes into UTF-8, as ICU decodes them. ASCII runs are copied as they are and characters
// the pair table holds are written from it. From a byte that makes no character on, the bytes
// go to ICU in a stretch that ends only where a character starts: the walk takes the byte after
// each lead byte along with it, so ICU sees every character whole. Whether the two make a character
// is ICU's to say; when they do not, ICU gives the second byte back as a character of its own,
// as it would have been had the stretch ended before it.
// Empty optional when ICU gives more than the bounds assumed here (never for GBK).
std::optional<QByteArray> gbkToUtf8(UConverter* cnv, const uchar* src, qsizetype len) {
    const GbkPairs& table = gbkPairs();
    const uchar* p = src;
    const uchar* const end = src + len;
    Utf8Out out(len);
    while (p < end) {
        if (isAscii(*p)) {
            const uchar* ascii = asciiRunEnd(p, end);
            std::memcpy(out.room(ascii - p), p, size_t(ascii - p));
            out.add(ascii - p);
            p = ascii;
        } else if (const Utf8Char& c = pairAt(table, p, end); c.size) {
            p = copyTableRun(table, &c, p, end, out);
        } else {
            const uchar* q = icuStretchEnd(p, end);
            if (!icuToUtf8(cnv, p, q, out))
                return std::nullopt;
            p = q;
        }
    }
    return out.take();
}

} // namespace

int gbkPairsInTable() {
    return gbkPairs().held();
}

QByteArray EncodingConvertorUtf8(const QByteArray& content, const QString& encoding) {
    Converter cnv = openConverter(encoding);
    if (!cnv)
        return {};
    UErrorCode err = U_ZERO_ERROR;
    if (std::strcmp(ucnv_getName(cnv.get(), &err), gbkConverterName()) == 0) {
        if (auto utf8 = gbkToUtf8(cnv.get(), reinterpret_cast<const uchar*>(content.constData()),
                                  content.size()))
            return *std::move(utf8);
    }
    return EncodingConvertor(content, encoding).toUtf8();
}

struct GbkCodec::Impl {
    Converter cnv;
};

GbkCodec::GbkCodec() : d(new Impl) {
    d->cnv = openConverter(QStringLiteral("gbk"));
    if (d->cnv) {
        UErrorCode err = U_ZERO_ERROR;
        ucnv_setSubstChars(d->cnv.get(), "?", 1, &err);
    }
}

GbkCodec::~GbkCodec() {
    delete d;
}

QByteArray GbkCodec::encode(QChar c) {
    if (c.unicode() < 0x80)
        return QByteArray(1, char(c.unicode()));
    if (!d->cnv || c.isSurrogate())
        return QByteArrayLiteral("?");
    UChar u = c.unicode();
    char buf[8];
    UErrorCode err = U_ZERO_ERROR;
    ucnv_resetFromUnicode(d->cnv.get());
    int32_t n = ucnv_fromUChars(d->cnv.get(), buf, sizeof buf, &u, 1, &err);
    if (U_FAILURE(err) || n < 1 || n > 2)
        return QByteArrayLiteral("?");
    return QByteArray(buf, n);
}

QString GbkCodec::decode(int code) {
    // The pair table holds every two-byte code that is a character, as ICU decodes it.
    const uchar lead = uchar((code >> 8) & 0xFF);
    const Utf8Char& c = isLead(lead) ? gbkPairs().at(lead, uchar(code & 0xFF)) : kNone;
    return c.size ? QString::fromUtf8(c.bytes, c.size) : QStringLiteral("?");
}

} // namespace webkit
