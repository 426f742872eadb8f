#pragma once

#include <cstdint>

// Randomness from the kernel's cryptographically secure generator.
namespace tavolune::SecureRandom {

std::uint64_t next();
// Uniform in [0, n) without modulo bias; n must be positive.
std::uint64_t below(std::uint64_t n);

}  // namespace tavolune::SecureRandom
