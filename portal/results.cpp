#include "portal/results.h"

#include "webkit/urldecode.h"

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

QString displaySize(const QString& bytes) {
    for (QChar c : bytes)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return {};
    bool ok = false;
    const double mib = bytes.toDouble(&ok) / 1024 / 1024;
    if (!ok || !std::isfinite(mib))
        return {};
    if (mib > 1024) {
        // One decimal, a tie going to the even digit (the default rounding mode).
        const double tenths = std::nearbyint(mib / 1024 * 10);
        QString text = QString::number(tenths / 10, 'f', 1);
        if (text.endsWith(QLatin1String(".0")))
            text.chop(2);
        return QLatin1Char(' ') + text + QLatin1Char('G');
    }
    return QLatin1Char(' ') + QString::number(std::floor(mib), 'f', 0) + QLatin1Char('M');
}

ResultRow zairuRow(int k, const QString& link) {
    ResultRow row;
    row.id = QString::number(k);
    const QStringList fields = link.split(QLatin1Char('|'));
    if (fields.size() > 2) {
        row.name = webkit::URLDecode(fields[2]);
        row.format = row.name.split(QLatin1Char('.')).constLast();
    }
    if (fields.size() > 3)
        row.size = displaySize(fields[3]);
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
