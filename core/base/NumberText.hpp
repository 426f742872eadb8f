#pragma once

#include <optional>
#include <string>
#include <string_view>

// Reading and writing numbers as text, independent of the process locale
// (the desktop application sets one, and "," must never become a decimal
// point here).
namespace tavolune::numbers {

// The whole text read as a floating-point number: an optional sign, digits
// with an optional fraction, an optional exponent, or "inf", "infinity",
// "nan" in any letter case. No blank may lead or trail. Magnitudes beyond
// the double range read as infinity.
std::optional<double> readDouble(std::string_view text);

// True for an optional "-" followed by one or more decimal digits.
bool isIntegerLiteral(std::string_view text);

// The shortest decimal text that reads back as the same double.
std::string shortest(double value);

// The exact decimal digits of an integral finite double ("-0" as "0").
std::string exactIntegerText(double integral);

}  // namespace tavolune::numbers
