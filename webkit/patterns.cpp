#include "webkit/patterns.h"

#include <re2/re2.h>

namespace webkit {

const std::string_view kSearchPageLinkPattern = R"(ed2k\:\/\/\|file\|[\S\s][^\x22]+\|\d+\|\w+\|\/)";
const std::string_view kQuestionPageLinkPattern = R"(ed2k\:\/\/\|file\|[\S\s][^\x22]+\|\d+\|\w+\|)";
const std::string_view kQuestionLinkPattern = R"(http\:\/\/zhidao.baidu.com\/question\/\d+.html)";
const std::string_view kPlayAddressPattern = R"(http\:\/\/\w+\.\w+\.\w+\/high\.\w+\?\w\x3d\w+)";

const QString kQnaHost = QStringLiteral("zhidao.baidu.com");

namespace {
RE2::Options options() {
    RE2::Options o;
    o.set_encoding(RE2::Options::EncodingUTF8);
    o.set_case_sensitive(true);
    o.set_dot_nl(false);
    o.set_log_errors(false);
    // Pages are large; give the DFA room so that matching stays linear on them.
    o.set_max_mem(64 << 20);
    return o;
}
} // namespace

Pattern::Pattern(std::string_view pattern)
    : re(std::make_unique<RE2>(re2::StringPiece(pattern.data(), pattern.size()), options())) {}

Pattern::~Pattern() = default;

bool Pattern::ok() const {
    return re->ok();
}

QStringList Pattern::matchAll(const QString& text) const {
    QStringList out;
    if (!re->ok())
        return out;
    const QByteArray utf8 = text.toUtf8();
    re2::StringPiece input(utf8.constData(), utf8.size());
    re2::StringPiece match;
    size_t pos = 0;
    while (pos <= size_t(input.size()) &&
           re->Match(input, pos, input.size(), RE2::UNANCHORED, &match, 1)) {
        out << QString::fromUtf8(match.data(), qsizetype(match.size()));
        const size_t end = size_t(match.data() - input.data()) + match.size();
        // None of our patterns matches the empty text, but never loop on one that would.
        pos = match.empty() ? end + 1 : end;
    }
    return out;
}

QString Pattern::firstMatch(const QString& text) const {
    if (!re->ok())
        return {};
    const QByteArray utf8 = text.toUtf8();
    re2::StringPiece input(utf8.constData(), utf8.size());
    re2::StringPiece match;
    if (!re->Match(input, 0, input.size(), RE2::UNANCHORED, &match, 1))
        return {};
    return QString::fromUtf8(match.data(), qsizetype(match.size()));
}

} // namespace webkit
