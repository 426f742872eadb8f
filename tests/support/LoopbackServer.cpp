#include "tests/support/LoopbackServer.hpp"

#include "core/network/HTTPClient.hpp"

#include <httplib.h>

#include <algorithm>
#include <stdexcept>

namespace tavolune::testsupport {
namespace {

bool sameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

// httplib hands every accepted connection to its task queue as one task:
// counting the tasks counts the TCP connections.
class CountingQueue : public httplib::TaskQueue {
 public:
  CountingQueue(std::size_t threads, std::shared_ptr<std::atomic<std::size_t>> count)
      : pool_(threads), count_(std::move(count)) {}
  void enqueue(std::function<void()> fn) override {
    count_->fetch_add(1);
    pool_.enqueue(std::move(fn));
  }
  void shutdown() override { pool_.shutdown(); }

 private:
  httplib::ThreadPool pool_;
  std::shared_ptr<std::atomic<std::size_t>> count_;
};

}  // namespace

std::optional<std::string> RecordedRequest::header(std::string_view name) const {
  for (const auto& [k, v] : headers) {
    if (sameName(k, name)) return v;
  }
  return std::nullopt;
}

std::optional<std::string> RecordedRequest::param(const std::string& name) const {
  auto it = params.find(name);
  if (it == params.end()) return std::nullopt;
  return it->second;
}

LoopbackServer::Tls LoopbackServer::Tls::loopback() {
  const std::string folder = TAVOLUNE_LOOPBACK_TLS_DIR;
  return {folder + "/cert.pem", folder + "/key.pem"};
}

LoopbackServer::LoopbackServer(std::size_t workerThreads)
    : LoopbackServer(std::make_unique<httplib::Server>(), workerThreads, Role::outsideHost) {}

LoopbackServer::LoopbackServer(Role role) : LoopbackServer(std::make_unique<httplib::Server>(), 16, role) {}

LoopbackServer::LoopbackServer(const Tls& tls, std::size_t workerThreads)
    : LoopbackServer(std::make_unique<httplib::SSLServer>(tls.certificateFile.c_str(), tls.keyFile.c_str()),
                     workerThreads, Role::outsideHost) {
  secure_ = true;
}

LoopbackServer::LoopbackServer(std::unique_ptr<httplib::Server> server, std::size_t workerThreads, Role role)
    : server_(std::move(server)), role_(role), connections_(std::make_shared<std::atomic<std::size_t>>(0)) {
  if (!server_->is_valid()) throw std::runtime_error("loopback server: unusable certificate or key");
  auto count = connections_;
  server_->new_task_queue = [workerThreads, count] { return new CountingQueue(workerThreads, count); };
  // Keep connections open as long as a client wants them, so tests can see
  // reuse; short poll intervals let stop() finish quickly.
  server_->set_tcp_nodelay(true);
  server_->set_keep_alive_max_count(1000000);
  server_->set_keep_alive_timeout(2);
  server_->set_read_timeout(5);
  server_->set_write_timeout(5);

  auto handle = [this](const httplib::Request& req, httplib::Response& res) {
    RecordedRequest r;
    r.method = req.method;
    r.path = req.path;
    if (auto q = req.target.find('?'); q != std::string::npos) r.query = req.target.substr(q + 1);
    for (const auto& [k, v] : req.headers) r.headers.emplace_back(k, v);
    for (const auto& [k, v] : req.params) r.params.emplace(k, v);
    r.body = req.body;
    r.remotePort = req.remote_port;

    CannedResponse answer = this->answer(r);
    if (!pause(latency_.load() + answer.delay)) {
      res.status = 503;
      return;
    }
    res.status = answer.status;
    for (const auto& [k, v] : answer.headers) res.set_header(k, v);
    if (answer.chunkDelay.count() > 0 && !answer.body.empty()) {
      auto body = std::make_shared<std::string>(std::move(answer.body));
      auto chunkDelay = answer.chunkDelay;
      std::size_t chunk = std::max<std::size_t>(answer.chunkSize, 1);
      res.set_chunked_content_provider(answer.contentType.empty() ? "application/octet-stream" : answer.contentType,
                                       [this, body, chunkDelay, chunk, before = answer.beforeChunk](
                                           std::size_t offset, httplib::DataSink& sink) {
                                         if (offset >= body->size()) {
                                           sink.done();
                                           return true;
                                         }
                                         if (offset > 0 && before) before(offset);
                                         if (offset > 0 && !pause(chunkDelay)) return false;
                                         std::size_t n = std::min(chunk, body->size() - offset);
                                         return sink.write(body->data() + offset, n);
                                       });
    } else if (!answer.body.empty() || !answer.contentType.empty()) {
      res.set_content(answer.body, answer.contentType.empty() ? "application/octet-stream" : answer.contentType);
    }
  };
  const char* any = ".*";
  server_->Get(any, handle);
  server_->Post(any, handle);
  server_->Put(any, handle);
  server_->Patch(any, handle);
  server_->Delete(any, handle);
  server_->Options(any, handle);
  // A proxy's tunnel requests, recorded with the address they name as path.
  server_->set_pre_routing_handler([handle](const httplib::Request& req, httplib::Response& res) {
    if (req.method != "CONNECT") return httplib::Server::HandlerResponse::Unhandled;
    handle(req, res);
    return httplib::Server::HandlerResponse::Handled;
  });

  port_ = server_->bind_to_any_port("127.0.0.1");
  if (port_ <= 0) throw std::runtime_error("loopback server: no free port");
  thread_ = std::thread([this] { server_->listen_after_bind(); });
  while (!server_->is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  if (role_ == Role::outsideHost) HTTPClient::allowLocalServer("127.0.0.1", port_);
}

LoopbackServer::~LoopbackServer() {
  if (role_ == Role::outsideHost) HTTPClient::forgetLocalServer("127.0.0.1", port_);
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  server_->stop();
  if (thread_.joinable()) thread_.join();
}

std::string LoopbackServer::baseURL() const {
  return (secure_ ? "https://127.0.0.1:" : "http://127.0.0.1:") + std::to_string(port_);
}

std::string LoopbackServer::url(std::string_view pathAndQuery) const { return baseURL() + std::string(pathAndQuery); }

void LoopbackServer::on(std::string method, std::string path, CannedResponse response) {
  onSequence(std::move(method), std::move(path), {std::move(response)});
}

void LoopbackServer::onSequence(std::string method, std::string path, std::vector<CannedResponse> responses) {
  std::lock_guard lock(mutex_);
  routes_[{std::move(method), std::move(path)}] = Route{std::move(responses), 0, nullptr};
}

void LoopbackServer::onRequest(std::string method, std::string path, Handler handler) {
  std::lock_guard lock(mutex_);
  routes_[{std::move(method), std::move(path)}] = Route{{}, 0, std::move(handler)};
}

void LoopbackServer::otherwise(Handler handler) {
  std::lock_guard lock(mutex_);
  fallback_ = std::move(handler);
}

CannedResponse LoopbackServer::answer(const RecordedRequest& request) {
  Handler handler;
  CannedResponse canned = CannedResponse::json(R"({"error":"no canned response"})", 404);
  {
    std::lock_guard lock(mutex_);
    recorded_.push_back(request);
    // HEAD is answered like GET.
    std::string method = request.method == "HEAD" ? "GET" : request.method;
    auto it = routes_.find({method, request.path});
    if (it != routes_.end()) {
      Route& route = it->second;
      if (route.handler) {
        handler = route.handler;
      } else if (!route.sequence.empty()) {
        canned = route.sequence[std::min(route.next, route.sequence.size() - 1)];
        ++route.next;
      }
    } else if (fallback_) {
      handler = fallback_;
    }
  }
  changed_.notify_all();
  return handler ? handler(request) : canned;
}

bool LoopbackServer::pause(std::chrono::milliseconds wait) {
  if (wait.count() <= 0) return true;
  std::unique_lock lock(mutex_);
  return !changed_.wait_for(lock, wait, [this] { return stopping_; });
}

std::vector<RecordedRequest> LoopbackServer::requests() const {
  std::lock_guard lock(mutex_);
  return recorded_;
}

std::vector<RecordedRequest> LoopbackServer::requests(std::string_view method, std::string_view path) const {
  std::lock_guard lock(mutex_);
  std::vector<RecordedRequest> out;
  for (const auto& r : recorded_) {
    if (r.method == method && r.path == path) out.push_back(r);
  }
  return out;
}

std::size_t LoopbackServer::requestCount() const {
  std::lock_guard lock(mutex_);
  return recorded_.size();
}

std::optional<RecordedRequest> LoopbackServer::lastRequest() const {
  std::lock_guard lock(mutex_);
  if (recorded_.empty()) return std::nullopt;
  return recorded_.back();
}

void LoopbackServer::resetRecords() {
  std::lock_guard lock(mutex_);
  recorded_.clear();
  connections_->store(0);
}

bool LoopbackServer::waitForRequests(std::size_t n, std::chrono::milliseconds within) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, within, [&] { return recorded_.size() >= n; });
}

}  // namespace tavolune::testsupport
