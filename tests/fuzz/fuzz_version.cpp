// The version text check: decides for any text, and announces only numbers above 1.
#include "fuzz_common.h"
#include "webkit/versioncheck.h"

#include <cmath>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using V = webkit::VersionCheck;
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const bool portal = V::announces(text, V::Variant::Portal);
    const bool player = V::announces(text, V::Variant::Player);
    if (portal || player) {
        bool ok = false;
        const double value = text.trimmed().toDouble(&ok);
        FUZZ_CHECK(ok && std::isfinite(value) && std::floor(value) > 1);
    }
    // The portal's 16-bit reading announces nothing the player's would not.
    if (portal)
        FUZZ_CHECK(player);
    const bool openable = V::openable(text);
    if (openable)
        FUZZ_CHECK(text.startsWith(QStringLiteral("http://"), Qt::CaseInsensitive) ||
                   text.startsWith(QStringLiteral("https://"), Qt::CaseInsensitive));
    return 0;
}
