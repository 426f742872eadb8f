#include "core/indexers/EVMIndexer.hpp"
#include "tests/core/indexers/EVMTestSupport.hpp"
#include "tests/support/Crowd.hpp"
#include "tests/support/LoopbackServer.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

using namespace tavolune;
using namespace tavolune::evmtest;
using namespace std::chrono_literals;
using tavolune::testsupport::CannedResponse;
using tavolune::testsupport::LoopbackServer;
using tavolune::testsupport::RecordedRequest;
using ::testing::ElementsAre;

namespace {

using J = json::Json;
using ListedNFT = OpenSeaProvider::ListedNFT;

J nft(int id) {
  return J{{"identifier", std::to_string(id)},
           {"collection", "field-notes"},
           {"contract", contractA},
           {"name", "Note #" + std::to_string(id)},
           {"image_url", "https://i.seadn.io/" + std::to_string(id) + ".png"},
           {"metadata_url", "ipfs://QmMeta/" + std::to_string(id)},
           {"opensea_url", "https://opensea.io/item/" + std::to_string(id)}};
}

J explorerRecord(int id) {
  return J{{"id", std::to_string(id)},
           {"token", {{"address_hash", contractA}, {"name", "Explorer Notes"}}},
           {"metadata",
            {{"name", "Note #" + std::to_string(id)},
             {"artist", "Ada"},
             {"image", "https://explorer.example/" + std::to_string(id) + ".png"}}}};
}

// What the token's metadata document says.
J metadata(int id) {
  return J{{"artist", "Meta Artist"},
           {"animation_url", "https://meta.example/" + std::to_string(id) + ".html"},
           {"image", "https://meta.example/" + std::to_string(id) + ".png"}};
}

class EVMIndexerTest : public ::testing::Test {
 protected:
  EVMIndexerTest() {
    server.post("/api/v2/auth/keys", R"({"api_key":"k","expires_at":"2099-01-01T00:00:00Z"})");
    server.get("/api/v2/collections/field-notes", R"({"name":"Field Notes"})");
  }

  EVMIndexer indexer() const {
    auto keys = std::make_shared<OpenSeaKeyStore>(dir.path() / "opensea-key.json", server.baseURL(), clock.clock());
    OpenSeaProvider openSea(quickClient(), keys, server.baseURL());
    BlockscoutProvider blockscout(quickClient(), {{Chain::ethereum, server.baseURL()}}, clock.clock());
    return EVMIndexer(openSea, blockscout, quickClient(), clock.clock(), {server.baseURL()});
  }

  void listing(int count) {
    J nfts = J::array();
    for (int i = 0; i < count; ++i) nfts.push_back(nft(i));
    server.get(listingPath, J{{"nfts", nfts}}.dump());
  }
  void explorerKnowsAll(int count) {
    for (int i = 0; i < count; ++i) server.get(instancePath(i), explorerRecord(i).dump());
  }
  void metadataForAll(int count) {
    for (int i = 0; i < count; ++i) server.get("/ipfs/QmMeta/" + std::to_string(i), metadata(i).dump());
  }
  static std::string instancePath(int id) {
    return "/api/v2/tokens/" + contractA + "/instances/" + std::to_string(id);
  }
  std::size_t explorerRequests() const {
    std::size_t n = 0;
    for (const auto& r : server.requests()) n += r.path.starts_with("/api/v2/tokens/");
    return n;
  }
  std::size_t metadataRequests() const {
    std::size_t n = 0;
    for (const auto& r : server.requests()) n += r.path.starts_with("/ipfs/");
    return n;
  }

