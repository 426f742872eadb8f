#include "core/model/Artwork.hpp"

#include <gtest/gtest.h>

namespace tavolune {
namespace {

Artwork work(std::string title) {
  return Artwork::make({.chain = Chain::tezos, .contract = "KT1Abc", .tokenId = "7", .title = std::move(title)});
}

TEST(Chain, TablesAndFamilies) {
  EXPECT_EQ(displayName(Chain::optimism), "Optimism");
  EXPECT_EQ(shortName(Chain::polygon), "POL");
  EXPECT_EQ(shortName(Chain::tezos), "XTZ");
  EXPECT_EQ(family(Chain::arbitrum), ChainFamily::evm);
  EXPECT_EQ(primaryChain(ChainFamily::bitcoin), Chain::bitcoin);
  EXPECT_EQ(chains(ChainFamily::evm),
            (std::vector<Chain>{Chain::ethereum, Chain::base, Chain::optimism, Chain::arbitrum, Chain::polygon}));
  EXPECT_EQ(chains(ChainFamily::tezos), std::vector<Chain>{Chain::tezos});
  EXPECT_EQ(fromRawValue<Chain>("base"), Chain::base);
  EXPECT_FALSE(fromRawValue<Chain>("Base").has_value());
  EXPECT_FALSE(fromRawValue<Platform>("foundation").has_value());
  EXPECT_EQ(displayName(Platform::objkt), "objkt / Hic et Nunc");
  EXPECT_EQ(displayName(Platform::generic), "Other");
  EXPECT_EQ(label(MediaKind::generative), "generative");
}

TEST(Artwork, IdentityLowerCasesOnlyTheContract) {
  EXPECT_EQ(Artwork::makeID(Chain::ethereum, "0xAbC", "12"), "ethereum:0xabc:12");
  EXPECT_EQ(Artwork::makeID(Chain::ethereum, "0xAbC", "AbC"), "ethereum:0xabc:AbC");
  auto a = Artwork::make({.chain = Chain::ethereum, .contract = "0xAbC", .tokenId = "12", .title = "t"});
  EXPECT_EQ(a.id, "ethereum:0xabc:12");
  EXPECT_EQ(a.contract, "0xAbC");
  EXPECT_EQ(a.collectionKey(), "ethereum:0xabc");
}

TEST(Artwork, WallLabelTitleDropsTheEditionSuffix) {
  auto a = work("Dunes #12");
  a.editionNumber = "12";
  EXPECT_EQ(a.cartelTitle(), "Dunes");
  a.title = "#12";
  EXPECT_EQ(a.cartelTitle(), "#12");
  a.title = "Dunes #12";
  a.editionNumber = "7";
  EXPECT_EQ(a.cartelTitle(), "Dunes #12");
  a.editionNumber.reset();
  EXPECT_EQ(a.cartelTitle(), "Dunes #12");
  a.title = "Dunes\u00A0#7";
  a.editionNumber = "7";
  EXPECT_EQ(a.cartelTitle(), "Dunes");
}

TEST(Artwork, WallLabelCollectionLine) {
  auto a = work("Untitled");
  a.collection = "Dunes by A. Artist";
  a.artist = "a. artist";
  EXPECT_EQ(a.cartelCollection(), "Dunes");

  auto b = work("Dunes #3");
  b.collection = "Dunes";
  EXPECT_FALSE(b.cartelCollection().has_value());

  auto c = work("Untitled");
  c.collection = "Typed";
  EXPECT_FALSE(c.cartelCollection().has_value());
  c.collection = "fx(hash) generative";
  EXPECT_FALSE(c.cartelCollection().has_value());
  c.collection = "  Outlines  ";
  EXPECT_EQ(c.cartelCollection(), "Outlines");
  c.artist = "OUTLINES";
  EXPECT_FALSE(c.cartelCollection().has_value());
  c.collection.reset();
  EXPECT_FALSE(c.cartelCollection().has_value());

  auto empty = work("");
  empty.collection = "Dunes";
  EXPECT_FALSE(empty.cartelCollection().has_value());
}

TEST(Artwork, WallLabelDetailsLine) {
  auto a = work("Untitled");
  a.collection = "Dunes";
  a.year = 2023;
  a.editionNumber = "12";
  a.editionSize = 500;
  EXPECT_EQ(a.cartelDetails(), "Dunes \u00B7 2023 \u00B7 #12 / 500 \u00B7 Tezos");
  a.editionNumber = "1";
  a.editionSize = 1;
  a.collection.reset();
  a.year.reset();
  EXPECT_EQ(a.cartelDetails(), "#1 \u00B7 Tezos");
  a.editionSize.reset();
  EXPECT_EQ(a.cartelDetails(), "#1 \u00B7 Tezos");
  EXPECT_EQ(work("x").cartelDetails(), "Tezos");
}

TEST(Artwork, MuseumDetails) {
  struct Case {
    std::optional<std::string> collection;
    MediaKind kind;
    std::optional<std::string> mime;
    std::optional<std::string> number;
    std::optional<std::int64_t> size;
    std::string expected;
  };
  const std::vector<Case> cases{
      {"Dunes", MediaKind::generative, {}, "7", 100, "Dunes \u00B7 Generative, code \u00B7 No. 7 of 100 \u00B7 Tezos"},
      {{}, MediaKind::video, {}, "7", {}, "Video \u00B7 No. 7 \u00B7 Tezos"},
      {{}, MediaKind::image, "image/gif", "7", 1, "Animated GIF \u00B7 Unique \u00B7 Tezos"},
      {{}, MediaKind::image, "image/png", "7", 0, "Digital image \u00B7 Unique \u00B7 Tezos"},
      {{}, MediaKind::other, "image/gif", {}, 50, "Digital image \u00B7 Tezos"},
  };
  for (const auto& c : cases) {
    auto a = work("Sunrise");
    a.collection = c.collection;
    a.mediaKind = c.kind;
    a.mime = c.mime;
    a.editionNumber = c.number;
    a.editionSize = c.size;
    EXPECT_EQ(a.museumDetails(), c.expected);
  }
}

TEST(Artwork, LiveRule) {
  auto a = work("x");
  a.mediaKind = MediaKind::image;
  a.imageURI = "ipfs://Qm123/anim.GIF?x=1";
  EXPECT_TRUE(a.isAnimatedImage());
  EXPECT_TRUE(a.isLive());
  a.imageURI = "ipfs://Qm123/still.png?f=.gif";
  EXPECT_FALSE(a.isAnimatedImage());
  a.animationURI = "??https://x/y.gif";  // empty pieces are dropped
  EXPECT_TRUE(a.isAnimatedImage());
  a.animationURI.reset();
  a.mime = "IMAGE/GIF";
  EXPECT_TRUE(a.isLive());
  a.mediaKind = MediaKind::other;
  EXPECT_FALSE(a.isAnimatedImage());
  EXPECT_FALSE(a.isLive());
  a.mediaKind = MediaKind::video;
  a.mime.reset();
  EXPECT_TRUE(a.isLive());
  EXPECT_FALSE(a.isAnimatedImage());
}

TEST(Artwork, JsonRoundTripAndRejections) {
  auto a = work("Dunes");
  a.aspectRatio = 1.5;
  a.year = 2021;
  a.description = "sand";
  auto j = a.toJson();
  EXPECT_EQ(j.dump().find("null"), std::string::npos);
  EXPECT_FALSE(j.contains("artist"));
  EXPECT_TRUE(j.contains("isSpam"));
  std::vector<std::string> keys;
  for (auto& [k, v] : j.items()) keys.push_back(k);
  EXPECT_EQ(keys.front(), "id");
  EXPECT_EQ(keys.back(), "description");
  EXPECT_EQ(Artwork::fromJson(j), a);

  auto noDescription = j;
  noDescription.erase("description");
  auto b = Artwork::fromJson(noDescription);
  EXPECT_FALSE(b.description.has_value());
  EXPECT_FALSE(b.toJson().contains("description"));

  auto withNull = j;
  withNull["artist"] = nullptr;
  EXPECT_FALSE(Artwork::fromJson(withNull).artist.has_value());

  auto expectFail = [&](auto mutate) {
    auto bad = j;
    mutate(bad);
    EXPECT_THROW(Artwork::fromJson(bad), json::DecodeError) << bad.dump();
  };
  expectFail([](json::Json& o) { o["platform"] = "foundation"; });
  expectFail([](json::Json& o) { o.erase("isSpam"); });
  expectFail([](json::Json& o) { o["isSpam"] = 0; });
  expectFail([](json::Json& o) { o["title"] = 5; });
  expectFail([](json::Json& o) { o["artist"] = 5; });
  expectFail([](json::Json& o) { o["year"] = 2021.5; });
  expectFail([](json::Json& o) { o["year"] = "2021"; });
  expectFail([](json::Json& o) { o["editionSize"] = 1e30; });
  expectFail([](json::Json& o) { o["chain"] = "Ethereum"; });

  auto stored = j;
  stored["id"] = "custom-id";
  EXPECT_EQ(Artwork::fromJson(stored).id, "custom-id");
  auto wholeDouble = j;
  wholeDouble["year"] = 2021.0;
  EXPECT_EQ(Artwork::fromJson(wholeDouble).year, 2021);
  EXPECT_THROW(Artwork::fromJson(json::Json::parse(R"({"aspectRatio":1e999})")), std::exception);
}

}  // namespace
}  // namespace tavolune
