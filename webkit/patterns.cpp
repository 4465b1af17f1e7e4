#include "webkit/patterns.h"

#include <re2/re2.h>

#include <cctype>

namespace webkit {

const std::string_view kSearchPageLinkPattern = R"(ed2k\:\/\/\|file\|[\S\s][^\x22]+\|\d+\|\w+\|\/)";
const std::string_view kQuestionPageLinkPattern = R"(ed2k\:\/\/\|file\|[\S\s][^\x22]+\|\d+\|\w+\|)";
const std::string_view kQuestionLinkPattern = R"(http\:\/\/zhidao.baidu.com\/question\/\d+.html)";
const std::string_view kPlayAddressPattern = R"(http\:\/\/\w+\.\w+\.\w+\/high\.\w+\?\w\x3d\w+)";

const QString kQnaHost = QStringLiteral("zhidao.baidu.com");

namespace {
RE2::Options options() {
    // RE2's defaults are what the patterns need: UTF-8, case-sensitive, "." not matching a
    // line break.
    RE2::Options o;
    o.set_log_errors(false);
    // Pages are large; give the DFA room so that matching stays linear on them.
    o.set_max_mem(64 << 20);
    return o;
}

// The literal text that every match of `pattern` begins with: its leading letters, digits and
// escaped punctuation, up to the first other construct. Empty when the pattern has an
// alternation or a group, which could offer another beginning.
QByteArray literalPrefix(std::string_view pattern) {
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '\\')
            ++i; // an escaped character stands for itself
        else if (pattern[i] == '(' || pattern[i] == '|')
            return {};
    }
    QByteArray prefix;
    size_t i = 0;
    while (i < pattern.size()) {
        const char c = pattern[i];
        char literal;
        size_t width = 1;
        if (c == '\\' && i + 1 < pattern.size() && !std::isalnum(uchar(pattern[i + 1]))) {
            literal = pattern[i + 1];
            width = 2;
        } else if (std::isalnum(uchar(c))) {
            literal = c;
        } else {
            break;
        }
        // A quantifier after the character may drop or repeat it: it is no longer certain.
        const char after = i + width < pattern.size() ? pattern[i + width] : '\0';
        if (after == '?' || after == '*' || after == '+' || after == '{')
            break;
        prefix += literal;
        i += width;
    }
    return prefix;
}

} // namespace

Pattern::Pattern(std::string_view pattern)
    : re(std::make_unique<RE2>(re2::StringPiece(pattern.data(), pattern.size()), options())) {
    if (re->ok())
        prefix_.setPattern(literalPrefix(pattern));
}

Pattern::~Pattern() = default;

bool Pattern::ok() const {
    return re->ok();
}

bool Pattern::next(QByteArrayView utf8, qsizetype from, QByteArrayView* match) const {
    const re2::StringPiece input(utf8.data(), size_t(utf8.size()));
    size_t start = size_t(from);
    if (!prefix_.pattern().isEmpty()) {
        // No match can begin before the next place its fixed beginning stands.
        const qsizetype at = prefix_.indexIn(utf8.data(), utf8.size(), from);
        if (at < 0)
            return false;
        start = size_t(at);
    }
    re2::StringPiece m;
    // Most often a match begins right there, and an anchored search finds it at half the cost;
    // otherwise the search goes on from there as usual.
    if (!re->Match(input, start, input.size(), RE2::ANCHOR_START, &m, 1) &&
        !re->Match(input, start, input.size(), RE2::UNANCHORED, &m, 1))
        return false;
    *match = QByteArrayView(m.data(), qsizetype(m.size()));
    return true;
}

QStringList Pattern::matchAll(QByteArrayView utf8) const {
    QStringList out;
    if (!re->ok())
        return out;
    QByteArrayView match;
    qsizetype pos = 0;
    while (pos <= utf8.size() && next(utf8, pos, &match)) {
        out << QString::fromUtf8(match);
        const qsizetype end = match.data() - utf8.data() + match.size();
        // None of our patterns matches the empty text, but never loop on one that would.
        pos = match.isEmpty() ? end + 1 : end;
    }
    return out;
}

QStringList Pattern::matchAll(const QString& text) const {
    return matchAll(QByteArrayView(text.toUtf8()));
}

QString Pattern::firstMatch(const QString& text) const {
    if (!re->ok())
        return {};
    const QByteArray utf8 = text.toUtf8();
    QByteArrayView match;
    if (!next(utf8, 0, &match))
        return {};
    return QString::fromUtf8(match);
}

} // namespace webkit
