#include "core/base/NumberText.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>

namespace tavolune::numbers {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return (x | 0x20) == (y | 0x20);
         });
}

}  // namespace

std::optional<double> readDouble(std::string_view text) {
  std::string_view rest = text;
  bool negative = false;
  if (!rest.empty() && (rest.front() == '+' || rest.front() == '-')) {
    negative = rest.front() == '-';
    rest.remove_prefix(1);
  }
  if (rest.empty()) return std::nullopt;
  if (equalsIgnoringCase(rest, "inf") || equalsIgnoringCase(rest, "infinity")) {
    return negative ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
  }
  if (equalsIgnoringCase(rest, "nan")) return std::numeric_limits<double>::quiet_NaN();

  // Validate the decimal form first: from_chars would also take "1e" as 1.
  std::size_t i = 0;
  std::size_t intDigits = 0, fracDigits = 0;
  while (i < rest.size() && isDigit(rest[i])) ++i, ++intDigits;
  if (i < rest.size() && rest[i] == '.') {
    ++i;
    while (i < rest.size() && isDigit(rest[i])) ++i, ++fracDigits;
  }
  if (intDigits + fracDigits == 0) return std::nullopt;
  if (i < rest.size() && (rest[i] == 'e' || rest[i] == 'E')) {
    ++i;
    if (i < rest.size() && (rest[i] == '+' || rest[i] == '-')) ++i;
    std::size_t expDigits = 0;
    while (i < rest.size() && isDigit(rest[i])) ++i, ++expDigits;
    if (expDigits == 0) return std::nullopt;
  }
  if (i != rest.size()) return std::nullopt;

  double value = 0;
  auto [ptr, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), value, std::chars_format::general);
  if (ec == std::errc::result_out_of_range) {
    // Overflow or underflow: tell them apart by the decimal magnitude.
    std::size_t epos = rest.find_first_of("eE");
    std::string_view mantissa = rest.substr(0, epos);
    long magnitude = 0;
    std::size_t dot = mantissa.find('.');
    std::string_view whole = mantissa.substr(0, dot);
    std::size_t firstNonZero = whole.find_first_not_of('0');
    if (firstNonZero != std::string_view::npos) {
      magnitude = static_cast<long>(whole.size() - firstNonZero);
    } else if (dot != std::string_view::npos) {
      std::string_view frac = mantissa.substr(dot + 1);
      std::size_t nz = frac.find_first_not_of('0');
      magnitude = nz == std::string_view::npos ? -100000 : -static_cast<long>(nz);
    }
    if (epos != std::string_view::npos) {
      std::string_view exp = rest.substr(epos + 1);
      bool expNegative = exp.starts_with('-');
      if (exp.starts_with('+') || exp.starts_with('-')) exp.remove_prefix(1);
      long e = 0;
      for (char c : exp) e = std::min(e * 10 + (c - '0'), 100000L);
      magnitude += expNegative ? -e : e;
    }
    value = magnitude > 0 ? std::numeric_limits<double>::infinity() : 0.0;
  } else if (ec != std::errc() || ptr != rest.data() + rest.size()) {
    return std::nullopt;
  }
  return negative ? -value : value;
}

bool isIntegerLiteral(std::string_view text) {
  if (text.starts_with('-')) text.remove_prefix(1);
  return !text.empty() && std::all_of(text.begin(), text.end(), isDigit);
}

std::string shortest(double value) {
  std::array<char, 64> buffer{};
  auto [ptr, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
  if (ec != std::errc()) return "0";
  return std::string(buffer.data(), ptr);
}

std::string exactIntegerText(double integral) {
  if (!std::isfinite(integral) || integral != std::trunc(integral)) return shortest(integral);
  if (integral == 0) return "0";
  if (std::fabs(integral) < 9223372036854775808.0) return std::to_string(static_cast<std::int64_t>(integral));
  // mantissa * 2^exponent, multiplied out in decimal (little-endian digits).
  int exponent = 0;
  double fraction = std::frexp(std::fabs(integral), &exponent);
  auto mantissa = static_cast<std::uint64_t>(std::ldexp(fraction, 53));
  exponent -= 53;
  std::string digits;
  for (std::uint64_t m = mantissa; m > 0; m /= 10) digits += static_cast<char>('0' + m % 10);
  for (int e = 0; e < exponent; ++e) {
    int carry = 0;
    for (char& d : digits) {
      int v = (d - '0') * 2 + carry;
      d = static_cast<char>('0' + v % 10);
      carry = v / 10;
    }
    if (carry) digits += static_cast<char>('0' + carry);
  }
  if (integral < 0) digits += '-';
  std::reverse(digits.begin(), digits.end());
  return digits;
}

}  // namespace tavolune::numbers
