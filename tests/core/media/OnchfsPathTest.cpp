#include "core/media/Bytes.hpp"
#include "core/media/OnchfsPath.hpp"

#include <gtest/gtest.h>

namespace tavolune {
namespace {

using Names = std::vector<std::string>;

TEST(OnchfsPathTest, SplitsAndDecodesNames) {
  EXPECT_EQ(onchfs::pathNames(""), Names{});
  EXPECT_EQ(onchfs::pathNames("/"), Names{});
  EXPECT_EQ(onchfs::pathNames("index.html"), Names{"index.html"});
  EXPECT_EQ(onchfs::pathNames("/lib//p5.min.js/"), (Names{"lib", "p5.min.js"}));
  EXPECT_EQ(onchfs::pathNames("my%20file.js"), Names{"my file.js"});
  EXPECT_EQ(onchfs::pathNames("caf%C3%A9/a%2Fb"), (Names{"caf\xC3\xA9", "a/b"}));
  // Malformed escapes, or escapes that are not UTF-8, stay as written.
  EXPECT_EQ(onchfs::pathNames("100%/x%zz"), (Names{"100%", "x%zz"}));
  EXPECT_EQ(onchfs::pathNames("a%FFb"), Names{"a%FFb"});
}

TEST(OnchfsPathTest, HashesMustBeHexadecimal) {
  EXPECT_TRUE(onchfs::isValidHash("2ba7f3e1b6d0c4a5"));
  EXPECT_TRUE(onchfs::isValidHash("ABCDEF0123"));
  EXPECT_FALSE(onchfs::isValidHash(""));
  EXPECT_FALSE(onchfs::isValidHash("abc/../keys"));
  EXPECT_FALSE(onchfs::isValidHash("abc?limit=1"));
  EXPECT_FALSE(onchfs::isValidHash("0xabc"));
  EXPECT_FALSE(onchfs::isValidHash("abc,def"));
}

TEST(HexTest, DecodesPairsOfDigits) {
  EXPECT_EQ(hex::decode(""), Bytes{});
  EXPECT_EQ(hex::decode("0x"), Bytes{});
  EXPECT_EQ(hex::decode("00ff7F"), std::string("\0\xFF\x7F", 3));
  EXPECT_EQ(hex::decode("0xDEADbeef"), "\xDE\xAD\xBE\xEF");
  EXPECT_FALSE(hex::decode("abc"));
  EXPECT_FALSE(hex::decode("0X00"));  // only a lower-case x is a prefix
  EXPECT_FALSE(hex::decode("zz"));
  EXPECT_FALSE(hex::decode("0x0g"));
  EXPECT_FALSE(hex::decode("0 "));
}

}  // namespace
}  // namespace tavolune
