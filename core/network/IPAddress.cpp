#include "core/network/IPAddress.hpp"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <string>

namespace tavolune::ip {
namespace {

// The IPv4 address in host order, also when mapped into IPv6.
std::optional<std::uint32_t> v4(const sockaddr& address) {
  if (address.sa_family == AF_INET) {
    const auto& in = reinterpret_cast<const sockaddr_in&>(address);
    return ntohl(in.sin_addr.s_addr);
  }
  if (address.sa_family == AF_INET6) {
    const auto& in6 = reinterpret_cast<const sockaddr_in6&>(address);
    if (IN6_IS_ADDR_V4MAPPED(&in6.sin6_addr)) {
      const std::uint8_t* b = in6.sin6_addr.s6_addr;
      return std::uint32_t(b[12]) << 24 | std::uint32_t(b[13]) << 16 | std::uint32_t(b[14]) << 8 | b[15];
    }
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
  static constexpr std::array<Block, 9> local{{
      {0x00000000, 8},   // this network
      {0x0A000000, 8},   // private
      {0x64400000, 10},  // shared address space
      {0x7F000000, 8},   // loopback
      {0xA9FE0000, 16},  // link-local
      {0xAC100000, 12},  // private
      {0xC0A80000, 16},  // private
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
  // IPv4-compatible (::a.b.c.d) and NAT64 forms carry an IPv4 address too.
  static constexpr std::uint8_t nat64[12] = {0x00, 0x64, 0xFF, 0x9B, 0, 0, 0, 0, 0, 0, 0, 0};
  bool compatible = true;
  for (int i = 0; i < 12; ++i) compatible = compatible && a.s6_addr[i] == 0;
  if (compatible || std::memcmp(a.s6_addr, nat64, sizeof nat64) == 0) {
    const std::uint8_t* b = a.s6_addr;
    return isPublicV4(std::uint32_t(b[12]) << 24 | std::uint32_t(b[13]) << 16 | std::uint32_t(b[14]) << 8 | b[15]);
  }
  return true;
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
