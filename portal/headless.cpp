#include "portal/headless.h"

#include "portal/ed2klink.h"
#include "portal/search.h"

#include <QCoreApplication>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringEncoder>

#include <charconv>
#include <cstdio>
#include <cstring>
#include <optional>

namespace portal {

namespace {

// Rows go out in blocks of about this many bytes: one write for many rows rather than one for
// each.
constexpr qsizetype kOutputBlock = 1 << 16;

// Turns each tab and line break from `c` to `end` into a blank.
void blankBreaks(char* c, char* end) {
    for (; c != end; ++c)
        if (*c == '\t' || *c == '\n' || *c == '\r')
            *c = ' ';
}

// A cell as UTF-8 at `at`, which has room for it; returns where it ends. A tab or a line break
// inside it would break the one-row-per-line output, so each becomes a blank (no byte of a longer
// UTF-8 form is below 0x80).
char* writeCell(char* at, QStringView text, QStringEncoder& utf8) {
    char* const end = utf8.appendToBuffer(at, text);
    // Eight bytes at a time: few cells hold a byte below 0x0E (tab, line feed and carriage
    // return are 09, 0A and 0D), and only the words that do are looked at byte by byte.
    constexpr quint64 kOnes = 0x0101010101010101ull;
    char* c = at;
    for (; end - c >= 8; c += 8) {
        quint64 word;
        std::memcpy(&word, c, 8);
        if ((word - kOnes * 0x0E) & ~word & (kOnes * 0x80))
            blankBreaks(c, c + 8);
    }
    blankBreaks(c, end);
    return end;
}

// A text line's five cells, tab-separated, and its line break, appended to `out` with one
// growth of it. The size is Latin-1 already.
void appendTextLine(QByteArray& out, QStringView id, QStringView name, QByteArrayView size,
                    QStringView format, QStringView link, QStringEncoder& utf8) {
    const qsizetype from = out.size();
    out.resize(from + utf8.requiredSpace(id.size() + name.size() + format.size() + link.size()) +
               size.size() + 5);
    char* at = out.data() + from;
    at = writeCell(at, id, utf8);
    *at++ = '\t';
    at = writeCell(at, name, utf8);
    *at++ = '\t';
    at = std::copy(size.begin(), size.end(), at);
    *at++ = '\t';
    at = writeCell(at, format, utf8);
    *at++ = '\t';
    at = writeCell(at, link, utf8);
    *at++ = '\n';
    out.resize(at - out.constData());
}

// The size and hash fields of a link as one key, the size without leading zeros and the hash in
// lower case; empty when the link has no decimal size or no hash.
QString fileKey(const QString& link) {
    const Ed2kLink fields = Ed2kLink::parse(link);
    auto size = fields.decimalSize();
    if (!size || !fields.hash || fields.hash->isEmpty())
        return {};
    while (size->size() > 1 && size->front() == u'0')
        size = size->sliced(1);
    return size->toString() + QLatin1Char('|') + fields.hash->toString().toLower();
}

} // namespace

namespace {

// The words of a command line, before they are judged together.
struct Words {
    bool search = false;
    bool help = false;
    bool version = false;
    QString keyword;
    bool json = false;
    bool unique = false;
    QString problem; // the first word that is wrong on its own
};

// Reads each word on its own: which options are there, and the first word that is no option or
// an option given twice.
Words readWords(const QStringList& args) {
    Words w;
    auto refuse = [&w](const QString& problem) {
        if (w.problem.isEmpty())
            w.problem = problem;
    };
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            w.help = true;
        } else if (a == QLatin1String("--version")) {
            w.version = true;
        } else if (a == QLatin1String("--search")) {
            if (w.search)
                refuse(QStringLiteral("--search given twice"));
            else if (i + 1 == args.size())
                refuse(QStringLiteral("--search needs a keyword"));
            w.search = true;
            if (i + 1 < args.size())
                w.keyword = args[++i];
        } else if (a == QLatin1String("--json") || a == QLatin1String("--unique")) {
            bool& flag = a == QLatin1String("--json") ? w.json : w.unique;
            if (flag)
                refuse(a + QStringLiteral(" given twice"));
            flag = true;
        } else if (a.startsWith(QLatin1Char('-'))) {
            refuse(QStringLiteral("unknown option ") + a);
        } else {
            refuse(QStringLiteral("unexpected argument ") + a);
        }
    }
    return w;
}

