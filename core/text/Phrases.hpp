#pragma once

#include <string>
#include <vector>

// Short phrases in the user's language through ICU: a relative time and a
// list joined with "and". Pure; thread-safe. An empty locale name means the
// process's default locale.
namespace tavolune::text {

// Named: "yesterday", "now"; numeric: "1 day ago", "0 seconds ago".
enum class RelativeStyle { named, numeric };

// A time offset relative to now with wide units, in the largest unit that
// fits: "5 minutes ago", "yesterday", "in 2 hours", "now". secondsFromNow is
// negative for the past; in the numeric style zero reads as past.
std::string relativeTime(double secondsFromNow, const std::string& locale = {},
                         RelativeStyle style = RelativeStyle::named);

// "Base", "Base and Polygon", "Base, Optimism, and Polygon" (standard width).
std::string andList(const std::vector<std::string>& items, const std::string& locale = {});

}  // namespace tavolune::text
