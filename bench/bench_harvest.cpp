// Decoding a GBK page and harvesting its eD2k links: an ordinary large page and a hostile one.
#include "gbk.h"
#include "webkit/charset.h"
#include "app/memory.h"
#include "portal/qasite.h"
#include "webkit/patterns.h"

#include <QCoreApplication>

#include <unicode/ucnv.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>

using namespace webkit;

namespace {

// A Q&A search page of about `bytes` bytes: answers in Chinese, links in attributes and in text.
QByteArray ordinaryPage(qsizetype bytes) {
    QByteArray out = toGbk(QStringLiteral("<html><head><title>搜索结果</title></head><body>"));
    for (int n = 0; out.size() < bytes; ++n) {
        out += toGbk(QStringLiteral(
                         "<div class=\"answer\"><p>网友推荐：这部电影很好看，高清版本下载地址如下，"
                         "请用电驴打开。</p><a href=\"ed2k://|file|%%E7%%94%%B5%%E5%%BD%%B1%1.rmvb|"
                         "734003200|0123456789ABCDEF0123456789ABCD%2|/\">下载</a> 或者 "
                         "ed2k://|file|The.Film.%1.mkv|1342177280|FEDCBA98765432100123456789AB%2|/ "
                         "<a href=\"http://zhidao.baidu.com/question/%1.html\">更多</a></div>\n")
                         .arg(n)
                         .arg(n % 100, 4, 10, QLatin1Char('0')));
    }
    out += "</body></html>";
    return out;
}

// No double quote anywhere and a link start every few bytes: the worst case for a backtracking
// engine, and nothing that matches.
QByteArray hostilePage(int fragments) {
    QByteArray out;
    out.reserve(fragments * 16);
    for (int i = 0; i < fragments; ++i)
        out += "ed2k://|file|ab ";
    return out;
}

// ICU's GBK decode of the whole page into UTF-16 and nothing else: the floor of any harvest.
qsizetype icuDecodeOnly(const QByteArray& page) {
    UErrorCode err = U_ZERO_ERROR;
    UConverter* cnv = ucnv_open("gbk", &err);
    const int32_t capacity = int32_t(page.size()) + 16;
    const std::unique_ptr<UChar[]> out(new UChar[size_t(capacity)]); // not zeroed, as ICU fills it
    const int32_t n = ucnv_toUChars(cnv, out.get(), capacity, page.constData(),
                                    int32_t(page.size()), &err);
    ucnv_close(cnv);
    return n;
}

// What the link search does with a page that has arrived: decode it and cut out its links.
qsizetype decodeAndHarvest(const Pattern& pattern, const QByteArray& page) {
    return pattern.matchAll(QByteArrayView(EncodingConvertorUtf8(page, QStringLiteral("gbk"))))
        .size();
}

double seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// The floor and the harvest alternate, round by round, so that a burst of other load hits both
// alike; the best round of each counts.
void run(const char* name, const QByteArray& page, int rounds) {
    const Pattern pattern(portal::kSearchPageLinkPattern);
    qsizetype links = 0;
    double floor = 1e9, harvest = 1e9, decode = 1e9, match = 1e9, freeing = 1e9;
    const QByteArray utf8 = EncodingConvertorUtf8(page, QStringLiteral("gbk"));
    for (int i = 0; i < rounds; ++i) {
        auto start = std::chrono::steady_clock::now();
        icuDecodeOnly(page);
        floor = std::min(floor, seconds(start));
        start = std::chrono::steady_clock::now();
        links = decodeAndHarvest(pattern, page);
        harvest = std::min(harvest, seconds(start));
        start = std::chrono::steady_clock::now();
        EncodingConvertorUtf8(page, QStringLiteral("gbk"));
        decode = std::min(decode, seconds(start));
        start = std::chrono::steady_clock::now();
        {
            QStringList cut = pattern.matchAll(QByteArrayView(utf8));
            const auto freeStart = std::chrono::steady_clock::now();
            cut = QStringList();
            freeing = std::min(freeing, seconds(freeStart));
        }
        match = std::min(match, seconds(start));
    }
    const double mb = double(page.size()) / 1e6;
    std::printf("%s: %.2f MB, %lld links\n", name, mb, static_cast<long long>(links));
    std::printf("  ICU GBK decode alone  %8.1f ms  %7.1f MB/s\n", floor * 1000, mb / floor);
    std::printf("  decode to UTF-8 alone %8.1f ms  %7.1f MB/s\n", decode * 1000, mb / decode);
    std::printf("  links cut out alone   %8.1f ms  %7.1f MB/s\n", match * 1000, mb / match);
    // Freeing many small texts costs more or less with how the heap lies at the time.
    std::printf("    of which freeing them %5.1f ms\n", freeing * 1000);
    std::printf("  decode+harvest        %8.1f ms  %7.1f MB/s\n", harvest * 1000, mb / harvest);
    std::printf("  ratio (decode alone / decode+harvest time) %.2f (goal >= 0.80)\n",
                floor / harvest);
}

} // namespace

int main(int argc, char** argv) {
    app::keepLargeBlocksUntilReturned(); // as corvale starts
    QCoreApplication app(argc, argv);
    run("ordinary GBK page, decode+harvest", ordinaryPage(10'000'000), 5);
    run("hostile page, decode+harvest", hostilePage(200'000), 5);
    return 0;
}
