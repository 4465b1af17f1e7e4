// The vendor's portal (cinema pages, site search, version files) and the vendor's site
// (the player's loading, link and error pages).
#include "site.h"
#include "text.h"

#include "vendor/hosts.h"

#include <span>

namespace localweb {

namespace {

const char* const downloadAddress = "http://" CORVALE_PORTAL_HOST "/download.html";

const char* const cardStyle = R"css(
.hero { padding: 28px 32px 8px; }
.hero h1 { margin: 0 0 6px; font-size: 26px; }
.hero p { margin: 0; color: #9aa0ad; }
.grid { display: grid; grid-template-columns: repeat(auto-fill, minmax(200px, 1fr)); gap: 20px; }
.card { background: #1d2029; border-radius: 10px; overflow: hidden;
        box-shadow: 0 2px 10px rgba(0,0,0,.35); display: flex; flex-direction: column; }
.poster { height: 130px; display: flex; align-items: center; justify-content: center;
          font-size: 54px; font-weight: bold; color: rgba(255,255,255,.85); }
.info { padding: 12px 14px 14px; display: flex; flex-direction: column; gap: 6px; flex: 1; }
.info h3 { margin: 0; font-size: 16px; }
.info h3 small { display: block; font-size: 12px; color: #8d93a0; font-weight: normal; }
.meta { margin: 0; font-size: 12px; color: #ffb347; }
.line { margin: 0; font-size: 13px; color: #b9bdc8; flex: 1; }
button.play { margin-top: 6px; padding: 8px 0; border: 0; border-radius: 18px; cursor: pointer;
              background: linear-gradient(90deg, #ff8a00, #e52e71); color: #fff; font-size: 14px; }
button.play:hover { filter: brightness(1.1); }
.empty { padding: 40px 0; color: #9aa0ad; font-size: 15px; }
)css";

const char* const linkPageStyle = R"css(
ul.films { list-style: none; padding: 0; margin: 0; max-width: 760px; }
li.film { display: flex; justify-content: space-between; align-items: center; gap: 16px;
          padding: 12px 16px; margin-bottom: 8px; border-radius: 8px; background: #1d2029;
          cursor: pointer; }
li.film:hover { background: #272b37; }
li.film .name { font-size: 15px; }
li.film .name small { color: #8d93a0; margin-left: 8px; }
li.film .size { color: #ffb347; font-size: 13px; white-space: nowrap; }
)css";

// Text for a single-quoted JavaScript string that itself stands in an HTML attribute.
std::string jsQuotedInAttribute(std::string_view text) {
    std::string js;
    for (const char c : text) {
        if (c == '\\' || c == '\'')
            js.push_back('\\');
        js.push_back(c);
    }
    // The attribute's own escapes are undone by the browser before the script reads it.
    return htmlEscape(js);
}

std::string formatOf(const Film& film) {
    const size_t dot = film.fileName.rfind('.');
    std::string ext = dot == std::string::npos ? std::string() : film.fileName.substr(dot + 1);
    for (char& c : ext) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return ext;
}

// What the poster shows: the first character of the Chinese title, or its leading word
// when the title starts in ASCII ("2012", "ABC").
std::string posterText(const Film& film) {
    const std::string& t = film.titleZh;
    if (t.empty())
        return "?";
    const auto c = static_cast<unsigned char>(t[0]);
    if (c < 0x80) {
        size_t n = 0;
        while (n < t.size() && n < 4 && static_cast<unsigned char>(t[n]) < 0x80 && t[n] != ' ')
            ++n;
        return t.substr(0, n);
    }
    const size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
    return t.substr(0, length);
}

std::string portalHeader(const std::string& keyword) {
    return "<header class=\"top\">\n<span class=\"logo\">QARVO 高清影院</span>\n"
           "<nav><a href=\"/\">首页</a><a href=\"/\">最新电影</a><a href=\"/\">热门推荐</a>"
           "<a href=\"/\">经典回顾</a><a href=\"/download.html\">客户端下载</a></nav>\n"
           "<form action=\"/search.php\" method=\"get\"><input name=\"keyword\" value=\"" +
           htmlEscape(keyword) + "\" placeholder=\"搜索影片\"></form>\n</header>\n";
}

const char* const portalFooter =
    "<footer>Qarvo 高清影院 · 种子搜索 · 云播放 &nbsp;|&nbsp; 本站所有内容仅供演示</footer>\n"
    "</body>\n</html>\n";

std::string filmCard(const Film& film) {
    const int hue = (film.number * 47) % 360;
    const std::string link = jsQuotedInAttribute(film.link());
    std::string card = "<div class=\"card\" id=\"card-" + std::to_string(film.number) + "\">\n";
    card += "<div class=\"poster\" style=\"background: linear-gradient(135deg, hsl(" +
            std::to_string(hue) + ", 55%, 38%), hsl(" + std::to_string((hue + 60) % 360) +
            ", 60%, 22%));\">" + htmlEscape(posterText(film)) + "</div>\n";
    card += "<div class=\"info\">\n<h3>" + htmlEscape(film.titleZh) + "<small>" +
            htmlEscape(film.titleEn) + "</small></h3>\n";
    card += "<p class=\"meta\">" + std::to_string(film.year) + " · " + sizeLabel(film.size) +
            " · " + formatOf(film) + "</p>\n";
    card += "<p class=\"line\">" + htmlEscape(film.line) + "</p>\n";
    card += "<button class=\"play\" onclick=\"if (window.external &amp;&amp; "
            "window.external.HelloWorld) { window.external.HelloWorld('" +
            link + "'); }\">&#9654; 立即播放</button>\n";
    card += "</div>\n</div>\n";
    return card;
}

void startPage(const SiteContext& site, httplib::Response& res) {
    std::string html = pageHead("Qarvo 高清影院 - 在线电影 云播放", cardStyle);
    html += portalHeader({});
    html +=
        "<section class=\"hero\"><h1>今日推荐</h1><p>海量高清影片，点击即可云播放，无需等待下载。"
        "</p></section>\n<main>\n<div class=\"grid\">\n";
    for (const Film& film : site.catalogue.films())
        html += filmCard(film);
    html += "</div>\n</main>\n";
    html += portalFooter;
    sendUtf8Html(res, html);
}

void searchPage(const SiteContext& site, const Incoming& in, httplib::Response& res) {
    const std::string raw = rawQueryValue(in.query, "keyword").value_or(std::string());
    const std::string keyword = bytesToUtf8(percentDecode(raw, true));
    const auto found = site.catalogue.search(keyword);

    std::string html = pageHead("搜索：" + keyword + " - Qarvo 高清影院", cardStyle);
    html += portalHeader(keyword);
    html += "<section class=\"hero\"><h1>搜索：" + htmlEscape(keyword) + "</h1><p>";
    html += found.empty() ? std::string("没有找到相关影片")
                          : "找到 " + std::to_string(found.size()) + " 部相关影片";
    html += "</p></section>\n<main>\n";
    if (found.empty()) {
        html += "<p class=\"empty\">没有找到与“" + htmlEscape(keyword) +
                "”相关的影片，换个关键字试试吧。</p>\n";
    } else {
        html += "<div class=\"grid\">\n";
        for (const Film* film : found)
            html += filmCard(*film);
        html += "</div>\n";
    }
    html += "</main>\n";
    html += portalFooter;
    sendUtf8Html(res, html);
}

void linkPage(const SiteContext& site, httplib::Response& res) {
    std::string html = pageHead("云点播 - 选择影片", linkPageStyle);
    html += "<header class=\"top\"><span class=\"logo\">Miravend 云点播</span>"
            "<nav><a href=\"/y/index.php\">片库</a></nav></header>\n<main>\n"
            "<h2>选择要播放的影片</h2>\n<ul class=\"films\">\n";
    for (const Film& film : site.catalogue.films()) {
        html += "<li class=\"film\" id=\"film-" + std::to_string(film.number) +
                "\" onclick=\"pick('" + jsQuotedInAttribute(film.link()) +
                "')\"><span class=\"name\">" + htmlEscape(film.titleZh) + "<small>" +
                htmlEscape(film.titleEn) + " (" + std::to_string(film.year) +
                ")</small></span><span class=\"size\">" + sizeLabel(film.size) + " · " +
                formatOf(film) + "</span></li>\n";
    }
    html += "</ul>\n</main>\n<script>\n"
            "function pick(link) {\n"
            "    location.href = 'http://" CORVALE_SITE_HOST "/y/index2.html?okok=' + link;\n"
            "}\n</script>\n</body>\n</html>\n";
    sendUtf8Html(res, html);
}

// A page that localweb-content/ holds as it is, by the path that asks for it.
struct ContentPage {
    const char* path;
    const char* file;
};

constexpr ContentPage kPortalPages[] = {{"/download.html", "download.html"}};
constexpr ContentPage kSitePages[] = {{"/loading/index.html", "loading.html"},
                                      {"/y/index2.html", "ready.html"},
                                      {"/y/er.html", "er.html"}};

// Sends the page of `pages` at `path`; false when none is there.
bool sendContentPageAt(const SiteContext& site, const std::string& path, httplib::Response& res,
                       std::span<const ContentPage> pages) {
    for (const ContentPage& page : pages) {
        if (path == page.path) {
            sendContentPage(site, res, page.file);
            return true;
        }
    }
    return false;
}

} // namespace

bool serveVendorPortal(const SiteContext& site, const Incoming& in, httplib::Response& res) {
    const std::string& p = in.path;
    if (p == "/" || p == "/index.html" || p == "/index.php") {
        startPage(site, res);
    } else if (p == "/search.php") {
        searchPage(site, in, res);
    } else if (p == "/d.txt" || p == "//yun.txt") {
        // Version files: the newest version is the one the programs already have.
        sendText(res, "1", "text/plain; charset=gbk");
    } else if (p == "/up.txt" || p == "//yunup.txt") {
        sendText(res, downloadAddress, "text/plain; charset=gbk");
    } else {
        return sendContentPageAt(site, p, res, kPortalPages);
    }
    return true;
}

bool serveVendorSite(const SiteContext& site, const Incoming& in, httplib::Response& res) {
    if (in.path == "/y/index.php") {
        linkPage(site, res);
        return true;
    }
    return sendContentPageAt(site, in.path, res, kSitePages);
}

} // namespace localweb
