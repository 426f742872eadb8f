#include "network/AddressResolver.hpp"

#include "text/Text.hpp"

#include <unicode/regex.h>
#include <unicode/unistr.h>

#include <array>
#include <memory>
#include <stdexcept>

namespace tavolune {
namespace {

enum class Subject { trimmed, lowered };

struct Rule {
  const char* pattern;
  Subject subject;
  AddressInput::Form form;
};

// Tried in this order; the first match decides. Each pattern anchors itself.
constexpr std::array<Rule, 6> rules{{
    {"^0x[0-9a-fA-F]{40}$", Subject::trimmed, AddressInput::Form::evmAddress},
    {"^(tz[1-4]|KT1)[1-9A-HJ-NP-Za-km-z]{33}$", Subject::trimmed, AddressInput::Form::tezosAddress},
    {"^([a-z0-9-]+\\.)+eth$", Subject::lowered, AddressInput::Form::ensName},
    {"^([a-z0-9-]+\\.)+tez$", Subject::lowered, AddressInput::Form::tezosDomain},
    {"^bc1[ac-hj-np-z02-9]{11,87}$", Subject::lowered, AddressInput::Form::bitcoinAddress},
    {"^[13][1-9A-HJ-NP-Za-km-z]{25,34}$", Subject::trimmed, AddressInput::Form::bitcoinAddress},
}};

// Compiled once; a compiled pattern is immutable and safe to share across
// threads, each search makes its own matcher.
const std::array<std::unique_ptr<icu::RegexPattern>, rules.size()>& compiledRules() {
  static const auto compiled = [] {
    std::array<std::unique_ptr<icu::RegexPattern>, rules.size()> out;
    for (std::size_t i = 0; i < rules.size(); ++i) {
      UErrorCode status = U_ZERO_ERROR;
      UParseError parseError;
      out[i].reset(icu::RegexPattern::compile(icu::UnicodeString::fromUTF8(rules[i].pattern), 0, parseError, status));
      if (U_FAILURE(status) || !out[i]) throw std::logic_error("address pattern does not compile");
    }
    return out;
  }();
  return compiled;
}

bool searches(const icu::RegexPattern& pattern, const icu::UnicodeString& subject) {
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<icu::RegexMatcher> matcher(pattern.matcher(subject, status));
  if (U_FAILURE(status) || !matcher) return false;
  bool found = matcher->find(status);
  return U_SUCCESS(status) && found;
}

}  // namespace

std::optional<AddressInput> AddressResolver::detect(std::string_view text) {
  std::string trimmed = text::trimWhitespaceAndNewlines(text);
  if (trimmed.empty()) return std::nullopt;
  std::string lowered = text::lowercased(trimmed);
  // Invalid UTF-8 turns into U+FFFD here, which no pattern accepts.
  const auto trimmedU = icu::UnicodeString::fromUTF8(trimmed);
  const auto loweredU = icu::UnicodeString::fromUTF8(lowered);

  const auto& compiled = compiledRules();
  for (std::size_t i = 0; i < rules.size(); ++i) {
    const bool onTrimmed = rules[i].subject == Subject::trimmed;
    if (searches(*compiled[i], onTrimmed ? trimmedU : loweredU)) {
      return AddressInput{rules[i].form, onTrimmed ? std::move(trimmed) : std::move(lowered)};
    }
  }
  return std::nullopt;
}

}  // namespace tavolune
