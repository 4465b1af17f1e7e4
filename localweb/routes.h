// Pages that a test supplies itself, listed in a routes file that is re-read when it changes.
#pragma once

#include <cstddef>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace localweb {

struct Route {
    std::string url; // without the trailing "*" of a prefix route
    bool prefix = false;
    int status = 200;
    bool gbk = false; // convert the UTF-8 file to GBK before sending
    std::filesystem::path bodyFile;
    long long delayMs = 0; // optional fifth field: hold the answer back this long
    std::string faultPath; // BODYFILE "fault:/__fault/...": answer with that failure instead
};

// What a route answers: the body is read from its file on every request.
struct RouteAnswer {
    int status = 200;
    std::string contentType;
    std::string body;
    long long delayMs = 0;
    std::string faultPath; // set: answer as the fault path would, nothing else here applies
};

class RouteTable {
public:
    explicit RouteTable(std::filesystem::path file);

    // The answer for an absolute URL, when a route covers it. An exact route wins over
    // prefix routes; among prefix routes the longest prefix wins; ties go to the earlier line.
    // Several exact lines for one URL answer in turn, one request each, the last line for
    // every request after; the count starts again when the file changes.
    std::optional<RouteAnswer> lookup(const std::string& url);

private:
    std::shared_ptr<const std::vector<Route>> current();
    std::vector<Route> load() const;

    std::filesystem::path file_;
    std::mutex mutex_;
    std::shared_ptr<const std::vector<Route>> routes_;
    std::map<std::string, std::size_t> answered_; // requests per URL with several exact lines
    // Identity of the file as last read; any change triggers a reload.
    struct Stamp {
        bool exists = false;
        long long mtimeNs = 0;
        long long ctimeNs = 0;
        long long size = 0;
        unsigned long long inode = 0;
        bool operator==(const Stamp&) const = default;
    };
    bool loaded_ = false;
    Stamp stamp_;
};

} // namespace localweb
