#include "core/network/HTTPClient.hpp"

#include "core/base/Hosts.hpp"
#include "core/base/NumberText.hpp"
#include "core/network/IPAddress.hpp"
#include "core/network/Proxies.hpp"
#include "core/text/Text.hpp"
#include "core/base/TavoluneError.hpp"

#include <curl/curl.h>

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <limits>
#include <mutex>
#include <set>
#include <stdexcept>
#include <thread>
#include <vector>

namespace tavolune {
namespace {

// The OpenSSL convention for a site with its own certificate authority;
// libcurl itself reads only its built-in bundle.
std::string trustedCertificates() {
  const char* file = std::getenv("SSL_CERT_FILE");
  return file ? file : "";
}

std::string addressText(const sockaddr& address) {
  char text[INET6_ADDRSTRLEN] = "?";
  if (address.sa_family == AF_INET) {
    ::inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in&>(address).sin_addr, text, sizeof text);
  } else if (address.sa_family == AF_INET6) {
    ::inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6&>(address).sin6_addr, text, sizeof text);
  }
  return text;
}

int portOf(const sockaddr& address) {
  if (address.sa_family == AF_INET) return ntohs(reinterpret_cast<const sockaddr_in&>(address).sin_port);
  if (address.sa_family == AF_INET6) return ntohs(reinterpret_cast<const sockaddr_in6&>(address).sin6_port);
  return 0;
}

void setPort(sockaddr_storage& address, int port) {
  if (address.ss_family == AF_INET) reinterpret_cast<sockaddr_in&>(address).sin_port = htons(std::uint16_t(port));
  if (address.ss_family == AF_INET6) reinterpret_cast<sockaddr_in6&>(address).sin6_port = htons(std::uint16_t(port));
}

// The servers of tests and benchmarks, by canonical address text and port.
struct NamedServers {
  std::mutex mutex;
  std::multiset<std::pair<std::string, int>> servers;

  static std::optional<std::pair<std::string, int>> key(std::string_view address, int port) {
    auto parsed = ip::parse(ip::withoutBrackets(address));
    if (!parsed || port <= 0) return std::nullopt;
    return std::pair{addressText(reinterpret_cast<const sockaddr&>(*parsed)), port};
  }
};

NamedServers& namedServers() {
  // The program started by its own tests is told through its environment.
  static NamedServers* named = [] {
    auto* made = new NamedServers;
    const char* list = std::getenv(HTTPClient::allowedServersVariable);
    std::string_view rest = list ? list : "";
    while (!rest.empty()) {
      const auto comma = rest.find(',');
      const std::string_view entry = rest.substr(0, comma);
      rest = comma == std::string_view::npos ? std::string_view{} : rest.substr(comma + 1);
      const auto colon = entry.rfind(':');
      if (colon == std::string_view::npos) continue;
      const int port = std::atoi(std::string(entry.substr(colon + 1)).c_str());
      if (auto key = NamedServers::key(entry.substr(0, colon), port)) made->servers.insert(*key);
    }
    return made;
  }();
  return *named;
}

// The hosts of the program's own services, lower-cased; fixed at start.
// Tests add stand-ins.
struct OwnHosts {
  std::set<std::string, std::less<>> constants;
  std::set<std::string, std::less<>> gateways;
  std::mutex mutex;
  std::multiset<std::string, std::less<>> standIns;
  std::multiset<std::string, std::less<>> gatewayStandIns;
};

OwnHosts& ownHosts() {
  static OwnHosts* own = [] {
    auto* made = new OwnHosts;
    const auto add = [made](std::string_view base, bool gateway) {
      auto url = Url::parse(base);
      if (!url) return;
      made->constants.insert(text::lowercased(url->host()));
      if (gateway) made->gateways.insert(text::lowercased(url->host()));
    };
    for (std::string_view base : hosts::services) add(base, false);
    for (std::string_view base : hosts::ipfsGateways) add(base, true);
    add(hosts::arweaveGateway, true);
    return made;
  }();
  return *own;
}

bool mayConnect(const sockaddr& address) {
  if (ip::isPublic(address)) return true;
  auto& named = namedServers();
  std::lock_guard lock(named.mutex);
  return named.servers.contains({addressText(address), portOf(address)});
}

