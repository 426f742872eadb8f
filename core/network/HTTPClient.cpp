#include "core/network/HTTPClient.hpp"

#include "core/base/NumberText.hpp"
#include "core/network/IPAddress.hpp"
#include "core/text/Text.hpp"
#include "core/base/TavoluneError.hpp"

#include <curl/curl.h>

#include <arpa/inet.h>
#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <limits>
#include <stdexcept>

namespace tavolune {
namespace {

// The OpenSSL convention for a site with its own certificate authority;
// libcurl itself reads only its built-in bundle.
std::string trustedCertificates() {
  const char* file = std::getenv("SSL_CERT_FILE");
  return file ? file : "";
}

// The program started by its own tests is told through its environment.
std::atomic<bool> loopbackForOutside{[] {
  const char* value = std::getenv(HTTPClient::allowLoopbackVariable);
  return value && std::string_view(value) == "1";
}()};

struct Transfer {
  std::string body;
  HTTPHeaders headers;
  std::size_t limit = std::numeric_limits<std::size_t>::max();
  bool overLimit = false;
  // The address a publicAddressesOnly request was refused, if it was.
  std::string refusedAddress;
};

bool mayConnect(const sockaddr& address) {
  return ip::isPublic(address) || (loopbackForOutside.load() && ip::isLoopback(address));
}

// Every new connection of a publicAddressesOnly transfer, before its socket
// exists: a refused address never sees a packet.
curl_socket_t openSocket(void* user, curlsocktype, curl_sockaddr* address) {
  auto* t = static_cast<Transfer*>(user);
  if (!mayConnect(address->addr)) {
    char text[INET6_ADDRSTRLEN] = "?";
    if (address->family == AF_INET) {
      ::inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in&>(address->addr).sin_addr, text, sizeof text);
    } else if (address->family == AF_INET6) {
      ::inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6&>(address->addr).sin6_addr, text, sizeof text);
    }
    t->refusedAddress = text;
    return CURL_SOCKET_BAD;
  }
  return ::socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
}

// Before every request of such a transfer, on a new or a reused connection:
// one opened by another request never passed openSocket.
int beforeRequest(void* user, char* primaryIP, char*, int, int) {
  auto* t = static_cast<Transfer*>(user);
  auto address = ip::parse(primaryIP ? primaryIP : "");
  if (address && mayConnect(reinterpret_cast<const sockaddr&>(*address))) return CURL_PREREQFUNC_OK;
  t->refusedAddress = primaryIP ? primaryIP : "?";
  return CURL_PREREQFUNC_ABORT;
}

// Fields a redirect to another origin must not carry.
bool carriesCredentials(const HTTPRequest& request) {
  for (const char* name : {"Authorization", "X-API-KEY", "Cookie", "Proxy-Authorization"}) {
    if (request.header(name)) return true;
  }
  return false;
}

bool sameOrigin(const Url& a, const Url& b) {
  return text::lowercased(a.scheme()) == text::lowercased(b.scheme()) &&
         text::lowercased(a.host()) == text::lowercased(b.host()) && a.port() == b.port();
}

std::size_t onBody(char* data, std::size_t size, std::size_t count, void* user) {
  auto* t = static_cast<Transfer*>(user);
  std::size_t n = size * count;
  if (t->body.size() + n > t->limit) {
    t->overLimit = true;
    return 0;  // ends the transfer with CURLE_WRITE_ERROR
  }
  t->body.append(data, n);
  return n;
}

std::size_t onHeader(char* data, std::size_t size, std::size_t count, void* user) {
  auto* t = static_cast<Transfer*>(user);
  std::size_t n = size * count;
  std::string_view line(data, n);
  if (line.starts_with("HTTP/")) {
    t->headers.clear();  // a new answer: after a redirect or a 100 Continue
  } else if (auto colon = line.find(':'); colon != std::string_view::npos) {
    t->headers.emplace_back(text::trimWhitespaceAndNewlines(line.substr(0, colon)),
                            text::trimWhitespaceAndNewlines(line.substr(colon + 1)));
  }
  return n;
}

struct EasyDeleter {
  void operator()(CURL* h) const { curl_easy_cleanup(h); }
};
struct MultiDeleter {
  void operator()(CURLM* h) const { curl_multi_cleanup(h); }
};
struct ListDeleter {
  void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};

std::string byteSize(std::size_t bytes) {
  if (bytes % (std::size_t{1} << 20) == 0) return std::to_string(bytes >> 20) + " MiB";
  return std::to_string(bytes) + " bytes";
}

}  // namespace

