#include "core/indexers/BlockscoutProvider.hpp"
#include "core/indexers/EVMContracts.hpp"
#include "core/base/TavoluneError.hpp"
#include "tests/core/indexers/EVMTestSupport.hpp"
#include "tests/support/ExpectArtwork.hpp"
#include "tests/support/LoopbackServer.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>

using namespace tavolune;
using namespace tavolune::evmtest;
using tavolune::testsupport::CannedResponse;
using tavolune::testsupport::expectArtwork;
using tavolune::testsupport::LoopbackServer;
using tavolune::testsupport::RecordedRequest;

namespace {

using J = json::Json;

// A token record as the explorer's v2 API writes it.
J record(const std::string& id, const std::string& contract = contractA) {
  return J{{"id", id},
           {"token", {{"address_hash", contract}, {"name", "Field Notes"}, {"symbol", "FN"}, {"type", "ERC-721"}}},
           {"value", "1"},
           {"image_url", nullptr},
           {"animation_url", nullptr},
           {"metadata", {{"name", "Note #" + id}, {"image", "ipfs://QmImage/" + id + ".png"}}}};
}

std::string page(const J& items, const J& next = nullptr) {
  return J{{"items", items}, {"next_page_params", next}}.dump();
}

class BlockscoutProviderTest : public ::testing::Test {
 protected:
  BlockscoutProvider provider() const {
    BlockscoutProvider::Explorers explorers;
    for (Chain c : {Chain::ethereum, Chain::base, Chain::optimism, Chain::arbitrum, Chain::polygon}) {
      explorers[c] = server.baseURL();
    }
    return BlockscoutProvider(quickClient(), explorers, clock.clock());
  }

  std::string tokensPath(const std::string& owner = ownerA) const { return "/api/v2/addresses/" + owner + "/nft"; }
  std::string instancesPath(const std::string& contract = contractA) const {
    return "/api/v2/tokens/" + contract + "/instances";
  }

  LoopbackServer server;
  FakeClock clock;
};

TEST_F(BlockscoutProviderTest, ChainsWithoutExplorerAnswerEmptyWithoutRequests) {
  auto p = provider();
  EXPECT_TRUE(p.tokens(ownerA, Chain::tezos).empty());
  EXPECT_TRUE(p.collection(contractA, Chain::bitcoin, 10).empty());
  EXPECT_TRUE(p.project(contractA, Chain::tezos, 1, 10).empty());
  EXPECT_FALSE(p.instance(contractA, "1", Chain::bitcoin).has_value());
  EXPECT_EQ(server.requestCount(), 0u);
  EXPECT_TRUE(clock.pauses().empty());

  EXPECT_FALSE(p.supports(Chain::bitcoin));
  EXPECT_FALSE(p.supports(Chain::tezos));
  EXPECT_TRUE(p.supports(Chain::polygon));
  EXPECT_EQ(p.name(), "Blockscout");

  EXPECT_FALSE(BlockscoutProvider::explorerURL(Chain::bitcoin, contractA, "1"));
  EXPECT_EQ(BlockscoutProvider::explorerURL(Chain::base, "0xAB", "7"),
            "https://base.blockscout.com/token/0xAB/instance/7");
}

TEST_F(BlockscoutProviderTest, TokensFollowTheCursorAndKeepHeldAmounts) {
  J first = J::array({record("1"), record("2"), J{{"id", "3"}}});  // the last has no token: skipped
  first[1]["value"] = "3";
  server.onSequence("GET", tokensPath(),
                    {CannedResponse::json(page(first, {{"block_number", 50},
                                                       {"index", "123"},
                                                       {"gone", nullptr},
                                                       {"flag", true},
                                                       {"list", J::array({1})}})),
                     CannedResponse::json(page(J::array({record("4")}), nullptr))});
  auto owned = provider().tokens(ownerA, Chain::ethereum);

  ASSERT_EQ(owned.size(), 3u);
  EXPECT_EQ(owned[0].artwork.tokenId, "1");
  EXPECT_EQ(owned[1].quantity, 3);
  EXPECT_EQ(owned[2].artwork.tokenId, "4");

  auto requests = server.requests("GET", tokensPath());
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].params, (std::map<std::string, std::string>{{"type", "ERC-721,ERC-1155"}}));
  EXPECT_TRUE(requests[1].query.starts_with("type=")) << requests[1].query;
  EXPECT_EQ(requests[1].params, (std::map<std::string, std::string>{
                                    {"type", "ERC-721,ERC-1155"}, {"block_number", "50"}, {"index", "123"}, {"flag", "true"}}));
}

