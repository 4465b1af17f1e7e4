#include "portal/links.h"

#include "portal/results.h"

namespace portal {

QString Links::edurl() const {
    return edurlText(list_);
}

void Links::set(const QStringList& links) {
    if (links == list_)
        return;
    Q_EMIT aboutToChange();
    list_ = links;
    Q_EMIT changed();
}

} // namespace portal
