// Result rows from arbitrary link text: one row per link, numbered in order, sizes well formed;
// the list's model shows the same cells, asked for in any order.
#include "fuzz_common.h"
#include "portal/resultmodel.h"
#include "portal/results.h"

#include <QRegularExpression>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const QRegularExpression shownSize(QStringLiteral("^ (\\d+M|\\d+(\\.\\d)?G)$"));
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const QStringList links = text.split(QLatin1Char('\n'));
    const QList<portal::ResultRow> rows = portal::zairuRows(links);
    FUZZ_CHECK(rows.size() == links.size());
    for (qsizetype i = 0; i < rows.size(); ++i) {
        FUZZ_CHECK(rows[i].id == QString::number(i + 1));
        FUZZ_CHECK(rows[i].size.isEmpty() || shownSize.match(rows[i].size).hasMatch());
        FUZZ_CHECK(!rows[i].format.contains(QLatin1Char('.')));
        FUZZ_CHECK(rows[i].name.endsWith(rows[i].format));
    }
    FUZZ_CHECK(portal::edurlText(links).size() == text.size() + 1);

    portal::Links shown;
    portal::ResultModel model(&shown);
    model.setColumnTitles(
        {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4")});
    shown.set(links);
    FUZZ_CHECK(model.rowCount() == rows.size());
    for (qsizetype i = rows.size() - 1; i >= 0; --i) {
        const portal::ResultRow& r = rows[i];
        FUZZ_CHECK(model.text(int(i), 2) == r.size && model.text(int(i), 0) == r.id &&
                   model.text(int(i), 3) == r.format && model.text(int(i), 1) == r.name);
    }
    return 0;
}
