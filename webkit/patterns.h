#pragma once

#include <QByteArray>
#include <QByteArrayMatcher>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <memory>
#include <string_view>

namespace re2 {
class RE2;
}

namespace webkit {

// A compiled pattern: case-sensitive, "." not matching line breaks, global matching.
class Pattern {
public:
    explicit Pattern(std::string_view pattern);
    ~Pattern();
    Pattern(const Pattern&) = delete;
    Pattern& operator=(const Pattern&) = delete;

    bool ok() const;
    // Every non-overlapping match in text order; each search resumes where the last match ended.
    QStringList matchAll(const QString& text) const;
    // The same for a text given as UTF-8 (see EncodingConvertorUtf8): only the matches become
    // QStrings.
    QStringList matchAll(QByteArrayView utf8) const;
    // The first match, or the empty text.
    QString firstMatch(const QString& text) const;

private:
    // The next match at or after `from`, or false.
    bool next(QByteArrayView utf8, qsizetype from, QByteArrayView* match) const;
    // Where the fixed beginning next stands at or after `from`, or -1.
    qsizetype nextPrefix(QByteArrayView utf8, qsizetype from) const;

    std::unique_ptr<re2::RE2> re;
    // What every match begins with, as far as the pattern says so plainly; may be empty.
    QByteArray prefix_;
    // The byte of prefix_ that is looked for first: the one least common in web pages.
    qsizetype rare_ = 0;
    // The general search for prefix_, for texts where its rarest byte is common after all.
    QByteArrayMatcher matcher_;
    // The pattern after its fixed beginning, or null when the beginning is all of it.
    std::unique_ptr<re2::RE2> rest_;
};

} // namespace webkit
