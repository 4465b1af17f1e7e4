#include "portal/headless.h"

#include "portal/results.h"
#include "portal/search.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

namespace portal {

namespace {

void print(const QString& line, FILE* to = stdout) {
    const QByteArray bytes = line.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), to);
}

// Tabs and line breaks inside a cell would break the one-row-per-line output.
QString cell(QString text) {
    text.replace(QLatin1Char('\t'), QLatin1Char(' '));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    return text;
}

} // namespace

QString headlessUsage() {
    return QStringLiteral("usage: corvale [--search KEYWORD [--json]]");
}

int headlessSearch(const QStringList& args) {
    if (!args.contains(QStringLiteral("--search")))
        return -1;
    QString keyword;
    bool haveKeyword = false;
    bool json = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == QLatin1String("--search") && !haveKeyword && i + 1 < args.size()) {
            keyword = args[++i];
            haveKeyword = true;
        } else if (a == QLatin1String("--json") && !json) {
            json = true;
        } else {
            print(headlessUsage(), stderr);
            return 2;
        }
    }
    if (keyword.isEmpty()) {
        print(headlessUsage(), stderr);
        return 2;
    }

    int status = 1;
    LinkSearch search;
    QObject::connect(&search, &LinkSearch::finished, [&](const QStringList& links) {
        const QList<ResultRow> rows = zairuRows(links);
        for (qsizetype i = 0; i < rows.size(); ++i) {
            const ResultRow& r = rows[i];
            if (json) {
                const QJsonObject o{{QStringLiteral("id"), r.id.toInt()},
                                    {QStringLiteral("name"), r.name},
                                    {QStringLiteral("size"), r.size},
                                    {QStringLiteral("format"), r.format},
                                    {QStringLiteral("link"), links[i]}};
                print(QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact)));
            } else {
                print(QStringList{r.id, cell(r.name), r.size, cell(r.format), cell(links[i])}.join(
                    QLatin1Char('\t')));
            }
        }
        std::fflush(stdout);
        status = links.isEmpty() ? 1 : 0;
        QCoreApplication::quit();
    });
    search.huoquindex(keyword);
    QCoreApplication::exec();
    return status;
}

} // namespace portal