  const std::string listingPath = "/api/v2/chain/ethereum/account/" + ownerA + "/nfts";
  TempDir dir;
  LoopbackServer server;
  FakeClock clock;
};

TEST_F(EVMIndexerTest, AnEmptyListingAsksNothingElse) {
  listing(0);
  auto idx = indexer();
  EXPECT_EQ(idx.name(), "OpenSea");
  EXPECT_TRUE(idx.supports(Chain::arbitrum));
  EXPECT_FALSE(idx.supports(Chain::tezos));
  EXPECT_TRUE(idx.tokens(ownerA, Chain::ethereum).empty());
  EXPECT_EQ(explorerRequests() + metadataRequests(), 0u);
  EXPECT_TRUE(clock.pauses().empty());
}

TEST_F(EVMIndexerTest, ExplorerRecordsCompleteTheListingInBatchesOfFour) {
  listing(9);
  explorerKnowsAll(9);
  metadataForAll(9);
  auto owned = indexer().tokens(ownerA, Chain::ethereum);
  ASSERT_EQ(owned.size(), 9u);
  for (int i = 0; i < 9; ++i) EXPECT_EQ(owned[i].artwork.tokenId, std::to_string(i));
  EXPECT_EQ(owned[3].artwork.artist, "Ada");
  EXPECT_EQ(owned[3].artwork.collection, "Explorer Notes");
  EXPECT_EQ(owned[3].artwork.imageURI, "https://explorer.example/3.png");
  EXPECT_EQ(owned[3].artwork.externalURL, "https://opensea.io/item/3");  // the listing's
  EXPECT_EQ(explorerRequests(), 9u);
  EXPECT_EQ(metadataRequests(), 0u);
  EXPECT_THAT(clock.pauses(), ElementsAre(0.2, 0.2, 0.2));
}

TEST_F(EVMIndexerTest, AnExplorerRefusalSwitchesLaterBatchesToMetadata) {
  listing(9);
  explorerKnowsAll(9);
  server.get(instancePath(1), "{}", 403);
  metadataForAll(9);
  auto owned = indexer().tokens(ownerA, Chain::ethereum);
  ASSERT_EQ(owned.size(), 9u);
  EXPECT_EQ(owned[0].artwork.artist, "Ada");  // explorer
  EXPECT_EQ(owned[1].artwork.artist, "Meta Artist");  // metadata
  EXPECT_EQ(owned[1].artwork.mediaKind, MediaKind::generative);
  EXPECT_EQ(owned[2].artwork.artist, "Ada");
  EXPECT_EQ(owned[3].artwork.artist, "Ada");
  for (int i = 4; i < 9; ++i) EXPECT_EQ(owned[i].artwork.artist, "Meta Artist") << i;
  EXPECT_EQ(explorerRequests(), 4u);
  EXPECT_EQ(metadataRequests(), 6u);
  EXPECT_THAT(clock.pauses(), ElementsAre(0.2));
}

TEST_F(EVMIndexerTest, OtherExplorerFailuresKeepTheExplorerInUse) {
  listing(6);
  explorerKnowsAll(6);
  server.get(instancePath(0), "{}", 404);
  server.get(instancePath(1), "{}", 500);
  server.get(instancePath(2), "not json");
  metadataForAll(6);
  auto owned = indexer().tokens(ownerA, Chain::ethereum);
  ASSERT_EQ(owned.size(), 6u);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(owned[i].artwork.artist, "Meta Artist");
  for (int i = 3; i < 6; ++i) EXPECT_EQ(owned[i].artwork.artist, "Ada");
  EXPECT_EQ(explorerRequests(), 6u);
  EXPECT_EQ(metadataRequests(), 3u);
  EXPECT_EQ(clock.pauses().size(), 2u);
}

TEST_F(EVMIndexerTest, AListingFailureIsTheProvidersFailure) {
  server.get(listingPath, "{}", 500);
  EXPECT_TRUE(tavoluneErrorOf([&] { indexer().tokens(ownerA, Chain::ethereum); }).isHTTP(500));
  EXPECT_EQ(explorerRequests(), 0u);
}

TEST_F(EVMIndexerTest, AtMostFourExplorerLookupsAtOnce) {
  listing(12);
  testsupport::Crowd crowd(4);
  for (int i = 0; i < 12; ++i) {
    server.onRequest("GET", instancePath(i), [&, i](const RecordedRequest&) {
      crowd.pass();
      return CannedResponse::json(explorerRecord(i).dump());
    });
  }
  auto owned = indexer().tokens(ownerA, Chain::ethereum);
  EXPECT_EQ(owned.size(), 12u);
  EXPECT_EQ(crowd.peak(), 4);
}

ListedNFT listedItem(std::optional<std::string> metadataURL) {
  Artwork a = Artwork::make({.chain = Chain::ethereum,
                             .contract = contractA,
                             .tokenId = "1",
                             .title = "Note #1",
                             .collection = "Field Notes",
                             .imageURI = "https://i.seadn.io/1.png",
                             .thumbnailURI = "https://i.seadn.io/1.png"});
  return {OwnedArtwork{a, 2}, std::move(metadataURL)};
}

TEST_F(EVMIndexerTest, EnrichReadsTheMetadataDocument) {
  HTTPClient http = quickClient();
  const std::vector<std::string> gateways{server.baseURL()};
  auto item = listedItem("ipfs://QmDoc/1.json");

  EXPECT_EQ(EVMIndexer::enrich(listedItem(std::nullopt), http, gateways), listedItem(std::nullopt).owned);

  server.get("/ipfs/QmDoc/1.json", J{{"image_url", "https://doc.example/1.png"},
                                     {"animation_url", "https://doc.example/1.gif"},
                                     {"aspect_ratio", "1.5"},
                                     {"created_by", "Cato"},
                                     {"description", "From the document"}}
                                        .dump());
  auto a = EVMIndexer::enrich(item, http, gateways);
  EXPECT_EQ(a.quantity, 2);
  EXPECT_EQ(a.artwork.imageURI, "https://doc.example/1.png");
  EXPECT_EQ(a.artwork.thumbnailURI, "https://doc.example/1.png");
  EXPECT_EQ(a.artwork.animationURI, "https://doc.example/1.gif");
  EXPECT_EQ(a.artwork.mediaKind, MediaKind::image);  // a GIF does not change the kind
  EXPECT_EQ(a.artwork.aspectRatio, 1.5);
  EXPECT_EQ(a.artwork.artist, "Cato");
  EXPECT_EQ(a.artwork.description, "From the document");
  EXPECT_EQ(a.artwork.title, "Note #1");

  // What the listing already knows stays.
  auto known = item;
  known.owned.artwork.artist = "Ada";
  known.owned.artwork.aspectRatio = 2.0;
  known.owned.artwork.description = "Listed";
  auto k = EVMIndexer::enrich(known, http, gateways);
  EXPECT_EQ(k.artwork.artist, "Ada");
  EXPECT_EQ(k.artwork.aspectRatio, 2.0);
  EXPECT_EQ(k.artwork.description, "Listed");

  for (auto [ratio, expected] : std::vector<std::pair<J, std::optional<double>>>{
           {true, std::nullopt}, {0, std::nullopt}, {-1, std::nullopt}, {"inf", std::nullopt}, {0.75, 0.75}}) {
    server.get("/ipfs/QmDoc/1.json", J{{"aspect_ratio", ratio}, {"attributes", J::array({{{"trait_type", "Artist"}, {"value", "Mira"}}})}}.dump());
    auto r = EVMIndexer::enrich(item, http, gateways);
    EXPECT_EQ(r.artwork.aspectRatio, expected) << ratio.dump();
    EXPECT_EQ(r.artwork.artist, "Mira");
    EXPECT_EQ(r.artwork.imageURI, "https://i.seadn.io/1.png");
  }
}

TEST_F(EVMIndexerTest, EnrichTriesThreeCandidatesAtMost) {
  LoopbackServer second;
  const std::vector<std::string> gateways{server.baseURL(), server.baseURL(), server.baseURL(), second.baseURL()};
  second.get("/ipfs/QmDoc/1.json", R"({"artist":"Never"})");
  auto item = listedItem("ipfs://QmDoc/1.json");
  auto a = EVMIndexer::enrich(item, quickClient(), gateways);
  EXPECT_EQ(a, item.owned);
  EXPECT_EQ(metadataRequests(), 3u);
  EXPECT_EQ(second.requestCount(), 0u);
}

TEST_F(EVMIndexerTest, AGatewayRedirectToThisMachineIsNotFollowed) {
  LoopbackServer local(LoopbackServer::Role::localService);
  local.get("/admin.json", R"({"artist":"Local"})");
  server.on("GET", "/ipfs/QmDoc/1.json", CannedResponse::redirect(local.url("/admin.json")));
  auto item = listedItem("ipfs://QmDoc/1.json");
  EXPECT_EQ(EVMIndexer::enrich(item, quickClient(), {server.baseURL()}), item.owned);
  EXPECT_EQ(metadataRequests(), 1u);
  EXPECT_EQ(local.connectionsAccepted(), 0u);
}

TEST_F(EVMIndexerTest, OnChainMetadataIsDecodedWithoutARequest) {
  // {"artist":"On Chain","image":"data:image/svg+xml;base64,PHN2Zy8+"}
  auto item = listedItem(
      "data:application/json;base64,"
      "eyJhcnRpc3QiOiJPbiBDaGFpbiIsImltYWdlIjoiZGF0YTppbWFnZS9zdmcreG1sO2Jhc2U2NCxQSE4yWnk4KyJ9");
  auto a = EVMIndexer::enrich(item, quickClient(), {server.baseURL()});
  EXPECT_EQ(a.artwork.artist, "On Chain");
  EXPECT_EQ(a.artwork.imageURI, "data:image/svg+xml;base64,PHN2Zy8+");

  auto percent = listedItem("data:application/json,%7B%22artist%22%3A%22Plain%22%7D");
  EXPECT_EQ(EVMIndexer::enrich(percent, quickClient(), {server.baseURL()}).artwork.artist, "Plain");

  auto broken = listedItem("data:application/json;base64,@@@");
  EXPECT_EQ(EVMIndexer::enrich(broken, quickClient(), {server.baseURL()}), broken.owned);
  auto notJSON = listedItem("data:text/plain,hello");
  EXPECT_EQ(EVMIndexer::enrich(notJSON, quickClient(), {server.baseURL()}), notJSON.owned);
  EXPECT_EQ(server.requestCount(), 0u);
}

TEST_F(EVMIndexerTest, EnrichAllKeepsOrderAndRunsSixAtOnce) {
  testsupport::Crowd crowd(6);
  std::vector<ListedNFT> items;
  for (int i = 0; i < 7; ++i) {
    auto item = listedItem("ipfs://QmDoc/" + std::to_string(i));
    item.owned.artwork.tokenId = std::to_string(i);
    items.push_back(item);
    server.onRequest("GET", "/ipfs/QmDoc/" + std::to_string(i), [&, i](const RecordedRequest&) {
      crowd.pass();
      return CannedResponse::json(J{{"description", "doc " + std::to_string(i)}}.dump());
    });
  }
  auto all = EVMIndexer::enrichAll(items, quickClient(), {server.baseURL()});
  ASSERT_EQ(all.size(), 7u);
  for (int i = 0; i < 7; ++i) EXPECT_EQ(all[i].artwork.description, "doc " + std::to_string(i));
  EXPECT_EQ(crowd.peak(), 6);
  EXPECT_TRUE(EVMIndexer::enrichAll({}, quickClient(), {server.baseURL()}).empty());
}

TEST(EVMIndexerMerge, RecordFieldsWinWherePresent) {
  Artwork listed = Artwork::make({.chain = Chain::base,
                                  .contract = contractA,
                                  .tokenId = "9",
                                  .title = "Listed title",
                                  .artist = "Listed artist",
                                  .collection = "Listed collection",
                                  .platform = Platform::fxhash,
                                  .mediaKind = MediaKind::video,
                                  .mime = "video/mp4",
                                  .imageURI = "listed.png",
                                  .thumbnailURI = "listed-thumb.png",
                                  .animationURI = "listed.mp4",
                                  .externalURL = "https://opensea.io/item/9",
                                  .aspectRatio = 1.0,
                                  .editionNumber = "9",
                                  .description = "Listed description"});
  Artwork record = Artwork::make({.chain = Chain::base,
                                  .contract = contractA,
                                  .tokenId = "9",
                                  .title = "Record title",
                                  .platform = Platform::generic,
                                  .mediaKind = MediaKind::generative,
                                  .imageURI = "record.png",
                                  .animationURI = "record.html",
                                  .externalURL = "https://explorer/9",
                                  .isSpam = true});
  auto merged = EVMIndexer::merge({listed, 3}, record);
  EXPECT_EQ(merged.quantity, 3);
  EXPECT_EQ(merged.artwork.title, "Listed title");
  EXPECT_EQ(merged.artwork.artist, "Listed artist");
  EXPECT_EQ(merged.artwork.collection, "Listed collection");
  EXPECT_EQ(merged.artwork.platform, Platform::fxhash);
  EXPECT_EQ(merged.artwork.animationURI, "record.html");
  EXPECT_EQ(merged.artwork.mediaKind, MediaKind::generative);
  EXPECT_EQ(merged.artwork.mime, "video/mp4");  // the record has none
  EXPECT_EQ(merged.artwork.imageURI, "record.png");
  EXPECT_EQ(merged.artwork.thumbnailURI, "record.png");
  EXPECT_EQ(merged.artwork.externalURL, "https://opensea.io/item/9");
  EXPECT_EQ(merged.artwork.aspectRatio, 1.0);
  EXPECT_EQ(merged.artwork.editionNumber, "9");
  EXPECT_EQ(merged.artwork.description, "Listed description");
  EXPECT_TRUE(merged.artwork.isSpam);

  record.platform = Platform::artBlocks;
  record.artist = "Record artist";
  record.animationURI.reset();
  record.imageURI.reset();
  record.editionNumber = "4";
  record.aspectRatio = 0.5;
  record.isSpam = false;
  merged = EVMIndexer::merge({listed, 1}, record);
  EXPECT_EQ(merged.artwork.platform, Platform::artBlocks);
  EXPECT_EQ(merged.artwork.artist, "Record artist");
  EXPECT_EQ(merged.artwork.animationURI, "listed.mp4");
  EXPECT_EQ(merged.artwork.mediaKind, MediaKind::video);
  EXPECT_EQ(merged.artwork.thumbnailURI, "listed-thumb.png");
  EXPECT_EQ(merged.artwork.editionNumber, "4");
  EXPECT_EQ(merged.artwork.aspectRatio, 0.5);
  EXPECT_FALSE(merged.artwork.isSpam);
}

TEST(OpenSeaArtworks, AnArtistsListingIsCompletedFromItsMetadata) {
  LoopbackServer server;
  TempDir dir;
  FakeClock clock;
  server.post("/api/v2/auth/keys", R"({"api_key":"k","expires_at":"2099-01-01T00:00:00Z"})");
  // {"animation_url":"https://example.org/w.html"}
  J item{{"identifier", "1"},
         {"name", "Work"},
         {"metadata_url", "data:application/json;base64,eyJhbmltYXRpb25fdXJsIjoiaHR0cHM6Ly9leGFtcGxlLm9yZy93Lmh0bWwifQ=="}};
  server.get("/api/v2/collection/works/nfts", J{{"nfts", J::array({item})}}.dump());
  auto keys = std::make_shared<OpenSeaKeyStore>(dir.path() / "k.json", server.baseURL(), clock.clock());
  OpenSeaProvider os(quickClient(), keys, server.baseURL());
  auto works = os.artworks({.slug = "works", .name = "Works", .chain = Chain::base, .contract = contractA}, "Ada", 10,
                          {server.baseURL()});
  ASSERT_EQ(works.size(), 1u);
  EXPECT_EQ(works[0].artwork.animationURI, "https://example.org/w.html");
  EXPECT_EQ(works[0].artwork.mediaKind, MediaKind::generative);
  EXPECT_EQ(works[0].artwork.artist, "Ada");
}

}  // namespace
