// Small text helpers shared by the pages: escapes, percent-coding and the GBK code page.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace localweb {

// Percent-decodes into raw bytes. A "%" not followed by two hex digits stays as it is.
// With plusIsBlank, a "+" becomes a blank (form encoding).
std::string percentDecode(std::string_view text, bool plusIsBlank);

// Percent-encodes every byte except ASCII letters, digits and "-", ".", "_", "~",
// with upper-case hex digits.
std::string percentEncode(std::string_view bytes);

bool isValidUtf8(std::string_view bytes);

// Conversions through the "gbk" converter (Windows code page 936). Characters that GBK
// cannot hold become "?"; invalid input sequences become U+FFFD / "?".
std::string utf8ToGbk(std::string_view utf8);
std::string gbkToUtf8(std::string_view gbk);

// Reads bytes as UTF-8 when they are valid UTF-8, else as GBK; returns UTF-8.
std::string bytesToUtf8(std::string_view bytes);

std::string htmlEscape(std::string_view text);

// Standard base64 with padding.
std::string base64(std::string_view bytes);

// Escapes text for a JSON string literal (without the quotes). Valid UTF-8 passes
// through; a byte that is not part of a valid sequence is written as \u00XX.
std::string jsonEscape(std::string_view bytes);

std::string asciiLower(std::string_view text);

// Trims ASCII white space and the ideographic space U+3000 at both ends.
std::string trimBlanks(std::string_view text);

bool startsWith(std::string_view text, std::string_view prefix);
bool endsWith(std::string_view text, std::string_view suffix);

// Value of the first "key=value" pair of a raw query, undecoded. Pairs are split at "&".
std::optional<std::string> rawQueryValue(std::string_view query, std::string_view key);

// Parses a whole decimal number; rejects empty text, signs, other characters and overflow.
std::optional<std::uint64_t> parseDecimal(std::string_view text);

// A file size for people: "1.25 GB" or "700 MB" (binary units); without the blank when
// compact.
std::string sizeLabel(std::uint64_t bytes, bool compact = false);

// 64-bit FNV-1a, for deterministic choices derived from text.
std::uint64_t fnv1a(std::string_view text);

} // namespace localweb
