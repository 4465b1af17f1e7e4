#include "portal/results.h"

#include "portal/ed2klink.h"

#include "webkit/urldecode.h"

#include <charconv>
#include <cmath>

namespace portal {

QString edurlText(const QStringList& links) {
    QString text;
    for (const QString& link : links) {
        text += link;
        text += QLatin1Char('*');
    }
    return text;
}

QString displaySize(QStringView bytes) {
    for (QChar c : bytes)
        if (c < u'0' || c > u'9')
            return {};
    bool ok = false;
    const double mib = bytes.toDouble(&ok) / 1024 / 1024;
    if (!ok || !std::isfinite(mib))
        return {};
    if (mib > 1024) {
        // One decimal, rounded once from the double's exact value with a true tie going to the
        // even digit. Scaling by ten first would round the product as well, and for sizes from
        // about 2^51 bytes up that second rounding can land on a tie the value is not.
        char digits[64];
        const auto end = std::to_chars(digits, digits + sizeof digits, mib / 1024,
                                       std::chars_format::fixed, 1);
        QString text = QString::fromLatin1(digits, end.ptr - digits);
        if (text.endsWith(QLatin1String(".0")))
            text.chop(2);
        return QLatin1Char(' ') + text + QLatin1Char('G');
    }
    return QLatin1Char(' ') + QString::number(std::floor(mib), 'f', 0) + QLatin1Char('M');
}

ResultRow zairuRow(int k, QStringView link) {
    ResultRow row;
    row.id = QString::number(k);
    const Ed2kLink fields = Ed2kLink::parse(link);
    if (fields.name) {
        row.name = webkit::URLDecode(fields.name->toString());
        row.format = row.name.sliced(row.name.lastIndexOf(u'.') + 1);
    }
    if (fields.size)
        row.size = displaySize(*fields.size);
    return row;
}

QList<ResultRow> zairuRows(const QStringList& links) {
    QList<ResultRow> rows;
    rows.reserve(links.size());
    int k = 0;
    for (const QString& link : links)
        rows << zairuRow(++k, link);
    return rows;
}

} // namespace portal
