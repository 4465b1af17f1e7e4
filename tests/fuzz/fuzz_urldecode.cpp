// URLDecode on any text, and on text made of escapes: never fails, never grows beyond its input.
#include "fuzz_common.h"
#include "webkit/urldecode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // As Latin-1 the bytes give many "%" and hexadecimal digits; as UTF-16 any text at all.
    const QString latin = QString::fromLatin1(reinterpret_cast<const char*>(data), qsizetype(size));
    for (const QString& text : {latin, unitsOf(data, size)}) {
        const QString out = webkit::URLDecode(text);
        // Each character out stands for at least one character in.
        FUZZ_CHECK(out.size() <= text.size());
        if (!text.contains(QLatin1Char('%')))
            FUZZ_CHECK(out == QString(text).replace(QLatin1Char('+'), QLatin1Char(' ')));
    }
    return 0;
}
