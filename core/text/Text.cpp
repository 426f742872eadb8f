#include "core/text/Text.hpp"

#include <unicode/brkiter.h>
#include <unicode/coll.h>
#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/ustring.h>
#include <unicode/utf8.h>

#include <memory>
#include <stdexcept>
#include <vector>

namespace tavolune::text {
namespace {

icu::UnicodeString toUnicode(std::string_view s) {
  return icu::UnicodeString::fromUTF8(icu::StringPiece(s.data(), static_cast<int32_t>(s.size())));
}

std::string toUTF8(const icu::UnicodeString& u) {
  std::string out;
  u.toUTF8String(out);
  return out;
}

// Byte offsets of the grapheme boundaries of s, from 0 to s.size().
std::vector<std::size_t> graphemeBoundaries(std::string_view s) {
  std::vector<std::size_t> bounds;
  if (s.empty()) {
    bounds.push_back(0);
    return bounds;
  }
  UErrorCode status = U_ZERO_ERROR;
  thread_local std::unique_ptr<icu::BreakIterator> proto(
      icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
  if (!proto) throw std::runtime_error("ICU character break iterator unavailable");
  UText* ut = utext_openUTF8(nullptr, s.data(), static_cast<int64_t>(s.size()), &status);
  proto->setText(ut, status);
  for (int32_t b = proto->first(); b != icu::BreakIterator::DONE; b = proto->next()) {
    bounds.push_back(static_cast<std::size_t>(b));
  }
  proto->setText(icu::UnicodeString());
  utext_close(ut);
  return bounds;
}

bool isHorizontalSpace(UChar32 c) { return c == U'\t' || u_charType(c) == U_SPACE_SEPARATOR; }

bool isSpaceOrNewline(UChar32 c) {
  if ((c >= 0x09 && c <= 0x0D) || c == 0x85) return true;
  auto t = u_charType(c);
  return t == U_SPACE_SEPARATOR || t == U_LINE_SEPARATOR || t == U_PARAGRAPH_SEPARATOR;
}

template <class Pred>
std::string trimBy(std::string_view s, Pred pred) {
  const auto* p = reinterpret_cast<const uint8_t*>(s.data());
  auto len = static_cast<int32_t>(s.size());
  int32_t start = 0;
  while (start < len) {
    int32_t next = start;
    UChar32 c;
    U8_NEXT(p, next, len, c);
    if (c < 0 || !pred(c)) break;
    start = next;
  }
  int32_t end = len;
  while (end > start) {
    int32_t prev = end;
    UChar32 c;
    U8_PREV(p, start, prev, c);
    if (c < 0 || !pred(c)) break;
    end = prev;
  }
  return std::string(s.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start)));
}

icu::UnicodeString foldCase(const icu::UnicodeString& u) {
  icu::UnicodeString copy(u);
  copy.foldCase(U_FOLD_CASE_DEFAULT);
  return copy;
}

}  // namespace

std::size_t characterCount(std::string_view s) { return graphemeBoundaries(s).size() - 1; }

std::string prefixCharacters(std::string_view s, std::size_t n) {
  auto b = graphemeBoundaries(s);
  if (n + 1 >= b.size()) return std::string(s);
  return std::string(s.substr(0, b[n]));
}

std::string suffixCharacters(std::string_view s, std::size_t n) {
  auto b = graphemeBoundaries(s);
  if (n + 1 >= b.size()) return std::string(s);
  return std::string(s.substr(b[b.size() - 1 - n]));
}

std::string trimHorizontalWhitespace(std::string_view s) { return trimBy(s, isHorizontalSpace); }
std::string trimWhitespaceAndNewlines(std::string_view s) { return trimBy(s, isSpaceOrNewline); }

std::string lowercased(std::string_view s) {
  bool ascii = true;
  for (unsigned char c : s) {
    if (c >= 0x80) {
      ascii = false;
      break;
    }
  }
  if (ascii) {
    std::string out(s);
    for (auto& c : out) {
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
  }
  auto u = toUnicode(s);
  u.toLower(icu::Locale::getRoot());
  return toUTF8(u);
}

std::string uppercased(std::string_view s) {
  auto u = toUnicode(s);
  u.toUpper(icu::Locale::getRoot());
  return toUTF8(u);
}

std::string folded(std::string_view s) {
  UErrorCode status = U_ZERO_ERROR;
  const icu::Normalizer2* nfd = icu::Normalizer2::getNFDInstance(status);
  auto decomposed = nfd->normalize(foldCase(toUnicode(s)), status);
  if (U_FAILURE(status)) return lowercased(s);
  icu::UnicodeString out;
  for (int32_t i = 0; i < decomposed.length();) {
    UChar32 c = decomposed.char32At(i);
    if (u_charType(c) != U_NON_SPACING_MARK) out.append(c);
    i += U16_LENGTH(c);
  }
  const icu::Normalizer2* nfc = icu::Normalizer2::getNFCInstance(status);
  auto composed = nfc->normalize(out, status);
  return toUTF8(U_FAILURE(status) ? out : composed);
}

std::string keepingAlphanumerics(std::string_view s) {
  constexpr uint32_t alphanumerics = U_GC_L_MASK | U_GC_M_MASK | U_GC_N_MASK;
  const auto* p = reinterpret_cast<const uint8_t*>(s.data());
  auto len = static_cast<int32_t>(s.size());
  std::string out;
  out.reserve(s.size());
  for (int32_t i = 0; i < len;) {
    int32_t start = i;
    UChar32 c;
    U8_NEXT(p, i, len, c);
    if (c >= 0 && (U_GET_GC_MASK(c) & alphanumerics) != 0) out.append(s.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(i - start)));
  }
  return out;
}

