#include "core/base/Url.hpp"

#include <cctype>

namespace tavolune {
namespace {

bool isAlpha(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isHex(char c) { return isDigit(c) || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); }
bool isUnreserved(char c) { return isAlpha(c) || isDigit(c) || c == '-' || c == '.' || c == '_' || c == '~'; }
bool isSubDelim(char c) {
  switch (c) {
    case '!': case '$': case '&': case '\'': case '(': case ')':
    case '*': case '+': case ',': case ';': case '=':
      return true;
    default:
      return false;
  }
}

const char* kHex = "0123456789ABCDEF";

void appendEscaped(std::string& out, unsigned char c) {
  out += '%';
  out += kHex[c >> 4];
  out += kHex[c & 15];
}

// Keeps what may stand in the component and every well-formed %XX; encodes
// the rest.
std::string normalise(std::string_view s, std::string_view extra) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) {
    char c = s[i];
    if (c == '%') {
      if (i + 2 < s.size() && isHex(s[i + 1]) && isHex(s[i + 2])) {
        out.append(s.substr(i, 3));
        i += 2;
      } else {
        out += "%25";
      }
    } else if (isUnreserved(c) || isSubDelim(c) || c == ':' || c == '@' || extra.find(c) != std::string_view::npos) {
      out += c;
    } else {
      appendEscaped(out, static_cast<unsigned char>(c));
    }
  }
  return out;
}

bool validHost(std::string_view h) {
  if (h.starts_with('[')) {
    if (!h.ends_with(']') || h.size() < 3) return false;
    for (char c : h.substr(1, h.size() - 2)) {
      if (!(isHex(c) || c == ':' || c == '.' || c == 'v' || c == 'V')) return false;
    }
    return true;
  }
  for (std::size_t i = 0; i < h.size(); ++i) {
    char c = h[i];
    if (c == '%') {
      if (i + 2 >= h.size() || !isHex(h[i + 1]) || !isHex(h[i + 2])) return false;
      i += 2;
    } else if (!(isUnreserved(c) || isSubDelim(c) || static_cast<unsigned char>(c) >= 0x80)) {
      return false;
    }
  }
  return true;
}

}  // namespace

std::optional<Url> Url::parse(std::string_view text) {
  if (text.empty()) return std::nullopt;
  Url u;
  std::string_view rest = text;

  // Scheme: a letter, then letters, digits, "+", "-", "." up to ":".
  std::size_t colon = rest.find(':');
  std::size_t firstDelim = rest.find_first_of("/?#");
  if (colon != std::string_view::npos && (firstDelim == std::string_view::npos || colon < firstDelim)) {
    std::string_view candidate = rest.substr(0, colon);
    bool ok = !candidate.empty() && isAlpha(candidate[0]);
    for (char c : candidate) ok = ok && (isAlpha(c) || isDigit(c) || c == '+' || c == '-' || c == '.');
    if (!ok) return std::nullopt;
    u.scheme_ = std::string(candidate);
    rest.remove_prefix(colon + 1);
  }

  if (rest.starts_with("//")) {
    rest.remove_prefix(2);
    u.hasAuthority_ = true;
    std::size_t end = rest.find_first_of("/?#");
    std::string_view authority = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end);
    if (auto at = authority.rfind('@'); at != std::string_view::npos) {
      u.userInfo_ = normalise(authority.substr(0, at), "");
      authority.remove_prefix(at + 1);
    }
    std::string_view host = authority;
    std::size_t portColon = authority.rfind(':');
    if (portColon != std::string_view::npos && authority.find(']', portColon) == std::string_view::npos) {
      std::string_view port = authority.substr(portColon + 1);
      for (char c : port) {
        if (!isDigit(c)) return std::nullopt;
      }
      u.port_ = std::string(port);
      host = authority.substr(0, portColon);
    }
    if (!validHost(host)) return std::nullopt;
    u.host_ = std::string(host);
  }

  std::size_t qpos = rest.find('?');
  std::size_t fpos = rest.find('#');
  if (qpos != std::string_view::npos && fpos != std::string_view::npos && fpos < qpos) qpos = std::string_view::npos;
  std::size_t pathEnd = std::min(qpos, fpos);
  u.path_ = normalise(rest.substr(0, pathEnd), "/");
  if (qpos != std::string_view::npos) {
    std::size_t qend = fpos == std::string_view::npos ? rest.size() : fpos;
    u.query_ = normalise(rest.substr(qpos + 1, qend - qpos - 1), "/?");
  }
  if (fpos != std::string_view::npos) u.fragment_ = normalise(rest.substr(fpos + 1), "/?");
  if (u.scheme_.empty() && !u.hasAuthority_ && u.path_.empty() && !u.query_ && !u.fragment_) return std::nullopt;
  u.rebuild();
  return u;
}

void Url::rebuild() {
  text_.clear();
  if (!scheme_.empty()) {
    text_ += scheme_;
    text_ += ':';
  }
  if (hasAuthority_) {
    text_ += "//";
    if (userInfo_) {
      text_ += *userInfo_;
      text_ += '@';
    }
    text_ += host_;
    if (port_) {
      text_ += ':';
      text_ += *port_;
    }
  }
  text_ += path_;
  if (query_) {
    text_ += '?';
    text_ += *query_;
  }
  if (fragment_) {
    text_ += '#';
    text_ += *fragment_;
  }
}

std::string Url::scheme() const {
  std::string s = scheme_;
  for (auto& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string Url::decodedPath() const { return url::percentDecode(path_); }

Url Url::withScheme(std::string_view scheme) const {
  Url u = *this;
  u.scheme_ = std::string(scheme);
  u.rebuild();
  return u;
}

Url Url::withHost(std::string_view host) const {
  Url u = *this;
  u.host_ = std::string(host);
  u.hasAuthority_ = true;
  u.rebuild();
  return u;
}

Url Url::withQuery(std::optional<std::string> query) const {
  Url u = *this;
  u.query_ = query ? std::optional<std::string>(normalise(*query, "/?")) : std::nullopt;
  u.rebuild();
  return u;
}

namespace url {

std::string percentDecode(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  auto hexValue = [](char c) {
    if (isDigit(c)) return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return c - 'A' + 10;
  };
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '%' && i + 2 < s.size() && isHex(s[i + 1]) && isHex(s[i + 2])) {
      out += static_cast<char>(hexValue(s[i + 1]) * 16 + hexValue(s[i + 2]));
      i += 2;
    } else {
      out += s[i];
    }
  }
  return out;
}

std::string percentEncode(std::string_view s, std::string_view keep) {
  std::string out;
  out.reserve(s.size());
  for (char c : s) {
    if (isUnreserved(c) || keep.find(c) != std::string_view::npos) {
      out += c;
    } else {
      appendEscaped(out, static_cast<unsigned char>(c));
    }
  }
  return out;
}

}  // namespace url
}  // namespace tavolune
