#include "core/indexers/ArtistDiscovery.hpp"

#include "core/indexers/EVMContracts.hpp"
#include "core/base/Hash.hpp"
#include "core/text/Text.hpp"

#include <unicode/regex.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <charconv>
#include <memory>
#include <stdexcept>
#include <unordered_set>

namespace tavolune::ArtistDiscovery {
namespace {

// The shared contracts of the two generative platforms whose token ids
// carry the project number (project 78 starts at token 78,000,000).
bool isProjectContract(const std::string& lowerContract) {
  return EVMContracts::artBlocks().contains(lowerContract) || EVMContracts::brightMoments().contains(lowerContract);
}

// A decimal integer: an optional sign, then digits only, in 64-bit range.
std::optional<std::int64_t> decimalInteger(std::string_view s) {
  std::string_view digits = s;
  bool negative = false;
  if (!digits.empty() && (digits.front() == '+' || digits.front() == '-')) {
    negative = digits.front() == '-';
    digits.remove_prefix(1);
  }
  if (digits.empty() || !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return std::nullopt;
  }
  // Parse with the sign attached so that the most negative value fits.
  std::string signedDigits = negative ? "-" : "";
  signedDigits.append(digits);
  std::int64_t value = 0;
  auto [end, ec] = std::from_chars(signedDigits.data(), signedDigits.data() + signedDigits.size(), value);
  if (ec != std::errc() || end != signedDigits.data() + signedDigits.size()) return std::nullopt;
  return value;
}

// Removes one trailing name-service ending, the leftmost match of the
// pattern, so that "alice.base.eth" loses ".base.eth" and not only ".eth".
std::string withoutNameSuffix(const std::string& name) {
  static const std::unique_ptr<icu::RegexPattern> pattern = [] {
    UErrorCode status = U_ZERO_ERROR;
    UParseError parseError;
    std::unique_ptr<icu::RegexPattern> p(
        icu::RegexPattern::compile(icu::UnicodeString::fromUTF8("\\.(eth|tez|base\\.eth)$"), 0, parseError, status));
    if (U_FAILURE(status) || !p) throw std::logic_error("name suffix pattern does not compile");
    return p;
  }();
  auto subject = icu::UnicodeString::fromUTF8(name);
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<icu::RegexMatcher> matcher(pattern->matcher(subject, status));
  if (U_FAILURE(status) || !matcher || !matcher->find(status) || U_FAILURE(status)) return name;
  int32_t start = matcher->start(status);
  int32_t end = matcher->end(status);
  if (U_FAILURE(status)) return name;
  subject.remove(start, end - start);
  std::string out;
  subject.toUTF8String(out);
  return out;
}

void splitAt(std::vector<std::string>& pieces, std::string_view separator) {
  std::vector<std::string> out;
  for (const auto& piece : pieces) {
    std::size_t from = 0;
    for (auto at = piece.find(separator); at != std::string::npos; at = piece.find(separator, from)) {
      out.push_back(piece.substr(from, at - from));
      from = at + separator.size();
    }
    out.push_back(piece.substr(from));
  }
  pieces = std::move(out);
}

// The credit split at ",", "&", "×", "+" and "/"; empty pieces stay.
std::vector<std::string> splitAtJoiners(std::string_view credit) {
  static constexpr std::string_view times = "\u00D7";
  std::vector<std::string> pieces;
  std::string current;
  for (std::size_t i = 0; i < credit.size();) {
    char c = credit[i];
    if (c == ',' || c == '&' || c == '+' || c == '/') {
      pieces.push_back(std::move(current));
      current.clear();
      ++i;
    } else if (credit.substr(i).starts_with(times)) {
      pieces.push_back(std::move(current));
      current.clear();
      i += times.size();
    } else {
      current.push_back(c);
      ++i;
    }
  }
  pieces.push_back(std::move(current));
  return pieces;
}

}  // namespace

std::string normalize(std::string_view text) {
  return text::lowercased(text::keepingAlphanumerics(text::folded(text)));
}

std::vector<std::string> names(const Wallet& wallet) {
  std::vector<std::string> candidates;
  if (wallet.resolvedName) candidates.push_back(*wallet.resolvedName);
  candidates.push_back(wallet.label);

  std::vector<std::string> out;
  for (const auto& candidate : candidates) {
    std::string name = normalize(withoutNameSuffix(candidate));
    if (text::characterCount(name) < 3 || name.starts_with("0x")) continue;
    out.push_back(std::move(name));
  }
  return out;
}

bool isSigned(const std::optional<std::string>& credit, const std::vector<std::string>& names) {
  if (!credit || names.empty()) return false;
  auto pieces = splitAtJoiners(*credit);
  splitAt(pieces, " x ");
  splitAt(pieces, " and ");
  for (const auto& piece : pieces) {
    auto normalized = normalize(piece);
    if (std::find(names.begin(), names.end(), normalized) != names.end()) return true;
  }
  return false;
}

std::vector<Series> series(const std::vector<OwnedArtwork>& owned, const std::vector<std::string>& names) {
  std::vector<Series> found;
  // Identities seen: a series with its name left empty.
  std::unordered_set<Series> seen;
  for (const auto& item : owned) {
    const Artwork& work = item.artwork;
    if (!isSigned(work.artist, names)) continue;
    std::string contract = text::lowercased(work.contract);
    std::optional<std::int64_t> project;
    if (isProjectContract(contract)) {
      auto tokenNumber = decimalInteger(work.tokenId);
      // Without a readable token id the project is unknown: the work is left
      // out rather than taken for the whole platform contract.
      if (!tokenNumber) continue;
      project = *tokenNumber / 1'000'000;
    }
    Series identity{work.chain, contract, project, {}};
    if (!seen.insert(identity).second) continue;
    identity.name = work.collection.value_or(work.title);
    found.push_back(std::move(identity));
  }
  std::stable_sort(found.begin(), found.end(),
                   [](const Series& a, const Series& b) { return text::naturalCompare(a.name, b.name) < 0; });
  return found;
}

}  // namespace tavolune::ArtistDiscovery

std::size_t std::hash<tavolune::ArtistDiscovery::Series>::operator()(
    const tavolune::ArtistDiscovery::Series& s) const noexcept {
  return tavolune::hashFields(s.chain, s.contract, s.project, s.name);
}
