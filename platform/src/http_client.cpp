#include "platform/http_client.h"

#include <curl/curl.h>

#include <memory>
#include <mutex>

namespace platform {
namespace {

void InitialiseCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct EasyDeleter {
  void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct HeaderListDeleter {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

// What the write callback needs, and what it learnt.
struct Transfer {
  CURL* easy = nullptr;
  const HttpStatusCallback* onStatus = nullptr;
  const HttpBodyCallback* onBody = nullptr;
  bool statusReported = false;
  bool stoppedByCaller = false;
  long status = 0;

  bool ReportStatus() {
    statusReported = true;
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
    if (!(*onStatus)(status)) stoppedByCaller = true;
    return !stoppedByCaller;
  }
};

// libcurl hands over only the final response's body: bodies of redirects
// that it follows are skipped.
std::size_t WriteBody(char* data, std::size_t size, std::size_t count, void* user) {
  auto* transfer = static_cast<Transfer*>(user);
  const std::size_t bytes = size * count;
  if (!transfer->statusReported && !transfer->ReportStatus()) return 0;
  if (!(*transfer->onBody)(std::string_view(data, bytes))) {
    transfer->stoppedByCaller = true;
    return 0;
  }
  return bytes;
}

bool Configure(CURL* easy, const std::string& url, const HttpGetOptions& options, curl_slist* headers,
               Transfer* transfer, char* errorBuffer) {
  bool ok = curl_easy_setopt(easy, CURLOPT_URL, url.c_str()) == CURLE_OK;
  ok = ok && curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https") == CURLE_OK;
  ok = ok && curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https") == CURLE_OK;
  ok = ok && curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L) == CURLE_OK;
  ok = ok && curl_easy_setopt(easy, CURLOPT_MAXREDIRS, options.maxRedirects) == CURLE_OK;
  ok = ok && curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT, options.connectTimeoutSeconds) == CURLE_OK;
  if (options.stallSeconds > 0) {
    ok = ok && curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L) == CURLE_OK;
    ok = ok && curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, options.stallSeconds) == CURLE_OK;
  }
  ok = ok && curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers) == CURLE_OK;
  ok = ok && curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L) == CURLE_OK;
  ok = ok && curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &WriteBody) == CURLE_OK;
  ok = ok && curl_easy_setopt(easy, CURLOPT_WRITEDATA, transfer) == CURLE_OK;
  ok = ok && curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, errorBuffer) == CURLE_OK;
  return ok;
}

}  // namespace

HttpGetResult HttpGet(const std::string& url, const HttpGetOptions& options, const HttpStatusCallback& onStatus,
                      const HttpBodyCallback& onBody) {
  InitialiseCurlOnce();
  HttpGetResult result;
  std::unique_ptr<CURL, EasyDeleter> easy(curl_easy_init());
  if (!easy) {
    result.error = "cannot create a transfer";
    return result;
  }
  std::unique_ptr<curl_slist, HeaderListDeleter> headers;
  for (const char* header : {"Cache-Control: no-cache", "Pragma: no-cache"}) {
    curl_slist* list = curl_slist_append(headers.get(), header);
    if (list == nullptr) {
      result.error = "cannot build the request headers";
      return result;
    }
    headers.release();
    headers.reset(list);
  }
  Transfer transfer;
  transfer.easy = easy.get();
  transfer.onStatus = &onStatus;
  transfer.onBody = &onBody;
  char errorBuffer[CURL_ERROR_SIZE] = {};
  if (!Configure(easy.get(), url, options, headers.get(), &transfer, errorBuffer)) {
    result.error = "cannot configure the transfer";
    return result;
  }
  const CURLcode code = curl_easy_perform(easy.get());
  if (code == CURLE_OK && !transfer.statusReported) transfer.ReportStatus();  // a response without a body
  result.status = transfer.status;
  if (result.status == 0) curl_easy_getinfo(easy.get(), CURLINFO_RESPONSE_CODE, &result.status);
  if (transfer.stoppedByCaller) {
    result.error = "stopped by the receiver";
  } else if (code != CURLE_OK) {
    result.error = errorBuffer[0] != '\0' ? errorBuffer : curl_easy_strerror(code);
  } else {
    result.completed = true;
  }
  return result;
}

}  // namespace platform
