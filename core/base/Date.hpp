#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace tavolune {

// Dates of the library are whole seconds in UTC.
using Date = std::chrono::sys_seconds;

namespace iso8601 {

// "2024-05-01T12:00:00Z": date, time to the whole second, and "Z".
std::string format(Date date);

// Reads exactly the internet date-time form with whole seconds and a zone
// designator ("Z" or "+hh:mm"/"-hh:mm"); fractional seconds, missing zones
// and impossible dates give nothing.
std::optional<Date> parse(std::string_view text);

}  // namespace iso8601

Date now();

}  // namespace tavolune
