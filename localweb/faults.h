// Failures on purpose, on every host, under the path prefix /__fault/.
#pragma once

#include "site.h"

#include <httplib.h>

namespace localweb {

// Answers a /__fault/... path; returns false for any other path.
//   /__fault/status/<code>     that status, with a small HTML body "error <code>"
//   /__fault/empty             200 with an empty body
//   /__fault/reset             announces 100000 bytes, sends about 1000, then drops the connection
//   /__fault/stall             no answer until the client leaves, localweb stops, or 10 minutes
//   /__fault/big/<bytes>       200 with that many bytes of "a", streamed
//   /__fault/redirect-loop     302 to itself
//   /__fault/redirect/<n>      302 to /__fault/redirect/<n-1>; 0 answers 200 "arrived"
//   /__fault/download/<bytes>  an attachment "download-<bytes>.bin"; byte i is 'a' + i % 26
//   /__fault/auth/<u>/<p>      401 asking for Basic sign-in unless it came as user u, password p
//   /__fault/proxy-auth/<u>/<p> the same as the proxy: 407 unless Proxy-Authorization matches
bool serveFault(const Incoming& in, httplib::Response& res);

} // namespace localweb
