#include "core/base/SecureRandom.hpp"

#include <sys/random.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>

namespace tavolune::SecureRandom {

std::uint64_t next() {
  std::uint64_t value = 0;
  auto* out = reinterpret_cast<unsigned char*>(&value);
  std::size_t filled = 0;
  while (filled < sizeof value) {
    ssize_t n = getrandom(out + filled, sizeof value - filled, 0);
    if (n < 0) {
      if (errno == EINTR) continue;
      throw std::runtime_error(std::string("getrandom failed: ") + std::strerror(errno));
    }
    filled += static_cast<std::size_t>(n);
  }
  return value;
}

std::uint64_t below(std::uint64_t n) {
  if (n == 0) throw std::invalid_argument("SecureRandom::below(0)");
  // Reject the top sliver of the range that would favour small values.
  const std::uint64_t limit = UINT64_MAX - UINT64_MAX % n;
  for (;;) {
    std::uint64_t v = next();
    if (v < limit) return v % n;
  }
}

}  // namespace tavolune::SecureRandom