TEST_F(BlockscoutProviderTest, EmptyOrNullCursorEndsTheListing) {
  server.get(tokensPath(), page(J::array({record("1")}), J::object()));
  server.get(instancesPath(), page(J::array({record("1")}), nullptr));
  auto p = provider();
  EXPECT_EQ(p.tokens(ownerA, Chain::base).size(), 1u);
  EXPECT_EQ(p.collection(contractA, Chain::base, 100).size(), 1u);
  EXPECT_EQ(server.requestCount(), 2u);
}

TEST_F(BlockscoutProviderTest, TokensReadAtMostTwoHundredPages) {
  server.onRequest("GET", tokensPath(), [](const RecordedRequest& r) {
    int n = std::stoi(r.param("n").value_or("0"));
    return CannedResponse::json(page(J::array({record(std::to_string(n))}), {{"n", n + 1}}));
  });
  auto owned = provider().tokens(ownerA, Chain::ethereum);
  EXPECT_EQ(owned.size(), 200u);
  EXPECT_EQ(server.requestCount(), 200u);
  EXPECT_EQ(owned.back().artwork.tokenId, "199");
}

TEST_F(BlockscoutProviderTest, RepeatedCursorEndsTokensWithoutDuplicates) {
  // The same cursor each time, written with its keys in another order.
  server.onSequence("GET", tokensPath(),
                    {CannedResponse::json(R"({"items":[)" + record("1").dump() + R"(],"next_page_params":{"a":1,"b":"x"}})"),
                     CannedResponse::json(R"({"items":[)" + record("2").dump() + R"(],"next_page_params":{"b":"x","a":1}})"),
                     CannedResponse::json(R"({"items":[)" + record("2").dump() + R"(],"next_page_params":{"b":"x","a":1}})")});
  auto owned = provider().tokens(ownerA, Chain::ethereum);
  EXPECT_EQ(server.requestCount(), 2u);
  ASSERT_EQ(owned.size(), 2u);
  EXPECT_EQ(owned[1].artwork.tokenId, "2");
}

TEST_F(BlockscoutProviderTest, UncheckedTextNeverReachesAPath) {
  auto p = provider();
  for (std::string bad : {"0x12", "0x1111111111111111111111111111111111111111/../x", "vitalik.eth",
                          "0xZZ11111111111111111111111111111111111111", "0X1111111111111111111111111111111111111111"}) {
    EXPECT_EQ(tavoluneErrorOf([&] { p.tokens(bad, Chain::ethereum); }).kind(), TavoluneError::Kind::invalidInput) << bad;
    EXPECT_EQ(tavoluneErrorOf([&] { p.collection(bad, Chain::ethereum, 5); }).kind(), TavoluneError::Kind::invalidInput);
    EXPECT_EQ(tavoluneErrorOf([&] { p.project(bad, Chain::ethereum, 1, 5); }).kind(), TavoluneError::Kind::invalidInput);
    EXPECT_EQ(tavoluneErrorOf([&] { p.instance(bad, "1", Chain::ethereum); }).kind(), TavoluneError::Kind::invalidInput);
  }
  for (std::string bad : {"", "12a", "-1", "1?x=2", "../1"}) {
    EXPECT_EQ(tavoluneErrorOf([&] { p.instance(contractA, bad, Chain::ethereum); }).kind(),
              TavoluneError::Kind::invalidInput) << bad;
  }
  EXPECT_EQ(server.requestCount(), 0u);

  // Either letter case is kept as given.
  server.get(tokensPath(ownerA), page(J::array()));
  EXPECT_TRUE(p.tokens(ownerA, Chain::ethereum).empty());
  EXPECT_EQ(server.requestCount(), 1u);
}

