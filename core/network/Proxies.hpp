#pragma once
// Which proxy a request takes, read from the environment the way libcurl
// reads it (http_proxy; https_proxy or HTTPS_PROXY; all_proxy or
// ALL_PROXY; no_proxy or NO_PROXY), so HTTPClient can hand libcurl its own
// choice and check what lies behind the proxy. Thread-safe as long as
// nothing changes the environment meanwhile.

#include "core/base/Url.hpp"

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace tavolune::proxies {

// A variable's value, or null when it is unset.
using Environment = std::function<const char*(const char*)>;

// The proxy for this URL, or nothing for a direct connection.
std::optional<std::string> forURL(const Url& url, const Environment& environment);
std::optional<std::string> forURL(const Url& url);

// Whether a no_proxy list ("*", or host names matching themselves and their
// subdomains, or IP addresses with an optional "/bits") exempts the host.
bool exempts(std::string_view noProxy, std::string_view host);

}  // namespace tavolune::proxies
