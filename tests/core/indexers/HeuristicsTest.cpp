#include "core/indexers/EVMContracts.hpp"
#include "core/indexers/Heuristics.hpp"

#include <gtest/gtest.h>

using namespace tavolune;
using std::nullopt;

namespace {

TEST(Heuristics, MediaKind) {
  using Heuristics::mediaKind;
  EXPECT_EQ(mediaKind("VIDEO/MP4", nullopt), MediaKind::video);
  EXPECT_EQ(mediaKind("text/html; charset=utf-8", nullopt), MediaKind::generative);
  EXPECT_EQ(mediaKind("application/x-directory", nullopt), MediaKind::generative);
  EXPECT_EQ(mediaKind("application/javascript", "https://x/y.png"), MediaKind::generative);
  EXPECT_EQ(mediaKind("video/webm", "https://x/index.html"), MediaKind::video);
  EXPECT_EQ(mediaKind("image/png", "https://x/clip.mp4?x=1"), MediaKind::video);
  EXPECT_EQ(mediaKind("image/png", "https://x/index.html"), MediaKind::generative);
  EXPECT_EQ(mediaKind("image/png", "ipfs://Qm/anim.GIF"), MediaKind::image);
  EXPECT_EQ(mediaKind(nullopt, "ipfs://Qm/model.GLB"), MediaKind::image);
  EXPECT_EQ(mediaKind(nullopt, "ar://x/song.mp3?v=2"), MediaKind::image);
  EXPECT_EQ(mediaKind(nullopt, "??clip.webm?x"), MediaKind::video);
  EXPECT_EQ(mediaKind(nullopt, "???"), MediaKind::generative);
  EXPECT_EQ(mediaKind(nullopt, nullopt), MediaKind::image);
  EXPECT_EQ(mediaKind("", ""), MediaKind::image);  // an empty animation URI counts as absent
  EXPECT_EQ(mediaKind("audio/mpeg", nullopt), MediaKind::other);
  EXPECT_EQ(mediaKind("audio/mpeg", ""), MediaKind::other);
  EXPECT_EQ(mediaKind("IMAGE/SVG+XML", nullopt), MediaKind::image);
}

TEST(Heuristics, ArtistFromAttributes) {
  auto attrs = [](const char* text) { return JSONValue::parse(text); };
  auto a = attrs(R"([{"trait_type":"Palette","value":"warm"},{"trait_type":"Artist Name","value":"  Studio K  "}])");
  EXPECT_EQ(Heuristics::artist(&a, "Waves by Someone Else"), "Studio K");
  auto number = attrs(R"([{"trait_type":"artist","value":42}])");
  EXPECT_EQ(Heuristics::artist(&number, nullopt), "42");
  auto blankFirst = attrs(R"([{"trait_type":"creator","value":"   "},{},{"trait_type":"ARTIST","value":"Ada"}])");
  EXPECT_EQ(Heuristics::artist(&blankFirst, nullopt), "Ada");
  auto onlyBlank = attrs(R"([{"trait_type":"creator","value":"\t "}])");
  EXPECT_EQ(Heuristics::artist(&onlyBlank, "Dunes by Ada"), "Ada");
  auto object = attrs(R"({"trait_type":"artist","value":"Not Me"})");
  EXPECT_EQ(Heuristics::artist(&object, "Dunes by Ada"), "Ada");
  auto noName = attrs(R"([{"value":"Nobody"}, "artist", null])");
  EXPECT_EQ(Heuristics::artist(&noName, nullopt), nullopt);
  EXPECT_EQ(Heuristics::artist(nullptr, nullopt), nullopt);
}

TEST(Heuristics, ArtistFromCollectionName) {
  EXPECT_EQ(Heuristics::artist(nullptr, "Waves by Studio K"), "Studio K");
  EXPECT_EQ(Heuristics::artist(nullptr, "Waves BY Studio K"), "Studio K");
  EXPECT_EQ(Heuristics::artist(nullptr, "Waves\tby\u00a0Studio K "), "Studio K");
  EXPECT_EQ(Heuristics::artist(nullptr, "Waves"), nullopt);
  EXPECT_EQ(Heuristics::artist(nullptr, "Standby Studio"), nullopt);
  EXPECT_EQ(Heuristics::artist(nullptr, "Waves by "), nullopt);
  EXPECT_EQ(Heuristics::artist(nullptr, "Stand by Me by Ada"), "Ada");
  std::string eighty(80, 'x');
  EXPECT_EQ(Heuristics::artist(nullptr, "W by " + eighty), eighty);
  EXPECT_EQ(Heuristics::artist(nullptr, "W by " + eighty + "y"), nullopt);
  // Characters, not bytes: 80 accented letters still fit.
  std::string accented;
  for (int i = 0; i < 80; ++i) accented += "é";
  EXPECT_EQ(Heuristics::artist(nullptr, "W by " + accented), accented);
}

TEST(Heuristics, EditionNumber) {
  EXPECT_EQ(Heuristics::editionNumber("Dawn #12"), "12");
  EXPECT_EQ(Heuristics::editionNumber("Dawn # 12"), "12");
  EXPECT_EQ(Heuristics::editionNumber("Dawn #12 "), "12");
  EXPECT_EQ(Heuristics::editionNumber("Dawn #007"), "007");
  EXPECT_EQ(Heuristics::editionNumber("#3"), "3");
  EXPECT_EQ(Heuristics::editionNumber("Dawn #12a"), nullopt);
  EXPECT_EQ(Heuristics::editionNumber("Dawn #12 of 50"), nullopt);
  EXPECT_EQ(Heuristics::editionNumber("No. 12"), nullopt);
  EXPECT_EQ(Heuristics::editionNumber("Dawn #  12"), nullopt);
  EXPECT_EQ(Heuristics::editionNumber(""), nullopt);
}

TEST(Heuristics, LooksLikeSpam) {
  EXPECT_FALSE(Heuristics::looksLikeSpam({}));
  EXPECT_FALSE(Heuristics::looksLikeSpam({nullopt, nullopt}));
  EXPECT_TRUE(Heuristics::looksLikeSpam({"Claim your REWARD"}));
  EXPECT_TRUE(Heuristics::looksLikeSpam({"price $5"}));
  EXPECT_FALSE(Heuristics::looksLikeSpam({"example.io"}));
  EXPECT_TRUE(Heuristics::looksLikeSpam({"example.io now"}));
  EXPECT_TRUE(Heuristics::looksLikeSpam({"a.io", nullopt, "b"}));
  EXPECT_TRUE(Heuristics::looksLikeSpam({"join T.ME/abc"}));
  EXPECT_TRUE(Heuristics::looksLikeSpam({"Dawn", "VISIT site"}));
  EXPECT_FALSE(Heuristics::looksLikeSpam({"Dawn #12", "Fidenza by Tyler Hobbs", "A generative work"}));
  EXPECT_FALSE(Heuristics::looksLikeSpam({"visit"}));  // the entry needs its trailing space
}

TEST(EVMContracts, Platform) {
  using EVMContracts::platform;
  EXPECT_EQ(platform("0x059EDD72CD353DF5106D2B9CC5AB83A52287AC3A", nullopt, nullopt, nullopt), Platform::artBlocks);
  EXPECT_EQ(platform("0x0A1BBD57033F57E7B6743621B79FCB9EB2CE3676", nullopt, "https://verse.works/x", nullopt),
            Platform::brightMoments);
  EXPECT_EQ(platform("0x1", "MOMENT", nullopt, nullopt), Platform::brightMoments);
  EXPECT_EQ(platform("0x1", "moment", nullopt, nullopt), Platform::generic);
  EXPECT_EQ(platform("0x1", nullopt, "https://generator.artblocks.io/0x1/5", nullopt), Platform::artBlocks);
  EXPECT_EQ(platform("0x1", nullopt, nullopt, "https://www.artblocks.io/token/1"), Platform::generic);
  EXPECT_EQ(platform("0x1", nullopt, nullopt, "https://VERSE.works/series"), Platform::verse);
  EXPECT_EQ(platform("0x1", nullopt, nullopt, "https://www.fxhash.xyz/gentk/1"), Platform::fxhash);
  EXPECT_EQ(platform("0x1", nullopt, "https://gateway.fxhash2.xyz/ipfs/Qm", nullopt), Platform::fxhash);
  EXPECT_EQ(platform("", nullopt, nullopt, nullopt), Platform::generic);
  EXPECT_EQ(platform("", "", "", ""), Platform::generic);
  EXPECT_EQ(EVMContracts::artBlocks().size(), 4u);
  for (const auto& c : EVMContracts::artBlocks()) {
    EXPECT_EQ(c.size(), 42u);
    EXPECT_TRUE(c.starts_with("0x"));
  }
}

}  // namespace