TEST_F(BlockscoutProviderTest, CollectionPagesByTheLastIdAndSetsQuantityOne) {
  J first = J::array({record("10"), record("11")});
  first[0]["value"] = "3";
  server.onRequest("GET", instancesPath(), [&](const RecordedRequest& r) {
    auto cursor = r.param("unique_token");
    if (!cursor) return CannedResponse::json(page(first, {{"unique_token", 11}}));
    if (*cursor == "11") return CannedResponse::json(page(J::array({record("12")}), {{"unique_token", 12}}));
    return CannedResponse::json(page(J::array(), {{"unique_token", 99}}));
  });
  auto owned = provider().collection(contractA, Chain::ethereum, 100);
  ASSERT_EQ(owned.size(), 3u);
  EXPECT_EQ(owned[0].quantity, 1);
  auto requests = server.requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[0].query, "");
  EXPECT_EQ(requests[1].query, "unique_token=11");
  EXPECT_EQ(requests[2].query, "unique_token=12");  // an empty page ends it
}

TEST_F(BlockscoutProviderTest, CollectionStopsAtACursorItWasJustGiven) {
  server.get(instancesPath(), page(J::array({record("5")}), {{"unique_token", 5}}));
  auto owned = provider().collection(contractA, Chain::ethereum, 100);
  EXPECT_EQ(server.requestCount(), 2u);
  EXPECT_EQ(owned.size(), 2u);
}

TEST_F(BlockscoutProviderTest, CollectionStopsAfterThePageThatReachesTheLimit) {
  std::atomic<int> served{0};
  server.onRequest("GET", instancesPath(), [&](const RecordedRequest&) {
    int base = served++ * 50;
    J items = J::array();
    for (int i = 0; i < 50; ++i) items.push_back(record(std::to_string(base + i)));
    return CannedResponse::json(page(items, {{"unique_token", 1}}));
  });
  auto p = provider();
  EXPECT_EQ(p.collection(contractA, Chain::ethereum, 120).size(), 150u);
  EXPECT_EQ(server.requestCount(), 3u);
  EXPECT_TRUE(p.collection(contractA, Chain::ethereum, 0).empty());
  EXPECT_EQ(server.requestCount(), 3u);
}

class ProjectTest : public BlockscoutProviderTest {
 protected:
  // Token numbers of project 7 that exist.
  void tokensExist(std::initializer_list<int> numbers) {
    for (int n : numbers) {
      std::string id = std::to_string(7'000'000 + n);
      server.get(instancesPath() + "/" + id, record(id).dump());
    }
  }
  std::vector<std::string> probed() const {
    std::vector<std::string> ids;
    for (const auto& r : server.requests()) ids.push_back(r.path.substr(r.path.rfind('/') + 1));
    std::sort(ids.begin(), ids.end());
    return ids;
  }
  static std::vector<std::string> ids(const std::vector<OwnedArtwork>& owned) {
    std::vector<std::string> out;
    for (const auto& o : owned) out.push_back(o.artwork.tokenId);
    return out;
  }
};

TEST_F(ProjectTest, LimitOfTwoProbesTwoNumbersAndPausesOnce) {
  tokensExist({0, 1, 2});
  auto owned = provider().project(contractA, Chain::ethereum, 7, 2);
  EXPECT_THAT(ids(owned), ::testing::ElementsAre("7000000", "7000001"));
  EXPECT_THAT(probed(), ::testing::ElementsAre("7000000", "7000001"));
  EXPECT_THAT(clock.pauses(), ::testing::ElementsAre(0.25));
  EXPECT_TRUE(provider().project(contractA, Chain::ethereum, 7, 0).empty());
}

TEST_F(ProjectTest, ThreeMissesInARowEndTheScanAcrossBatches) {
  tokensExist({0, 1, 2, 3, 6});
  auto owned = provider().project(contractA, Chain::ethereum, 7, 1000);
  EXPECT_THAT(ids(owned), ::testing::ElementsAre("7000000", "7000001", "7000002", "7000003", "7000006"));
  EXPECT_EQ(server.requestCount(), 12u);  // three batches of four
  EXPECT_EQ(clock.pauses().size(), 3u);
}

