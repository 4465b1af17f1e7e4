// The play API, which turns an eD2k link into a play address, and the play pages behind it.
#include "site.h"
#include "text.h"

#include "vendor/hosts.h"

namespace localweb {

namespace {

const char* const errorReply = "{\"code\":404,\"msg\":\"资源不存在\"}";

struct LinkParts {
    std::string name;
    std::string size;
    std::string hash;
};

bool isWordChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

// Accepts "ed2k://|file|NAME|SIZE|HASH|" with an optional closing "/" and nothing else.
std::optional<LinkParts> parseFileLink(std::string_view link) {
    static constexpr std::string_view head = "ed2k://|file|";
    if (!startsWith(link, head))
        return std::nullopt;
    link.remove_prefix(head.size());
    if (endsWith(link, "/"))
        link.remove_suffix(1);
    if (!endsWith(link, "|"))
        return std::nullopt;
    link.remove_suffix(1);

    const size_t hashBar = link.rfind('|');
    if (hashBar == std::string_view::npos)
        return std::nullopt;
    const std::string_view hash = link.substr(hashBar + 1);
    const std::string_view rest = link.substr(0, hashBar);
    const size_t sizeBar = rest.rfind('|');
    if (sizeBar == std::string_view::npos)
        return std::nullopt;
    const std::string_view size = rest.substr(sizeBar + 1);
    const std::string_view name = rest.substr(0, sizeBar);

    if (name.empty() || name.find('|') != std::string_view::npos || size.empty() || hash.empty())
        return std::nullopt;
    for (const char c : size) {
        if (c < '0' || c > '9')
            return std::nullopt;
    }
    for (const char c : hash) {
        if (!isWordChar(c))
            return std::nullopt;
    }
    return LinkParts{std::string(name), std::string(size), std::string(hash)};
}

void playApi(const Incoming& in, httplib::Response& res) {
    const auto method = rawQueryValue(in.query, "method");
    const auto u = rawQueryValue(in.query, "u");
    const auto link = u ? parseFileLink(percentDecode(*u, false)) : std::nullopt;
    if (!method || *method != "high" || !link) {
        sendText(res, errorReply, "text/plain; charset=utf-8");
        return;
    }
    const std::string title = bytesToUtf8(percentDecode(link->name, false));
    const std::string address = "http://" CORVALE_PLAY_HOST "/high.php?v=" + asciiLower(link->hash);
    // The address comes before the title, so a title can never stand in its way.
    const std::string reply = "{\"code\":0,\"msg\":\"ok\",\"url\":\"" + address +
                              "\",\"title\":\"" + jsonEscape(title) + "\",\"size\":" + link->size +
                              ",\"expires\":3600}";
    sendText(res, reply, "text/plain; charset=utf-8");
}

void playPage(const Incoming& in, httplib::Response& res) {
    const auto v = rawQueryValue(in.query, "v").value_or(std::string());
    const std::string id = bytesToUtf8(percentDecode(v, false));
    const std::string referer =
        in.req->has_header("Referer") ? in.req->get_header_value("Referer") : std::string();

    std::string html = pageHead("Miravend 云点播 - 高清播放", R"css(
.stage { max-width: 860px; margin: 0 auto; }
video { width: 100%; background: #000; border-radius: 6px; }
.facts { color: #9aa0ad; font-size: 13px; word-break: break-all; }
)css");
    html += "<header class=\"top\"><span class=\"logo\">Miravend 云点播</span></header>\n"
            "<main class=\"stage\">\n<h2 id=\"title\">高清播放 · " +
            htmlEscape(id) +
            "</h2>\n<video id=\"player\" src=\"/clip.webm\" autoplay muted loop playsinline "
            "controls></video>\n<p class=\"facts\">来源：<span id=\"referer\">" +
            (referer.empty() ? std::string("(none)") : htmlEscape(bytesToUtf8(referer))) +
            "</span></p>\n</main>\n"
            // Once the clip has really played a moment, the page says so to the server; the
            // request log then shows that playback happened in whichever browser showed it.
            "<script>\n(function () {\n  var v = document.getElementById('player'), told = false;\n"
            "  v.addEventListener('timeupdate', function () {\n"
            "    if (!told && v.currentTime > 0.5) { told = true; new Image().src = '/played'; }\n"
            "  });\n})();\n</script>\n</body>\n</html>\n";
    sendUtf8Html(res, html);
}

} // namespace

bool servePlayApi(const SiteContext&, const Incoming& in, httplib::Response& res) {
    if (in.path != "/playapi.php")
        return false;
    playApi(in, res);
    return true;
}

bool servePlayHost(const SiteContext& site, const Incoming& in, httplib::Response& res) {
    if (in.path == "/high.php") {
        playPage(in, res);
        return true;
    }
    if (in.path == "/clip.webm") {
        const auto clip = site.content.read("clip.webm");
        if (!clip) {
            sendText(res, "localweb: content file missing: clip.webm\n",
                     "text/plain; charset=utf-8", 500);
            return true;
        }
        // Status left unset so that a Range request gets its 206 partial answer.
        res.set_content(*clip, "video/webm");
        return true;
    }
    return false;
}

} // namespace localweb
