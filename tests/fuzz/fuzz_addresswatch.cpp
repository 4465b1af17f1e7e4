// The player's address watch on any address: it ends at the first link-ready address, hands on
// only links longer than five characters that stand in the address, and then ignores the rest.
#include "fuzz_common.h"
#include "player/addresswatch.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using W = lumetta::AddressWatch;
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    // Half the inputs are made link-ready, so the interesting path is reached often.
    const QString address =
        size % 2 ? lumetta::vendorSiteBase() + lumetta::kLinkReadyPath + text : text;
    W watch(lumetta::vendorSiteBase());
    const W::Result first = watch.watch(address);
    const bool ready = address.startsWith(watch.linkReadyPrefix());
    FUZZ_CHECK(ready == watch.isLinkReady(address));
    if (!ready) {
        FUZZ_CHECK(first.verdict == W::Verdict::Wait);
        FUZZ_CHECK(!watch.stopped());
        return 0;
    }
    FUZZ_CHECK(watch.stopped());
    if (first.verdict == W::Verdict::Resolve) {
        FUZZ_CHECK(first.link.size() > W::kShortestUnplayable);
        FUZZ_CHECK(address.contains(QStringLiteral("okok=") + first.link));
        FUZZ_CHECK(!first.link.contains(QStringLiteral("okok=")));
    } else {
        FUZZ_CHECK(first.verdict == W::Verdict::ErrorPage);
    }
    // Whatever comes next, the watch has ended.
    FUZZ_CHECK(watch.watch(address).verdict == W::Verdict::Stopped);
    return 0;
}
