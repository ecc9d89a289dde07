#pragma once
// HTTP GET over libcurl, for fetching files from the product server.
//
// Only http and https are spoken, on the first request and on redirects;
// redirects are followed (up to maxRedirects); the request asks every cache
// on the way for a fresh copy ("Cache-Control: no-cache", "Pragma:
// no-cache"); the proxy variables of the environment (http_proxy,
// https_proxy, all_proxy, no_proxy) are honoured as libcurl reads them.

#include <functional>
#include <string>
#include <string_view>

namespace platform {

struct HttpGetOptions {
  long connectTimeoutSeconds = 30;
  long maxRedirects = 10;
  // A transfer that moves no byte for this long is abandoned (0: never).
  long stallSeconds = 60;
};

struct HttpGetResult {
  bool completed = false;  // the whole response arrived and both callbacks agreed
  long status = 0;         // the final response's HTTP status; 0 when none arrived
  std::string error;       // why it did not complete, for traces
};

// Called once with the final response's status, before any body byte; false
// stops the transfer.
using HttpStatusCallback = std::function<bool(long status)>;
// Called with each piece of the final response's body; false stops the
// transfer.
using HttpBodyCallback = std::function<bool(std::string_view piece)>;

HttpGetResult HttpGet(const std::string& url, const HttpGetOptions& options, const HttpStatusCallback& onStatus,
                      const HttpBodyCallback& onBody);

}  // namespace platform
