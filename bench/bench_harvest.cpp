// Decoding a GBK page and harvesting its eD2k links: an ordinary large page and a hostile one.
#include "webkit/charset.h"
#include "webkit/patterns.h"

#include <QCoreApplication>

#include <unicode/ucnv.h>

#include <chrono>
#include <cstdio>

using namespace webkit;

namespace {

QByteArray toGbk(const QString& text) {
    UErrorCode err = U_ZERO_ERROR;
    UConverter* cnv = ucnv_open("gbk", &err);
    QByteArray out(text.size() * 2 + 16, '\0');
    const int32_t n =
        ucnv_fromUChars(cnv, out.data(), int32_t(out.size()),
                        reinterpret_cast<const UChar*>(text.utf16()), int32_t(text.size()), &err);
    ucnv_close(cnv);
    out.resize(n);
    return out;
}

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

void run(const char* name, const QByteArray& page, int rounds) {
    const Pattern pattern(kSearchPageLinkPattern);
    qsizetype links = 0;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < rounds; ++i) {
        const QString text = EncodingConvertor(page, QStringLiteral("gbk"));
        links = pattern.matchAll(text).size();
    }
    const double s =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / rounds;
    const double mb = double(page.size()) / 1e6;
    std::printf("%-34s %7.2f MB  %7lld links  %8.1f ms  %7.1f MB/s (goal >= 150)\n", name, mb,
                static_cast<long long>(links), s * 1000, mb / s);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    run("ordinary GBK page, decode+harvest", ordinaryPage(10'000'000), 5);
    run("hostile page, decode+harvest", hostilePage(200'000), 5);
    return 0;
}
