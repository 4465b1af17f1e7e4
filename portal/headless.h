#pragma once

#include "portal/results.h"

#include <QByteArray>
#include <QJsonValue>
#include <QList>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <functional>

namespace portal {

// What corvale's command line asks for.
struct CommandLine {
    enum class Action {
        Window,  // no arguments: the portal window
        Help,    // --help: the usage on stdout
        Version, // --version alone
        Search,  // --search KEYWORD [--json] [--unique]: the link search without a window
        Usage,   // anything else: `problem` on stderr with the usage, status 2
    };
    Action action = Action::Window;
    QString keyword;
    bool json = false;
    bool unique = false;
    QString problem;
};

// Reads the arguments after the program's name. The word after --search is the keyword
// whatever it looks like; every other argument must be one of the options.
CommandLine readCommandLine(const QStringList& args);

// The text `corvale --help` prints.
QString usageText();

// One output row of the search without a window.
struct SearchRow {
    ResultRow row;  // id, name, display size, format, as the result list shows them
    QString link;   // the link exactly as it was found
    QString source; // the address of the page it was read from
    int count = 1;  // how many links the row stands for (more than one only with --unique)
};

// The rows for the links of a search and, beside each, the page it was read from. With
// `unique`, a link whose size and hash (the hash without regard to case) equal those of an
// earlier link folds into that link's row; the kept rows are numbered 1, 2, 3... in their order.
// A link without a decimal size or without a hash never folds.
QList<SearchRow> searchRows(const QStringList& links, const QStringList& sources, bool unique);

// The size field of a link as a number of bytes; null when it is no decimal number or too large
// to be carried exactly (more than 2^53).
QJsonValue sizeInBytes(const QString& link);

// A row as one JSON object in UTF-8, without a line break: id, name, size, format, link, source,
// bytes, and count with `unique`.
QByteArray searchRowJson(const SearchRow& row, bool unique);

// The rows of `links` (folded as searchRows folds them with `unique`) as lines of five
// tab-separated cells: ID, name, size, format, link, with a tab or line break inside a cell made
// a blank. They are appended to `out` as UTF-8, each ending in a line break; `out` is handed to
// `flush` whenever it holds about 64 KiB and once at the end, and `flush` empties it.
void appendTextRows(QByteArray& out, const QStringList& links, bool unique,
                    const std::function<void(QByteArray&)>& flush);

// The same text rows written to `out`, a block at a time, as `corvale --search` prints them.
void printTextRows(std::FILE* out, const QStringList& links, bool unique);

// Runs the link search without a window and prints one line per row. Returns the exit status:
// 0 links found, 1 none.
int headlessSearch(const CommandLine& command);

} // namespace portal
