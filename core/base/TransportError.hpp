#pragma once

#include <stdexcept>
#include <string>

namespace tavolune {

// A failure of the transport itself (no HTTP answer at all), thrown
// unchanged by HTTPClient. `code` is libcurl's CURLcode and `osError` the
// errno of the failed socket call, when there was one.
class TransportError : public std::runtime_error {
 public:
  enum class Group {
    noConnection,  // no network, connection lost
    timedOut,      // the request's time-out passed
    unreachable,   // host not found, connection refused, name look-up failed
    localAddress,  // refused: outside data led to this machine or its network
    other,
  };

  TransportError(int code, long osError, std::string url, const std::string& detail);
  // A request refused before it was sent because it would reach `address`.
  static TransportError localAddress(std::string url, const std::string& address);

  int code() const { return code_; }
  long osError() const { return osError_; }
  // The URL that was asked for, not one reached through redirects.
  const std::string& url() const { return url_; }
  Group group() const { return group_; }

  static Group groupOf(int curlCode, long osError);

 private:
  int code_;
  long osError_;
  std::string url_;
  Group group_;
};

}  // namespace tavolune
