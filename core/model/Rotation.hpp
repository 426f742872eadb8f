#pragma once

#include "core/base/Date.hpp"
#include "core/model/DisplayChoices.hpp"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Which work a display shows next. Stateless: the caller keeps each
// display's current work and history (oldest first).
namespace tavolune::Rotation {

struct Interval {
  std::string_view label;
  std::int64_t seconds;
};

inline constexpr std::array<Interval, 8> intervals{{
    {"5 minutes", 300},
    {"15 minutes", 900},
    {"30 minutes", 1800},
    {"1 hour", 3600},
    {"3 hours", 10800},
    {"6 hours", 21600},
    {"1 day", 86400},
    {"1 week", 604800},
}};

// Uniform draw in [0, n); the system's secure generator unless a test
// passes its own.
using RandomBelow = std::function<std::size_t(std::size_t)>;
std::size_t secureBelow(std::size_t n);

std::optional<std::string> next(const std::vector<std::string>& pool, const std::optional<std::string>& current,
                                PlaybackOrder order, const std::vector<std::string>& history,
                                const RandomBelow& random = secureBelow);

std::optional<std::string> previous(const std::vector<std::string>& pool, const std::optional<std::string>& current,
                                    const std::vector<std::string>& history);

bool isDue(std::optional<Date> lastChange, double interval, Date now);

}  // namespace tavolune::Rotation