// What is wrong with the words taken together; the empty text when nothing is.
QString problemOf(const Words& w, qsizetype argumentCount) {
    if (!w.problem.isEmpty())
        return w.problem;
    if (w.version && argumentCount > 1)
        return QStringLiteral("--version takes no other argument");
    if (!w.search && (w.json || w.unique))
        return QStringLiteral("--json and --unique go with --search");
    if (w.search && w.keyword.isEmpty())
        return QStringLiteral("the keyword is empty");
    return {};
}

} // namespace

CommandLine readCommandLine(const QStringList& args) {
    const Words w = readWords(args);
    CommandLine c;
    c.keyword = w.keyword;
    c.json = w.json;
    c.unique = w.unique;
    // --help wins over everything, a wrong word included.
    if (w.help) {
        c.action = CommandLine::Action::Help;
        c.problem = w.problem;
        return c;
    }
    c.problem = problemOf(w, args.size());
    if (!c.problem.isEmpty())
        c.action = CommandLine::Action::Usage;
    else if (w.version)
        c.action = CommandLine::Action::Version;
    else if (w.search)
        c.action = CommandLine::Action::Search;
    return c;
}

QString usageText() {
    return QStringLiteral(
        "usage: corvale\n"
        "       corvale --search KEYWORD [--json] [--unique]\n"
        "       corvale --help | --version\n"
        "\n"
        "Qarvo, the film portal. Without arguments it opens its window: the vendor's cinema\n"
        "pages, a link search and the player Miravend (lumetta).\n"
        "\n"
        "Options:\n"
        "  --search KEYWORD  search the Q&A site for eD2k links to KEYWORD without a window and\n"
        "                    print one row per link: ID, name, size, format and link,\n"
        "                    tab-separated\n"
        "  --json            print each row as a JSON object instead: id, name, size, format,\n"
        "                    link, source (the address of the page the link was read from) and\n"
        "                    bytes (the size field as a number, or null)\n"
        "  --unique          one row per file: links with the same size and hash (in any case)\n"
        "                    fold into the first; rows are numbered 1, 2, 3...; with --json each\n"
        "                    row carries count, how many links it stands for\n"
        "  --help            print this help and exit\n"
        "  --version         print the version and exit\n"
        "\n"
        "A link is an eD2k file link, ed2k://|file|NAME|SIZE|HASH|/ (NAME percent-encoded, SIZE\n"
        "in bytes). The player plays one given as its argument: lumetta LINK; it is the\n"
        "desktop's handler of ed2k: links.\n"
        "\n"
        "Environment:\n"
        "  http_proxy        the proxy through which pages are fetched, http://HOST:PORT;\n"
        "                    unset, they are fetched directly\n"
        "  DISPLAY, WAYLAND_DISPLAY\n"
        "                    the display the window opens on; --search, --help and --version\n"
        "                    need none\n"
        "\n"
        "Exit status: 0 success (--search: links found); 1 --search found no link, or no\n"
        "display could be opened; 2 a usage error.\n");
}

namespace {

// Links of one file fold into the row of the first of them (--unique).
class FileRows {
public:
    // The row of an earlier link of the same file; nothing when `link` starts a row, the row
    // `next`.
    std::optional<qsizetype> fold(const QString& link, qsizetype next) {
        const QString key = fileKey(link);
        if (key.isEmpty())
            return std::nullopt;
        const auto kept = rowOfFile_.constFind(key);
        if (kept != rowOfFile_.cend())
            return *kept;
        rowOfFile_.insert(key, next);
        return std::nullopt;
    }

private:
    QHash<QString, qsizetype> rowOfFile_;
};

} // namespace