double HTTPClient::retryDelay(const std::optional<std::string>& retryAfter, int attempt) {
  if (retryAfter) {
    // A negative or not-a-number value falls back to the doubling wait;
    // infinity is capped like any large value.
    if (auto seconds = numbers::readDouble(*retryAfter); seconds && !std::isnan(*seconds) && *seconds >= 0) {
      return std::min(*seconds, maxRetryWait);
    }
  }
  return std::min(std::ldexp(1.0, attempt), maxRetryWait);
}

void HTTPClient::allowLoopback(bool allowed) { loopbackForOutside.store(allowed); }
bool HTTPClient::loopbackAllowed() { return loopbackForOutside.load(); }

HTTPResult HTTPClient::data(HTTPRequest request, std::stop_token stop) const {
  return send(std::move(request), stop, std::numeric_limits<std::size_t>::max());
}

HTTPResult HTTPClient::data(HTTPRequest request, std::stop_token stop, std::size_t maxBodyBytes) const {
  return send(std::move(request), stop, maxBodyBytes);
}

std::string HTTPClient::get(const Url& url, const HeaderFields& headers, double timeout, std::stop_token stop) const {
  return getBody(url, headers, timeout, stop, std::numeric_limits<std::size_t>::max());
}

std::string HTTPClient::getBody(const Url& url, const HeaderFields& headers, double timeout, std::stop_token stop,
                                std::size_t limit) const {
  HTTPRequest request;
  request.url = url;
  request.timeout = timeout;
  for (const auto& [name, value] : headers) request.headers.emplace_back(name, value);
  for (int attempt = 0;; ++attempt) {
    HTTPResult result = send(request, stop, limit);
    int status = result.response.status;
    if (status == 429 && attempt <= 2) {
      clock.sleep(retryDelay(result.response.header("Retry-After"), attempt), stop);
      if (stop.stop_requested()) throw CancellationError();
      continue;
    }
    if (result.response.isSuccess()) return std::move(result.body);
    throw TavoluneError::http(status, url.string());
  }
}

std::string HTTPClient::postBody(const Url& url, std::string body, double timeout, std::stop_token stop) const {
  HTTPRequest request;
  request.method = "POST";
  request.url = url;
  request.timeout = timeout;
  request.body = std::move(body);
  request.setHeader("Content-Type", "application/json");
  request.setHeader("Accept", "application/json");
  HTTPResult result = send(std::move(request), stop, maxJSONBytes);
  if (!result.response.isSuccess()) throw TavoluneError::http(result.response.status, url.string());
  return std::move(result.body);
}

