#pragma once
// Sorts socket addresses into those on the public internet and those of the
// user's own machine or network. Pure functions; thread-safe.

#include <optional>
#include <string_view>

#include <sys/socket.h>

namespace tavolune::ip {

// 127.0.0.0/8 and ::1, also written as IPv4 inside IPv6 (::ffff:127.0.0.1).
bool isLoopback(const sockaddr& address);

// False for loopback, "this network" (0/8, ::), private (10/8, 172.16/12,
// 192.168/16), shared (100.64/10), link-local (169.254/16, fe80::/10),
// unique-local (fc00::/7), protocol assignments (192.0.0/24), benchmarking
// (198.18/15), documentation (192.0.2/24, 198.51.100/24, 203.0.113/24,
// 2001:db8::/32), multicast, broadcast and the reserved 240/4, in IPv4 or
// IPv4-mapped IPv6 form; for IPv4-translated (::ffff:0:a.b.c.d) and
// local-use NAT64 (64:ff9b:1::/48) addresses; for the IPv6 forms that
// embed a non-public IPv4 (IPv4-compatible, NAT64, 6to4, Teredo); and for
// any family other than IPv4 or IPv6.
bool isPublic(const sockaddr& address);

// A URL's host without the brackets of an IPv6 literal ("[::1]" -> "::1").
std::string_view withoutBrackets(std::string_view host);

// A numeric IPv4 or IPv6 address as libcurl reports it ("10.0.0.1", "::1").
std::optional<sockaddr_storage> parse(std::string_view text);

}  // namespace tavolune::ip