TEST_F(ProjectTest, MissesAfterTheFirstTokenEndTheFirstBatch) {
  tokensExist({0, 4});
  auto owned = provider().project(contractA, Chain::ethereum, 7, 1000);
  EXPECT_THAT(ids(owned), ::testing::ElementsAre("7000000"));
  EXPECT_THAT(probed(), ::testing::ElementsAre("7000000", "7000001", "7000002", "7000003"));
  EXPECT_EQ(clock.pauses().size(), 1u);
}

TEST_F(ProjectTest, AFailedLookupFailsTheProject) {
  tokensExist({0, 1, 3});
  server.get(instancesPath() + "/7000002", "{}", 500);
  auto error = tavoluneErrorOf([&] { provider().project(contractA, Chain::ethereum, 7, 1000); });
  EXPECT_TRUE(error.isHTTP(500));
}

TEST_F(ProjectTest, IdsBeyondSixtyFourBitsAreLeftOutUnasked) {
  auto owned = provider().project(contractA, Chain::ethereum, std::numeric_limits<std::int64_t>::max() / 10, 1000);
  EXPECT_TRUE(owned.empty());
  EXPECT_EQ(server.requestCount(), 0u);

  EXPECT_EQ(clock.pauses().size(), 1u);  // three misses end the scan

  // Negative ids are no token ids either.
  EXPECT_TRUE(provider().project(contractA, Chain::ethereum, -1, 1000).empty());
  EXPECT_EQ(server.requestCount(), 0u);
}

TEST_F(ProjectTest, CancellationDuringThePauseIsThrown) {
  tokensExist({0, 1, 2, 3});
  std::stop_source source;
  auto clockThatStops = Clock(Clock::systemNow, [&](double, std::stop_token stop) {
    source.request_stop();
    if (stop.stop_requested()) throw CancellationError();
  });
  BlockscoutProvider::Explorers explorers{{Chain::ethereum, server.baseURL()}};
  BlockscoutProvider p(quickClient(), explorers, clockThatStops);
  EXPECT_THROW(p.project(contractA, Chain::ethereum, 7, 100, source.get_token()), CancellationError);
  EXPECT_EQ(server.requestCount(), 4u);
}

TEST_F(BlockscoutProviderTest, InstanceTakes404AsAbsentAndThrowsOtherStatuses) {
  server.get(instancesPath() + "/1", "{}", 404);
  server.get(instancesPath() + "/2", "{}", 403);
  server.get(instancesPath() + "/3", record("3").dump());
  server.get(instancesPath() + "/4", R"({"id":"4"})");
  auto p = provider();
  EXPECT_FALSE(p.instance(contractA, "1", Chain::ethereum));
  EXPECT_TRUE(tavoluneErrorOf([&] { p.instance(contractA, "2", Chain::ethereum); }).isHTTP(403));
  auto three = p.instance(contractA, "3", Chain::ethereum);
  ASSERT_TRUE(three);
  EXPECT_EQ(three->artwork.id, "ethereum:" + contractA + ":3");
  EXPECT_FALSE(p.instance(contractA, "4", Chain::ethereum));  // does not map
}

TEST_F(BlockscoutProviderTest, PagesOfTheWrongShapeAreDecodingErrors) {
  server.onSequence("GET", tokensPath(),
                    {CannedResponse::json(R"({"items":{}})"), CannedResponse::json(R"({"next_page_params":null})"),
                     CannedResponse::json(R"({"items":[],"next_page_params":"abc"})")});
  auto p = provider();
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(tavoluneErrorOf([&] { p.tokens(ownerA, Chain::ethereum); }).kind(), TavoluneError::Kind::decoding);
  }
}

// The record mapping.

std::optional<OwnedArtwork> mapped(const J& item, Chain chain = Chain::ethereum) {
  return BlockscoutProvider::map(JSONValue::fromJson(item), chain);
}

// What record(id) maps to on Ethereum.
Artwork noteWork(const std::string& id) {
  return Artwork::make({.chain = Chain::ethereum,
                        .contract = contractA,
                        .tokenId = id,
                        .title = "Note #" + id,
                        .collection = "Field Notes",
                        .platform = Platform::generic,
                        .mediaKind = MediaKind::image,
                        .imageURI = "ipfs://QmImage/" + id + ".png",
                        .thumbnailURI = "ipfs://QmImage/" + id + ".png",
                        .externalURL = "https://eth.blockscout.com/token/" + contractA + "/instance/" + id,
                        .editionNumber = id});
}

