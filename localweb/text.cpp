#include "text.h"

#include "webkit/hexdigit.h"

#include <unicode/ucnv.h>
#include <unicode/ustring.h>
#include <unicode/utypes.h>

#include <cstdio>
#include <memory>
#include <vector>

namespace localweb {

namespace {

struct ConverterCloser {
    void operator()(UConverter* c) const { ucnv_close(c); }
};
using Converter = std::unique_ptr<UConverter, ConverterCloser>;

// A converter is cheap to open; one per call keeps the helpers free of shared state.
Converter openGbk() {
    UErrorCode status = U_ZERO_ERROR;
    Converter conv(ucnv_open("gbk", &status));
    if (U_FAILURE(status))
        return nullptr;
    ucnv_setSubstChars(conv.get(), "?", 1, &status);
    return conv;
}

// Runs an ICU conversion the way ICU sizes its output: `convert(buffer, capacity, status)`
// returns the length of the whole output, once without a buffer to learn it and once into a
// buffer of that length. The empty text when either run fails.
template <typename Text, typename Convert>
Text converted(Convert convert) {
    UErrorCode status = U_ZERO_ERROR;
    const int32_t length = convert(nullptr, 0, &status);
    if (status != U_BUFFER_OVERFLOW_ERROR && U_FAILURE(status))
        return {};
    Text out(static_cast<size_t>(length), typename Text::value_type());
    status = U_ZERO_ERROR;
    convert(out.data(), length, &status);
    if (U_FAILURE(status))
        return {};
    return out;
}

std::u16string utf8ToUtf16(std::string_view utf8) {
    if (utf8.empty())
        return {};
    return converted<std::u16string>([utf8](UChar* out, int32_t capacity, UErrorCode* status) {
        int32_t length = 0;
        u_strFromUTF8WithSub(out, capacity, &length, utf8.data(),
                             static_cast<int32_t>(utf8.size()), 0xFFFD, nullptr, status);
        return length;
    });
}

std::string utf16ToUtf8(const std::u16string& text) {
    if (text.empty())
        return {};
    return converted<std::string>([&text](char* out, int32_t capacity, UErrorCode* status) {
        int32_t length = 0;
        u_strToUTF8WithSub(out, capacity, &length, text.data(), static_cast<int32_t>(text.size()),
                           0xFFFD, nullptr, status);
        return length;
    });
}

} // namespace

std::string percentDecode(std::string_view text, bool plusIsBlank) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '%' && i + 2 < text.size()) {
            const int hi = webkit::hexDigitValue(static_cast<unsigned char>(text[i + 1]));
            const int lo = webkit::hexDigitValue(static_cast<unsigned char>(text[i + 2]));
            if (hi >= 0 && lo >= 0) {
                out.push_back(static_cast<char>(hi * 16 + lo));
                i += 2;
                continue;
            }
        }
        out.push_back(plusIsBlank && c == '+' ? ' ' : c);
    }
    return out;
}

std::string percentEncode(std::string_view bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * 3);
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                           (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' || c == '~';
        if (plain) {
            out.push_back(ch);
        } else {
            out.push_back('%');
            out.push_back(digits[c >> 4]);
            out.push_back(digits[c & 0x0F]);
        }
    }
    return out;
}

bool isValidUtf8(std::string_view bytes) {
    size_t i = 0;
    const size_t n = bytes.size();
    while (i < n) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        size_t extra = 0;
        uint32_t cp = 0;
        if (c >= 0xC2 && c <= 0xDF) {
            extra = 1;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + extra >= n)
            return false;
        for (size_t k = 1; k <= extra; ++k) {
            const auto cc = static_cast<unsigned char>(bytes[i + k]);
            if ((cc & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (cc & 0x3F);
        }
        // Overlong forms, surrogates and code points past U+10FFFF are not UTF-8.
        if ((extra == 2 && cp < 0x800) || (extra == 3 && (cp < 0x10000 || cp > 0x10FFFF)) ||
            (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += extra + 1;
    }
    return true;
}

std::string utf8ToGbk(std::string_view utf8) {
    const std::u16string text = utf8ToUtf16(utf8);
    if (text.empty())
        return {};
    Converter conv = openGbk();
    if (!conv)
        return {};
    return converted<std::string>([&](char* out, int32_t capacity, UErrorCode* status) {
        return ucnv_fromUChars(conv.get(), out, capacity, text.data(),
                               static_cast<int32_t>(text.size()), status);
    });
}

std::string gbkToUtf8(std::string_view gbk) {
    if (gbk.empty())
        return {};
    Converter conv = openGbk();
    if (!conv)
        return {};
    return utf16ToUtf8(
        converted<std::u16string>([&](UChar* out, int32_t capacity, UErrorCode* status) {
            return ucnv_toUChars(conv.get(), out, capacity, gbk.data(),
                                 static_cast<int32_t>(gbk.size()), status);
        }));
}

std::string bytesToUtf8(std::string_view bytes) {
    if (isValidUtf8(bytes))
        return std::string(bytes);
    return gbkToUtf8(bytes);
}

std::string htmlEscape(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 16);
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            out.push_back(c);
        }
    }
    return out;
}

