#pragma once

#include <QStringView>

#include <optional>

namespace portal {

// The fields of an eD2k file link, ed2k://|file|NAME|SIZE|HASH|/ : the texts between its
// vertical bars, as views into the link's own text, which must outlive them. A piece that is
// no well-formed link gives what can be read: a field it lacks is absent. A match that spans
// several links has more fields after these; only the first link's are read.
struct Ed2kLink {
    std::optional<QStringView> name; // as it stands on the page, percent-encoded or not
    std::optional<QStringView> size; // the size in bytes, decimal digits in a well-formed link
    std::optional<QStringView> hash;
    bool slash = false; // the link ends with "/", as the search page's links do

    static Ed2kLink parse(QStringView link);

    // The size field when it is one or more decimal digits and nothing else.
    std::optional<QStringView> decimalSize() const;
};

} // namespace portal
