#include "core/model/LibraryState.hpp"
#include "tests/support/LibraryFixtures.hpp"

#include <gtest/gtest.h>

namespace tavolune {
namespace {

using testsupport::hold;
using testsupport::work;

LibraryState decodeText(std::string_view text) { return LibraryState::decode(text); }

std::set<std::string> sorted(const ArtworkIDSet& ids) { return {ids.begin(), ids.end()}; }

TEST(LibraryStateCoding, EmptyObjectAndVersionOnlyGiveTheEmptyLibrary) {
  for (auto text : {"{}", R"({"schemaVersion":1})", R"({"wallets":null,"artworks":null,"extra":[1,2]})"}) {
    auto s = decodeText(text);
    EXPECT_TRUE(s.wallets.empty());
    EXPECT_TRUE(s.artworks.empty());
    EXPECT_EQ(s.settings, AppSettings{});
    EXPECT_EQ(s.schemaVersion, 1);
    EXPECT_FALSE(s.activeExhibition);
  }
}

TEST(LibraryStateCoding, WritesEveryMemberInOrderCompactly) {
  LibraryState s;
  auto w = testsupport::wallet();
  auto a = work("1", "Dunes #1");
  hold(s, w, {a});
  s.hiddenArtworks.insert("x");
  s.exhibitions.push_back({*Uuid::parse("E621E1F8-C36C-495A-93FC-0C247A3E6E5F"), "Show", {a.id}});
  const std::string text = s.encode();
  EXPECT_EQ(text.find('\n'), std::string::npos);
  EXPECT_EQ(text.find(": "), std::string::npos);
  std::vector<std::string> keys;
  const auto parsed = json::Json::parse(text);
  for (const auto& [k, v] : parsed.items()) keys.push_back(k);
  EXPECT_EQ(keys, (std::vector<std::string>{"wallets", "artworks", "ownerships", "hiddenArtworks", "hiddenCollections",
                                            "spamOverrides", "onDesktop", "screens", "settings", "preferredFraming",
                                            "rotations", "recentlyShown", "renderProfiles", "animatedArtworks",
                                            "exhibitions", "schemaVersion"}));
  // The alternating ownership array with the wallet id in upper case.
  auto ownerships = json::Json::parse(text)["ownerships"];
  ASSERT_EQ(ownerships.size(), 2u);
  EXPECT_EQ(ownerships[0], w.id.string());
  EXPECT_EQ(ownerships[1][a.id], 1);

  s.activeExhibition = s.exhibitions[0].id;
  auto j = json::Json::parse(s.encode());
  EXPECT_EQ(j["activeExhibition"], "E621E1F8-C36C-495A-93FC-0C247A3E6E5F");
  EXPECT_FALSE(j.contains("playlists"));
}

TEST(LibraryStateCoding, RoundTripsAFullState) {
  LibraryState s;
  auto w = testsupport::wallet(WalletRole::artist);
  w.lastSync = *iso8601::parse("2024-05-01T12:00:00Z");
  auto a = work("1", "Dunes #1", MediaKind::generative, "Ana");
  a.description = "caf\u00e9 \"quoted\"";
  hold(s, w, {a, work("2", "Two")});
  s.ownerships[w.id][a.id] = 7;
  s.hiddenCollections.insert("ethereum:0xdead");
  s.spamOverrides["ethereum:0xc0ffee:2"] = false;
  s.onDesktop = {a.id};
  s.screens["display-1"] = ScreenConfig(Framing::fit);
  s.settings.rotationInterval = 900;
  s.preferredFraming[a.id] = Framing::fill;
  s.rotations[a.id] = -1;
  s.recentlyShown = {"b", "a"};
  s.renderProfiles["series"] = {ArtLayout::fixed(1.5), std::nullopt, *iso8601::parse("2024-05-01T12:00:00Z")};
  s.animatedArtworks = {a.id};
  s.activeExhibition = s.createExhibition("Show", {a.id});

  auto back = LibraryState::decode(s.encode());
  EXPECT_EQ(back.wallets, s.wallets);
  EXPECT_EQ(back.artworks, s.artworks);
  EXPECT_EQ(back.ownerships, s.ownerships);
  EXPECT_EQ(back.hiddenCollections, s.hiddenCollections);
  EXPECT_EQ(back.spamOverrides, s.spamOverrides);
  EXPECT_EQ(back.onDesktop, s.onDesktop);
  EXPECT_EQ(back.screens, s.screens);
  EXPECT_EQ(back.settings, s.settings);
  EXPECT_EQ(back.preferredFraming, s.preferredFraming);
  EXPECT_EQ(back.rotations, s.rotations);
  EXPECT_EQ(back.recentlyShown, s.recentlyShown);
  EXPECT_EQ(back.renderProfiles, s.renderProfiles);
  EXPECT_EQ(back.animatedArtworks, s.animatedArtworks);
  EXPECT_EQ(back.exhibitions, s.exhibitions);
  EXPECT_EQ(back.activeExhibition, s.activeExhibition);
  // The tree and the fast reader agree.
  EXPECT_EQ(LibraryState::fromJson(json::Json::parse(s.encode())).encode(), back.encode());
}

TEST(LibraryStateCoding, MigratesLegacyPlaylists) {
  auto s = decodeText(R"({"playlists":[{"artworkIDs":["a","b"],"name":"x"},{"artworkIDs":["b","c"]}]})");
  EXPECT_EQ(sorted(s.onDesktop), (std::set<std::string>{"a", "b", "c"}));
  auto written = json::Json::parse(s.encode());
  EXPECT_FALSE(written.contains("playlists"));
  EXPECT_EQ(written["onDesktop"].size(), 3u);

  const std::string playlists = R"("playlists":[{"artworkIDs":["a"]}])";
  EXPECT_TRUE(decodeText(R"({"onDesktop":[],)" + playlists + "}").onDesktop.empty());
  EXPECT_EQ(sorted(decodeText(R"({"onDesktop":5,)" + playlists + "}").onDesktop), (std::set<std::string>{"a"}));
  EXPECT_EQ(sorted(decodeText(R"({"onDesktop":null,)" + playlists + "}").onDesktop), (std::set<std::string>{"a"}));

  auto broken = decodeText(R"({"playlists":[{"artworkIDs":["a"]},{"name":"no ids"}],"recentlyShown":["r"]})");
  EXPECT_TRUE(broken.onDesktop.empty());
  EXPECT_EQ(broken.recentlyShown, std::vector<std::string>{"r"});
}

TEST(LibraryStateCoding, LenientMembersFallBackAlone) {
  auto s = decodeText(R"({"settings":"loud","recentlyShown":["a"],"rotations":{"a":"x"},"exhibitions":{},)"
                      R"("activeExhibition":"not-a-uuid","renderProfiles":{"k":{"layout":{}}},"animatedArtworks":7,)"
                      R"("hiddenArtworks":["h"]})");
  EXPECT_EQ(s.settings, AppSettings{});
  EXPECT_EQ(s.recentlyShown, std::vector<std::string>{"a"});
  EXPECT_TRUE(s.rotations.empty());
  EXPECT_TRUE(s.exhibitions.empty());
  EXPECT_FALSE(s.activeExhibition);
  EXPECT_TRUE(s.renderProfiles.empty());
  EXPECT_TRUE(s.animatedArtworks.empty());
  EXPECT_EQ(sorted(s.hiddenArtworks), (std::set<std::string>{"h"}));

  auto lower = decodeText(R"({"activeExhibition":"e621e1f8-c36c-495a-93fc-0c247a3e6e5f"})");
  EXPECT_EQ(lower.activeExhibition, Uuid::parse("E621E1F8-C36C-495A-93FC-0C247A3E6E5F"));
  // One exhibition without artworkIDs empties the whole list.
  EXPECT_TRUE(decodeText(R"({"exhibitions":[{"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","title":"t"}]})")
                  .exhibitions.empty());
}

TEST(LibraryStateCoding, StrictMembersRejectTheWholeFile) {
  LibraryState good;
  hold(good, testsupport::wallet(), {work("1", "One")});
  auto j = json::Json::parse(good.encode());

  auto withoutTitle = j;
  withoutTitle["artworks"].begin().value().erase("title");
  auto fractionalDate = j;
  fractionalDate["wallets"][0]["lastSync"] = "2024-05-01T12:00:00.250Z";
  auto ownershipObject = j;
  ownershipObject["ownerships"] = json::Json::object();
  auto oddOwnerships = j;
  oddOwnerships["ownerships"].push_back(testsupport::wallet().id.string());
  auto artworkNotObject = j;
  artworkNotObject["artworks"]["z"] = 3;
  auto artworksArray = j;
  artworksArray["artworks"] = json::Json::array();

  for (const auto& bad :
       {withoutTitle, fractionalDate, ownershipObject, oddOwnerships, artworkNotObject, artworksArray}) {
    EXPECT_THROW(LibraryState::decode(bad.dump()), json::DecodeError) << bad.dump().substr(0, 200);
    EXPECT_THROW(LibraryState::fromJson(bad), json::DecodeError);
  }
  for (auto text : {R"({"schemaVersion":"1"})", R"({"hiddenCollections":{}})", R"({"spamOverrides":{"a":1}})",
                    R"({"screens":[]})", R"({"preferredFraming":{"a":"tight"}})", R"({"hiddenArtworks":[1]})"}) {
    EXPECT_THROW(decodeText(text), json::DecodeError) << text;
  }
  EXPECT_ANY_THROW(decodeText("not json"));
  EXPECT_ANY_THROW(decodeText("[]"));
}

TEST(LibraryStateCoding, RepeatedArtworksMemberKeepsTheLastOne) {
  const std::string one = work("1", "One").toJson().dump();
  const std::string two = work("2", "Two").toJson().dump();
  auto s = decodeText(R"({"artworks":{"ethereum:0xc0ffee:1":)" + one + R"(},"artworks":{"ethereum:0xc0ffee:2":)" + two + "}}");
  ASSERT_EQ(s.artworks.size(), 1u);
  EXPECT_TRUE(s.artworks.contains("ethereum:0xc0ffee:2"));
}

}  // namespace
}  // namespace tavolune