TEST(BlockscoutMap, RequiredMembers) {
  EXPECT_FALSE(mapped(J::object()));
  EXPECT_FALSE(mapped(J::array({1})));
  EXPECT_FALSE(mapped(J{{"id", "1"}}));
  EXPECT_FALSE(mapped(J{{"id", "1"}, {"token", {{"name", "x"}}}}));
  EXPECT_FALSE(mapped(J{{"token", {{"address", contractA}}}}));
  EXPECT_FALSE(mapped(J{{"id", ""}, {"token", {{"address", contractA}}}}));
  EXPECT_FALSE(mapped(J{{"id", "1"}, {"token", "0x11"}}));

  // Older explorers call the contract "address"; a numeric id is written out.
  auto older = mapped(J{{"id", 5}, {"token", {{"address", "0xABCDEF0000000000000000000000000000000001"}}}},
                      Chain::polygon);
  ASSERT_TRUE(older);
  EXPECT_EQ(older->artwork.id, "polygon:0xabcdef0000000000000000000000000000000001:5");
  expectArtwork(older->artwork,
                Artwork::make({.chain = Chain::polygon,
                               .contract = "0xabcdef0000000000000000000000000000000001",
                               .tokenId = "5",
                               .title = "Token #5",
                               // The explorer link keeps the contract as received.
                               .externalURL = "https://polygon.blockscout.com/token/"
                                              "0xABCDEF0000000000000000000000000000000001/instance/5",
                               .editionNumber = "5",
                               .isSpam = true}));  // nothing to show
}

TEST(BlockscoutMap, SpamRules) {
  J bare{{"id", "1"}, {"token", {{"address_hash", contractA}, {"name", "Drops"}}}};
  EXPECT_TRUE(mapped(bare)->artwork.isSpam);  // no metadata, image or animation
  J nullMetadata = bare;
  nullMetadata["metadata"] = nullptr;
  EXPECT_FALSE(mapped(nullMetadata)->artwork.isSpam);

  J labelled = record("1");
  labelled["token"]["reputation"] = "Spam";
  labelled["metadata"]["artist"] = "Ada";
  EXPECT_TRUE(mapped(labelled)->artwork.isSpam);
  J flagged = record("1");
  flagged["is_scam"] = true;
  EXPECT_TRUE(mapped(flagged)->artwork.isSpam);
  J tokenFlagged = record("1");
  tokenFlagged["token"]["is_scam"] = true;
  EXPECT_TRUE(mapped(tokenFlagged)->artwork.isSpam);

  J advert = record("1");
  advert["metadata"]["description"] = "Claim your reward";
  EXPECT_TRUE(mapped(advert)->artwork.isSpam);
  advert["metadata"]["artist"] = "Ada";  // a named artist outweighs the word list
  EXPECT_FALSE(mapped(advert)->artwork.isSpam);
  EXPECT_FALSE(mapped(record("1"))->artwork.isSpam);
}

