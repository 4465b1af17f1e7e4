#include "portal/ed2klink.h"

namespace portal {

Ed2kLink Ed2kLink::parse(QStringView link) {
    Ed2kLink fields;
    fields.slash = link.endsWith(u'/');
    // Field 0 is the scheme and field 1 "file"; the name starts after the second bar.
    qsizetype from = 0;
    for (int bar = 0; bar < 2; ++bar) {
        from = link.indexOf(u'|', from);
        if (from < 0)
            return fields;
        ++from;
    }
    std::optional<QStringView>* wanted[] = {&fields.name, &fields.size, &fields.hash};
    for (std::optional<QStringView>* field : wanted) {
        const qsizetype to = link.indexOf(u'|', from);
        *field = link.sliced(from, (to < 0 ? link.size() : to) - from);
        if (to < 0)
            break;
        from = to + 1;
    }
    return fields;
}

std::optional<QStringView> Ed2kLink::decimalSize() const {
    if (!size || size->isEmpty())
        return std::nullopt;
    for (QChar c : *size)
        if (c < u'0' || c > u'9')
            return std::nullopt;
    return size;
}

} // namespace portal