HTTPResult HTTPClient::send(HTTPRequest request, std::stop_token stop, std::size_t limit) const {
  constexpr long maxRedirects = 16;
  if (stop.stop_requested()) throw CancellationError();
  if (!request.header("User-Agent")) request.headers.emplace_back("User-Agent", userAgent);
  const std::string& requested = request.url.string();

  std::unique_ptr<CURL, EasyDeleter> easy(curl_easy_init());
  std::unique_ptr<CURLM, MultiDeleter> multi(curl_multi_init());
  if (!easy || !multi) throw TransportError(CURLE_OUT_OF_MEMORY, 0, requested, "could not start a transfer");

  Transfer transfer;
  transfer.limit = limit;
  char errorText[CURL_ERROR_SIZE] = {};

  std::unique_ptr<curl_slist, ListDeleter> fields;
  auto addField = [&](const std::string& line) {
    curl_slist* next = curl_slist_append(fields.get(), line.c_str());
    if (!next) throw TransportError(CURLE_OUT_OF_MEMORY, 0, requested, "could not build the request");
    (void)fields.release();
    fields.reset(next);
  };
  for (const auto& [name, value] : request.headers) {
    // A line break in a field would smuggle further fields (or a second
    // request) onto the wire.
    if (name.empty() || name.find_first_of(":\r\n") != std::string::npos ||
        value.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos) {
      throw std::invalid_argument("invalid header field \"" + name + "\"");
    }
    // "Name;" is libcurl's way to send a field with an empty value.
    addField(value.empty() ? name + ";" : name + ": " + value);
  }
  if (!request.header("Expect")) addField("Expect:");  // no 100-continue round trip

  CURL* h = easy.get();
  curl_easy_setopt(h, CURLOPT_URL, requested.c_str());
  curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(h, CURLOPT_SHARE, static_cast<CURLSH*>(session->shareHandle()));
  curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  // A keyed request is followed by hand, one origin-checked hop at a time.
  const bool keyed = carriesCredentials(request);
  curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, keyed ? 0L : 1L);
  curl_easy_setopt(h, CURLOPT_MAXREDIRS, maxRedirects);
  if (publicAddressesOnly) {
    curl_easy_setopt(h, CURLOPT_OPENSOCKETFUNCTION, &openSocket);
    curl_easy_setopt(h, CURLOPT_OPENSOCKETDATA, &transfer);
    curl_easy_setopt(h, CURLOPT_PREREQFUNCTION, &beforeRequest);
    curl_easy_setopt(h, CURLOPT_PREREQDATA, &transfer);
  }
  curl_easy_setopt(h, CURLOPT_ACCEPT_ENCODING, "gzip, deflate");
  curl_easy_setopt(h, CURLOPT_MAXCONNECTS, URLSession::maxConnections);
  const std::string trust = trustedCertificates();
  if (!trust.empty()) curl_easy_setopt(h, CURLOPT_CAINFO, trust.c_str());
  auto timeoutMs = static_cast<long>(std::clamp(request.timeout * 1000.0, 1.0, 1e9));
  curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, timeoutMs);
  curl_easy_setopt(h, CURLOPT_HTTPHEADER, fields.get());
  curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &onBody);
  curl_easy_setopt(h, CURLOPT_WRITEDATA, &transfer);
  curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, &onHeader);
  curl_easy_setopt(h, CURLOPT_HEADERDATA, &transfer);
  curl_easy_setopt(h, CURLOPT_ERRORBUFFER, errorText);
  if (request.method == "GET") {
    curl_easy_setopt(h, CURLOPT_HTTPGET, 1L);
  } else if (request.method == "HEAD") {
    curl_easy_setopt(h, CURLOPT_NOBODY, 1L);
  } else {
    if (request.method != "POST") curl_easy_setopt(h, CURLOPT_CUSTOMREQUEST, request.method.c_str());
    curl_easy_setopt(h, CURLOPT_POSTFIELDS, request.body.data());
    curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.body.size()));
  }

  curl_multi_setopt(multi.get(), CURLMOPT_MAXCONNECTS, URLSession::maxConnections);
  long status = 0;
  Url at = request.url;
  std::string hopURL;  // keeps the text libcurl reads alive
  for (long hop = 0;; ++hop) {
    curl_multi_add_handle(multi.get(), h);
    std::atomic<bool> cancelled{false};
    bool finished = false;
    CURLcode code = CURLE_OK;
    {
      // A stop request wakes the poll below at once.
      std::stop_callback onStop(stop, [&] {
        cancelled = true;
        curl_multi_wakeup(multi.get());
      });
      while (true) {
        int running = 0;
        CURLMcode mc = curl_multi_perform(multi.get(), &running);
        if (mc != CURLM_OK) {
          code = CURLE_OUT_OF_MEMORY;
          std::snprintf(errorText, sizeof errorText, "%s", curl_multi_strerror(mc));
          finished = true;
          break;
        }
        int queued = 0;
        while (CURLMsg* msg = curl_multi_info_read(multi.get(), &queued)) {
          if (msg->msg == CURLMSG_DONE) {
            code = msg->data.result;
            finished = true;
          }
        }
        if (finished || cancelled) break;
        curl_multi_poll(multi.get(), nullptr, 0, 1000, nullptr);
      }
    }
    curl_multi_remove_handle(multi.get(), h);
    if (!finished) throw CancellationError();

    if (code != CURLE_OK) {
      if (transfer.overLimit) {
        throw TavoluneError::decoding(request.url.host() + ": answer larger than " + byteSize(limit));
      }
      if (!transfer.refusedAddress.empty()) {
        throw TransportError(CURLE_COULDNT_CONNECT, 0, requested,
                             "refused to connect to the local address " + transfer.refusedAddress);
      }
      long osError = 0;
      curl_easy_getinfo(h, CURLINFO_OS_ERRNO, &osError);
      std::string detail = errorText[0] ? std::string(errorText) : std::string(curl_easy_strerror(code));
      throw TransportError(code, osError, requested, detail);
    }
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
    if (!keyed || status < 300 || status > 399 || hop >= maxRedirects) break;
    char* location = nullptr;
    curl_easy_getinfo(h, CURLINFO_REDIRECT_URL, &location);
    auto next = location ? Url::parse(location) : std::nullopt;
    if (!next || !sameOrigin(at, *next)) break;  // the 3xx answer stands
    at = *next;
    hopURL = at.string();
    curl_easy_setopt(h, CURLOPT_URL, hopURL.c_str());
    if (status == 303 && request.method != "HEAD") curl_easy_setopt(h, CURLOPT_HTTPGET, 1L);
    transfer.body.clear();
    transfer.headers.clear();
  }
  if (status <= 0) throw TavoluneError::decoding("non-HTTP response");

  HTTPResult result;
  result.body = std::move(transfer.body);
  result.response.status = static_cast<int>(status);
  result.response.headers = std::move(transfer.headers);
  return result;
}

}  // namespace tavolune