namespace tavolune {
namespace {

TEST(LibraryStateCoding, DirectWriterMatchesTheTreeWriter) {
  LibraryState s;
  auto w = testsupport::wallet();
  w.lastSync = *iso8601::parse("2024-05-01T12:00:00Z");
  auto full = testsupport::work("1", "Ti\"tle\\ with\ttabs\nand \x01 control \x7f and caf\u00e9 \U0001F600");
  full.artist = "Ann";
  full.artistAddress = "0xabc";
  full.collection = "Coll";
  full.mime = "text/html";
  full.imageURI = "ipfs://Qm/x.png";
  full.thumbnailURI = "https://a/b?c=d&e=f";
  full.animationURI = "ipfs://Qm/index.html";
  full.externalURL = "https://x";
  full.aspectRatio = 1.0;
  full.year = 2021;
  full.editionNumber = "7";
  full.editionSize = -3;
  full.isSpam = true;
  full.description = "bad \xff\xfe utf-8";
  auto sparse = testsupport::work("2", "");
  sparse.aspectRatio = 0.3333333333333333;
  testsupport::hold(s, w, {full, sparse});
  s.ownerships[Uuid::random()]["x"] = INT64_MIN;
  s.hiddenArtworks = {"a\"b"};
  s.hiddenCollections = {"c"};
  s.spamOverrides = {{"s", true}, {"t", false}};
  s.onDesktop = {full.id};
  s.screens["display-1"] = ScreenConfig(Framing::fit);
  s.preferredFraming["p"] = Framing::passePartout;
  s.rotations["r"] = -1;
  s.recentlyShown = {"n1", "n2"};
  s.renderProfiles["k"] = {ArtLayout::fixed(1.7777777777777777), RGBColor{1, 0.5, 0}, w.lastSync.value()};
  s.animatedArtworks = {"z"};
  s.activeExhibition = s.createExhibition("Show", {full.id});
  const auto tree = s.toJson().dump(-1, ' ', false, json::Json::error_handler_t::replace);
  EXPECT_EQ(s.encode(), tree);
  s.activeExhibition.reset();
  EXPECT_EQ(s.encode(), s.toJson().dump(-1, ' ', false, json::Json::error_handler_t::replace));
  EXPECT_EQ(LibraryState().encode(), LibraryState().toJson().dump());
}

}  // namespace
}  // namespace tavolune

