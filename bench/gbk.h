#pragma once

#include <QByteArray>
#include <QString>

#include <unicode/ucnv.h>

// The GBK bytes of a text, for building the pages the benchmarks serve and decode.
inline QByteArray toGbk(const QString& text) {
    UErrorCode err = U_ZERO_ERROR;
    UConverter* cnv = ucnv_open("gbk", &err);
    QByteArray out(text.size() * 2 + 16, '\0');
    const int32_t n =
        ucnv_fromUChars(cnv, out.data(), int32_t(out.size()),
                        reinterpret_cast<const UChar*>(text.utf16()), int32_t(text.size()), &err);
    ucnv_close(cnv);
    out.resize(n);
    return out;
}
