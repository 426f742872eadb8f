#pragma once

#include "core/model/Artwork.hpp"

#include <cstdint>
#include <string>
#include <vector>

// Deterministic, realistic data for the benchmarks.
namespace tavolune::bench {

// A small deterministic generator, so every run measures the same data.
class Rng {
 public:
  explicit Rng(std::uint64_t seed) : state_(seed) {}
  std::uint64_t next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 7;
    state_ ^= state_ << 17;
    return state_;
  }
  std::uint64_t below(std::uint64_t n) { return next() % n; }

 private:
  std::uint64_t state_;
};

std::string words(Rng& rng, std::size_t characters);
std::string hex(Rng& rng, std::size_t digits);
std::string fakeCID(Rng& rng);

// An artwork with every optional field filled at a typical size.
Artwork realisticArtwork(Rng& rng, std::size_t index);

}  // namespace tavolune::bench