namespace tavolune {
namespace {

// The streaming reader must answer exactly as the tree reader does.
TEST(LibraryStateCoding, FastAndTreeReadersAgreeOnRepeatedKeys) {
  const std::string good = testsupport::work("1", "One").toJson().dump();
  const std::string bad = R"({"id":"x"})";
  const std::string uuid = testsupport::wallet().id.string();
  const std::vector<std::string> files{
      R"({"artworks":{"a":)" + bad + R"(,"a":)" + good + "}}",
      R"({"artworks":{"a":)" + good + R"(,"a":)" + bad + "}}",
      R"({"rotations":{"a":{"x":1},"a":2}})",
      R"({"rotations":{"a":2,"a":[1]}})",
      R"({"spamOverrides":{"a":1,"a":true}})",
      R"({"spamOverrides":{"a":true,"a":1}})",
      R"({"ownerships":[")" + uuid + R"(",{"a":"x","a":1}]})",
      R"({"ownerships":[")" + uuid + R"(",{"a":1,"a":{}}]})",
      R"({"ownerships":[{"a":1},")" + uuid + R"("]})",
      R"({"ownerships":[")" + uuid + R"(",{"a":1}],"ownerships":7})",
      R"({"preferredFraming":3,"preferredFraming":{"a":"fit"}})",
      R"({"renderProfiles":{"k":{"layout":{}}},"renderProfiles":{}})",
      R"({"screens":{"d":{"framing":"fill"},"d":5}})",
  };
  for (const auto& text : files) {
    std::optional<std::string> streamed, tree;
    try {
      streamed = LibraryState::decode(text).encode();
    } catch (const json::DecodeError&) {
    }
    try {
      tree = LibraryState::fromJson(json::Json::parse(text)).encode();
    } catch (const json::DecodeError&) {
    }
    EXPECT_EQ(streamed.has_value(), tree.has_value()) << text;
    if (streamed && tree) {
      EXPECT_EQ(LibraryState::decode(*streamed).rotations, LibraryState::decode(*tree).rotations) << text;
      EXPECT_EQ(streamed->size(), tree->size()) << text;
    }
  }
  EXPECT_EQ(LibraryState::decode(files[2]).rotations.at("a"), 2);
  EXPECT_TRUE(LibraryState::decode(files[3]).rotations.empty());
  EXPECT_EQ(LibraryState::decode(files[6]).ownerships.begin()->second.at("a"), 1);
}

}  // namespace
}  // namespace tavolune

