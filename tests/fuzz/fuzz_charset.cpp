// Decoding any bytes as GBK and as UTF-8: no crash, bounded output, ASCII bytes kept, and the
// straight-to-UTF-8 decoder giving the same text as the UTF-16 one.
#include "fuzz_common.h"
#include "webkit/charset.h"

#include <QByteArray>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    for (const char* charset : {"gbk", "utf-8"}) {
        const QString text = webkit::EncodingConvertor(bytes, QString::fromLatin1(charset));
        FUZZ_CHECK(text.size() <= bytes.size());
        FUZZ_CHECK(webkit::EncodingConvertorUtf8(bytes, QString::fromLatin1(charset)) ==
                   text.toUtf8());
        bool ascii = true;
        for (char c : bytes)
            if (uchar(c) >= 0x80)
                ascii = false;
        if (ascii)
            FUZZ_CHECK(text == QString::fromLatin1(bytes));
    }
    return 0;
}
