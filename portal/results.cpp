#include "portal/results.h"

#include "portal/ed2klink.h"

#include "webkit/urldecode.h"

#include <QVarLengthArray>

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

namespace {

// The display size of a field of up to 2^53 bytes, written at `at`, computed in whole numbers.
// Such a size is exactly a double, and so are its MiB and GiB, so this is the same text as the
// double arithmetic of larger fields gives, only made without it.
char* exactSize(quint64 bytes, char* at, char* end) {
    constexpr quint64 kMiB = quint64(1) << 20;
    if (bytes <= 1024 * kMiB) {
        at = std::to_chars(at, end, bytes / kMiB).ptr;
        *at++ = 'M';
        return at;
    }
    // GiB in tenths, rounded once, a tie going to the even tenth.
    const quint64 scaled = bytes * 10; // below 2^57
    quint64 tenths = scaled >> 30;
    const quint64 rest = scaled & ((quint64(1) << 30) - 1);
    constexpr quint64 kHalf = quint64(1) << 29;
    if (rest > kHalf || (rest == kHalf && tenths % 2 == 1))
        ++tenths;
    at = std::to_chars(at, end, tenths / 10).ptr;
    if (tenths % 10 != 0) {
        *at++ = '.';
        *at++ = char('0' + tenths % 10);
    }
    *at++ = 'G';
    return at;
}

// The same for any size that reads as a finite double; nullptr for one that does not.
char* doubleSize(const char* from, const char* to, char* at, char* end) {
    // A correctly rounding conversion each way; std::from_chars and std::to_chars ignore the
    // locale.
    double size = 0;
    const auto read = std::from_chars(from, to, size);
    if (read.ec != std::errc() || read.ptr != to)
        return nullptr;
    const double mib = size / 1024 / 1024;
    if (!std::isfinite(mib))
        return nullptr;
    if (mib <= 1024) {
        at = std::to_chars(at, end, std::floor(mib), std::chars_format::fixed, 0).ptr;
        *at++ = 'M';
        return at;
    }
    // One decimal, rounded once from the double's exact value with a true tie going to the even
    // digit. Scaling by ten first would round the product as well, and for sizes from about 2^51
    // bytes up that second rounding can land on a tie the value is not.
    at = std::to_chars(at, end, mib / 1024, std::chars_format::fixed, 1).ptr;
    if (at[-2] == '.' && at[-1] == '0')
        at -= 2;
    *at++ = 'G';
    return at;
}

} // namespace

qsizetype displaySizeInto(QStringView bytes, char* room) {
    // The field as Latin-1 digits. A field is short, but a page can make it as long as it likes.
    QVarLengthArray<char, 32> digits(bytes.size());
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char16_t c = bytes[i].unicode();
        if (c < u'0' || c > u'9')
            return 0;
        digits[i] = char(c);
    }
    room[0] = ' ';
    // Room for the unit after the number; a finite double has at most 309 digits before its
    // point.
    char* const end = room + kDisplaySizeRoom - 1;
    quint64 whole = 0;
    const auto exact = std::from_chars(digits.begin(), digits.end(), whole);
    char* const last =
        exact.ec == std::errc() && exact.ptr == digits.end() && whole <= (quint64(1) << 53)
            ? exactSize(whole, room + 1, end)
            : doubleSize(digits.begin(), digits.end(), room + 1, end);
    return last ? last - room : 0;
}

QString displaySize(QStringView bytes) {
    char room[kDisplaySizeRoom];
    return QString::fromLatin1(room, displaySizeInto(bytes, room));
}

void linkCells(QStringView link, char* sizeRoom, LinkCells& cells) {
    const Ed2kLink fields = Ed2kLink::parse(link);
    cells.formatFrom = 0;
    cells.sizeLength = 0;
    if (fields.name) {
        cells.name.truncate(0);
        webkit::URLDecodeAppend(*fields.name, cells.name);
        cells.formatFrom = cells.name.lastIndexOf(u'.') + 1;
    } else {
        cells.name = QString();
    }
    if (fields.size)
        cells.sizeLength = displaySizeInto(*fields.size, sizeRoom);
}

ResultRow zairuRow(int k, QStringView link) {
    char size[kDisplaySizeRoom];
    LinkCells cells;
    linkCells(link, size, cells);
    ResultRow row;
    row.id = QString::number(k);
    // A link without a name field has no format either: both cells stay null.
    if (!cells.name.isNull())
        row.format = cells.name.sliced(cells.formatFrom);
    row.name = std::move(cells.name);
    row.size = QString::fromLatin1(size, cells.sizeLength);
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
