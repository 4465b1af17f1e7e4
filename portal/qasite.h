#pragma once

#include <QString>

#include <string_view>

namespace portal {

// The question-and-answer site that the link search asks, and the patterns of what its pages
// hold, in RE2 syntax. Each keeps the meaning of the pattern as first written for a
// VBScript-style engine; "\z", which RE2 reads differently, is a plain letter.

// The host of the Q&A site.
inline const QString kQnaHost = QStringLiteral("zhidao.baidu.com");

// An eD2k file link on the Q&A search page: it ends in "|/".
inline constexpr std::string_view kSearchPageLinkPattern =
    R"(ed2k\:\/\/\|file\|[\S\s][^\x22]+\|\d+\|\w+\|\/)";
// An eD2k file link on a question page: the same without the closing "/".
inline constexpr std::string_view kQuestionPageLinkPattern =
    R"(ed2k\:\/\/\|file\|[\S\s][^\x22]+\|\d+\|\w+\|)";
// A question page of the Q&A site, named on its search page.
inline constexpr std::string_view kQuestionLinkPattern =
    R"(http\:\/\/zhidao.baidu.com\/question\/\d+.html)";

} // namespace portal
