#include "server.h"

#include "faults.h"
#include "stopping.h"
#include "text.h"

#include "vendor/hosts.h"

#include <map>
#include <memory>

namespace localweb {

namespace {

constexpr std::string_view knownHosts[] = {CORVALE_PORTAL_HOST, CORVALE_SITE_HOST,
                                           "zhidao.baidu.com", CORVALE_API_HOST, CORVALE_PLAY_HOST};

bool isKnownHost(const std::string& host) {
    for (const std::string_view known : knownHosts) {
        if (host == known)
            return true;
    }
    return false;
}

// Headers that the server library adds to a request itself; they never came over the wire.
bool isLibraryHeader(const std::string& name) {
    return name == "REMOTE_ADDR" || name == "REMOTE_PORT" || name == "LOCAL_ADDR" ||
           name == "LOCAL_PORT";
}

void badGateway(const Incoming& in, httplib::Response& res) {
    res.status = 502;
    const std::string who = in.host.empty() ? in.url : in.host;
    res.set_content("localweb: no such host: " + who + "\n", "text/plain; charset=utf-8");
}

void methodNotAllowed(httplib::Response& res) {
    res.status = 405;
    res.set_header("Allow", "GET, HEAD");
    // A body the client may have sent is never read, so the connection cannot be reused.
    res.set_header("Connection", "close");
    res.set_content("localweb: only GET and HEAD are served\n", "text/plain; charset=utf-8");
}

} // namespace

RequestLog::RequestLog(const std::filesystem::path& file) {
    file_ = std::fopen(file.c_str(), "ab");
}

RequestLog::~RequestLog() {
    if (file_)
        std::fclose(file_);
}

void RequestLog::write(const Incoming& in) {
    // Repeated headers are joined with ", ", as HTTP allows.
    std::map<std::string, std::string> headers;
    std::vector<std::string> order;
    for (const auto& [name, value] : in.req->headers) {
        if (isLibraryHeader(name))
            continue;
        auto [it, inserted] = headers.emplace(name, value);
        if (inserted)
            order.push_back(name);
        else
            it->second += ", " + value;
    }
    std::string line = "{\"method\":\"" + jsonEscape(in.method) + "\",\"url\":\"" +
                       jsonEscape(in.url) + "\",\"headers\":{";
    bool first = true;
    for (const std::string& name : order) {
        if (!first)
            line += ",";
        first = false;
        line += "\"" + jsonEscape(name) + "\":\"" + jsonEscape(headers[name]) + "\"";
    }
    line += "}}\n";

    std::lock_guard lock(mutex_);
    if (!file_)
        return;
    std::fwrite(line.data(), 1, line.size(), file_);
    std::fflush(file_);
}

Proxy::Proxy(const Options& options) : options_(options), content_(options.contentDir) {
    if (options_.routesFile)
        routes_ = std::make_unique<RouteTable>(*options_.routesFile);
    if (options_.logFile)
        log_ = std::make_unique<RequestLog>(*options_.logFile);
}

void Proxy::attach(httplib::Server& server) {
    // Everything is answered before the library's own routing, which would decode the path
    // and knows nothing of proxies.
    server.set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
        handle(req, res);
        return httplib::Server::HandlerResponse::Handled;
    });
}

void Proxy::handle(const httplib::Request& req, httplib::Response& res) {
    const Incoming in = Incoming::from(req);
    if (log_)
        log_->write(in);

    if (options_.latency.count() > 0 && !waitUnlessStopped(options_.latency)) {
        res.status = 503;
        res.set_header("Connection", "close");
        res.set_content("localweb: shutting down\n", "text/plain; charset=utf-8");
        return;
    }

    const bool readOnly = in.method == "GET" || in.method == "HEAD";
    if (in.method == "CONNECT") {
        methodNotAllowed(res);
        return;
    }
    if (readOnly && routes_) {
        if (auto answer = routes_->lookup(in.url)) {
            if (answer->delayMs > 0 &&
                !waitUnlessStopped(std::chrono::milliseconds(answer->delayMs))) {
                res.status = 503;
                res.set_header("Connection", "close");
                return;
            }
            if (!answer->faultPath.empty()) {
                // A test's page that fails: the fault answers in its place, on this host.
                Incoming at = in;
                at.path = answer->faultPath;
                at.query.clear();
                if (serveFault(at, res))
                    return;
            }
            res.status = answer->status;
            if (answer->body.empty()) {
                res.set_content(answer->body, answer->contentType);
                return;
            }
            // A test's body goes out as it is, never compressed: the library compresses at its
            // highest setting, which costs the stand-in seconds on a page of megabytes, a delay
            // no real site adds and that would swamp what the benchmarks measure. (A body of
            // known length from a provider is sent as it stands.)
            auto body = std::make_shared<std::string>(std::move(answer->body));
            res.set_content_provider(
                body->size(), answer->contentType,
                [body](size_t offset, size_t length, httplib::DataSink& sink) {
                    return sink.write(body->data() + offset, length);
                });
            return;
        }
    }
    if (in.host.empty()) {
        badGateway(in, res);
        return;
    }
    if (!readOnly) {
        if (isKnownHost(in.host)) {
            methodNotAllowed(res);
        } else {
            badGateway(in, res);
            res.set_header("Connection", "close");
        }
        return;
    }
    if (serveFault(in, res))
        return;
    if (!isKnownHost(in.host)) {
        badGateway(in, res);
        return;
    }
    if (!serveSite(in, res))
        sendNotFound(in, res);
}

bool Proxy::serveSite(const Incoming& in, httplib::Response& res) {
    const SiteContext site{catalogue_, content_};
    if (in.host == CORVALE_PORTAL_HOST)
        return serveVendorPortal(site, in, res);
    if (in.host == CORVALE_SITE_HOST)
        return serveVendorSite(site, in, res);
    if (in.host == "zhidao.baidu.com")
        return serveQa(site, in, res);
    if (in.host == CORVALE_API_HOST)
        return servePlayApi(site, in, res);
    if (in.host == CORVALE_PLAY_HOST)
        return servePlayHost(site, in, res);
    return false;
}

} // namespace localweb