namespace tavolune {
namespace {

TEST(LibraryStateCoding, LargeLibraryAndUnusualTexts) {
  LibraryState s;
  auto w = testsupport::wallet();
  for (int i = 0; i < 3000; ++i) {
    auto a = testsupport::work(std::to_string(i), "Work {\"" + std::to_string(i) + "\"} [x]");
    a.description = "line\nbreak \\ and \"quotes\" }]";
    s.artworks[a.id] = a;
    s.ownerships[w.id][a.id] = i;
  }
  const std::string text = s.encode();
  auto back = LibraryState::decode(text);
  EXPECT_EQ(back.artworks, s.artworks);
  EXPECT_EQ(back.ownerships, s.ownerships);
  // One broken artwork among thousands still rejects the file.
  auto broken = text;
  broken.replace(broken.find("\"title\""), 7, "\"titel\"");
  EXPECT_THROW(LibraryState::decode(broken), json::DecodeError);
  // Truncated text is a parse error.
  EXPECT_ANY_THROW(LibraryState::decode(std::string_view(text).substr(0, text.size() / 2)));
  // Whitespace and a repeated member: the last one counts.
  auto spaced = " \n" + text.substr(0, text.size() - 1) + R"( , "artworks" : {} })";
  EXPECT_TRUE(LibraryState::decode(spaced).artworks.empty());
  // An integer past 64 bits is refused by the fast reader; the tree reads the
  // file all the same (here it makes a rotation unreadable, so rotations reset).
  auto big = text.substr(0, text.size() - 1) + R"(,"rotations":{"a":123456789012345678901234567890}})";
  EXPECT_EQ(LibraryState::decode(big).artworks.size(), 3000u);
  EXPECT_TRUE(LibraryState::decode(big).rotations.empty());
}

}  // namespace
}  // namespace tavolune
