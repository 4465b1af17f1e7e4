// The Q&A site: a search result list and question pages, sent in GBK.
//
// The link harvester reads these pages with patterns that stop only at a double quote, so
// every eD2k link stands either in a double-quoted attribute or in an answer block of its
// own, with markup holding a double quote before the next link.
#include "site.h"
#include "text.h"

#include <cstdio>

namespace localweb {

namespace {

const char* const qaStyle = R"css(
body { margin: 0; font: 13px/1.6 arial, "Microsoft YaHei", sans-serif; color: #333; background: #fff; }
a { color: #2d64b3; text-decoration: none; }
a:hover { text-decoration: underline; }
#header { height: 64px; padding: 12px 0 0 40px; border-bottom: 1px solid #e5e5e5; background: #fafafa; }
#header .logo { float: left; font-size: 24px; font-weight: bold; color: #2d64b3; margin-right: 26px; }
#header input { width: 420px; height: 32px; padding: 0 8px; border: 1px solid #b8b8b8; font-size: 14px; }
#header button { height: 34px; padding: 0 18px; border: 0; background: #38f; color: #fff; font-size: 14px; }
.container { width: 700px; margin: 16px 0 0 160px; }
.result-count { color: #999; margin: 0 0 12px; }
.dl { margin: 0 0 22px; }
.dt { font-size: 16px; margin: 0 0 4px; }
.dt em, .answer em { color: #c00; font-style: normal; }
.dd { margin: 0; }
.answer { color: #555; word-break: break-all; }
.i-answer-text { color: #3c3; font-style: normal; margin-right: 4px; }
.explain { color: #999; font-size: 12px; }
.mr-8 { margin-right: 8px; }
.pager a, .pager b { display: inline-block; padding: 2px 10px; margin-right: 6px; border: 1px solid #ddd; }
.related { margin-top: 26px; padding-top: 10px; border-top: 1px solid #eee; }
.related li { margin: 4px 0; }
.no-result { padding: 30px 0; font-size: 14px; }
.question h1 { font-size: 20px; font-weight: normal; margin: 0 0 6px; }
.ask-info { color: #999; font-size: 12px; }
.best { margin-top: 18px; padding: 12px 16px; border: 1px solid #d8eed8; background: #f7fcf7; }
.best h2 { margin: 0 0 8px; font-size: 15px; color: #390; }
.note { color: #666; margin: 4px 0 14px; }
.other { margin-top: 18px; }
#footer { margin: 40px 0 20px 160px; color: #999; font-size: 12px; }
)css";

const char* const answerers[] = {"电影迷小王", "高清控",     "老司机带路", "蓝色药丸",
                                 "云播达人",   "片库管理员", "夜猫子看片"};

std::string qaHead(const std::string& title, const std::string& searchText) {
    return "<!DOCTYPE html>\n<html>\n<head>\n"
           "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gbk\">\n<title>" +
           htmlEscape(title) + "</title>\n<style>" + qaStyle +
           "</style>\n</head>\n<body>\n<div id=\"header\"><a href=\"/\" class=\"logo\">百度知道</a>"
           "<form action=\"/search\" method=\"get\"><input name=\"word\" value=\"" +
           htmlEscape(searchText) + "\"> <button type=\"submit\">搜索答案</button></form></div>\n";
}

const char* const qaFooter =
    "<div id=\"footer\">&copy;2013 Baidu&nbsp; 使用百度前必读 | 知道协议 | "
    "百度知道品牌合作</div>\n</body>\n</html>\n";

void sendGbkHtml(httplib::Response& res, const std::string& utf8Html, int status = 200) {
    res.status = status;
    res.set_content(utf8ToGbk(utf8Html), "text/html; charset=gbk");
}

std::string questionUrl(std::uint64_t id) {
    return "http://zhidao.baidu.com/question/" + std::to_string(id) + ".html";
}

std::string dateFor(int seed) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", 2011 + seed % 3, 1 + seed * 5 % 12,
                  1 + seed * 7 % 28);
    return buffer;
}

// Highlights the keyword (already escaped text in, escaped text out) the way the site does.
std::string highlight(const std::string& escapedText, const std::string& escapedKeyword) {
    if (escapedKeyword.empty())
        return escapedText;
    const size_t at = escapedText.find(escapedKeyword);
    if (at == std::string::npos)
        return escapedText;
    return escapedText.substr(0, at) + "<em>" + escapedKeyword + "</em>" +
           escapedText.substr(at + escapedKeyword.size());
}

std::string resultBlock(const Film& film, const std::string& escapedKeyword) {
    const std::string question = questionUrl(film.questionId());
    const std::string title = highlight(htmlEscape(film.titleZh), escapedKeyword);
    const int n = film.number;
    std::string html = "<dl class=\"dl\" data-fb=\"pos:dt,type:normal\">\n";
    html += "<dt class=\"dt mb-4 line\"><a href=\"" + question +
            "\" class=\"ti\" target=\"_blank\">求" + title +
            "的电驴下载地址（ed2k链接），最好是高清的</a></dt>\n";
    html += "<dd class=\"dd answer\"><i class=\"i-answer-text\">答：</i>楼主你好，" + title + "（" +
            htmlEscape(film.titleEn) + "，" + std::to_string(film.year) +
            "年）的资源给你找到了，用电驴下载即可：<a href=\"" + htmlEscape(film.link()) +
            "\" class=\"ed2k-link\" target=\"_blank\">" + htmlEscape(film.fileName) + "</a></dd>\n";
    if (n % 3 == 1) {
        html += "<div class=\"answer\">补充：复制下面的地址到电驴或迅雷里也能下载 " +
                htmlEscape(film.link()) + "</div>\n";
    }
    html += "<dd class=\"dd explain f-light\"><span class=\"mr-8\">" + dateFor(n) +
            "</span><span class=\"mr-8\">回答者：<a href=\"/usercenter?uid=" +
            std::to_string(9137 + n * 211) + "\" class=\"user-name\">" +
            answerers[static_cast<size_t>(n) % std::size(answerers)] +
            "</a></span><span class=\"mr-8\">" + std::to_string(2 + n % 5) +
            "个回答</span><a href=\"" + question +
            "\" class=\"more\" target=\"_blank\">查看全部回答&gt;&gt;</a></dd>\n</dl>\n";
    return html;
}

void searchPage(const SiteContext& site, const Incoming& in, httplib::Response& res) {
    std::string raw = rawQueryValue(in.query, "word").value_or(std::string());
    if (endsWith(raw, "+ed2k"))
        raw.resize(raw.size() - 5);
    const std::string keyword = trimBlanks(bytesToUtf8(percentDecode(raw, true)));
    const auto found = site.catalogue.search(keyword);
    const std::string escapedKeyword = htmlEscape(keyword);

    std::string html = qaHead("百度知道搜索_" + keyword + " ed2k", keyword + " ed2k");
    html += "<div class=\"container\">\n";
    if (found.empty()) {
        html += "<div class=\"no-result\">抱歉，没有找到与“<em>" + escapedKeyword +
                " ed2k</em>”相关的问题。<br>建议您：检查输入是否正确，或换用其他关键词。</div>\n";
        html += "</div>\n";
        html += qaFooter;
        sendGbkHtml(res, html);
        return;
    }
    html += "<p class=\"result-count\">百度知道为您找到相关结果约" +
            std::to_string(found.size() * 37 + 12) + "个</p>\n<div id=\"wgt-list\">\n";
    for (const Film* film : found)
        html += resultBlock(*film, escapedKeyword);
    html += "</div>\n<div class=\"pager\"><b>1</b><a href=\"/search?word=" +
            htmlEscape(percentEncode(utf8ToGbk(keyword))) +
            "+ed2k&amp;pn=10\">2</a><a href=\"/search?word=" +
            htmlEscape(percentEncode(utf8ToGbk(keyword))) +
            "+ed2k&amp;pn=10\">下一页&gt;</a></div>\n";

    // Some questions come up again in the side list, so the page names them three times.
    std::string related;
    for (const Film* film : found) {
        if (film->number % 4 == 0) {
            related += "<li><a href=\"" + questionUrl(film->questionId()) +
                       "\" target=\"_blank\">" + htmlEscape(film->titleZh) +
                       "哪里可以下载？有高清的吗</a></li>\n";
        }
    }
    if (!related.empty())
        html += "<div class=\"related\"><h3>相关问题</h3>\n<ul>\n" + related + "</ul>\n</div>\n";
    html += "</div>\n";
    html += qaFooter;
    sendGbkHtml(res, html);
}

void questionPage(const SiteContext& site, const std::string& digits, httplib::Response& res) {
    const auto films = site.catalogue.questionFilms(digits);
    const Film& main = *films.front();
    const int seed = static_cast<int>(fnv1a(digits) % 1000);
    const std::string title = "求" + main.titleZh + "的ed2k下载地址，最好是高清的";

    std::string html = qaHead(title + "_百度知道", main.titleZh);
    html += "<div class=\"container\">\n<div class=\"question\"><h1>" + htmlEscape(title) +
            "</h1>\n<p class=\"ask-info\">提问者：匿名用户 | 浏览次数：" +
            std::to_string(1200 + seed * 13) + "次 | " + dateFor(seed) + "</p>\n<p>听说" +
            htmlEscape(main.titleZh) + "（" + htmlEscape(main.titleEn) +
            "）很好看，哪位有电驴链接？在线等，谢谢！</p></div>\n";
    html +=
        "<div "
        "class=\"best\"><h2>满意回答</h2>\n<p>给你找了几个，都是我自己下过的，速度还可以：</p>\n";
    for (const Film* film : films) {
        html += "<div class=\"answer\">" + htmlEscape(film->titleZh) + " 下载地址：" +
                htmlEscape(film->link()) + "</div>\n";
        html += "<p class=\"note\">" + htmlEscape(film->titleEn) + "，" +
                std::to_string(film->year) + "年，" + sizeLabel(film->size, true) + "</p>\n";
    }
    html += "<p class=\"explain\">" + dateFor(seed + 1) + " 回答者：" +
            answerers[static_cast<size_t>(seed) % std::size(answerers)] + "</p>\n</div>\n";
    html += "<div class=\"other\"><h3>其他回答</h3>\n<p class=\"answer\">楼上的地址可以用，刚下完，"
            "画质不错。</p>\n<p class=\"explain\">" +
            dateFor(seed + 2) + " 回答者：" +
            answerers[static_cast<size_t>(seed + 3) % std::size(answerers)] + "</p>\n</div>\n";
    html += "</div>\n";
    html += qaFooter;
    sendGbkHtml(res, html);
}

void homePage(httplib::Response& res) {
    std::string html = qaHead("百度知道 - 全球最大中文互动问答平台", "");
    html += "<div class=\"container\"><p>输入关键词，搜索答案。</p></div>\n";
    html += qaFooter;
    sendGbkHtml(res, html);
}

bool isDigits(std::string_view text) {
    if (text.empty())
        return false;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

} // namespace

bool serveQa(const SiteContext& site, const Incoming& in, httplib::Response& res) {
    const std::string& p = in.path;
    if (p == "/search") {
        searchPage(site, in, res);
        return true;
    }
    if (p == "/") {
        homePage(res);
        return true;
    }
    static constexpr std::string_view prefix = "/question/";
    static constexpr std::string_view suffix = ".html";
    if (startsWith(p, prefix) && endsWith(p, suffix) && p.size() > prefix.size() + suffix.size()) {
        const std::string digits =
            p.substr(prefix.size(), p.size() - prefix.size() - suffix.size());
        if (isDigits(digits)) {
            questionPage(site, digits, res);
            return true;
        }
    }
    return false;
}

} // namespace localweb
