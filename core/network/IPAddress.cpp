#include "core/network/IPAddress.hpp"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <string>

namespace tavolune::ip {
namespace {

std::uint32_t v4At(const std::uint8_t* b, int at) {
  return std::uint32_t(b[at]) << 24 | std::uint32_t(b[at + 1]) << 16 | std::uint32_t(b[at + 2]) << 8 | b[at + 3];
}

// The IPv4 address in host order, also when mapped into IPv6.
std::optional<std::uint32_t> v4(const sockaddr& address) {
  if (address.sa_family == AF_INET) {
    const auto& in = reinterpret_cast<const sockaddr_in&>(address);
    return ntohl(in.sin_addr.s_addr);
  }
  if (address.sa_family == AF_INET6) {
    const auto& in6 = reinterpret_cast<const sockaddr_in6&>(address);
    if (IN6_IS_ADDR_V4MAPPED(&in6.sin6_addr)) return v4At(in6.sin6_addr.s6_addr, 12);
  }
  return std::nullopt;
}

bool inBlock(std::uint32_t a, std::uint32_t block, int bits) {
  const std::uint32_t mask = bits == 0 ? 0 : ~std::uint32_t{0} << (32 - bits);
  return (a & mask) == block;
}

bool isPublicV4(std::uint32_t a) {
  struct Block {
    std::uint32_t start;
    int bits;
  };
  static constexpr std::array<Block, 14> local{{
      {0x00000000, 8},   // this network
      {0x0A000000, 8},   // private
      {0x64400000, 10},  // shared address space
      {0x7F000000, 8},   // loopback
      {0xA9FE0000, 16},  // link-local
      {0xAC100000, 12},  // private
      {0xC0000000, 24},  // protocol assignments
      {0xC0000200, 24},  // documentation
      {0xC0A80000, 16},  // private
      {0xC6120000, 15},  // benchmarking
      {0xC6336400, 24},  // documentation
      {0xCB007100, 24},  // documentation
      {0xE0000000, 4},   // multicast
      {0xF0000000, 4},   // reserved and broadcast
  }};
  for (const auto& b : local) {
    if (inBlock(a, b.start, b.bits)) return false;
  }
  return true;
}

}  // namespace

bool isLoopback(const sockaddr& address) {
  if (auto a = v4(address)) return inBlock(*a, 0x7F000000, 8);
  if (address.sa_family != AF_INET6) return false;
  return IN6_IS_ADDR_LOOPBACK(&reinterpret_cast<const sockaddr_in6&>(address).sin6_addr);
}

bool isPublic(const sockaddr& address) {
  if (auto a = v4(address)) return isPublicV4(*a);
  if (address.sa_family != AF_INET6) return false;
  const in6_addr& a = reinterpret_cast<const sockaddr_in6&>(address).sin6_addr;
  const std::uint8_t first = a.s6_addr[0];
  if (IN6_IS_ADDR_UNSPECIFIED(&a) || IN6_IS_ADDR_LOOPBACK(&a) || IN6_IS_ADDR_MULTICAST(&a)) return false;
  if ((first & 0xFE) == 0xFC) return false;                          // unique-local fc00::/7
  if (first == 0xFE && (a.s6_addr[1] & 0xC0) == 0x80) return false;  // link-local fe80::/10
  if (first == 0xFE && (a.s6_addr[1] & 0xC0) == 0xC0) return false;  // former site-local fec0::/10
  const std::uint8_t* b = a.s6_addr;
  static constexpr std::uint8_t documentation[4] = {0x20, 0x01, 0x0D, 0xB8};
  static constexpr std::uint8_t localNAT64[6] = {0x00, 0x64, 0xFF, 0x9B, 0x00, 0x01};
  static constexpr std::uint8_t translated[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0, 0};
  if (std::memcmp(b, documentation, 4) == 0 || std::memcmp(b, localNAT64, 6) == 0 ||
      std::memcmp(b, translated, 12) == 0) {
    return false;
  }
  // Forms that carry an IPv4 address a relay or translator would reach:
  // IPv4-compatible (::a.b.c.d), NAT64 (64:ff9b::/96), 6to4 (2002::/16)
  // and Teredo (2001::/32: its server, and its client with the bits
  // inverted).
  static constexpr std::uint8_t nat64[12] = {0x00, 0x64, 0xFF, 0x9B, 0, 0, 0, 0, 0, 0, 0, 0};
  bool compatible = true;
  for (int i = 0; i < 12; ++i) compatible = compatible && b[i] == 0;
  if (compatible || std::memcmp(b, nat64, sizeof nat64) == 0) return isPublicV4(v4At(b, 12));
  if (b[0] == 0x20 && b[1] == 0x02) return isPublicV4(v4At(b, 2));
  if (b[0] == 0x20 && b[1] == 0x01 && b[2] == 0 && b[3] == 0) {
    return isPublicV4(v4At(b, 4)) && isPublicV4(~v4At(b, 12));
  }
  return true;
}

std::string_view withoutBrackets(std::string_view host) {
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']') return host.substr(1, host.size() - 2);
  return host;
}

std::optional<sockaddr_storage> parse(std::string_view text) {
  const std::string s(text);
  sockaddr_storage out{};
  auto* in = reinterpret_cast<sockaddr_in*>(&out);
  if (::inet_pton(AF_INET, s.c_str(), &in->sin_addr) == 1) {
    in->sin_family = AF_INET;
    return out;
  }
  out = {};
  auto* in6 = reinterpret_cast<sockaddr_in6*>(&out);
  if (::inet_pton(AF_INET6, s.c_str(), &in6->sin6_addr) == 1) {
    in6->sin6_family = AF_INET6;
    return out;
  }
  return std::nullopt;
}

}  // namespace tavolune::ip
