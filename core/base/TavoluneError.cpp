#include "core/base/TavoluneError.hpp"

#include "core/base/Url.hpp"
#include "core/base/TransportError.hpp"

#include <array>
#include <utility>

namespace tavolune {
namespace {

std::string describeHTTP(int status, const std::string& url) {
  auto parsed = Url::parse(url);
  std::string host = parsed && !parsed->host().empty() ? parsed->host() : url;
  return TavoluneError::describe(status, TavoluneError::serviceName(host));
}

}  // namespace

TavoluneError::TavoluneError(Kind kind, std::string text) : kind_(kind), text_(std::move(text)) {
  switch (kind_) {
    case Kind::invalidInput: description_ = "Unrecognized address: " + text_; break;
    case Kind::notFound: description_ = "Not found: " + text_; break;
    case Kind::decoding: description_ = "unexpected answer from the service"; break;
    case Kind::allProvidersFailed: description_ = "no service answered (" + text_ + ")"; break;
    case Kind::timeout: description_ = "the service took too long to answer"; break;
    case Kind::http: break;
  }
}

TavoluneError::TavoluneError(int status, std::string url)
    : kind_(Kind::http), status_(status), url_(std::move(url)), description_(describeHTTP(status_, url_)) {}

std::string TavoluneError::serviceName(std::string_view host) {
  static constexpr std::array<std::pair<std::string_view, std::string_view>, 6> table{{
      {"opensea", "OpenSea"},
      {"objkt", "objkt"},
      {"tzkt", "TzKT"},
      {"blockscout", "Blockscout"},
      {"satflow", "Satflow"},
      {"artblocks", "Art Blocks"},
  }};
  for (const auto& [key, name] : table) {
    if (host.find(key) != std::string_view::npos) return std::string(name);
  }
  return std::string(host);
}

std::string TavoluneError::describe(int status, std::string_view service) {
  std::string name(service);
  if (status == 401 || status == 403) return name + " refused the request";
  if (status == 404) return "not found on " + name;
  if (status == 429) return name + " is busy, Tavolune will try again later";
  if (status >= 500) return name + " is down for now";
  return name + " answered with an error (" + std::to_string(status) + ")";
}

std::string TavoluneError::plain(const std::exception& error) {
  if (const auto* transport = dynamic_cast<const TransportError*>(&error)) {
    switch (transport->group()) {
      case TransportError::Group::noConnection: return "no internet connection";
      case TransportError::Group::timedOut: return "the service took too long to answer";
      case TransportError::Group::unreachable: return "the service can't be reached";
      case TransportError::Group::localAddress: return "the address is on this computer or its local network";
      case TransportError::Group::other: return "network error";
    }
  }
  if (const auto* own = dynamic_cast<const TavoluneError*>(&error)) return own->errorDescription();
  return error.what();
}

std::string TavoluneError::plain(std::exception_ptr error) {
  if (!error) return "unknown error";
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    return plain(e);
  } catch (...) {
    return "unknown error";
  }
}

}  // namespace tavolune