struct Transfer {
  std::string body;
  HTTPHeaders headers;
  std::size_t limit = std::numeric_limits<std::size_t>::max();
  bool overLimit = false;
  // Asked before each piece of the body is kept; refused ends the transfer.
  const std::function<bool(std::size_t)>* admit = nullptr;
  bool refused = false;
  // This hop goes through a proxy: its connections reach the proxy alone.
  bool viaProxy = false;
  // The address a publicAddressesOnly request was refused, if it was.
  std::string refusedAddress;
};

// Every new connection of a publicAddressesOnly transfer, before its socket
// exists: a refused address never sees a packet.
curl_socket_t openSocket(void* user, curlsocktype, curl_sockaddr* address) {
  auto* t = static_cast<Transfer*>(user);
  if (!t->viaProxy && !mayConnect(address->addr)) {
    t->refusedAddress = addressText(address->addr);
    return CURL_SOCKET_BAD;
  }
  return ::socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
}

// Before every request of such a transfer, on a new or a reused connection:
// one opened by another request never passed openSocket.
int beforeRequest(void* user, char* primaryIP, char*, int primaryPort, int) {
  auto* t = static_cast<Transfer*>(user);
  if (t->viaProxy) return CURL_PREREQFUNC_OK;
  auto address = ip::parse(primaryIP ? primaryIP : "");
  if (address) setPort(*address, primaryPort);
  if (address && mayConnect(reinterpret_cast<const sockaddr&>(*address))) return CURL_PREREQFUNC_OK;
  t->refusedAddress = primaryIP ? primaryIP : "?";
  return CURL_PREREQFUNC_ABORT;
}

int portOfURL(const Url& at) {
  return at.port() ? std::atoi(at.port()->c_str()) : (at.scheme() == "https" ? 443 : 80);
}

struct Lookup {
  std::mutex mutex;
  std::condition_variable_any done;
  bool finished = false;
  int status = 0;
  std::vector<sockaddr_storage> addresses;
};

// getaddrinfo cannot be interrupted: it runs on a thread of its own, and a
// stop request or the time-out leaves it to finish there unwatched.
std::vector<sockaddr_storage> lookUp(const std::string& host, double timeout, std::stop_token stop,
                                     const std::string& requested) {
  auto lookup = std::make_shared<Lookup>();
  std::thread([lookup, host] {
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int status = ::getaddrinfo(host.c_str(), nullptr, &hints, &found);
    std::vector<sockaddr_storage> addresses;
    for (const addrinfo* a = status == 0 ? found : nullptr; a; a = a->ai_next) {
      if (a->ai_addrlen > sizeof(sockaddr_storage)) continue;
      std::memcpy(&addresses.emplace_back(), a->ai_addr, a->ai_addrlen);
    }
    if (found) ::freeaddrinfo(found);
    {
      std::lock_guard lock(lookup->mutex);
      lookup->status = status;
      lookup->addresses = std::move(addresses);
      lookup->finished = true;
    }
    lookup->done.notify_all();
  }).detach();
  std::unique_lock lock(lookup->mutex);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeout);
  if (!lookup->done.wait_until(lock, stop, deadline, [&] { return lookup->finished; })) {
    if (stop.stop_requested()) throw CancellationError();
    throw TransportError(CURLE_OPERATION_TIMEDOUT, 0, requested, "resolving " + host + " timed out");
  }
  if (lookup->status != 0 || lookup->addresses.empty()) {
    throw TransportError(CURLE_COULDNT_RESOLVE_HOST, 0, requested, "could not resolve host " + host);
  }
  return std::move(lookup->addresses);
}

