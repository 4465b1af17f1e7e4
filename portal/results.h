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
// The same written as Latin-1 into `room`, which holds kDisplaySizeRoom bytes; returns its
// length, 0 for the empty text.
inline constexpr qsizetype kDisplaySizeRoom = 320;
qsizetype displaySizeInto(QStringView bytes, char* room);

// The cells of a link's row that the link gives: its name field decoded (null when the link
// has none), where the format begins in that name (after its last full stop), and the length
// of its display size, written into `sizeRoom` (kDisplaySizeRoom bytes). A cell the link lacks
// is empty.
struct LinkCells {
    QString name;
    qsizetype formatFrom = 0;
    qsizetype sizeLength = 0;
};
// Fills `cells` for `link`; the name is decoded into the room `cells.name` already has, so one
// LinkCells serves a whole list of links.
void linkCells(QStringView link, char* sizeRoom, LinkCells& cells);

// The row of link k (counting from 1). A piece that is no well-formed link still gets its row,
// with the cells that can be read.
ResultRow zairuRow(int k, QStringView link);

QList<ResultRow> zairuRows(const QStringList& links);

} // namespace portal
