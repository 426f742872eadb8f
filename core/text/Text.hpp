#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// Unicode text rules shared by the whole core. Text is UTF-8 everywhere;
// these functions go through ICU so that "characters", "whitespace" and
// "lower case" mean what a person means, not what a byte means.
namespace tavolune::text {

// User-perceived characters (extended grapheme clusters).
std::size_t characterCount(std::string_view s);
// The first / last n user-perceived characters.
std::string prefixCharacters(std::string_view s, std::size_t n);
std::string suffixCharacters(std::string_view s, std::size_t n);

// Trims the tab and every Unicode space separator (general category Zs);
// line breaks stay.
std::string trimHorizontalWhitespace(std::string_view s);
// Trims white space and line breaks: categories Zs, Zl, Zp, U+0009 to
// U+000D and U+0085.
std::string trimWhitespaceAndNewlines(std::string_view s);

// Full Unicode lower-casing, independent of the user's locale.
std::string lowercased(std::string_view s);
// Full Unicode upper-casing, independent of the user's locale ("ß" -> "SS").
std::string uppercased(std::string_view s);
// Case- and diacritic-insensitive form for comparisons (é, E and e agree).
std::string folded(std::string_view s);
// Only the letters, marks and numbers of s (general categories L, M, N).
std::string keepingAlphanumerics(std::string_view s);

// Byte offset of the last occurrence of needle in haystack, ignoring letter
// case; nothing when absent or when needle is empty.
std::optional<std::size_t> findLastIgnoringCase(std::string_view haystack, std::string_view needle);
bool containsIgnoringCase(std::string_view haystack, std::string_view needle);

// The order a file manager uses: case-insensitive, digits compared as
// numbers, ties broken so that the order is total. Negative, zero, positive.
int naturalCompare(std::string_view a, std::string_view b);

// Bytes that order like naturalCompare before its final tie-break:
// comparing two keys bytewise gives the collation order of the texts.
std::string naturalSortKey(std::string_view s);

bool startsWith(std::string_view s, std::string_view prefix);
bool endsWith(std::string_view s, std::string_view suffix);

// Canonical composition (NFC); ASCII comes back unchanged without work.
std::string composed(std::string_view s);
// Substring test that treats canonically equivalent texts as equal.
bool containsCanonically(std::string_view haystack, std::string_view needle);
// White space as regular expressions see it (\s): tab, line breaks and
// every Unicode White_Space character.
bool isRegexSpace(char32_t c);

// True when s is well-formed UTF-8.
bool isValidUTF8(std::string_view s);

// s without any of the characters trimWhitespaceAndNewlines trims, wherever
// they stand. Ill-formed UTF-8 sequences are kept as they are.
std::string removingWhitespaceAndNewlines(std::string_view s);

}  // namespace tavolune::text
