// One incoming request as the proxy sees it, and the sites that answer it.
#pragma once

#include "catalogue.h"

#include <httplib.h>

#include <filesystem>
#include <optional>
#include <string>

namespace localweb {

struct Incoming {
    const httplib::Request* req = nullptr;
    std::string method;
    std::string url;       // the absolute URL exactly as it arrived
    std::string authority; // host[:port] as written, empty when the request named none
    std::string host;      // lower case, without port
    std::string path;      // raw path, never percent-decoded
    std::string query;     // raw query without "?", never percent-decoded
    bool absoluteForm = false;

    // Splits the raw request target (absolute-form, or origin-form with the Host header).
    static Incoming from(const httplib::Request& req);
};

// Files shipped in the content folder (static pages, the clip).
class Content {
public:
    explicit Content(std::filesystem::path folder) : folder_(std::move(folder)) {}
    std::optional<std::string> read(const std::string& name) const;
    const std::filesystem::path& folder() const { return folder_; }

private:
    std::filesystem::path folder_;
};

struct SiteContext {
    const Catalogue& catalogue;
    const Content& content;
};

// Each returns false when the path is not one of the host's pages.
bool serveVendorPortal(const SiteContext& site, const Incoming& in, httplib::Response& res);
bool serveVendorSite(const SiteContext& site, const Incoming& in, httplib::Response& res);
bool serveQa(const SiteContext& site, const Incoming& in, httplib::Response& res);
bool servePlayApi(const SiteContext& site, const Incoming& in, httplib::Response& res);
bool servePlayHost(const SiteContext& site, const Incoming& in, httplib::Response& res);

// Shared answers.
void sendUtf8Html(httplib::Response& res, const std::string& html, int status = 200);
void sendText(httplib::Response& res, const std::string& text, const std::string& contentType,
              int status = 200);
void sendNotFound(const Incoming& in, httplib::Response& res);
// A static page from the content folder, or a 500 when the file is missing.
void sendContentPage(const SiteContext& site, httplib::Response& res, const std::string& name);

// The opening of a UTF-8 page with the product's look, up to and including <body>.
std::string pageHead(const std::string& title, const std::string& extraStyle = {});

} // namespace localweb
