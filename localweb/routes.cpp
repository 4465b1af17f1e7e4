#include "routes.h"

#include "text.h"

#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <iostream>
#include <sstream>

namespace localweb {

namespace {

std::vector<std::string> splitTabs(const std::string& line) {
    std::vector<std::string> fields;
    size_t start = 0;
    while (true) {
        const size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string::npos ? tab : tab - start));
        if (tab == std::string::npos)
            return fields;
        start = tab + 1;
    }
}

std::optional<std::string> readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream data;
    data << in.rdbuf();
    if (in.bad())
        return std::nullopt;
    return std::move(data).str();
}

bool isHtmlFile(const std::filesystem::path& path) {
    const std::string ext = asciiLower(path.extension().string());
    return ext == ".html" || ext == ".htm";
}

} // namespace

RouteTable::RouteTable(std::filesystem::path file) : file_(std::move(file)) {}

std::shared_ptr<const std::vector<Route>> RouteTable::current() {
    Stamp now;
    struct stat st {};
    if (::stat(file_.c_str(), &st) == 0) {
        now.exists = true;
        now.mtimeNs = static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
        now.ctimeNs = static_cast<long long>(st.st_ctim.tv_sec) * 1000000000LL + st.st_ctim.tv_nsec;
        now.size = static_cast<long long>(st.st_size);
        now.inode = static_cast<unsigned long long>(st.st_ino);
    }
    std::lock_guard lock(mutex_);
    if (!loaded_ || !(now == stamp_)) {
        routes_ =
            std::make_shared<const std::vector<Route>>(now.exists ? load() : std::vector<Route>{});
        answered_.clear();
        stamp_ = now;
        loaded_ = true;
    }
    return routes_;
}

std::vector<Route> RouteTable::load() const {
    std::vector<Route> routes;
    std::ifstream in(file_, std::ios::binary);
    if (!in)
        return routes;
    const std::filesystem::path folder = file_.parent_path();
    std::string line;
    int lineNumber = 0;
    while (std::getline(in, line)) {
        ++lineNumber;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line.front() == '#')
            continue;
        const std::vector<std::string> fields = splitTabs(line);
        const bool shapeOk = fields.size() == 4 || fields.size() == 5;
        const auto status = shapeOk ? parseDecimal(fields[1]) : std::nullopt;
        const bool charsetOk = shapeOk && (fields[2] == "raw" || fields[2] == "gbk");
        const auto delay =
            fields.size() == 5 ? parseDecimal(fields[4]) : std::optional<std::uint64_t>(0);
        if (!status || *status < 100 || *status > 999 || !charsetOk || fields[0].empty() ||
            fields[3].empty() || !delay || *delay > 600000) {
            std::cerr
                << "localweb: " << file_.string() << ":" << lineNumber
                << ": ignored (expected URL<TAB>STATUS<TAB>raw|gbk<TAB>BODYFILE[<TAB>DELAY_MS])\n";
            continue;
        }
        Route route;
        route.url = fields[0];
        if (route.url.back() == '*') {
            route.prefix = true;
            route.url.pop_back();
        }
        route.status = static_cast<int>(*status);
        route.gbk = fields[2] == "gbk";
        route.bodyFile = fields[3];
        route.delayMs = static_cast<long long>(*delay);
        if (startsWith(fields[3], "fault:"))
            route.faultPath = fields[3].substr(6);
        else if (route.bodyFile.is_relative())
            route.bodyFile = folder / route.bodyFile;
        routes.push_back(std::move(route));
    }
    return routes;
}

std::optional<RouteAnswer> RouteTable::lookup(const std::string& url) {
    const auto routes = current();
    const Route* best = nullptr;
    std::vector<const Route*> exact;
    for (const Route& route : *routes) {
        if (!route.prefix) {
            if (route.url == url)
                exact.push_back(&route);
            continue;
        }
        if (startsWith(url, route.url) && (!best || route.url.size() > best->url.size()))
            best = &route;
    }
    if (exact.size() == 1) {
        best = exact.front();
    } else if (!exact.empty()) {
        std::lock_guard lock(mutex_);
        std::size_t& turn = answered_[url];
        best = exact[std::min(turn, exact.size() - 1)];
        ++turn;
    }
    if (!best)
        return std::nullopt;

    RouteAnswer answer;
    answer.delayMs = best->delayMs;
    if (!best->faultPath.empty()) {
        answer.faultPath = best->faultPath;
        return answer;
    }
    const auto data = readFile(best->bodyFile);
    if (!data) {
        answer.status = 500;
        answer.contentType = "text/plain; charset=utf-8";
        answer.body = "localweb: route body file cannot be read: " + best->bodyFile.string() + "\n";
        return answer;
    }
    answer.status = best->status;
    answer.delayMs = best->delayMs;
    answer.contentType = isHtmlFile(best->bodyFile) ? "text/html" : "text/plain";
    if (best->gbk) {
        std::string_view text = *data;
        if (startsWith(text, "\xEF\xBB\xBF"))
            text.remove_prefix(3);
        answer.body = utf8ToGbk(text);
        answer.contentType += "; charset=gbk";
    } else {
        answer.body = *data;
    }
    return answer;
}

} // namespace localweb
