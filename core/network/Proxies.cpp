#include "core/network/Proxies.hpp"

#include "core/network/IPAddress.hpp"
#include "core/text/Text.hpp"

#include <netinet/in.h>

#include <cstdlib>
#include <cstring>

namespace tavolune::proxies {
namespace {

const char* setAndNotEmpty(const char* value) { return value && *value ? value : nullptr; }

const char* firstOf(const Environment& environment, std::initializer_list<const char*> names) {
  for (const char* name : names) {
    if (const char* value = setAndNotEmpty(environment(name))) return value;
  }
  return nullptr;
}

// The address bytes of a parsed address, for prefix comparison.
std::string_view addressBytes(const sockaddr_storage& address) {
  if (address.ss_family == AF_INET) {
    const auto& in = reinterpret_cast<const sockaddr_in&>(address).sin_addr;
    return {reinterpret_cast<const char*>(&in), sizeof in};
  }
  const auto& in6 = reinterpret_cast<const sockaddr_in6&>(address).sin6_addr;
  return {reinterpret_cast<const char*>(&in6), sizeof in6};
}

bool inPrefix(const sockaddr_storage& host, std::string_view entry) {
  int bits = -1;
  if (auto slash = entry.find('/'); slash != std::string_view::npos) {
    bits = std::atoi(std::string(entry.substr(slash + 1)).c_str());
    entry = entry.substr(0, slash);
  }
  auto network = ip::parse(entry);
  if (!network || network->ss_family != host.ss_family) return false;
  const std::string_view a = addressBytes(host), b = addressBytes(*network);
  const int total = static_cast<int>(a.size()) * 8;
  if (bits <= 0 || bits > total) bits = total;
  for (int i = 0; i < bits; ++i) {
    const int mask = 0x80 >> (i % 8);
    if ((a[static_cast<std::size_t>(i / 8)] & mask) != (b[static_cast<std::size_t>(i / 8)] & mask)) return false;
  }
  return true;
}

}  // namespace

bool exempts(std::string_view noProxy, std::string_view host) {
  const std::string whole = text::trimWhitespaceAndNewlines(noProxy);
  if (whole.empty()) return false;
  if (whole == "*") return true;
  host = ip::withoutBrackets(host);
  if (host.ends_with('.')) host.remove_suffix(1);
  const auto address = ip::parse(host);
  const std::string name = text::lowercased(host);
  std::size_t at = 0;
  while (at < noProxy.size()) {
    const std::size_t end = noProxy.find_first_of(", \t", at);
    std::string_view entry = noProxy.substr(at, end == std::string_view::npos ? std::string_view::npos : end - at);
    at = end == std::string_view::npos ? noProxy.size() : end + 1;
    if (entry.empty()) continue;
    if (address) {
      if (inPrefix(*address, ip::withoutBrackets(entry))) return true;
      continue;
    }
    if (entry.starts_with('.')) entry.remove_prefix(1);
    if (entry.ends_with('.')) entry.remove_suffix(1);
    const std::string suffix = text::lowercased(entry);
    if (suffix.empty()) continue;
    if (name == suffix || (name.ends_with(suffix) && name[name.size() - suffix.size() - 1] == '.')) return true;
  }
  return false;
}

std::optional<std::string> forURL(const Url& url, const Environment& environment) {
  const std::string scheme = url.scheme();
  // Like libcurl, no upper-case HTTP_PROXY: a CGI-style environment sets
  // that from a request's "Proxy" field.
  const char* proxy = scheme == "http"    ? firstOf(environment, {"http_proxy"})
                      : scheme == "https" ? firstOf(environment, {"https_proxy", "HTTPS_PROXY"})
                                          : nullptr;
  if (!proxy) proxy = firstOf(environment, {"all_proxy", "ALL_PROXY"});
  if (!proxy) return std::nullopt;
  if (const char* noProxy = firstOf(environment, {"no_proxy", "NO_PROXY"}); noProxy && exempts(noProxy, url.host())) {
    return std::nullopt;
  }
  return std::string(proxy);
}

std::optional<std::string> forURL(const Url& url) {
  return forURL(url, [](const char* name) -> const char* { return std::getenv(name); });
}

}  // namespace tavolune::proxies