QList<SearchRow> searchRows(const QStringList& links, const QStringList& sources, bool unique) {
    QList<SearchRow> rows;
    rows.reserve(links.size());
    FileRows files;
    for (qsizetype i = 0; i < links.size(); ++i) {
        if (unique) {
            if (const auto kept = files.fold(links[i], rows.size())) {
                ++rows[*kept].count;
                continue;
            }
        }
        SearchRow row;
        row.row = zairuRow(int(rows.size() + 1), links[i]);
        row.link = links[i];
        row.source = i < sources.size() ? sources[i] : QString();
        rows << std::move(row);
    }
    return rows;
}

QJsonValue sizeInBytes(const QString& link) {
    const auto size = Ed2kLink::parse(link).decimalSize();
    if (!size)
        return QJsonValue::Null;
    bool ok = false;
    const qulonglong bytes = size->toULongLong(&ok);
    if (!ok || bytes > (1ULL << 53))
        return QJsonValue::Null;
    return QJsonValue(qint64(bytes));
}

QByteArray searchRowJson(const SearchRow& r, bool unique) {
    QJsonObject o{{QStringLiteral("id"), r.row.id.toInt()},
                  {QStringLiteral("name"), r.row.name},
                  {QStringLiteral("size"), r.row.size},
                  {QStringLiteral("format"), r.row.format},
                  {QStringLiteral("link"), r.link},
                  {QStringLiteral("source"), r.source},
                  {QStringLiteral("bytes"), sizeInBytes(r.link)}};
    if (unique)
        o.insert(QStringLiteral("count"), r.count);
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

void appendTextRows(QByteArray& out, const QStringList& links, bool unique,
                    const std::function<void(QByteArray&)>& flush) {
    out.reserve(kOutputBlock + 4096);
    QStringEncoder utf8(QStringEncoder::Utf8);
    FileRows files;
    qsizetype rows = 0;
    char16_t id[24];
    char size[kDisplaySizeRoom];
    LinkCells cells;
    for (const QString& link : links) {
        if (unique && files.fold(link, rows))
            continue;
        ++rows;
        // The row's cells as zairuRow makes them, without a string for each.
        char digits[24];
        const auto number = std::to_chars(digits, digits + sizeof digits, rows).ptr;
        std::copy(digits, number, id);
        linkCells(link, size, cells);
        appendTextLine(out, QStringView(id, number - digits), cells.name,
                       QByteArrayView(size, cells.sizeLength),
                       QStringView(cells.name).sliced(cells.formatFrom), link, utf8);
        if (out.size() >= kOutputBlock)
            flush(out);
    }
    flush(out);
}

namespace {

// Writes `block` to `out` and empties it.
void writeBlock(std::FILE* out, QByteArray& block) {
    std::fwrite(block.constData(), 1, size_t(block.size()), out);
    block.resize(0);
}

} // namespace

void printTextRows(std::FILE* out, const QStringList& links, bool unique) {
    QByteArray block;
    appendTextRows(block, links, unique, [out](QByteArray& rows) { writeBlock(out, rows); });
}

int headlessSearch(const CommandLine& command) {
    int status = 1;
    LinkSearch search;
    QObject::connect(&search, &LinkSearch::finished, [&](const QStringList& links) {
        if (command.json) {
            QByteArray block;
            for (const SearchRow& row : searchRows(links, search.linkSources(), command.unique)) {
                block += searchRowJson(row, command.unique);
                block += '\n';
                if (block.size() >= kOutputBlock)
                    writeBlock(stdout, block);
            }
            writeBlock(stdout, block);
        } else {
            printTextRows(stdout, links, command.unique);
        }
        std::fflush(stdout);
        status = links.isEmpty() ? 1 : 0;
        QCoreApplication::quit();
    });
    search.huoquindex(command.keyword);
    QCoreApplication::exec();
    return status;
}

} // namespace portal
