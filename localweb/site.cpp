#include "site.h"

#include "text.h"

#include <fstream>
#include <sstream>

namespace localweb {

namespace {

std::string hostOf(std::string_view authority) {
    // Drop user information and the port; keep an IPv6 literal's brackets.
    const size_t at = authority.rfind('@');
    if (at != std::string_view::npos)
        authority.remove_prefix(at + 1);
    if (!authority.empty() && authority.front() == '[') {
        const size_t close = authority.find(']');
        return asciiLower(
            authority.substr(0, close == std::string_view::npos ? authority.size() : close + 1));
    }
    const size_t colon = authority.find(':');
    return asciiLower(authority.substr(0, colon));
}

} // namespace

Incoming Incoming::from(const httplib::Request& req) {
    Incoming in;
    in.req = &req;
    in.method = req.method;
    const std::string& target = req.target;
    std::string pathAndQuery;
    if (asciiLower(std::string_view(target).substr(0, 7)) == "http://") {
        in.absoluteForm = true;
        in.url = target;
        const std::string rest = target.substr(7);
        const size_t end = rest.find_first_of("/?#");
        in.authority = rest.substr(0, end);
        pathAndQuery = end == std::string::npos ? std::string("/") : rest.substr(end);
        if (pathAndQuery.front() != '/')
            pathAndQuery.insert(pathAndQuery.begin(), '/');
    } else if (!target.empty() && target.front() == '/') {
        in.authority = req.get_header_value("Host");
        in.url = "http://" + in.authority + target;
        pathAndQuery = target;
    } else {
        // Another scheme, an authority (CONNECT) or "*": no site serves it.
        in.url = target;
        return in;
    }
    in.host = hostOf(in.authority);
    const size_t hashMark = pathAndQuery.find('#');
    if (hashMark != std::string::npos)
        pathAndQuery.erase(hashMark);
    const size_t question = pathAndQuery.find('?');
    in.path = pathAndQuery.substr(0, question);
    if (question != std::string::npos)
        in.query = pathAndQuery.substr(question + 1);
    return in;
}

std::optional<std::string> Content::read(const std::string& name) const {
    std::ifstream file(folder_ / name, std::ios::binary);
    if (!file)
        return std::nullopt;
    std::ostringstream data;
    data << file.rdbuf();
    return std::move(data).str();
}

void sendUtf8Html(httplib::Response& res, const std::string& html, int status) {
    res.status = status;
    res.set_content(html, "text/html; charset=utf-8");
}

void sendText(httplib::Response& res, const std::string& text, const std::string& contentType,
              int status) {
    res.status = status;
    res.set_content(text, contentType);
}

void sendNotFound(const Incoming& in, httplib::Response& res) {
    std::string html = pageHead("404 Not Found");
    html += "<main class=\"narrow\"><h1>404</h1><p>页面不存在：<code>" + htmlEscape(in.path) +
            "</code></p><p><a href=\"/\">返回首页</a></p></main>\n</body>\n</html>\n";
    sendUtf8Html(res, html, 404);
}

void sendContentPage(const SiteContext& site, httplib::Response& res, const std::string& name) {
    if (const auto page = site.content.read(name)) {
        sendUtf8Html(res, *page);
        return;
    }
    sendText(res, "localweb: content file missing: " + name + "\n", "text/plain; charset=utf-8",
             500);
}

std::string pageHead(const std::string& title, const std::string& extraStyle) {
    static const char* const baseStyle = R"css(
* { box-sizing: border-box; }
body { margin: 0; font-family: "Noto Sans CJK SC", "Microsoft YaHei", "PingFang SC", sans-serif;
       background: #14161c; color: #e8e8ec; }
a { color: #ffb347; text-decoration: none; }
a:hover { text-decoration: underline; }
header.top { display: flex; align-items: center; gap: 24px; padding: 14px 32px;
             background: linear-gradient(90deg, #1f2430, #2b1f33); border-bottom: 1px solid #333; }
header.top .logo { font-size: 22px; font-weight: bold; color: #ffb347; letter-spacing: 2px; }
header.top nav a { color: #cfd2dc; margin-right: 18px; font-size: 14px; }
header.top form { margin-left: auto; }
header.top input { width: 220px; padding: 6px 10px; border-radius: 16px; border: 1px solid #555;
                   background: #0f1116; color: #eee; }
main { padding: 24px 32px; }
main.narrow { max-width: 640px; margin: 40px auto; text-align: center; }
footer { padding: 18px 32px; color: #777; font-size: 12px; border-top: 1px solid #262a33; }
)css";
    return "<!DOCTYPE html>\n<html lang=\"zh-CN\">\n<head>\n<meta charset=\"utf-8\">\n"
           "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>" +
           htmlEscape(title) + "</title>\n<style>" + baseStyle + extraStyle +
           "</style>\n</head>\n<body>\n";
}

} // namespace localweb
