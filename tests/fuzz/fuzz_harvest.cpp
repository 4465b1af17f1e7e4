// Harvesting links and question links from any page: every match has the shape of its pattern.
#include "fuzz_common.h"
#include "webkit/charset.h"
#include "player/playresolver.h"
#include "portal/qasite.h"
#include "webkit/patterns.h"

#include <QByteArray>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const webkit::Pattern search(portal::kSearchPageLinkPattern);
    static const webkit::Pattern question(portal::kQuestionPageLinkPattern);
    static const webkit::Pattern questions(portal::kQuestionLinkPattern);
    static const webkit::Pattern play(lumetta::PlayResolver::kPlayAddressPattern);
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString page = webkit::EncodingConvertor(bytes, QStringLiteral("gbk"));
    qsizetype total = 0;
    for (const QString& m : search.matchAll(page)) {
        FUZZ_CHECK(m.startsWith(QStringLiteral("ed2k://|file|")) &&
                   m.endsWith(QStringLiteral("|/")));
        // Only the name's first character, which may be anything, can be a double quote.
        FUZZ_CHECK(!m.mid(14).contains(QLatin1Char('"')));
        total += m.size();
    }
    FUZZ_CHECK(total <= page.size());
    for (const QString& m : question.matchAll(page))
        FUZZ_CHECK(m.startsWith(QStringLiteral("ed2k://|file|")) && m.endsWith(QLatin1Char('|')));
    for (const QString& m : questions.matchAll(page))
        FUZZ_CHECK(m.startsWith(QStringLiteral("http://zhidao")) &&
                   m.endsWith(QStringLiteral("html")));
    const QString address = play.firstMatch(page);
    FUZZ_CHECK(address.isEmpty() || address.startsWith(QStringLiteral("http://")));
    return 0;
}
