#include "core/base/TransportError.hpp"

#include <curl/curl.h>

#include <cerrno>

namespace tavolune {

TransportError::TransportError(int code, long osError, std::string url, const std::string& detail)
    : std::runtime_error(detail + " (" + url + ")"),
      code_(code),
      osError_(osError),
      url_(std::move(url)),
      group_(groupOf(code, osError)) {}

TransportError TransportError::localAddress(std::string url, const std::string& address) {
  TransportError error(CURLE_COULDNT_CONNECT, 0, std::move(url), "refused to connect to the local address " + address);
  error.group_ = Group::localAddress;
  return error;
}

TransportError::Group TransportError::groupOf(int curlCode, long osError) {
  switch (static_cast<CURLcode>(curlCode)) {
    case CURLE_OPERATION_TIMEDOUT:
      return Group::timedOut;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
      return Group::unreachable;
    case CURLE_COULDNT_CONNECT:
      // No route at all means the machine is offline, not that the host is.
      if (osError == ENETUNREACH || osError == ENETDOWN) return Group::noConnection;
      return Group::unreachable;
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_PARTIAL_FILE:
      return Group::noConnection;
    default:
      return Group::other;
  }
}

}  // namespace tavolune