TEST(BlockscoutMap, TitlesCollectionsAndMedia) {
  J spaces = record("42");
  spaces["metadata"]["name"] = "   ";
  EXPECT_EQ(mapped(spaces)->artwork.title, "Field Notes #42");
  spaces["token"].erase("name");
  EXPECT_EQ(mapped(spaces)->artwork.title, "Token #42");
  spaces["metadata"]["collection_name"] = "Series";
  EXPECT_EQ(mapped(spaces)->artwork.collection, "Series");

  J video = record("1");
  video["metadata"]["animation_url"] = "ipfs://QmVid/loop";
  video["metadata"]["animation_details"] = {{"format", "MOV"}};
  auto loop = noteWork("1");
  loop.mime = "video/mp4";
  loop.mediaKind = MediaKind::video;
  loop.animationURI = "ipfs://QmVid/loop";
  expectArtwork(mapped(video)->artwork, loop);

  J page = record("1");
  page["metadata"]["animation_url"] = "https://example.org/work";
  page["metadata"]["animation_details"] = {{"format", "html"}};
  EXPECT_EQ(mapped(page)->artwork.mime, "text/html");
  EXPECT_EQ(mapped(page)->artwork.mediaKind, MediaKind::generative);

  J still = record("1");
  still["animation_url"] = "https://example.org/still.png";  // the record's own, second choice
  auto s = mapped(still)->artwork;
  EXPECT_EQ(s.mediaKind, MediaKind::image);
  EXPECT_FALSE(s.animationURI);

  J generator = record("1");
  generator["metadata"]["is_static"] = false;
  generator["metadata"]["generator_url"] = "https://generator.artblocks.io/0x1/1";
  auto g = mapped(generator)->artwork;
  EXPECT_EQ(g.animationURI, "https://generator.artblocks.io/0x1/1");
  EXPECT_EQ(g.platform, Platform::artBlocks);
  generator["metadata"]["is_static"] = true;
  EXPECT_FALSE(mapped(generator)->artwork.animationURI);

  J stored = record("1");
  stored["metadata"]["image"] = "https://media.artblocks.io/max/1.png";
  stored["metadata"]["external_url"] = "https://example.org/html_files/1.html";
  auto html = noteWork("1");
  html.imageURI = "https://media.artblocks.io/max/1.png";
  html.thumbnailURI = "https://media.artblocks.io/thumb/1.png";
  html.animationURI = "https://example.org/html_files/1.html";
  html.externalURL = "https://example.org/html_files/1.html";
  html.mediaKind = MediaKind::generative;
  expectArtwork(mapped(stored)->artwork, html);

  J imageUrl = record("1");
  imageUrl["metadata"].erase("image");
  imageUrl["image_url"] = "https://cdn.example/1.png";
  EXPECT_EQ(mapped(imageUrl)->artwork.imageURI, "https://cdn.example/1.png");
  EXPECT_EQ(mapped(imageUrl)->artwork.thumbnailURI, "https://cdn.example/1.png");
}

TEST(BlockscoutMap, ArtistsEditionsRatiosAndQuantities) {
  J attrs = record("1");
  attrs["metadata"]["attributes"] = J::array({{{"trait_type", "Artist"}, {"value", " Mira "}}});
  EXPECT_EQ(mapped(attrs)->artwork.artist, "Mira");
  attrs["metadata"]["creator"] = "Cato";
  EXPECT_EQ(mapped(attrs)->artwork.artist, "Cato");
  attrs["metadata"]["artist"] = "Ada";
  EXPECT_EQ(mapped(attrs)->artwork.artist, "Ada");

  const std::string artBlocks = *EVMContracts::artBlocks().begin();
  J ab = record("78000012", artBlocks);
  ab["metadata"]["name"] = "Chromie Squiggle";
  EXPECT_EQ(mapped(ab)->artwork.editionNumber, "12");
  ab["metadata"]["name"] = "Chromie Squiggle #3";
  EXPECT_EQ(mapped(ab)->artwork.editionNumber, "3");
  ab["metadata"]["name"] = "Squiggle";
  ab["id"] = "115792089237316195423570985008687907853269984665640564039457584007913129639935";
  EXPECT_FALSE(mapped(ab)->artwork.editionNumber);  // too large to read: none, and no crash

  J ratio = record("1");
  for (auto [value, expected] : std::vector<std::pair<J, std::optional<double>>>{
           {"1.5", 1.5}, {1.25, 1.25}, {"wide", std::nullopt}, {0, std::nullopt}, {-2, std::nullopt},
           {"inf", std::nullopt}, {"nan", std::nullopt}, {true, std::nullopt}}) {
    ratio["metadata"]["aspect_ratio"] = value;
    EXPECT_EQ(mapped(ratio)->artwork.aspectRatio, expected) << value.dump();
  }

  J amount = record("1");
  amount["value"] = "abc";
  EXPECT_EQ(mapped(amount)->quantity, 1);
  amount.erase("value");
  EXPECT_EQ(mapped(amount)->quantity, 1);
  amount["value"] = 12;
  EXPECT_EQ(mapped(amount)->quantity, 12);
}

}  // namespace
