#include "webkit/patterns.h"

#include <re2/re2.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <vector>

namespace webkit {

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
// escaped ASCII punctuation, up to the first other construct; and where in `pattern` the rest
// begins. Empty when the pattern has an alternation or a group, which could offer another
// beginning.
struct LiteralPrefix {
    QByteArray text;
    size_t restAt = 0;
};

LiteralPrefix literalPrefix(std::string_view pattern) {
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '\\')
            ++i; // an escaped character stands for itself
        else if (pattern[i] == '(' || pattern[i] == '|')
            return {};
    }
    LiteralPrefix prefix;
    size_t i = 0;
    while (i < pattern.size()) {
        const char c = pattern[i];
        char literal;
        size_t width = 1;
        if (c == '\\' && i + 1 < pattern.size() && std::ispunct(uchar(pattern[i + 1]))) {
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
        prefix.text += literal;
        i += width;
    }
    prefix.restAt = i;
    return prefix;
}

// The byte of `prefix` least common in web pages, by its place in a list of bytes from the most
// common on; a byte not listed is rarer than all that are.
qsizetype rarestByte(const QByteArray& prefix) {
    static constexpr std::string_view kCommonFirst =
        " etaoinsrhldcu<>/=\"mpfgwyb.,:;-_'vk0123456789ETAOINSRHLDCUMPFGWYBVKxjqzXJQZ";
    qsizetype rarest = 0;
    size_t rarestRank = 0;
    for (qsizetype i = 0; i < prefix.size(); ++i) {
        const size_t rank = std::min(kCommonFirst.find(prefix[i]), kCommonFirst.size());
        if (rank > rarestRank) {
            rarest = i;
            rarestRank = rank;
        }
    }
    return rarest;
}

} // namespace

Pattern::Pattern(std::string_view pattern)
    : re(std::make_unique<RE2>(re2::StringPiece(pattern.data(), pattern.size()), options())) {
    if (!re->ok())
        return;
    const LiteralPrefix prefix = literalPrefix(pattern);
    prefix_ = prefix.text;
    rare_ = rarestByte(prefix_);
    matcher_.setPattern(prefix_);
    // A match is the beginning and a match of the rest right after it: walking only the rest
    // spares the engine the beginning, which has been found already.
    const std::string_view rest = pattern.substr(prefix.restAt);
    if (!prefix_.isEmpty() && !rest.empty()) {
        rest_ = std::make_unique<RE2>(re2::StringPiece(rest.data(), rest.size()), options());
        if (!rest_->ok())
            rest_.reset();
    }
}

Pattern::~Pattern() = default;

bool Pattern::ok() const {
    return re->ok();
}

qsizetype Pattern::nextPrefix(QByteArrayView utf8, qsizetype from) const {
    // memchr on the beginning's rarest byte runs far ahead of a general substring search, and
    // the byte's rarity keeps the places where the rest of the beginning is compared few. On a
    // text where the byte is common after all, the general search takes over.
    constexpr qsizetype kFalseHitsAllowed = 64;
    const qsizetype n = prefix_.size();
    const qsizetype last = utf8.size() - (n - rare_); // the last place the rare byte can stand
    qsizetype falseHits = 0;
    for (qsizetype at = from + rare_; at <= last;) {
        const void* hit = std::memchr(utf8.data() + at, prefix_[rare_], size_t(last - at + 1));
        if (!hit)
            return -1;
        const qsizetype start = static_cast<const char*>(hit) - utf8.data() - rare_;
        if (utf8[start] == prefix_[0] &&
            std::memcmp(utf8.data() + start, prefix_.constData(), size_t(n)) == 0)
            return start;
        if (++falseHits > kFalseHitsAllowed && falseHits * 16 > start - from)
            return matcher_.indexIn(utf8.data(), utf8.size(), start + 1);
        at = start + rare_ + 1;
    }
    return -1;
}

bool Pattern::next(QByteArrayView utf8, qsizetype from, QByteArrayView* match) const {
    const re2::StringPiece input(utf8.data(), size_t(utf8.size()));
    size_t start = size_t(from);
    re2::StringPiece m;
    if (!prefix_.isEmpty()) {
        // No match can begin before the next place its fixed beginning stands.
        const qsizetype at = nextPrefix(utf8, from);
        if (at < 0)
            return false;
        start = size_t(at);
        // Most often a match begins right there; then the rest matches right after it.
        if (rest_ && rest_->Match(input, start + size_t(prefix_.size()), input.size(),
                                  RE2::ANCHOR_START, &m, 1)) {
            *match = QByteArrayView(utf8.data() + start, prefix_.size() + qsizetype(m.size()));
            return true;
        }
    }
    // Without a rest to try, an anchored search there finds most matches at half the cost of a
    // search from there on; that search finds a match wherever further on it begins.
    if ((rest_ || !re->Match(input, start, input.size(), RE2::ANCHOR_START, &m, 1)) &&
        !re->Match(input, start, input.size(), RE2::UNANCHORED, &m, 1))
        return false;
    *match = QByteArrayView(m.data(), qsizetype(m.size()));
    return true;
}

QStringList Pattern::matchAll(QByteArrayView utf8) const {
    QStringList out;
    if (!re->ok())
        return out;
    // All matches are found first and become texts afterwards, so that the search runs
    // undisturbed by the allocator. The texts are made last to first: the list frees them first
    // to last, and glibc hands blocks of a size back last freed first, so each text takes over
    // the block of the text at its place in the list before. Made first to last, they scramble
    // the heap from one page to the next, and freeing 50,000 of them then costs up to four
    // times as much.
    std::vector<QByteArrayView> found;
    QByteArrayView match;
    qsizetype pos = 0;
    while (pos <= utf8.size() && next(utf8, pos, &match)) {
        found.push_back(match);
        const qsizetype end = match.data() - utf8.data() + match.size();
        // None of our patterns matches the empty text, but never loop on one that would.
        pos = match.isEmpty() ? end + 1 : end;
    }
    out.resize(qsizetype(found.size()));
    QString* const texts = out.data();
    for (size_t i = found.size(); i-- > 0;)
        texts[i] = QString::fromUtf8(found[i]);
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