// A proxy would resolve the host itself, and a name can answer otherwise
// the second time it is asked: its addresses are looked up and checked
// here, and the proxy is then given the first of them (as URL text).
std::string checkedBehindProxy(const Url& at, double timeout, std::stop_token stop, const std::string& requested) {
  const std::string host(ip::withoutBrackets(at.host()));
  const int port = portOfURL(at);
  auto addresses = lookUp(host, timeout, stop, requested);
  for (auto& address : addresses) {
    setPort(address, port);
    const auto& plain = reinterpret_cast<const sockaddr&>(address);
    if (!mayConnect(plain)) throw TransportError::localAddress(requested, addressText(plain));
  }
  const std::string first = addressText(reinterpret_cast<const sockaddr&>(addresses.front()));
  return addresses.front().ss_family == AF_INET6 ? "[" + first + "]" : first;
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
  if (t->admit && !(*t->admit)(n)) {
    t->refused = true;
    return 0;
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

void HTTPClient::allowLocalServer(std::string_view address, int port) {
  auto key = NamedServers::key(address, port);
  if (!key) throw std::invalid_argument("not a numeric address and port: " + std::string(address));
  auto& named = namedServers();
  std::lock_guard lock(named.mutex);
  named.servers.insert(std::move(*key));
}

void HTTPClient::forgetLocalServer(std::string_view address, int port) {
  auto key = NamedServers::key(address, port);
  if (!key) return;
  auto& named = namedServers();
  std::lock_guard lock(named.mutex);
  if (auto it = named.servers.find(*key); it != named.servers.end()) named.servers.erase(it);
}

bool HTTPClient::isOwnServiceHost(std::string_view host) {
  auto& own = ownHosts();
  const std::string name = text::lowercased(host);
  if (own.constants.contains(name)) return true;
  std::lock_guard lock(own.mutex);
  return own.standIns.contains(name);
}

bool HTTPClient::isGatewayHost(std::string_view host) {
  auto& own = ownHosts();
  const std::string name = text::lowercased(host);
  if (own.gateways.contains(name)) return true;
  std::lock_guard lock(own.mutex);
  return own.gatewayStandIns.contains(name);
}

void HTTPClient::standInForOwnService(std::string_view host, bool gateway) {
  auto& own = ownHosts();
  std::lock_guard lock(own.mutex);
  own.standIns.insert(text::lowercased(host));
  if (gateway) own.gatewayStandIns.insert(text::lowercased(host));
}

void HTTPClient::forgetStandIn(std::string_view host) {
  auto& own = ownHosts();
  const std::string name = text::lowercased(host);
  std::lock_guard lock(own.mutex);
  if (auto it = own.standIns.find(name); it != own.standIns.end()) own.standIns.erase(it);
  if (auto it = own.gatewayStandIns.find(name); it != own.gatewayStandIns.end()) own.gatewayStandIns.erase(it);
}

HTTPResult HTTPClient::data(HTTPRequest request, std::stop_token stop) const {
  return send(std::move(request), stop, std::numeric_limits<std::size_t>::max());
}

HTTPResult HTTPClient::data(HTTPRequest request, std::stop_token stop, std::size_t maxBodyBytes) const {
  return send(std::move(request), stop, maxBodyBytes);
}

HTTPResult HTTPClient::data(HTTPRequest request, std::stop_token stop, std::size_t maxBodyBytes,
                            const std::function<bool(std::size_t)>& admit) const {
  return send(std::move(request), stop, maxBodyBytes, admit ? &admit : nullptr);
}

std::string HTTPClient::get(const Url& url, const HeaderFields& headers, double timeout, std::stop_token stop) const {
  return getBody(url, headers, timeout, stop, std::numeric_limits<std::size_t>::max());
}

std::string HTTPClient::getBody(const Url& url, const HeaderFields& headers, double timeout, std::stop_token stop,
                                std::size_t limit, const std::function<bool(std::size_t)>* admit) const {
  HTTPRequest request;
  request.url = url;
  request.timeout = timeout;
  for (const auto& [name, value] : headers) request.headers.emplace_back(name, value);
  for (int attempt = 0;; ++attempt) {
    HTTPResult result = send(request, stop, limit, admit);
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

HTTPResult HTTPClient::send(HTTPRequest request, std::stop_token stop, std::size_t limit,
                            const std::function<bool(std::size_t)>* admit) const {
  constexpr long maxRedirects = 16;
  if (stop.stop_requested()) throw CancellationError();
  if (!request.header("User-Agent")) request.headers.emplace_back("User-Agent", userAgent);
  const std::string& requested = request.url.string();

  std::unique_ptr<CURL, EasyDeleter> easy(curl_easy_init());
  std::unique_ptr<CURLM, MultiDeleter> multi(curl_multi_init());
  if (!easy || !multi) throw TransportError(CURLE_OUT_OF_MEMORY, 0, requested, "could not start a transfer");

  Transfer transfer;
  transfer.limit = limit;
  transfer.admit = admit;
  char errorText[CURL_ERROR_SIZE] = {};

  using Lines = std::unique_ptr<curl_slist, ListDeleter>;
  auto append = [&](Lines& list, const std::string& line) {
    curl_slist* next = curl_slist_append(list.get(), line.c_str());
    if (!next) throw TransportError(CURLE_OUT_OF_MEMORY, 0, requested, "could not build the request");
    (void)list.release();
    list.reset(next);
  };
  Lines fields;
  for (const auto& [name, value] : request.headers) {
    // A line break in a field would smuggle further fields (or a second
    // request) onto the wire.
    if (name.empty() || name.find_first_of(":\r\n") != std::string::npos ||
        value.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos) {
      throw std::invalid_argument("invalid header field \"" + name + "\"");
    }
    // "Name;" is libcurl's way to send a field with an empty value.
    append(fields, value.empty() ? name + ";" : name + ": " + value);
  }
  if (!request.header("Expect")) append(fields, "Expect:");  // no 100-continue round trip

  CURL* h = easy.get();
  curl_easy_setopt(h, CURLOPT_URL, requested.c_str());
  curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(h, CURLOPT_SHARE, static_cast<CURLSH*>(session->shareHandle()));
  curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  // Followed by hand: a keyed request one origin-checked hop at a time; a
  // public-only one so that each hop's route, direct or through a proxy,
  // is chosen and checked before it is asked for.
  const bool keyed = carriesCredentials(request);
  const bool byHand = keyed || publicAddressesOnly;
  curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, byHand ? 0L : 1L);
  curl_easy_setopt(h, CURLOPT_NOPROXY, "");  // the proxy set per hop below is final
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
  std::string proxy;   // likewise
  Lines route;  // this hop's CONNECT_TO
  std::string gatewayDomain;  // while every hop so far went by name to a gateway's domain
  for (long hop = 0;; ++hop) {
    const auto chosen = proxies::forURL(at);
    proxy = chosen.value_or("");  // "": no proxy, whatever the environment says
    curl_easy_setopt(h, CURLOPT_PROXY, proxy.c_str());
    transfer.viaProxy = chosen.has_value();
    curl_easy_setopt(h, CURLOPT_CONNECT_TO, nullptr);
    route.reset();
    // Only the hop our own code named, and a gateway's redirects within its
    // own domain: a service's other redirects are not ours.
    const std::string host = text::lowercased(at.host());
    const bool withinGateway = !gatewayDomain.empty() && (host == gatewayDomain || host.ends_with("." + gatewayDomain));
    const bool byName = publicAddressesOnly && chosen && ownServices &&
                        (hop == 0 ? isOwnServiceHost(host) : withinGateway);
    if (hop == 0 && byName && isGatewayHost(host)) {
      gatewayDomain = host;
    } else if (!byName) {
      gatewayDomain.clear();
    }
    curl_easy_setopt(h, CURLOPT_HTTPPROXYTUNNEL, byName ? 1L : 0L);
    if (publicAddressesOnly && chosen && !byName) {
      // The proxy tunnels to the checked address, plain http too: a request
      // in absolute form naming the address would reach the server under
      // the address, as a proxy takes the Host from the URL. The TLS name
      // and certificate stay the host's.
      const std::string address = checkedBehindProxy(at, request.timeout, stop, requested);
      append(route, "::" + address + ":" + std::to_string(portOfURL(at)));
      curl_easy_setopt(h, CURLOPT_CONNECT_TO, route.get());
    }
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
      if (transfer.refused) {
        throw TavoluneError::decoding(request.url.host() + ": answer stopped after " +
                                      std::to_string(transfer.body.size()) + " bytes");
      }
      if (!transfer.refusedAddress.empty()) throw TransportError::localAddress(requested, transfer.refusedAddress);
      long osError = 0;
      curl_easy_getinfo(h, CURLINFO_OS_ERRNO, &osError);
      std::string detail = errorText[0] ? std::string(errorText) : std::string(curl_easy_strerror(code));
      throw TransportError(code, osError, requested, detail);
    }
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
    if (!byHand || status < 300 || status > 399 || hop >= maxRedirects) break;
    char* location = nullptr;
    curl_easy_getinfo(h, CURLINFO_REDIRECT_URL, &location);
    auto next = location ? Url::parse(location) : std::nullopt;
    if (!next || (keyed && !sameOrigin(at, *next))) break;  // the 3xx answer stands
    at = *next;
    hopURL = at.string();
    curl_easy_setopt(h, CURLOPT_URL, hopURL.c_str());
    // As libcurl's own following does.
    const bool toGET = (status == 303 && request.method != "HEAD") ||
                       ((status == 301 || status == 302) && request.method == "POST");
    if (toGET) curl_easy_setopt(h, CURLOPT_HTTPGET, 1L);
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
