#include "core/network/HTTPMessage.hpp"

#include <algorithm>

namespace tavolune {
namespace {

bool sameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
           return lower(x) == lower(y);
         });
}

}  // namespace

std::optional<std::string> headerValue(const HTTPHeaders& headers, std::string_view name) {
  for (const auto& [k, v] : headers) {
    if (sameName(k, name)) return v;
  }
  return std::nullopt;
}

void HTTPRequest::setHeader(std::string name, std::string value) {
  std::erase_if(headers, [&](const auto& field) { return sameName(field.first, name); });
  headers.emplace_back(std::move(name), std::move(value));
}

}  // namespace tavolune
