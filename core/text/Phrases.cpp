#include "core/text/Phrases.hpp"

#include <unicode/listformatter.h>
#include <unicode/locid.h>
#include <unicode/reldatefmt.h>
#include <unicode/unistr.h>

#include <cmath>
#include <memory>

namespace tavolune::text {
namespace {

icu::Locale localeOf(const std::string& name) {
  return name.empty() ? icu::Locale::getDefault() : icu::Locale(name.c_str());
}

std::string utf8(const icu::UnicodeString& s) {
  std::string out;
  s.toUTF8String(out);
  return out;
}

}  // namespace

std::string relativeTime(double secondsFromNow, const std::string& locale, RelativeStyle style) {
  struct Step {
    double seconds;
    URelativeDateTimeUnit unit;
  };
  // The largest unit of which at least one whole fits, as a calendar shows it.
  static constexpr Step steps[] = {
      {31'536'000, UDAT_REL_UNIT_YEAR}, {2'592'000, UDAT_REL_UNIT_MONTH}, {604'800, UDAT_REL_UNIT_WEEK},
      {86'400, UDAT_REL_UNIT_DAY},      {3'600, UDAT_REL_UNIT_HOUR},      {60, UDAT_REL_UNIT_MINUTE},
  };
  const double magnitude = std::isfinite(secondsFromNow) ? std::fabs(secondsFromNow) : 0;
  double amount = std::trunc(magnitude);
  URelativeDateTimeUnit unit = UDAT_REL_UNIT_SECOND;
  for (const auto& step : steps) {
    if (magnitude >= step.seconds) {
      amount = std::trunc(magnitude / step.seconds);
      unit = step.unit;
      break;
    }
  }
  // ICU reads the sign bit: a negative zero is "0 seconds ago".
  if (secondsFromNow < 0 || (style == RelativeStyle::numeric && !(secondsFromNow > 0))) amount = -amount;

  UErrorCode status = U_ZERO_ERROR;
  icu::RelativeDateTimeFormatter formatter(localeOf(locale), nullptr, UDAT_STYLE_LONG,
                                           UDISPCTX_CAPITALIZATION_NONE, status);
  if (U_FAILURE(status)) return {};
  icu::UnicodeString out;
  if (style == RelativeStyle::numeric)
    formatter.formatNumeric(amount, unit, out, status);
  else
    formatter.format(amount, unit, out, status);
  return U_FAILURE(status) ? std::string{} : utf8(out);
}

std::string andList(const std::vector<std::string>& items, const std::string& locale) {
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<icu::ListFormatter> formatter(
      icu::ListFormatter::createInstance(localeOf(locale), ULISTFMT_TYPE_AND, ULISTFMT_WIDTH_WIDE, status));
  if (U_FAILURE(status) || !formatter) return {};
  std::vector<icu::UnicodeString> parts;
  parts.reserve(items.size());
  for (const auto& item : items) parts.push_back(icu::UnicodeString::fromUTF8(item));
  icu::UnicodeString out;
  formatter->format(parts.data(), static_cast<int32_t>(parts.size()), out, status);
  return U_FAILURE(status) ? std::string{} : utf8(out);
}

}  // namespace tavolune::text
