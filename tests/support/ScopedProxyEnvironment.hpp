#pragma once
// Sets the proxy variables of the environment for one test and puts the old
// values back; every proxy variable not given is unset meanwhile. And a
// test's name standing in for a service host while it lives.

#include "core/network/HTTPClient.hpp"

#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tavolune::testsupport {

class ScopedProxyEnvironment {
 public:
  explicit ScopedProxyEnvironment(std::vector<std::pair<std::string, std::string>> values) {
    for (const char* name : {"http_proxy", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY", "no_proxy",
                             "NO_PROXY"}) {
      const char* old = std::getenv(name);
      saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
      ::unsetenv(name);
    }
    for (const auto& [name, value] : values) ::setenv(name.c_str(), value.c_str(), 1);
  }
  ~ScopedProxyEnvironment() {
    for (const auto& [name, value] : saved_) {
      if (value) {
        ::setenv(name.c_str(), value->c_str(), 1);
      } else {
        ::unsetenv(name.c_str());
      }
    }
  }
  ScopedProxyEnvironment(const ScopedProxyEnvironment&) = delete;
  ScopedProxyEnvironment& operator=(const ScopedProxyEnvironment&) = delete;

 private:
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

class OwnServiceStandIn {
 public:
  explicit OwnServiceStandIn(std::string host, bool gateway = false) : host_(std::move(host)) {
    HTTPClient::standInForOwnService(host_, gateway);
  }
  ~OwnServiceStandIn() { HTTPClient::forgetStandIn(host_); }
  OwnServiceStandIn(const OwnServiceStandIn&) = delete;
  OwnServiceStandIn& operator=(const OwnServiceStandIn&) = delete;

 private:
  std::string host_;
};

}  // namespace tavolune::testsupport
