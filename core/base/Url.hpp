#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tavolune {

// An absolute or relative URL reference (RFC 3986), kept in its encoded
// text form. Parsing is forgiving the way a browser's address bar is:
// characters that may not stand in a component are percent-encoded, while
// existing %XX escapes and the delimiters "/", "?", "&" and "=" are kept.
class Url {
 public:
  // Nothing for empty text, a malformed scheme, a host with characters no
  // host may hold, or a port that is not a number.
  static std::optional<Url> parse(std::string_view text);

  const std::string& string() const { return text_; }

  // Lower-cased scheme, empty for a relative reference.
  std::string scheme() const;
  bool hasAuthority() const { return hasAuthority_; }
  const std::string& host() const { return host_; }
  const std::string& path() const { return path_; }  // percent-encoded
  std::string decodedPath() const;
  const std::optional<std::string>& query() const { return query_; }  // without "?"
  const std::optional<std::string>& fragment() const { return fragment_; }
  const std::optional<std::string>& port() const { return port_; }

  Url withScheme(std::string_view scheme) const;
  Url withHost(std::string_view host) const;
  Url withQuery(std::optional<std::string> query) const;

  friend bool operator==(const Url& a, const Url& b) { return a.text_ == b.text_; }

 private:
  void rebuild();

  std::string text_;
  std::string scheme_;  // as written
  bool hasAuthority_ = false;
  std::optional<std::string> userInfo_;
  std::string host_;
  std::optional<std::string> port_;
  std::string path_;
  std::optional<std::string> query_;
  std::optional<std::string> fragment_;
};

namespace url {

// Percent-decodes %XX escapes; malformed escapes stay as written.
std::string percentDecode(std::string_view s);

// Percent-encodes every byte outside the unreserved set (A-Z a-z 0-9 - . _ ~)
// and outside `keep`.
std::string percentEncode(std::string_view s, std::string_view keep = "");

// A service's base URL as paths are appended to it: one trailing "/"
// dropped ("https://host/" -> "https://host"). Every base URL the core is
// given goes through this one rule.
inline std::string withoutTrailingSlash(std::string base) {
  if (base.ends_with('/')) base.pop_back();
  return base;
}

}  // namespace url

}  // namespace tavolune
