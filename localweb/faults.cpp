#include "faults.h"

#include "stopping.h"
#include "text.h"

#include <algorithm>
#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <chrono>
#include <cstdlib>
#include <string>

namespace localweb {

namespace {

constexpr std::string_view faultPrefix = "/__fault/";
constexpr std::chrono::minutes stallLimit{10};

struct Endpoint {
    std::string address;
    int port = -1;
};

Endpoint endpointOf(const sockaddr_storage& addr) {
    Endpoint e;
    char text[INET6_ADDRSTRLEN] = {};
    if (addr.ss_family == AF_INET) {
        const auto* in4 = reinterpret_cast<const sockaddr_in*>(&addr);
        inet_ntop(AF_INET, &in4->sin_addr, text, sizeof text);
        e.port = ntohs(in4->sin_port);
    } else if (addr.ss_family == AF_INET6) {
        const auto* in6 = reinterpret_cast<const sockaddr_in6*>(&addr);
        inet_ntop(AF_INET6, &in6->sin6_addr, text, sizeof text);
        e.port = ntohs(in6->sin6_port);
    }
    e.address = text;
    return e;
}

// The server does not hand its connection socket to a handler, so find it among our own
// descriptors by its two endpoints. Returns -1 when it cannot be found.
int connectionSocket(const httplib::Request& req) {
    DIR* dir = opendir("/proc/self/fd");
    if (!dir)
        return -1;
    int found = -1;
    while (const dirent* entry = readdir(dir)) {
        char* end = nullptr;
        const long fd = std::strtol(entry->d_name, &end, 10);
        if (end == entry->d_name || *end != '\0' || fd == dirfd(dir))
            continue;
        sockaddr_storage local{};
        sockaddr_storage peer{};
        socklen_t localLength = sizeof local;
        socklen_t peerLength = sizeof peer;
        if (getsockname(static_cast<int>(fd), reinterpret_cast<sockaddr*>(&local), &localLength) !=
                0 ||
            getpeername(static_cast<int>(fd), reinterpret_cast<sockaddr*>(&peer), &peerLength) != 0)
            continue;
        const Endpoint l = endpointOf(local);
        const Endpoint p = endpointOf(peer);
        if (l.port == req.local_port && p.port == req.remote_port && p.address == req.remote_addr) {
            found = static_cast<int>(fd);
            break;
        }
    }
    closedir(dir);
    return found;
}

void sendSmallHtml(httplib::Response& res, int status, const std::string& text) {
    res.status = status;
    res.set_content("<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>" + text +
                        "</title></head><body><h1>" + text + "</h1></body></html>\n",
                    "text/html; charset=utf-8");
}

void statusFault(std::string_view arg, httplib::Response& res) {
    const auto code = parseDecimal(arg);
    if (!code || *code < 200 || *code > 599) {
        sendSmallHtml(res, 400, "localweb: status must be 200 to 599");
        return;
    }
    const int status = static_cast<int>(*code);
    if (status == 204 || status == 304) {
        res.status = status;
        return;
    }
    sendSmallHtml(res, status, "error " + std::to_string(status));
}

void resetFault(const httplib::Request& req, httplib::Response& res) {
    res.status = 200;
    res.set_header("Connection", "close");
    const int fd = connectionSocket(req);
    res.set_content_provider(100000, "application/octet-stream",
                             [fd](size_t, size_t, httplib::DataSink& sink) {
                                 const std::string part(1000, 'r');
                                 sink.write(part.data(), part.size());
                                 // Let the partial body reach the client, then make the close a
                                 // reset.
                                 waitUnlessStopped(std::chrono::milliseconds(50));
                                 if (fd >= 0) {
                                     const linger abort{1, 0};
                                     setsockopt(fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
                                 }
                                 return false;
                             });
}

// An attachment: the browser saves it rather than showing it.
void downloadFault(std::string_view arg, httplib::Response& res) {
    const auto bytes = parseDecimal(arg);
    if (!bytes || *bytes > 1024ull * 1024 * 1024) {
        sendSmallHtml(res, 400, "localweb: size must be a whole number up to 1 GiB");
        return;
    }
    const std::string name = "download-" + std::to_string(*bytes) + ".bin";
    res.status = 200;
    res.set_header("Content-Disposition", "attachment; filename=\"" + name + "\"");
    res.set_content_provider(static_cast<size_t>(*bytes), "application/octet-stream",
                             [](size_t offset, size_t length, httplib::DataSink& sink) {
                                 // Byte i of the file is 'a' + i % 26, so a test can check it.
                                 std::string block(length < 65536 ? length : 65536, '\0');
                                 for (size_t i = 0; i < block.size(); ++i)
                                     block[i] = static_cast<char>('a' + (offset + i) % 26);
                                 return sink.write(block.data(), block.size()) && !shuttingDown();
                             });
}

// Basic sign-in: `header` must hold "Basic " and the base64 of "user:password".
void signInFault(const Incoming& in, std::string_view arg, bool proxy, httplib::Response& res) {
    const size_t slash = arg.find('/');
    if (slash == std::string_view::npos) {
        sendSmallHtml(res, 400, "localweb: expected <user>/<password>");
        return;
    }
    const std::string user(arg.substr(0, slash));
    const std::string expected = "Basic " + base64(user + ":" + std::string(arg.substr(slash + 1)));
    const char* header = proxy ? "Proxy-Authorization" : "Authorization";
    if (in.req->get_header_value(header) == expected) {
        sendSmallHtml(res, 200, "signed in as " + htmlEscape(user));
        return;
    }
    if (proxy) {
        res.set_header("Proxy-Authenticate", "Basic realm=\"localweb proxy\"");
        sendSmallHtml(res, 407, "proxy sign-in needed");
    } else {
        res.set_header("WWW-Authenticate", "Basic realm=\"localweb\"");
        sendSmallHtml(res, 401, "sign-in needed");
    }
}

void stallFault(const httplib::Request& req, httplib::Response& res) {
    const auto deadline = std::chrono::steady_clock::now() + stallLimit;
    const int fd = connectionSocket(req);
    while (!shuttingDown() && std::chrono::steady_clock::now() < deadline) {
        if (fd < 0) {
            waitUnlessStopped(std::chrono::milliseconds(100));
            continue;
        }
        pollfd p{fd, POLLRDHUP, 0};
        const int ready = poll(&p, 1, 100);
        if (ready > 0 && (p.revents & (POLLRDHUP | POLLHUP | POLLERR | POLLNVAL)))
            break; // the client gave up
    }
    // Whatever ended the wait, the client never gets an answer: drop the connection.
    if (fd >= 0)
        shutdown(fd, SHUT_RDWR);
    res.set_header("Connection", "close");
    sendSmallHtml(res, 504, "stalled");
}

// That many bytes of "a": with a length, or without one, in chunks, so that a client learns
// the size only as the body comes.
void bigFault(std::string_view arg, bool chunked, httplib::Response& res) {
    const auto bytes = parseDecimal(arg);
    if (!bytes) {
        sendSmallHtml(res, 400, "localweb: size must be a whole number");
        return;
    }
    res.status = 200;
    static const std::string block(64 * 1024, 'a');
    const size_t total = static_cast<size_t>(*bytes);
    if (chunked) {
        res.set_chunked_content_provider(
            "application/octet-stream", [total](size_t offset, httplib::DataSink& sink) {
                if (offset >= total) {
                    sink.done();
                    return true;
                }
                const size_t n = std::min(total - offset, block.size());
                return sink.write(block.data(), n) && !shuttingDown();
            });
        return;
    }
    if (total == 0) {
        res.set_content("", "application/octet-stream");
        return;
    }
    res.set_content_provider(total, "application/octet-stream",
                             [](size_t, size_t length, httplib::DataSink& sink) {
                                 const size_t n = std::min(length, block.size());
                                 return sink.write(block.data(), n) && !shuttingDown();
                             });
}

std::string redirectTarget(const Incoming& in, const std::string& path) {
    return in.authority.empty() ? path : "http://" + in.authority + path;
}

void redirectFault(const Incoming& in, std::string_view arg, httplib::Response& res) {
    const auto n = parseDecimal(arg);
    if (!n) {
        sendSmallHtml(res, 400, "localweb: redirect count must be a whole number");
        return;
    }
    if (*n == 0) {
        res.status = 200;
        res.set_content("arrived", "text/plain; charset=utf-8");
        return;
    }
    const std::string next =
        redirectTarget(in, std::string(faultPrefix) + "redirect/" + std::to_string(*n - 1));
    res.set_header("Location", next);
    // A cookie with it, so that a client that keeps cookies would send one on the next hop.
    res.set_header("Set-Cookie", "localweb=" + std::to_string(*n) + "; Path=/");
    sendSmallHtml(res, 302, "moved");
}

} // namespace

bool serveFault(const Incoming& in, httplib::Response& res) {
    if (!startsWith(in.path, faultPrefix))
        return false;
    const std::string_view rest = std::string_view(in.path).substr(faultPrefix.size());
    auto argument = [&](std::string_view name) -> std::optional<std::string_view> {
        if (startsWith(rest, name) && rest.size() > name.size() && rest[name.size()] == '/')
            return rest.substr(name.size() + 1);
        return std::nullopt;
    };

    if (rest == "empty") {
        res.status = 200;
        res.set_content("", "text/html; charset=utf-8");
    } else if (rest == "reset") {
        resetFault(*in.req, res);
    } else if (rest == "stall") {
        stallFault(*in.req, res);
    } else if (rest == "redirect-loop") {
        res.set_header("Location", redirectTarget(in, in.path));
        sendSmallHtml(res, 302, "moved");
    } else if (const auto code = argument("status")) {
        statusFault(*code, res);
    } else if (const auto bytes = argument("big")) {
        bigFault(*bytes, false, res);
    } else if (const auto bytes = argument("big-chunked")) {
        bigFault(*bytes, true, res);
    } else if (const auto count = argument("redirect")) {
        redirectFault(in, *count, res);
    } else if (const auto size = argument("download")) {
        downloadFault(*size, res);
    } else if (const auto account = argument("auth")) {
        signInFault(in, *account, false, res);
    } else if (const auto proxyAccount = argument("proxy-auth")) {
        signInFault(in, *proxyAccount, true, res);
    } else {
        sendSmallHtml(res, 404, "localweb: unknown fault");
    }
    return true;
}

} // namespace localweb
