#include "core/network/Proxies.hpp"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace tavolune {
namespace {

TEST(Proxies, TheEnvironmentChoosesAsLibcurlDoes) {
  const struct {
    const char* name;
    std::map<std::string, std::string> environment;
    const char* url;
    std::optional<std::string> proxy;
  } rows[] = {
      {"http takes http_proxy", {{"http_proxy", "p:1"}, {"all_proxy", "a:1"}}, "http://h/", "p:1"},
      {"never upper-case HTTP_PROXY", {{"HTTP_PROXY", "p:1"}}, "http://h/", std::nullopt},
      {"https takes HTTPS_PROXY", {{"HTTPS_PROXY", "s:1"}}, "https://h/", "s:1"},
      {"else ALL_PROXY", {{"ALL_PROXY", "a:1"}}, "https://h/", "a:1"},
      {"an empty one is none", {{"http_proxy", ""}, {"all_proxy", "a:1"}}, "http://h/", "a:1"},
      {"no_proxy names a domain", {{"all_proxy", "a:1"}, {"no_proxy", ".example.org"}}, "http://img.Example.org/",
       std::nullopt},
      {"not a longer name", {{"all_proxy", "a:1"}, {"no_proxy", "ample.org"}}, "http://example.org/", "a:1"},
      {"NO_PROXY takes a prefix", {{"all_proxy", "a:1"}, {"NO_PROXY", "x, 10.0.0.0/8"}}, "http://10.2.3.4/",
       std::nullopt},
      {"outside the prefix", {{"all_proxy", "a:1"}, {"NO_PROXY", "10.0.0.0/8"}}, "http://11.0.0.1/", "a:1"},
      {"an IPv6 host", {{"all_proxy", "a:1"}, {"no_proxy", "::1"}}, "http://[::1]:8/", std::nullopt},
      {"a star for all", {{"all_proxy", "a:1"}, {"no_proxy", "*"}}, "http://h/", std::nullopt},
  };
  for (const auto& row : rows) {
    auto lookUp = [&](const char* name) -> const char* {
      auto it = row.environment.find(name);
      return it == row.environment.end() ? nullptr : it->second.c_str();
    };
    EXPECT_EQ(proxies::forURL(*Url::parse(row.url), lookUp), row.proxy) << row.name;
  }
}

}  // namespace
}  // namespace tavolune
