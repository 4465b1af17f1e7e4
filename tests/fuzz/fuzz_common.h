// What the fuzz targets share: turning bytes into UTF-16 text of any shape.
#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

// Every pair of bytes is one UTF-16 code unit, lone surrogates and all.
inline QString unitsOf(const uint8_t* data, size_t size) {
    QString text;
    text.reserve(qsizetype(size / 2));
    for (size_t i = 0; i + 1 < size; i += 2)
        text += QChar(char16_t(data[i] | (data[i + 1] << 8)));
    return text;
}

#define FUZZ_CHECK(cond)                                                                           \
    do {                                                                                           \
        if (!(cond)) {                                                                             \
            __builtin_printf("check failed: %s\n", #cond);                                         \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)
