#include "core/text/Text.hpp"

#include <gtest/gtest.h>

namespace tavolune::text {
namespace {

TEST(Text, CountsUserPerceivedCharacters) {
  EXPECT_EQ(characterCount(""), 0u);
  EXPECT_EQ(characterCount("abc"), 3u);
  EXPECT_EQ(characterCount("e\u0301"), 1u);                    // e + combining acute
  EXPECT_EQ(characterCount("\U0001F469\u200D\U0001F3A8"), 1u);  // one emoji sequence
  EXPECT_EQ(characterCount("\U0001F1EB\U0001F1F7x"), 2u);      // flag + x
  EXPECT_EQ(prefixCharacters("e\u0301tude", 2), "e\u0301t");
  EXPECT_EQ(suffixCharacters("cafe\u0301", 1), "e\u0301");
  EXPECT_EQ(prefixCharacters("ab", 5), "ab");
}

TEST(Text, TrimsHorizontalWhitespaceButKeepsLineBreaks) {
  EXPECT_EQ(trimHorizontalWhitespace("\t\u00A0 Dunes \u3000"), "Dunes");
  EXPECT_EQ(trimHorizontalWhitespace("\nDunes\n"), "\nDunes\n");
  EXPECT_EQ(trimHorizontalWhitespace(" \t "), "");
  EXPECT_EQ(trimWhitespaceAndNewlines("\r\n\u2028 ipfs://x \u0085\t"), "ipfs://x");
  EXPECT_EQ(trimWhitespaceAndNewlines("a b"), "a b");
}

TEST(Text, LowerCasesAndFoldsLocaleIndependently) {
  EXPECT_EQ(lowercased("0xAbC"), "0xabc");
  EXPECT_EQ(lowercased("\u00C9MILE"), "\u00E9mile");
  EXPECT_EQ(lowercased("I"), "i");  // not the Turkish dotless i
  EXPECT_EQ(uppercased("stra\u00DFe i"), "STRASSE I");  // full mapping, no dotted capital I
  EXPECT_EQ(uppercased(""), "");
  EXPECT_EQ(folded("\u00C9mile"), folded("emile"));
  EXPECT_EQ(folded("STRASSE"), folded("stra\u00DFe"));
}

TEST(Text, FindsLastOccurrenceIgnoringCase) {
  EXPECT_EQ(findLastIgnoringCase("Dunes by A. Artist", " BY a. artist"), 5u);
  EXPECT_EQ(findLastIgnoringCase("x by a by a", " by a"), 6u);
  EXPECT_FALSE(findLastIgnoringCase("Dunes", " by x").has_value());
  EXPECT_FALSE(findLastIgnoringCase("Dunes", "").has_value());
  EXPECT_EQ(findLastIgnoringCase("\u00C9t\u00E9 by \u00C9LISE", " by \u00E9lise"), 5u);
}

TEST(Text, NaturalOrderComparesNumbersAndIgnoresCase) {
  EXPECT_LT(naturalCompare("Work 2", "Work 10"), 0);
  EXPECT_GT(naturalCompare("work 10", "Work 9"), 0);
  EXPECT_LT(naturalCompare("apple", "Banana"), 0);
  // Texts that differ only in case still get a fixed, antisymmetric order.
  EXPECT_NE(naturalCompare("a", "A"), 0);
  EXPECT_EQ(naturalCompare("a", "A"), -naturalCompare("A", "a"));
  EXPECT_EQ(naturalCompare("same", "same"), 0);
}

TEST(Text, ChecksUTF8) {
  EXPECT_TRUE(isValidUTF8("caf\u00E9"));
  EXPECT_FALSE(isValidUTF8("\xC3"));
  EXPECT_FALSE(isValidUTF8("\xFF\xFE"));
}

}  // namespace
}  // namespace tavolune::text
