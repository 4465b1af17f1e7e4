#include "webkit/charset.h"

#include <unicode/ucnv.h>

#include <memory>

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
    char bytes[2];
    int n = 0;
    if (code > 0xFF) {
        bytes[n++] = char((code >> 8) & 0xFF);
        bytes[n++] = char(code & 0xFF);
    } else {
        bytes[n++] = char(code & 0xFF);
    }
    if (!d->cnv)
        return QStringLiteral("?");
    UChar out[4];
    UErrorCode err = U_ZERO_ERROR;
    ucnv_resetToUnicode(d->cnv.get());
    int32_t m = ucnv_toUChars(d->cnv.get(), out, 4, bytes, n, &err);
    if (U_FAILURE(err) || m != 1 || out[0] == 0xFFFD || out[0] == 0x1A)
        return QStringLiteral("?");
    return QString(QChar(out[0]));
}

} // namespace webkit
