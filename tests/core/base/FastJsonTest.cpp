#include "core/model/Artwork.hpp"
#include "core/model/Wallet.hpp"
#include "core/base/FastJson.hpp"

#include <gtest/gtest.h>

#include <map>

namespace tavolune::json {
namespace {

// Decodes text both ways; both must agree on success and on the value.
template <class T>
std::optional<T> decodeBothWays(std::string_view text) {
  auto tree = Json::parse(text);
  std::optional<T> viaTree;
  try {
    viaTree = decode<T>(tree);
  } catch (const DecodeError&) {
  }
  auto doc = FastDocument::parse(text);
  EXPECT_TRUE(doc.has_value()) << text;
  if (!doc) return viaTree;
  std::optional<T> viaFast;
  try {
    viaFast = decode<T>(doc->root());
  } catch (const DecodeError&) {
  }
  EXPECT_EQ(viaTree.has_value(), viaFast.has_value()) << text;
  if (viaTree && viaFast) {
    EXPECT_TRUE(*viaTree == *viaFast) << text;
  }
  return viaFast;
}

TEST(FastJson, ANulByteOutsideAStringIsNoEndOfText) {
  using namespace std::string_literals;
  for (const std::string& text : {"123\0"s, "[1]\0anything"s, "{\"a\":1}\0{\"b\":2}"s, "{\"a\":1}\0\t\":{\"b\":1}}"s, "\0"s, "[1,\0 2]"s}) {
    EXPECT_FALSE(FastDocument::parse(text)) << text.size();
    std::string padded = text;
    padded.reserve(text.size() + 64);
    EXPECT_FALSE(FastDocument::parseInPlace(padded)) << text.size();
    EXPECT_ANY_THROW(parseWhole(text)) << text.size();
  }
  EXPECT_EQ(parseWhole("[1]"), Json::array({1}));
}

TEST(FastJson, DecodesArtworksLikeTheTree) {
  const std::string good =
      R"({"id":"tezos:kt1:7","chain":"tezos","contract":"KT1","tokenId":"7","title":"Dunes \u00e9","artist":null,)"
      R"("platform":"fxhash","mediaKind":"image","aspectRatio":1,"year":2021.0,"editionSize":18446744073709551615,)"
      R"("isSpam":false})";
  // editionSize past the signed range fails both ways.
  EXPECT_FALSE(decodeBothWays<Artwork>(good).has_value());
  std::string fixed = good;
  fixed.replace(fixed.find("18446744073709551615"), 20, "3");
  auto a = decodeBothWays<Artwork>(fixed);
  ASSERT_TRUE(a);
  EXPECT_EQ(a->title, "Dunes \u00e9");
  EXPECT_EQ(a->year, 2021);
  EXPECT_EQ(a->aspectRatio, 1.0);
  EXPECT_FALSE(a->artist.has_value());

  for (const char* bad : {R"({"id":"x"})", R"([1,2])", R"({"id":"x","chain":"tezos","contract":"c","tokenId":"1",)"
                                                        R"("title":"t","platform":"objkt","mediaKind":"image","isSpam":1})",
                          R"({"id":"x","chain":"tezos","contract":"c","tokenId":"1","title":"t","platform":"objkt",)"
                          R"("mediaKind":"image","isSpam":true,"year":1.5})"}) {
    EXPECT_FALSE(decodeBothWays<Artwork>(bad).has_value()) << bad;
  }
}

TEST(FastJson, ContainersAndConversionBackToTree) {
  auto m = decodeBothWays<std::map<std::string, std::vector<std::int64_t>>>(R"({"a":[1,2],"b":[]})");
  ASSERT_TRUE(m);
  EXPECT_EQ(m->at("a"), (std::vector<std::int64_t>{1, 2}));
  EXPECT_FALSE((decodeBothWays<std::map<std::string, std::int64_t>>(R"({"a":"1"})").has_value()));

  auto doc = FastDocument::parse(R"({"w":[{"k":true,"n":null,"d":2.5,"u":18446744073709551615,"i":-4}],"s":"x"})");
  ASSERT_TRUE(doc);
  EXPECT_EQ(toJson(doc->root()),
            Json::parse(R"({"w":[{"k":true,"n":null,"d":2.5,"u":18446744073709551615,"i":-4}],"s":"x"})"));
  // A repeated key means its last value both ways.
  auto repeated = decodeBothWays<std::map<std::string, std::int64_t>>(R"({"a":1,"a":2})");
  ASSERT_TRUE(repeated);
  EXPECT_EQ(repeated->at("a"), 2);
  auto twice = FastDocument::parse(R"({"k":1,"k":2})");
  EXPECT_EQ(member(twice->root(), "k") ? wholeNumberOf(*member(twice->root(), "k")) : std::nullopt, 2);
  EXPECT_FALSE(FastDocument::parse("{\"a\":").has_value());
  EXPECT_FALSE(FastDocument::parse("[\"\xff\"]").has_value());
}

}  // namespace
}  // namespace tavolune::json
