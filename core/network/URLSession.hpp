#pragma once

#include <memory>
#include <mutex>

namespace tavolune {

// The connection cache behind HTTPClient: one libcurl share handle whose
// connections, DNS answers and TLS sessions are reused by requests from any
// thread, so keep-alive works across the whole process.
class URLSession {
 public:
  URLSession();
  ~URLSession();
  URLSession(const URLSession&) = delete;
  URLSession& operator=(const URLSession&) = delete;

  // The process-wide session every default client is built on.
  static std::shared_ptr<URLSession> shared();

  // The CURLSH* handle, for HTTPClient.
  void* shareHandle() const { return share_; }

  // Idle connections kept per session.
  static constexpr long maxConnections = 64;

  // Called by libcurl around every use of a shared structure.
  void lockData(int data) { locks_[data].lock(); }
  void unlockData(int data) { locks_[data].unlock(); }

 private:

  void* share_ = nullptr;
  std::mutex locks_[16];
};

}  // namespace tavolune
