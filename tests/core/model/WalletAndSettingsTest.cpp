#include "core/model/AppSettings.hpp"
#include "core/model/ScreenConfig.hpp"
#include "core/model/Wallet.hpp"

#include <gtest/gtest.h>

namespace tavolune {
namespace {

using json::Json;

TEST(Wallet, ConstructorDefaultsAndRole) {
  auto id = Uuid::random();
  auto collector = Wallet::make(id, "me", "me.eth", "0x1111111111222222222233333333334444444444", "me.eth",
                                ChainFamily::evm, std::nullopt, WalletRole::collector);
  EXPECT_FALSE(collector.role.has_value());
  EXPECT_FALSE(collector.isArtist());
  EXPECT_EQ(collector.chains,
            (std::vector<Chain>{Chain::ethereum, Chain::base, Chain::optimism, Chain::arbitrum, Chain::polygon}));
  EXPECT_FALSE(collector.toJson().contains("role"));

  auto artist = Wallet::make(id, "art", "tz1x", "tz1x", std::nullopt, ChainFamily::tezos, std::nullopt,
                             WalletRole::artist);
  EXPECT_EQ(artist.chains, std::vector<Chain>{Chain::tezos});
  EXPECT_EQ(artist.toJson()["role"], "artist");
  EXPECT_TRUE(Wallet::fromJson(artist.toJson()).isArtist());
  EXPECT_FALSE(Wallet::fromJson(collector.toJson()).isArtist());

  auto stored = collector.toJson();
  stored["role"] = "collector";
  EXPECT_EQ(Wallet::fromJson(stored).role, WalletRole::collector);
  EXPECT_EQ(label(WalletRole::artist), "My Creations");
}

TEST(Wallet, ShortAddressCountsCharacters) {
  EXPECT_EQ(shortAddress("0123456789ab"), "0123456789ab");
  EXPECT_EQ(shortAddress("0123456789abc"), "012345\u20269abc");
  EXPECT_EQ(shortAddress("0x1111111111222222222233333333334444444444"), "0x1111\u20264444");
  // Twelve characters, many more bytes: still shown whole.
  EXPECT_EQ(shortAddress("\u00E9\u00E9\u00E9\u00E9\u00E9\u00E9\u00E9\u00E9\u00E9\u00E9\u00E9\u00E9"),
            "\u00E9\u00E9\u00E9\u00E9\u00E9\u00E9\u00E9\u00E9\u00E9\u00E9\u00E9\u00E9");
}

TEST(Wallet, JsonRequiredAndOptionalKeys) {
  auto w = Wallet::make(Uuid::random(), "me", "in", "addr", std::nullopt, ChainFamily::evm);
  w.lastSync = iso8601::parse("2024-05-01T12:00:00Z");
  w.uncheckedChains = std::vector<Chain>{Chain::base};
  auto j = w.toJson();
  EXPECT_EQ(j["lastSync"], "2024-05-01T12:00:00Z");
  EXPECT_EQ(j["id"].get<std::string>(), w.id.string());
  EXPECT_EQ(Wallet::fromJson(j), w);

  auto noChains = j;
  noChains.erase("chains");
  EXPECT_THROW(Wallet::fromJson(noChains), json::DecodeError);
  auto noSync = j;
  noSync.erase("lastSync");
  EXPECT_FALSE(Wallet::fromJson(noSync).lastSync.has_value());
  auto fractional = j;
  fractional["lastSync"] = "2024-05-01T12:00:00.5Z";
  EXPECT_THROW(Wallet::fromJson(fractional), json::DecodeError);
  auto badChain = j;
  badChain["chains"] = Json::array({"ethereum", "solana"});
  EXPECT_THROW(Wallet::fromJson(badChain), json::DecodeError);
  auto lowerId = j;
  std::string id = w.id.string();
  for (auto& c : id) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  lowerId["id"] = id;
  EXPECT_EQ(Wallet::fromJson(lowerId).id, w.id);
}

TEST(AppSettings, LenientDecodingKeyByKey) {
  EXPECT_EQ(AppSettings::fromJson(Json::object()), AppSettings{});
  auto s = AppSettings::fromJson(Json::parse(
      R"({"frame":"gold","rotationInterval":"fast","launchAtLogin":false,"animation":null,
          "cartelMode":"always","rotationOrder":3,"screenSaverDelay":300})"));
  EXPECT_EQ(s.frame, FrameStyle::none);
  EXPECT_EQ(s.rotationInterval, 3600);
  EXPECT_FALSE(s.launchAtLogin);
  EXPECT_EQ(s.animation, AnimationPolicy::selected);
  EXPECT_EQ(s.cartelMode, CartelMode::always);
  EXPECT_EQ(s.rotationOrder, PlaybackOrder::shuffle);
  EXPECT_EQ(s.screenSaverDelay, 300);
  EXPECT_THROW(AppSettings::fromJson(Json::array()), json::DecodeError);

  auto encoded = AppSettings{}.toJson();
  EXPECT_EQ(encoded.size(), 11u);
  EXPECT_EQ(AppSettings::fromJson(encoded), AppSettings{});
  EXPECT_EQ(encoded.begin().key(), "rotationOrder");
}

TEST(ScreenConfig, StrictDecoding) {
  EXPECT_THROW(ScreenConfig::fromJson(Json::object()), json::DecodeError);
  auto c = ScreenConfig::fromJson(Json::parse(R"({"framing":"fit"})"));
  EXPECT_EQ(c.framing, Framing::fit);
  EXPECT_FALSE(c.currentArtworkID.has_value());
  EXPECT_FALSE(c.lastChange.has_value());
  EXPECT_THROW(ScreenConfig::fromJson(Json::parse(R"({"framing":"fit","currentArtworkID":3})")), json::DecodeError);
  c.lastChange = iso8601::parse("2024-05-01T14:00:00+02:00");
  EXPECT_EQ(c.toJson()["lastChange"], "2024-05-01T12:00:00Z");
  EXPECT_EQ(ScreenConfig::fromJson(c.toJson()), c);
}

TEST(DisplayChoices, LabelsAndExplanations) {
  EXPECT_EQ(label(Framing::passePartout), "Mat");
  EXPECT_EQ(label(CartelMode::onChange), "On Change (10 s)");
  EXPECT_EQ(label(AnimationPolicy::never), "Static");
  EXPECT_EQ(explanation(FrameStyle::naturalOak), "Light oak with a fine grain, and an ivory mat.");
  for (auto f : allCases<FrameStyle>()) EXPECT_FALSE(label(f).empty());
  EXPECT_NE(explanation(AnimationPolicy::selected).find("\u201CAnimate on Desktop\u201D"), std::string_view::npos);
}

TEST(Dates, StrictInternetForm) {
  EXPECT_TRUE(iso8601::parse("2024-02-29T23:59:59Z"));
  EXPECT_FALSE(iso8601::parse("2023-02-29T00:00:00Z"));
  EXPECT_FALSE(iso8601::parse("2024-05-01T12:00:00"));
  EXPECT_FALSE(iso8601::parse("2024-05-01 12:00:00Z"));
  EXPECT_FALSE(iso8601::parse("2024-05-01T12:00:00.000Z"));
  EXPECT_FALSE(iso8601::parse("2024-05-01T24:00:00Z"));
  EXPECT_EQ(iso8601::parse("2024-05-01T00:30:00-01:00"), iso8601::parse("2024-05-01T01:30:00Z"));
  EXPECT_EQ(iso8601::format(*iso8601::parse("1999-12-31T23:59:59+00:00")), "1999-12-31T23:59:59Z");
}

}  // namespace
}  // namespace tavolune