std::optional<std::size_t> findLastIgnoringCase(std::string_view haystack, std::string_view needle) {
  if (needle.empty() || haystack.empty()) return std::nullopt;
  const auto target = foldCase(toUnicode(needle));
  const auto* p = reinterpret_cast<const uint8_t*>(haystack.data());
  auto len = static_cast<int32_t>(haystack.size());
  // Code-point start offsets, scanned from the back so the last match wins.
  std::vector<int32_t> starts;
  for (int32_t i = 0; i < len;) {
    starts.push_back(i);
    UChar32 c;
    U8_NEXT(p, i, len, c);
  }
  for (auto it = starts.rbegin(); it != starts.rend(); ++it) {
    icu::UnicodeString acc;
    for (int32_t j = *it; j < len;) {
      UChar32 c;
      U8_NEXT(p, j, len, c);
      if (c < 0) break;
      icu::UnicodeString one(c);
      acc.append(foldCase(one));
      if (acc.length() > target.length()) break;
      if (acc.length() == target.length()) {
        if (acc == target) return static_cast<std::size_t>(*it);
        break;
      }
      if (acc.compare(0, acc.length(), target, 0, acc.length()) != 0) break;
    }
  }
  return std::nullopt;
}

bool containsIgnoringCase(std::string_view haystack, std::string_view needle) {
  if (needle.empty()) return false;
  return findLastIgnoringCase(haystack, needle).has_value();
}

namespace {
icu::Collator& naturalCollator() {
  thread_local std::unique_ptr<icu::Collator> collator = [] {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::Collator> c(icu::Collator::createInstance(icu::Locale::getRoot(), status));
    if (!c || U_FAILURE(status)) throw std::runtime_error("ICU collator unavailable");
    c->setAttribute(UCOL_NUMERIC_COLLATION, UCOL_ON, status);
    c->setAttribute(UCOL_STRENGTH, UCOL_SECONDARY, status);
    return c;
  }();
  return *collator;
}
}  // namespace

int naturalCompare(std::string_view a, std::string_view b) {
  UErrorCode status = U_ZERO_ERROR;
  auto r = naturalCollator().compareUTF8(icu::StringPiece(a.data(), static_cast<int32_t>(a.size())),
                                         icu::StringPiece(b.data(), static_cast<int32_t>(b.size())), status);
  if (U_SUCCESS(status) && r != UCOL_EQUAL) return r == UCOL_LESS ? -1 : 1;
  // Forced ordering: texts that collate alike still get a fixed order.
  int c = a.compare(b);
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

std::string naturalSortKey(std::string_view s) {
  const icu::UnicodeString u = toUnicode(s);
  std::string key(64, '\0');
  for (;;) {
    int32_t n = naturalCollator().getSortKey(u, reinterpret_cast<uint8_t*>(key.data()), static_cast<int32_t>(key.size()));
    if (n <= 0) return std::string(s);
    if (static_cast<std::size_t>(n) <= key.size()) {
      key.resize(static_cast<std::size_t>(n) - 1);  // without the terminating zero
      return key;
    }
    key.resize(static_cast<std::size_t>(n));
  }
}

bool startsWith(std::string_view s, std::string_view prefix) { return s.starts_with(prefix); }
bool endsWith(std::string_view s, std::string_view suffix) { return s.ends_with(suffix); }

namespace {
bool isASCII(std::string_view s) {
  for (unsigned char c : s) {
    if (c >= 0x80) return false;
  }
  return true;
}
}  // namespace

std::string composed(std::string_view s) {
  if (isASCII(s)) return std::string(s);
  UErrorCode status = U_ZERO_ERROR;
  const icu::Normalizer2* nfc = icu::Normalizer2::getNFCInstance(status);
  if (U_FAILURE(status)) return std::string(s);
  auto u = nfc->normalize(toUnicode(s), status);
  return U_FAILURE(status) ? std::string(s) : toUTF8(u);
}

bool containsCanonically(std::string_view haystack, std::string_view needle) {
  if (needle.empty()) return true;
  if (isASCII(haystack) && isASCII(needle)) return haystack.find(needle) != std::string_view::npos;
  return composed(haystack).find(composed(needle)) != std::string::npos;
}

bool isRegexSpace(char32_t c) {
  return c == U'\t' || c == U'\n' || c == U'\f' || c == U'\r' ||
         u_hasBinaryProperty(static_cast<UChar32>(c), UCHAR_WHITE_SPACE);
}

bool isValidUTF8(std::string_view s) {
  const auto* p = reinterpret_cast<const uint8_t*>(s.data());
  auto len = static_cast<int32_t>(s.size());
  for (int32_t i = 0; i < len;) {
    UChar32 c;
    U8_NEXT(p, i, len, c);
    if (c < 0) return false;
  }
  return true;
}

std::string removingWhitespaceAndNewlines(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  const auto* p = reinterpret_cast<const uint8_t*>(s.data());
  auto len = static_cast<int32_t>(s.size());
  for (int32_t i = 0; i < len;) {
    int32_t start = i;
    UChar32 c;
    U8_NEXT(p, i, len, c);
    if (c >= 0 && isSpaceOrNewline(c)) continue;
    out.append(s.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(i - start)));
  }
  return out;
}

}  // namespace tavolune::text
