#include "core/text/Text.hpp"

#include <gtest/gtest.h>

namespace tavolune::text {
namespace {

TEST(KeepingAlphanumerics, KeepsLettersMarksAndNumbersOnly) {
  EXPECT_EQ(keepingAlphanumerics("a-b c_d.1!"), "abcd1");
  // A combining accent is a mark and stays; the emoji and the dash go.
  EXPECT_EQ(keepingAlphanumerics("e\u0301 \u2014 \U0001F3A8x"), "e\u0301x");
  EXPECT_EQ(keepingAlphanumerics("Ⅻ½٣"), "Ⅻ½٣");
  EXPECT_EQ(keepingAlphanumerics("  \t\n"), "");
  // Malformed bytes are dropped rather than passed on.
  EXPECT_EQ(keepingAlphanumerics(std::string("a\xff"
                                             "b",
                                             3)),
            "ab");
}

}  // namespace
}  // namespace tavolune::text
