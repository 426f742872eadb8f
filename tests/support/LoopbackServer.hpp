#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace httplib {
class Server;
}

namespace tavolune::testsupport {

// One request as the server saw it.
struct RecordedRequest {
  std::string method;
  std::string path;   // decoded, without the query
  std::string query;  // the raw query text after "?", as sent
  std::vector<std::pair<std::string, std::string>> headers;
  std::map<std::string, std::string> params;  // decoded query items (first of each name)
  std::string body;
  int remotePort = 0;

  // The first field of that name, compared without regard to case.
  std::optional<std::string> header(std::string_view name) const;
  std::optional<std::string> param(const std::string& name) const;
};

// A canned answer.
struct CannedResponse {
  int status = 200;
  std::string body{};
  std::string contentType = "application/json";
  std::vector<std::pair<std::string, std::string>> headers{};
  // Wait before answering at all.
  std::chrono::milliseconds delay{0};
  // When set, the body goes out in pieces of chunkSize bytes with this
  // pause between them (chunked transfer encoding).
  std::chrono::milliseconds chunkDelay{0};
  std::size_t chunkSize = 16;
  // With chunks: called before each one after the first, with the bytes
  // sent so far; a test may hold the answer there.
  std::function<void(std::size_t)> beforeChunk{};

  static CannedResponse json(std::string body, int status = 200) { return {.status = status, .body = std::move(body)}; }
  static CannedResponse text(std::string body, int status = 200) {
    return {.status = status, .body = std::move(body), .contentType = "text/plain"};
  }
  static CannedResponse empty(int status) { return {.status = status, .contentType = ""}; }
  static CannedResponse redirect(std::string location, int status = 302) {
    return {.status = status, .contentType = "", .headers = {{"Location", std::move(location)}}};
  }
  CannedResponse&& withHeader(std::string name, std::string value) && {
    headers.emplace_back(std::move(name), std::move(value));
    return std::move(*this);
  }
  CannedResponse&& after(std::chrono::milliseconds wait) && {
    delay = wait;
    return std::move(*this);
  }
};

// A real HTTP/1.1 server on 127.0.0.1 and a free port, for tests and
// benchmarks. Routes are exact method + path pairs; a path without a route
// answers 404. Every request is recorded, and every TCP connection the
// server accepts is counted. Delays end early when the server stops.
// By default it stands in for an outside host: public-only requests may
// reach it (HTTPClient::allowLocalServer names its address and port), and
// no other local port. A Role::localService server stands for a service of
// this machine, which they must never reach.
//
//   LoopbackServer server;
//   server.on("GET", "/v2/items", CannedResponse::json(R"({"items":[]})"));
//   auto url = server.url("/v2/items?limit=50");
class LoopbackServer {
 public:
  using Handler = std::function<CannedResponse(const RecordedRequest&)>;

  // A certificate and its private key (PEM files), for a server that
  // speaks TLS; clients must trust the certificate.
  struct Tls {
    std::string certificateFile;
    std::string keyFile;
    // tests/support/tls: a self-signed certificate for 127.0.0.1 and
    // localhost, valid 2000-2100, to trust through SSL_CERT_FILE.
    static Tls loopback();
  };

  enum class Role { outsideHost, localService };

  explicit LoopbackServer(std::size_t workerThreads = 16);
  explicit LoopbackServer(Role role);
  explicit LoopbackServer(const Tls& tls, std::size_t workerThreads = 16);
  ~LoopbackServer();
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  int port() const { return port_; }
  // "http://127.0.0.1:<port>" ("https://" with TLS)
  std::string baseURL() const;
  // baseURL() + pathAndQuery ("/a?b=c").
  std::string url(std::string_view pathAndQuery) const;

  // The same answer every time.
  void on(std::string method, std::string path, CannedResponse response);
  // Answers in turn; the last one repeats once the list is used up.
  void onSequence(std::string method, std::string path, std::vector<CannedResponse> responses);
  // An answer computed per request (called on a server thread).
  void onRequest(std::string method, std::string path, Handler handler);
  // The answer to any request without a route of its own (instead of 404),
  // a proxy's CONNECT included (its path is the target "host:port"). After
  // a 2xx answer to CONNECT the client's next request arrives here as well.
  void otherwise(Handler handler);
  // Shorthands for GET / POST answering JSON.
  void get(std::string path, std::string json, int status = 200) {
    on("GET", std::move(path), CannedResponse::json(std::move(json), status));
  }
  void post(std::string path, std::string json, int status = 200) {
    on("POST", std::move(path), CannedResponse::json(std::move(json), status));
  }
  // Extra wait before every answer.
  void setLatency(std::chrono::milliseconds latency) { latency_ = latency; }

  std::vector<RecordedRequest> requests() const;
  std::vector<RecordedRequest> requests(std::string_view method, std::string_view path) const;
  std::size_t requestCount() const;
  std::optional<RecordedRequest> lastRequest() const;
  // TCP connections accepted since start (or the last reset()).
  std::size_t connectionsAccepted() const { return connections_->load(); }
  // Forgets recorded requests and the connection count; routes stay.
  void resetRecords();

  // Waits up to `within` until n requests have arrived.
  bool waitForRequests(std::size_t n, std::chrono::milliseconds within = std::chrono::seconds(5)) const;

 private:
  struct Route {
    std::vector<CannedResponse> sequence;
    std::size_t next = 0;
    Handler handler;
  };

  LoopbackServer(std::unique_ptr<httplib::Server> server, std::size_t workerThreads, Role role);
  CannedResponse answer(const RecordedRequest& request);
  bool pause(std::chrono::milliseconds wait);

  std::unique_ptr<httplib::Server> server_;
  std::thread thread_;
  int port_ = 0;
  bool secure_ = false;
  Role role_ = Role::outsideHost;
  std::shared_ptr<std::atomic<std::size_t>> connections_;
  std::atomic<std::chrono::milliseconds> latency_{std::chrono::milliseconds(0)};

  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  bool stopping_ = false;
  std::map<std::pair<std::string, std::string>, Route> routes_;
  Handler fallback_;
  std::vector<RecordedRequest> recorded_;
};

}  // namespace tavolune::testsupport
