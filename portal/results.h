#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace portal {

// One row of the result list, as text for its four columns.
struct ResultRow {
    QString id;     // 1 for the first link, 2 for the second...
    QString name;   // the link's file-name field, decoded
    QString size;   // the display size, e.g. " 700M" or " 4.4G"; empty when unreadable
    QString format; // what follows the name's last full stop
};

// The harvested links as one text, each link followed by "*".
QString edurlText(const QStringList& links);

// The display size of a size field in bytes: a leading blank, then whole MiB and "M" up to
// 1024 MiB, above that GiB with one decimal (a tie rounds to the even digit) and "G". The empty
// text when the field is no decimal number.
QString displaySize(QStringView bytes);

// The row of link k (counting from 1). A piece that is no well-formed link still gets its row,
// with the cells that can be read.
ResultRow zairuRow(int k, QStringView link);

QList<ResultRow> zairuRows(const QStringList& links);

} // namespace portal
