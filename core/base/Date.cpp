#include "core/base/Date.hpp"

#include <date/date.h>

#include <cstdio>

namespace tavolune {
namespace iso8601 {
namespace {

bool digits(std::string_view s, std::size_t pos, std::size_t count, int& out) {
  if (pos + count > s.size()) return false;
  int v = 0;
  for (std::size_t i = pos; i < pos + count; ++i) {
    char c = s[i];
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  out = v;
  return true;
}

}  // namespace

std::string format(Date date) {
  auto days = std::chrono::floor<date::days>(date);
  date::year_month_day ymd{days};
  date::hh_mm_ss<std::chrono::seconds> hms{date - days};
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d-%02u-%02uT%02d:%02d:%02dZ", static_cast<int>(ymd.year()),
                static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()),
                static_cast<int>(hms.hours().count()), static_cast<int>(hms.minutes().count()),
                static_cast<int>(hms.seconds().count()));
  return buf;
}

std::optional<Date> parse(std::string_view s) {
  int y, mo, d, h, mi, se;
  if (s.size() < 20) return std::nullopt;
  if (!digits(s, 0, 4, y) || s[4] != '-' || !digits(s, 5, 2, mo) || s[7] != '-' || !digits(s, 8, 2, d) ||
      (s[10] != 'T' && s[10] != 't') || !digits(s, 11, 2, h) || s[13] != ':' || !digits(s, 14, 2, mi) ||
      s[16] != ':' || !digits(s, 17, 2, se)) {
    return std::nullopt;
  }
  if (h > 23 || mi > 59 || se > 59) return std::nullopt;
  int offsetMinutes = 0;
  auto zone = s.substr(19);
  if (zone == "Z" || zone == "z") {
    offsetMinutes = 0;
  } else if (zone.size() == 6 && (zone[0] == '+' || zone[0] == '-') && zone[3] == ':') {
    int oh, om;
    if (!digits(zone, 1, 2, oh) || !digits(zone, 4, 2, om) || oh > 23 || om > 59) return std::nullopt;
    offsetMinutes = (oh * 60 + om) * (zone[0] == '-' ? -1 : 1);
  } else {
    return std::nullopt;
  }
  date::year_month_day ymd{date::year{y}, date::month{static_cast<unsigned>(mo)},
                           date::day{static_cast<unsigned>(d)}};
  if (!ymd.ok()) return std::nullopt;
  Date local = date::sys_days{ymd} + std::chrono::hours{h} + std::chrono::minutes{mi} + std::chrono::seconds{se};
  return local - std::chrono::minutes{offsetMinutes};
}

}  // namespace iso8601

Date now() { return std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now()); }

}  // namespace tavolune
