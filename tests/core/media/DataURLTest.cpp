#include "core/media/DataURL.hpp"

#include <gtest/gtest.h>

#include <string>

namespace tavolune {
namespace {

TEST(DataURLTest, PercentEncodedPayloads) {
  auto plain = DataURL::decode("data:,Hello%2C%20World%21");
  ASSERT_TRUE(plain);
  EXPECT_EQ(plain->data, "Hello, World!");
  EXPECT_EQ(plain->mime, "text/plain");

  // The type comes back without its parameters; later commas are payload.
  auto html = DataURL::decode("data:text/html;charset=utf-8,<p>a,b</p>");
  ASSERT_TRUE(html);
  EXPECT_EQ(html->mime, "text/html");
  EXPECT_EQ(html->data, "<p>a,b</p>");

  // No media type before the first ";".
  auto noType = DataURL::decode("data:;charset=utf-8,x");
  ASSERT_TRUE(noType);
  EXPECT_EQ(noType->mime, "text/plain");

  // A malformed escape leaves the payload as written.
  auto bad = DataURL::decode("data:text/plain,100%25 and 5%");
  ASSERT_TRUE(bad);
  EXPECT_EQ(bad->data, "100%25 and 5%");

  // Escapes may carry any byte, not just UTF-8.
  auto binary = DataURL::decode("data:application/octet-stream,%89PNG%00%FF");
  ASSERT_TRUE(binary);
  EXPECT_EQ(binary->data, std::string("\x89PNG\0\xFF", 6));

  auto empty = DataURL::decode("data:,");
  ASSERT_TRUE(empty);
  EXPECT_TRUE(empty->data.empty());
}

TEST(DataURLTest, Base64Payloads) {
  auto html = DataURL::decode("data:text/html;base64,PGgxPkhpPC9oMT4=");
  ASSERT_TRUE(html);
  EXPECT_EQ(html->mime, "text/html");
  EXPECT_EQ(html->data, "<h1>Hi</h1>");

  // Missing padding and line-wrapped payloads decode as if tidy.
  auto unpadded = DataURL::decode("data:text/plain;base64,SGVsbG8");
  ASSERT_TRUE(unpadded);
  EXPECT_EQ(unpadded->data, "Hello");
  auto wrapped = DataURL::decode("data:text/plain;base64,SGVs\r\nbG8g\n d29y\tbGQ");
  ASSERT_TRUE(wrapped);
  EXPECT_EQ(wrapped->data, "Hello world");
  // Unicode line separators and percent-encoded spaces are white space too.
  auto unicodeSpace = DataURL::decode("data:;base64,SGVs\xE2\x80\xA8%20bG8=");
  ASSERT_TRUE(unicodeSpace);
  EXPECT_EQ(unicodeSpace->data, "Hello");
  EXPECT_EQ(unicodeSpace->mime, "text/plain");

  auto bytes = DataURL::decode("data:image/png;base64,/wCA");
  ASSERT_TRUE(bytes);
  EXPECT_EQ(bytes->data, std::string("\xFF\0\x80", 3));

  // "base64" must be a whole parameter, in lower case.
  auto notBase64 = DataURL::decode("data:text/plain;Base64,SGk=");
  ASSERT_TRUE(notBase64);
  EXPECT_EQ(notBase64->data, "SGk=");
  auto other = DataURL::decode("data:text/plain;x=base64,SGk=");
  ASSERT_TRUE(other);
  EXPECT_EQ(other->data, "SGk=");
  // Any piece of the header counts, the first one included.
  auto bare = DataURL::decode("data:base64,SGk=");
  ASSERT_TRUE(bare);
  EXPECT_EQ(bare->data, "Hi");
  auto later = DataURL::decode("data:text/plain;charset=utf-8;base64,SGk=");
  ASSERT_TRUE(later);
  EXPECT_EQ(later->data, "Hi");
}

TEST(DataURLTest, MalformedInputGivesNothing) {
  EXPECT_FALSE(DataURL::decode(""));
  EXPECT_FALSE(DataURL::decode("data:text/plain"));  // no comma
  EXPECT_FALSE(DataURL::decode("DATA:,x"));          // the prefix is case-sensitive
  EXPECT_FALSE(DataURL::decode("https://example.com/a,b"));
  EXPECT_FALSE(DataURL::decode("data:;base64,SGk*"));      // outside the alphabet
  EXPECT_FALSE(DataURL::decode("data:;base64,S"));         // one symbol cannot make a byte
  EXPECT_FALSE(DataURL::decode("data:;base64,SG=k"));      // padding in the middle
  EXPECT_FALSE(DataURL::decode("data:;base64,SGk=SGk="));  // padding before the end
  EXPECT_FALSE(DataURL::decode("data:;base64,SGk\xC3\xA9"));
}

}  // namespace
}  // namespace tavolune
