#pragma once

#include "core/base/Url.hpp"

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tavolune {

// Header fields in the order they were set or received.
using HTTPHeaders = std::vector<std::pair<std::string, std::string>>;

// The value of the first field named name, compared without regard to case.
std::optional<std::string> headerValue(const HTTPHeaders& headers, std::string_view name);

struct HTTPRequest {
  std::string method = "GET";
  Url url{};
  HTTPHeaders headers{};
  std::string body{};
  double timeout = 60;  // seconds, for the whole exchange

  std::optional<std::string> header(std::string_view name) const { return headerValue(headers, name); }
  // Replaces every field of that name (any case) by one field.
  void setHeader(std::string name, std::string value);
};

struct HTTPResponse {
  int status = 0;
  HTTPHeaders headers{};  // of the last answer when redirects were followed

  std::optional<std::string> header(std::string_view name) const { return headerValue(headers, name); }
  bool isSuccess() const { return status >= 200 && status <= 299; }
};

struct HTTPResult {
  std::string body;
  HTTPResponse response;
};

}  // namespace tavolune