std::string jsonEscape(std::string_view bytes) {
    static const char digits[] = "0123456789abcdef";
    auto escapeByte = [](std::string& out, unsigned char c) {
        out += "\\u00";
        out.push_back(digits[c >> 4]);
        out.push_back(digits[c & 0x0F]);
    };
    std::string out;
    out.reserve(bytes.size() + 16);
    size_t i = 0;
    while (i < bytes.size()) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c < 0x80) {
            switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20 || c == 0x7F)
                    escapeByte(out, c);
                else
                    out.push_back(static_cast<char>(c));
            }
            ++i;
            continue;
        }
        // Keep a whole valid UTF-8 sequence; anything else goes out byte by byte.
        size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        if (length > 1 && i + length <= bytes.size() && isValidUtf8(bytes.substr(i, length))) {
            out.append(bytes.substr(i, length));
            i += length;
        } else {
            escapeByte(out, c);
            ++i;
        }
    }
    return out;
}

std::string asciiLower(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

std::string trimBlanks(std::string_view text) {
    static constexpr std::string_view ideographicSpace = "\xE3\x80\x80";
    // The length of the blank at the text's front (or back), 0 when there is none.
    const auto blankAt = [&text](bool back) -> size_t {
        if (text.empty())
            return 0;
        const char c = back ? text.back() : text.front();
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n')
            return 1;
        const bool wide =
            back ? endsWith(text, ideographicSpace) : startsWith(text, ideographicSpace);
        return wide ? ideographicSpace.size() : 0;
    };
    while (const size_t n = blankAt(false))
        text.remove_prefix(n);
    while (const size_t n = blankAt(true))
        text.remove_suffix(n);
    return std::string(text);
}

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

bool endsWith(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

std::optional<std::string> rawQueryValue(std::string_view query, std::string_view key) {
    while (true) {
        const size_t amp = query.find('&');
        const std::string_view pair = query.substr(0, amp);
        if (pair.size() > key.size() && startsWith(pair, key) && pair[key.size()] == '=')
            return std::string(pair.substr(key.size() + 1));
        if (pair == key)
            return std::string();
        if (amp == std::string_view::npos)
            return std::nullopt;
        query.remove_prefix(amp + 1);
    }
}

std::optional<std::uint64_t> parseDecimal(std::string_view text) {
    if (text.empty() || text.size() > 19)
        return std::nullopt;
    std::uint64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return value;
}

std::string sizeLabel(std::uint64_t bytes, bool compact) {
    constexpr double mib = 1024.0 * 1024;
    constexpr double gib = mib * 1024;
    char buffer[32];
    if (static_cast<double>(bytes) >= gib)
        std::snprintf(buffer, sizeof buffer, compact ? "%.2fGB" : "%.2f GB",
                      static_cast<double>(bytes) / gib);
    else
        std::snprintf(buffer, sizeof buffer, compact ? "%.0fMB" : "%.0f MB",
                      static_cast<double>(bytes) / mib);
    return buffer;
}

std::uint64_t fnv1a(std::string_view text) {
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    for (const char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001b3ULL;
    }
    return hash;
}

std::string base64(std::string_view bytes) {
    static constexpr char digits[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (size_t i = 0; i < bytes.size(); i += 3) {
        const size_t n = bytes.size() - i < 3 ? bytes.size() - i : 3;
        std::uint32_t v = 0;
        for (size_t k = 0; k < 3; ++k)
            v = (v << 8) | (k < n ? static_cast<unsigned char>(bytes[i + k]) : 0u);
        for (size_t k = 0; k < 4; ++k)
            out += k <= n ? digits[(v >> (18 - 6 * k)) & 63] : '=';
    }
    return out;
}

} // namespace localweb
