// The forward proxy: takes every request, logs it, and hands it to a route, a fault or a site.
#pragma once

#include "catalogue.h"
#include "routes.h"
#include "site.h"

#include <httplib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace localweb {

struct Options {
    int port = 0;
    std::chrono::milliseconds latency{0};
    std::optional<std::filesystem::path> logFile;
    std::optional<std::filesystem::path> routesFile;
    std::filesystem::path contentDir;
};

// One JSON object per line for every request received.
class RequestLog {
public:
    explicit RequestLog(const std::filesystem::path& file);
    ~RequestLog();
    RequestLog(const RequestLog&) = delete;
    RequestLog& operator=(const RequestLog&) = delete;

    bool isOpen() const { return file_ != nullptr; }
    void write(const Incoming& in);

private:
    std::mutex mutex_;
    std::FILE* file_ = nullptr;
};

class Proxy {
public:
    explicit Proxy(const Options& options);

    // Installs the request handling on a server.
    void attach(httplib::Server& server);

    bool logReady() const { return !log_ || log_->isOpen(); }

private:
    void handle(const httplib::Request& req, httplib::Response& res);
    bool serveSite(const Incoming& in, httplib::Response& res);

    Options options_;
    Catalogue catalogue_;
    Content content_;
    std::unique_ptr<RouteTable> routes_;
    std::unique_ptr<RequestLog> log_;
};

} // namespace localweb
