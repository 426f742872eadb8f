#include "core/network/URLMake.hpp"

namespace tavolune::url {

std::string encodeQueryComponent(std::string_view text) {
  // Sub-delimiters other than "&", "=" and "+" may stay, as may ":", "@",
  // "/" and "?" (RFC 3986 query characters).
  return percentEncode(text, "!$'()*,;:@/?");
}

std::optional<Url> make(std::string_view base, const QueryPairs& query) {
  auto url = Url::parse(base);
  if (!url) return std::nullopt;
  if (query.empty()) return url;
  std::string q = url->query().value_or("");
  for (const auto& [name, value] : query) {
    if (!q.empty()) q += '&';
    q += encodeQueryComponent(name);
    q += '=';
    q += encodeQueryComponent(value);
  }
  return url->withQuery(std::move(q));
}

}  // namespace tavolune::url
