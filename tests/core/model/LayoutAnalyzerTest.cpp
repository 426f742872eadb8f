#include "core/model/Artwork.hpp"
#include "core/model/LayoutAnalyzer.hpp"

#include <gtest/gtest.h>

namespace tavolune {
namespace {

using namespace LayoutAnalyzer;

LayoutSample sample(double vw, double vh, double w, double h, std::optional<std::string> bg = std::nullopt) {
  return {vw, vh, w, h, std::move(bg)};
}

TEST(LayoutAnalyzer, ClassifiesFillingFixedAndDisagreeingSamples) {
  EXPECT_EQ(classify({sample(1600, 1000, 1600, 1000), sample(1000, 1000, 1000, 1000)}), ArtLayout::responsive());
  EXPECT_EQ(classify({sample(1600, 1000, 1000, 1000), sample(1000, 1000, 1000, 1000)}), ArtLayout::fixed(1.0));
  // The median of two is the larger ratio.
  EXPECT_EQ(classify({sample(1600, 1000, 1500, 1000), sample(1000, 1000, 1000, 667)}), ArtLayout::fixed(1.5));
  EXPECT_EQ(classify({sample(1600, 1000, 1600, 900), sample(1000, 1000, 1000, 900)}), ArtLayout::responsive());
  // A dropped sample skips the full-window test.
  EXPECT_EQ(classify({sample(1600, 1000, 3, 1000), sample(1000, 1000, 1000, 1000)}), ArtLayout::fixed(1.0));
  EXPECT_EQ(classify({}), ArtLayout::unknown());
  EXPECT_EQ(classify({sample(1600, 1000, 4, 500), sample(1000, 1000, 900, 4)}), ArtLayout::unknown());
}

TEST(LayoutAnalyzer, ParsesCSSColours) {
  EXPECT_FALSE(parseCSSColor(std::string_view("rgba(0, 0, 0, 0)")));
  EXPECT_EQ(parseCSSColor(std::string_view("rgba(255, 255, 255, 0.5)")), (RGBColor{1, 1, 1}));
  auto c = parseCSSColor(std::string_view("rgb(255 128 0 / 50%)"));
  ASSERT_TRUE(c);
  EXPECT_DOUBLE_EQ(c->r, 1);
  EXPECT_NEAR(c->g, 0.502, 0.001);
  EXPECT_DOUBLE_EQ(c->b, 0);
  EXPECT_FALSE(parseCSSColor(std::string_view("transparent")));
  EXPECT_FALSE(parseCSSColor(std::optional<std::string>()));
  EXPECT_FALSE(parseCSSColor(std::string_view("#ffffff")));
  EXPECT_FALSE(parseCSSColor(std::string_view(")rgb(1,2,3(")));
  EXPECT_FALSE(parseCSSColor(std::string_view("rgb(1, 2)")));
  EXPECT_EQ(parseCSSColor(std::string_view("color(510, 0, 0)")), (RGBColor{2, 0, 0}));  // not clamped
}

TEST(LayoutAnalyzer, ProfileTakesTheFirstSampleWithAColour) {
  const auto before = now();
  auto p = profile({sample(1600, 1000, 1600, 1000, "transparent"), sample(1000, 1000, 1000, 1000, "rgb(0, 0, 255)"),
                    sample(1000, 1000, 1000, 1000, "rgb(255, 0, 0)")});
  EXPECT_EQ(p.layout, ArtLayout::responsive());
  EXPECT_EQ(p.background, (RGBColor{0, 0, 1}));
  EXPECT_GE(p.measuredAt, before);
  EXPECT_LE(p.measuredAt, now());
}

TEST(LayoutAnalyzer, ChoosesPlacement) {
  EXPECT_EQ(placement(ArtLayout::responsive(), std::nullopt, 1.6, std::nullopt), Placement::fullBleed());
  EXPECT_EQ(placement(ArtLayout::responsive(), 0.8, 1.6, Framing::passePartout),
            Placement::framed(0.8, Framing::passePartout));
  EXPECT_EQ(placement(ArtLayout::unknown(), std::nullopt, 1.0, std::nullopt), Placement::framed(1.0, Framing::fill));
  EXPECT_EQ(placement(ArtLayout::fixed(1.5), std::nullopt, 1.6, std::nullopt), Placement::framed(1.5, Framing::fill));
  EXPECT_EQ(placement(ArtLayout::fixed(1.5), std::nullopt, 1.78, std::nullopt),
            Placement::framed(1.5, Framing::passePartout));
  EXPECT_EQ(placement(std::nullopt, 2.0, 1.0, Framing::fit), Placement::framed(2.0, Framing::fit));
}

TEST(LayoutAnalyzer, LayoutsAndProfilesRoundTripThroughJson) {
  EXPECT_EQ(ArtLayout::fixed(1.25).toJson().dump(), R"({"fixed":{"ratio":1.25}})");
  EXPECT_EQ(ArtLayout::responsive().toJson().dump(), R"({"responsive":{}})");
  for (const auto* bad : {R"({})", R"({"fixed":{"ratio":1},"unknown":{}})"}) {
    try {
      ArtLayout::fromJson(json::Json::parse(bad));
      ADD_FAILURE() << bad;
    } catch (const json::DecodeError& e) {
      EXPECT_STREQ(e.what(), "Invalid number of keys found, expected one.");
    }
  }
  EXPECT_THROW(ArtLayout::fromJson(json::Json::parse(R"({"fixed":{}})")), json::DecodeError);
  EXPECT_THROW(ArtLayout::fromJson(json::Json::parse(R"({"fixed":{"ratio":"1"}})")), json::DecodeError);

  RenderProfile p{ArtLayout::fixed(0.5), RGBColor{0.1, 0.2, 0.3}, *iso8601::parse("2024-05-01T12:00:00Z")};
  auto j = p.toJson();
  EXPECT_EQ(j.dump(), R"({"layout":{"fixed":{"ratio":0.5}},"background":{"r":0.1,"g":0.2,"b":0.3},)"
                      R"("measuredAt":"2024-05-01T12:00:00Z"})");
  EXPECT_EQ(RenderProfile::fromJson(j), p);
  p.background.reset();
  EXPECT_FALSE(p.toJson().contains("background"));
  EXPECT_THROW(RenderProfile::fromJson(json::Json::parse(R"({"layout":{"unknown":{}},"measuredAt":"2024-05-01T12:00:00.5Z"})")),
               json::DecodeError);

  auto s = LayoutSample::fromJson(json::Json::parse(R"J({"vw":1600,"vh":1000,"w":800,"h":600,"bg":"rgb(0, 0, 0)"})J"));
  EXPECT_EQ(s, sample(1600, 1000, 800, 600, "rgb(0, 0, 0)"));
  EXPECT_THROW(LayoutSample::fromJson(json::Json::parse(R"({"vw":1600,"vh":1000,"w":800})")), json::DecodeError);
}

TEST(LayoutAnalyzer, MeasureScriptReturnsTheSampleKeysInOrder) {
  const std::string_view script = measureScript;
  auto at = [&](std::string_view key) { return script.find(key); };
  EXPECT_NE(at("canvas,svg,img,video,iframe"), std::string_view::npos);
  EXPECT_LT(at("vw:"), at("vh:"));
  EXPECT_LT(at("vh:"), at("w: best"));
  EXPECT_LT(at("w: best"), at("h: best"));
  EXPECT_LT(at("h: best"), at("bg:"));
  EXPECT_NE(at("\"rgba(0, 0, 0, 0)\""), std::string_view::npos);
}

Artwork generative(std::string title, std::optional<std::string> edition, std::optional<std::string> animation) {
  return Artwork::make({.chain = Chain::ethereum,
                        .contract = "0xAbC",
                        .tokenId = "1",
                        .title = std::move(title),
                        .mediaKind = MediaKind::generative,
                        .animationURI = std::move(animation),
                        .editionNumber = std::move(edition)});
}

TEST(SeriesKey, FollowsTheFirstRuleThatApplies) {
  EXPECT_EQ(generative("Dunes #12", "12", std::nullopt).seriesKey(), "ethereum:0xAbC:dunes");
  EXPECT_EQ(generative("Dunes  # 12  ", "12", std::nullopt).seriesKey(), "ethereum:0xAbC:dunes");
  EXPECT_EQ(generative("Ëlan#3", "3", std::nullopt).seriesKey(), "ethereum:0xAbC:ëlan");
  // Two spaces between "#" and the digits do not form an edition suffix.
  EXPECT_EQ(generative("Dunes #  12", "12", "onchfs://abcdef/index.html?x=1").seriesKey(),
            "onchfs:abcdef/index.html");
  EXPECT_EQ(generative("Untitled", std::nullopt, "onchfs://abcdef/index.html?x=1").seriesKey(),
            "onchfs:abcdef/index.html");
  auto ipfs = generative("Untitled", std::nullopt, "ipfs://QmXoypizjW3WknFiJnKLwHCnL72vedxjQkDDP1mXWo6uco/a/b?seed=2");
  EXPECT_EQ(ipfs.seriesKey(), "ipfs:QmXoypizjW3WknFiJnKLwHCnL72vedxjQkDDP1mXWo6uco/a/b");

  auto artBlocks = [](std::string tokenId, std::optional<std::string> animation = std::nullopt) {
    return Artwork::make({.chain = Chain::ethereum,
                          .contract = "0xAbC",
                          .tokenId = std::move(tokenId),
                          .title = "Fidenza",
                          .platform = Platform::artBlocks,
                          .mediaKind = MediaKind::generative,
                          .animationURI = std::move(animation)});
  };
  EXPECT_EQ(artBlocks("78000001").seriesKey(), "ethereum:0xAbC:78");
  EXPECT_EQ(artBlocks("78000999").seriesKey(), artBlocks("78000001").seriesKey());
  EXPECT_EQ(artBlocks("-78000123").seriesKey(), "ethereum:0xAbC:-78");
  EXPECT_EQ(artBlocks("99999999999999999999").seriesKey(), artBlocks("99999999999999999999").id);
  EXPECT_EQ(artBlocks("x1", "data:text/html,<p>").seriesKey(), "ethereum:0xabc");
  EXPECT_EQ(artBlocks("x1").seriesKey(), "ethereum:0xabc:x1");
}

}  // namespace
}  // namespace tavolune
