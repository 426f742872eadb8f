#pragma once

#include "core/base/Clock.hpp"
#include "core/base/Json.hpp"
#include "core/base/Url.hpp"
#include "core/network/HTTPMessage.hpp"
#include "core/network/JSONCoding.hpp"
#include "core/base/TavoluneError.hpp"
#include "core/base/TransportError.hpp"
#include "core/network/URLSession.hpp"

#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>

namespace tavolune {

// Every request of the core goes through this small value. Calls block;
// run them off the UI thread. Each call takes a std::stop_token: a stop
// request ends a running transfer or a 429 wait at once with
// CancellationError. Transport failures are thrown as TransportError; an
// HTTP status outside 200-299 as TavoluneError::http with the URL that was
// asked for (not one reached through redirects).
class HTTPClient {
 public:
  // Header fields by name, as callers pass them to get and getJSON.
  using HeaderFields = std::map<std::string, std::string>;

  static constexpr std::string_view defaultUserAgent = "Tavolune/1.0 (+https://github.com/tavolune/tavolune)";
  static constexpr std::size_t defaultMaxJSONBytes = std::size_t{64} << 20;
  static constexpr double maxRetryWait = 10;

  HTTPClient() : HTTPClient(URLSession::shared()) {}
  explicit HTTPClient(std::shared_ptr<URLSession> session)
      : session(session ? std::move(session) : URLSession::shared()) {}

  std::shared_ptr<URLSession> session;
  std::string userAgent{defaultUserAgent};
  // Waits out the pause between 429 answers; tests swap in a recording one.
  Clock clock;
  // A JSON answer larger than this fails as a decoding error.
  std::size_t maxJSONBytes = defaultMaxJSONBytes;
  // For URLs that outside data steers (token metadata and media, and the
  // gateways that serve them): every connection, at every redirect and
  // when reused, must reach a public address; anything else fails as a
  // TransportError of the localAddress group before a byte is sent.
  // Through a configured proxy the connection to the proxy is allowed, and
  // each hop's host is resolved here (within the request's time-out, ended
  // by a stop request) and checked before it is asked for; the proxy is
  // given the checked address, never the name to resolve again (but see
  // ownServices).
  bool publicAddressesOnly = false;
  // Every request of this client names one of the program's own services
  // by its constant, never a URL that token data gave. With
  // publicAddressesOnly behind a proxy, its first hop to a host of those
  // constants (isOwnServiceHost) goes to the proxy by name, as a tunnel,
  // with no look-up here: there this computer may resolve nothing itself.
  // So do a gateway's redirects to names inside its own domain (dweb.link
  // to <cid>.ipfs.dweb.link), while every hop before was by name. Every
  // other redirect hop is token data's to name and checked as above;
  // without a proxy nothing changes.
  bool ownServices = false;

  // Tests and benchmarks serve outside data from servers of their own on
  // this machine: a server named here (numeric address and port) is let
  // through publicAddressesOnly all the same; nothing else local is.
  // Process-wide; the process also takes a comma-separated list
  // ("127.0.0.1:8080,[::1]:9000") from this variable at start.
  static constexpr const char* allowedServersVariable = "TAVOLUNE_ALLOW_LOCAL_SERVERS";
  static void allowLocalServer(std::string_view address, int port);
  static void forgetLocalServer(std::string_view address, int port);

  // Whether the host (any case) is that of a service or gateway constant
  // of Hosts.hpp, or a test's stand-in; and whether it is a gateway's.
  static bool isOwnServiceHost(std::string_view host);
  static bool isGatewayHost(std::string_view host);
  // Tests stand a name of their own, one no resolver knows, in for a
  // service or gateway host. Process-wide.
  static void standInForOwnService(std::string_view host, bool gateway = false);
  static void forgetStandIn(std::string_view host);

  // One request exactly as given, plus a User-Agent when it has none. No
  // status check, no retry. A request that carries a credential field
  // ("X-API-KEY", "Authorization", "Cookie") follows redirects only within
  // its own scheme, host and port: any other redirect is returned as the
  // 3xx answer it is, and the field never leaves for another host. A
  // header field holding a line break throws std::invalid_argument before
  // anything is sent. The proxy of the environment (see Proxies.hpp) is
  // chosen again for every hop.
  HTTPResult data(HTTPRequest request, std::stop_token stop = {}) const;
  // As above; a body larger than maxBodyBytes ends the transfer and throws
  // TavoluneError::decoding("<host>: answer larger than ...").
  HTTPResult data(HTTPRequest request, std::stop_token stop, std::size_t maxBodyBytes) const;
  // As above; admit is asked with the size of each piece of the body before
  // it is kept (redirect bodies too): false ends the transfer and throws
  // TavoluneError::decoding("<host>: answer stopped after <n> bytes").
  HTTPResult data(HTTPRequest request, std::stop_token stop, std::size_t maxBodyBytes,
                  const std::function<bool(std::size_t)>& admit) const;

  // The body of a 2xx answer to a GET. An answer of 429 is tried again up
  // to three times, after the wait that retryDelay gives.
  std::string get(const Url& url, const HeaderFields& headers = {}, double timeout = 30,
                  std::stop_token stop = {}) const;

  // get() with "Accept: application/json" (unless the caller set "Accept"),
  // decoded as T; an undecodable answer throws
  // TavoluneError::decoding("<host>: <why>").
  template <class T>
  T getJSON(const Url& url, HeaderFields headers = {}, double timeout = 30, std::stop_token stop = {}) const {
    if (!headers.contains("Accept")) headers.emplace("Accept", "application/json");
    std::string body = getBody(url, headers, timeout, stop, maxJSONBytes);
    return decodeAnswer<T>(body, url);
  }
  // As above; admit is asked with each piece of every answer's body, as
  // data() asks it.
  template <class T>
  T getJSON(const Url& url, HeaderFields headers, double timeout, std::stop_token stop,
            const std::function<bool(std::size_t)>& admit) const {
    if (!headers.contains("Accept")) headers.emplace("Accept", "application/json");
    std::string body = getBody(url, headers, timeout, stop, maxJSONBytes, admit ? &admit : nullptr);
    return decodeAnswer<T>(body, url);
  }

  // One POST of body as JSON; never retried, 429 included. An encoding
  // failure is thrown unchanged and nothing is sent.
  template <class T, class Body>
  T postJSON(const Url& url, const Body& body, double timeout = 30, std::stop_token stop = {}) const {
    std::string encoded = jsoncoding::encode(body);
    std::string answer = postBody(url, std::move(encoded), timeout, stop);
    return decodeAnswer<T>(answer, url);
  }

  // The wait before the next try after the 429 answer of the given attempt
  // (0, 1, 2): the Retry-After seconds when they read as a number of zero
  // or more, else 2^attempt; at most 10 seconds either way.
  static double retryDelay(const std::optional<std::string>& retryAfter, int attempt);

 private:
  std::string getBody(const Url& url, const HeaderFields& headers, double timeout, std::stop_token stop,
                      std::size_t limit, const std::function<bool(std::size_t)>* admit = nullptr) const;
  std::string postBody(const Url& url, std::string body, double timeout, std::stop_token stop) const;
  HTTPResult send(HTTPRequest request, std::stop_token stop, std::size_t limit,
                  const std::function<bool(std::size_t)>* admit = nullptr) const;

  template <class T>
  static T decodeAnswer(std::string_view body, const Url& url) {
    try {
      return jsoncoding::decode<T>(body);
    } catch (const json::DecodeError& e) {
      throw TavoluneError::decoding(url.host() + ": " + e.what());
    }
  }
};

}  // namespace tavolune
