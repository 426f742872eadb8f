#include "core/indexers/OpenSeaProvider.hpp"
#include "tests/core/indexers/EVMTestSupport.hpp"
#include "tests/support/ExpectArtwork.hpp"
#include "tests/support/LoopbackServer.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>

using namespace tavolune;
using namespace tavolune::evmtest;
using namespace std::chrono_literals;
using tavolune::testsupport::CannedResponse;
using tavolune::testsupport::expectArtwork;
using tavolune::testsupport::LoopbackServer;
using tavolune::testsupport::RecordedRequest;
using ::testing::ElementsAre;

namespace {

using J = json::Json;
using CreatedCollection = OpenSeaProvider::CreatedCollection;

// An NFT object as the v2 API writes it.
J nft(const std::string& id, const std::string& collection = "field-notes", const std::string& contract = contractA) {
  return J{{"identifier", id},
           {"collection", collection},
           {"contract", contract},
           {"token_standard", "erc721"},
           {"name", "Note #" + id},
           {"description", "A note"},
           {"image_url", "https://i.seadn.io/" + id + ".png"},
           {"display_image_url", nullptr},
           {"display_animation_url", nullptr},
           {"metadata_url", "ipfs://QmMeta/" + id},
           {"opensea_url", "https://opensea.io/assets/ethereum/" + contract + "/" + id},
           {"updated_at", "2024-05-01T12:00:00.000000"},
           {"is_disabled", false},
           {"is_nsfw", false}};
}

class OpenSeaProviderTest : public ::testing::Test {
 protected:
  OpenSeaProviderTest() {
    server.onRequest("POST", "/api/v2/auth/keys", [this](const RecordedRequest&) {
      std::string key = "key-" + std::to_string(++issued);
      return CannedResponse::json(J{{"api_key", key}, {"expires_at", "2099-01-01T00:00:00.000Z"}}.dump());
    });
  }

  OpenSeaProvider provider() const {
    auto keys = std::make_shared<OpenSeaKeyStore>(dir.path() / "opensea-key.json", server.baseURL(), clock.clock());
    return OpenSeaProvider(quickClient(), keys, server.baseURL());
  }
  std::size_t keyRequests() const { return server.requests("POST", "/api/v2/auth/keys").size(); }
  std::size_t gets() const { return server.requests().size() - keyRequests(); }

  TempDir dir;
  LoopbackServer server;
  FakeClock clock;
  std::atomic<int> issued{0};
  CreatedCollection notes{.slug = "field-notes", .name = "Field Notes", .chain = Chain::base, .contract = contractA};
};

TEST(OpenSeaChains, Identifiers) {
  EXPECT_EQ(OpenSeaProvider::chain("matic"), Chain::polygon);
  EXPECT_EQ(OpenSeaProvider::chain("polygon"), Chain::polygon);
  EXPECT_EQ(OpenSeaProvider::chain("ethereum"), Chain::ethereum);
  EXPECT_EQ(OpenSeaProvider::chain("arbitrum"), Chain::arbitrum);
  EXPECT_FALSE(OpenSeaProvider::chain("Ethereum"));
  EXPECT_FALSE(OpenSeaProvider::chain("solana"));
  EXPECT_EQ(OpenSeaProvider::identifier(Chain::polygon), "matic");
  EXPECT_FALSE(OpenSeaProvider::identifier(Chain::tezos));
}

// What nft(id) maps to in the Field Notes collection on Base.
Artwork noteWork(const std::string& id) {
  return Artwork::make({.chain = Chain::base,
                        .contract = contractA,
                        .tokenId = id,
                        .title = "Note #" + id,
                        .collection = "Field Notes",
                        .platform = Platform::generic,
                        .mediaKind = MediaKind::image,
                        .imageURI = "https://i.seadn.io/" + id + ".png",
                        .thumbnailURI = "https://i.seadn.io/" + id + ".png",
                        .externalURL = "https://opensea.io/assets/ethereum/" + contractA + "/" + id,
                        .editionNumber = id,
                        .description = "A note"});
}

std::optional<OwnedArtwork> mapped(const J& item, const CreatedCollection& c,
                                   const std::optional<std::string>& artist = std::nullopt) {
  return OpenSeaProvider::map(JSONValue::fromJson(item), c, artist);
}

TEST_F(OpenSeaProviderTest, MapReadsAnNFTObject) {
  auto plain = mapped(nft("7"), notes);
  ASSERT_TRUE(plain);
  EXPECT_EQ(plain->quantity, 1);
  EXPECT_EQ(plain->artwork.id, "base:" + contractA + ":7");
  expectArtwork(plain->artwork, noteWork("7"));

  J disabled = nft("1");
  disabled["is_disabled"] = "true";
  EXPECT_FALSE(mapped(disabled, notes));
  disabled["is_disabled"] = true;
  EXPECT_FALSE(mapped(disabled, notes));
  J noId = nft("1");
  noId.erase("identifier");
  EXPECT_FALSE(mapped(noId, notes));
  EXPECT_FALSE(mapped(J::object(), notes));

  J numeric = nft("1");
  numeric["identifier"] = 123456789012345678;
  numeric["name"] = "  ";
  numeric.erase("contract");
  auto n = noteWork("123456789012345678");
  n.title = "Field Notes #123456789012345678";
  n.imageURI = "https://i.seadn.io/1.png";
  n.thumbnailURI = "https://i.seadn.io/1.png";
  n.externalURL = "https://opensea.io/assets/ethereum/" + contractA + "/1";
  expectArtwork(mapped(numeric, notes)->artwork, n);

  J upper = nft("2", "x", "0xABCDEF0000000000000000000000000000000001");
  auto u = mapped(upper, notes)->artwork;
  EXPECT_EQ(u.contract, "0xabcdef0000000000000000000000000000000001");
  EXPECT_EQ(u.id, "base:0xabcdef0000000000000000000000000000000001:2");
}

TEST_F(OpenSeaProviderTest, MapArtistsAndMedia) {
  CreatedCollection byline = notes;
  byline.name = "Waves by Studio K";
  EXPECT_EQ(mapped(nft("1"), byline)->artwork.artist, "Studio K");
  EXPECT_EQ(mapped(nft("1"), byline, "Ada")->artwork.artist, "Ada");
  EXPECT_FALSE(mapped(nft("1"), notes)->artwork.artist);

  J png = nft("1");
  png["animation_url"] = "https://generator.artblocks.io/still.png";
  auto still = noteWork("1");
  still.platform = Platform::artBlocks;  // decided before the URI was dropped
  expectArtwork(mapped(png, notes)->artwork, still);

  J live = nft("1");
  live["animation_url"] = "https://example.org/a.mp4";
  live["display_animation_url"] = "https://example.org/live.html";
  live["display_image_url"] = "https://example.org/shown.png";
  auto shown = noteWork("1");
  shown.animationURI = "https://example.org/live.html";
  shown.mediaKind = MediaKind::generative;
  shown.imageURI = "https://example.org/shown.png";
  shown.thumbnailURI = "https://example.org/shown.png";
  expectArtwork(mapped(live, notes)->artwork, shown);

  J fx = nft("1");
  fx["opensea_url"] = "https://www.fxhash.xyz/gentk/1";
  EXPECT_EQ(mapped(fx, notes)->artwork.platform, Platform::fxhash);
}

TEST_F(OpenSeaProviderTest, RequestsCarryTheKeyAndRenewItOnceOn401) {
  server.onSequence("GET", "/api/v2/accounts/" + ownerA,
                    {CannedResponse::json("{}", 401), CannedResponse::json(R"({"address":"x"})")});
  auto os = provider();
  EXPECT_TRUE(os.createdCollections(ownerA).empty());  // no user name: no collections, no error
  auto gets = server.requests("GET", "/api/v2/accounts/" + ownerA);
  ASSERT_EQ(gets.size(), 2u);
  EXPECT_EQ(gets[0].header("X-API-KEY"), "key-1");
  EXPECT_EQ(gets[1].header("X-API-KEY"), "key-2");
  EXPECT_EQ(gets[0].header("Accept"), "application/json");
  EXPECT_EQ(keyRequests(), 2u);

  server.get("/api/v2/accounts/" + ownerA, "{}", 401);
  EXPECT_TRUE(tavoluneErrorOf([&] { os.createdCollections(ownerA); }).isHTTP(401));
  EXPECT_EQ(keyRequests(), 3u);

  server.resetRecords();
  server.get("/api/v2/accounts/" + ownerA, "{}", 403);
  EXPECT_TRUE(tavoluneErrorOf([&] { os.createdCollections(ownerA); }).isHTTP(403));
  EXPECT_EQ(server.requestCount(), 1u);  // no renewal for 403
}

TEST_F(OpenSeaProviderTest, AKeyRefusalReachesNoEndpoint) {
  server.post("/api/v2/auth/keys", "{}", 429);
  auto os = provider();
  EXPECT_TRUE(tavoluneErrorOf([&] { os.owned(ownerA, Chain::ethereum); }).isHTTP(429));
  EXPECT_TRUE(tavoluneErrorOf([&] { os.listed(notes, std::nullopt, 10); }).isHTTP(429));
  EXPECT_EQ(gets(), 0u);
  EXPECT_EQ(keyRequests(), 1u);
}

TEST_F(OpenSeaProviderTest, CreatedCollectionsPageAndFilter) {
  server.get("/api/v2/accounts/" + ownerA, R"({"address":"x","username":"ada & co"})");
  std::atomic<int> page{0};
  server.onRequest("GET", "/api/v2/collections", [&](const RecordedRequest& r) {
    J collections = J::array();
    int n = page++;
    if (n == 0) {
      collections.push_back({{"collection", "first"}, {"name", "First"},
                             {"contracts", J::array({{{"address", "0xAA"}, {"chain", "matic"}}})}});
      collections.push_back({{"collection", "nameless"},
                             {"contracts", J::array({{{"address", "0xBB"}, {"chain", "base"}}})}});
      collections.push_back({{"collection", "elsewhere"}, {"name", "Elsewhere"},
                             {"contracts", J::array({{{"address", "0xCC"}, {"chain", "solana"}},
                                                     {{"address", "0xDD"}, {"chain", "ethereum"}}})}});
      collections.push_back({{"collection", "empty"}, {"contracts", J::array({J::object()})}});
      collections.push_back({{"name", "no slug"}, {"contracts", J::array({{{"address", "0xEE"}, {"chain", "base"}}})}});
      return CannedResponse::json(J{{"collections", collections}, {"next", "c1"}}.dump());
    }
    EXPECT_EQ(r.param("next"), "c1");
    return CannedResponse::json(J{{"collections", J::array()}, {"next", nullptr}}.dump());
  });
  auto created = provider().createdCollections(ownerA);
  EXPECT_THAT(created, ElementsAre(CreatedCollection{"first", "First", Chain::polygon, "0xaa"},
                                   CreatedCollection{"nameless", "nameless", Chain::base, "0xbb"}));
  auto requests = server.requests("GET", "/api/v2/collections");
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].query, "creator_username=ada%20%26%20co&limit=100");
  EXPECT_EQ(requests[1].query, "creator_username=ada%20%26%20co&limit=100&next=c1");
}

TEST_F(OpenSeaProviderTest, CreatedCollectionsStopAfterThePageReachingFiveHundred) {
  server.get("/api/v2/accounts/" + ownerA, R"({"username":"ada"})");
  std::atomic<int> page{0};
  server.onRequest("GET", "/api/v2/collections", [&](const RecordedRequest&) {
    int n = page++;
    J collections = J::array();
    int count = n < 4 ? 100 : (n == 4 ? 50 : 100);
    for (int i = 0; i < count; ++i) {
      collections.push_back({{"collection", "c" + std::to_string(n * 100 + i)},
                             {"contracts", J::array({{{"address", "0xAA"}, {"chain", "base"}}})}});
    }
    return CannedResponse::json(J{{"collections", collections}, {"next", "p" + std::to_string(n + 1)}}.dump());
  });
  EXPECT_EQ(provider().createdCollections(ownerA).size(), 550u);
  EXPECT_EQ(server.requests("GET", "/api/v2/collections").size(), 6u);
}

TEST_F(OpenSeaProviderTest, ListedReadsPagesUntilTheLimit) {
  std::atomic<int> page{0};
  server.onRequest("GET", "/api/v2/collection/field-notes/nfts", [&](const RecordedRequest& r) {
    int n = page++;
    EXPECT_EQ(r.param("limit"), "200");
    J nfts = J::array();
    for (int i = 0; i < 200; ++i) {
      J item = nft(std::to_string(n * 200 + i));
      if (n == 0) item["is_disabled"] = true;  // a page of nothing still leads on
      nfts.push_back(item);
    }
    return CannedResponse::json(J{{"nfts", nfts}, {"next", "n" + std::to_string(n + 1)}}.dump());
  });
  auto listed = provider().listed(notes, "Ada", 2000);
  EXPECT_EQ(server.requests("GET", "/api/v2/collection/field-notes/nfts").size(), 11u);
  ASSERT_EQ(listed.size(), 2000u);
  auto first = noteWork("200");
  first.artist = "Ada";
  expectArtwork(listed.front().owned.artwork, first);
  EXPECT_EQ(listed.front().metadataURL, "ipfs://QmMeta/200");
}

TEST_F(OpenSeaProviderTest, ARepeatedCursorEndsAListing) {
  server.get("/api/v2/collection/field-notes/nfts", J{{"nfts", J::array({nft("1")})}, {"next", "same"}}.dump());
  EXPECT_EQ(provider().listed(notes, std::nullopt, 2000).size(), 2u);
  EXPECT_EQ(gets(), 2u);
}

TEST_F(OpenSeaProviderTest, CollectionNamesAreCachedOnlyWhenFound) {
  server.onSequence("GET", "/api/v2/collections/field-notes",
                    {CannedResponse::json("{}", 500), CannedResponse::json(R"({"name":"Field Notes"})")});
  auto os = provider();
  EXPECT_FALSE(os.collectionName("field-notes"));
  EXPECT_EQ(os.collectionName("field-notes"), "Field Notes");
  EXPECT_EQ(os.collectionName("field-notes"), "Field Notes");
  auto copy = os;  // copies share the cache
  EXPECT_EQ(copy.collectionName("field-notes"), "Field Notes");
  EXPECT_EQ(gets(), 2u);

  // A slug is one path segment, whatever it holds.
  server.get("/api/v2/collections/odd?limit=1", R"({"name":"Odd"})");
  EXPECT_EQ(os.collectionName("odd?limit=1"), "Odd");
  EXPECT_EQ(server.requests("GET", "/api/v2/collections/odd?limit=1").front().query, "");
}

TEST_F(OpenSeaProviderTest, OwnedListsEveryPageAndNamesEachCollectionOnce) {
  const std::string path = "/api/v2/chain/matic/account/" + ownerA + "/nfts";
  J noContract = nft("3");
  noContract.erase("contract");
  J noCollection = nft("4", "", "0xABCDEF0000000000000000000000000000000001");
  noCollection.erase("collection");
  server.onSequence("GET", path,
                    {CannedResponse::json(J{{"nfts", J::array({nft("1"), nft("2", "other")})}, {"next", "abc+/="}}.dump()),
                     CannedResponse::json(J{{"nfts", J::array({nft("5"), noContract, noCollection, 7})}}.dump())});
  server.get("/api/v2/collections/field-notes", R"({"name":"Field Notes"})");
  server.get("/api/v2/collections/other", "{}", 404);

  auto owned = provider().owned(ownerA, Chain::polygon);
  ASSERT_EQ(owned.size(), 4u);
  EXPECT_EQ(owned[0].owned.artwork.collection, "Field Notes");
  EXPECT_EQ(owned[0].owned.artwork.chain, Chain::polygon);
  EXPECT_EQ(owned[0].metadataURL, "ipfs://QmMeta/1");
  EXPECT_EQ(owned[1].owned.artwork.collection, "other");  // no name found: the slug
  EXPECT_EQ(owned[2].owned.artwork.tokenId, "5");
  expectArtwork(owned[3].owned.artwork,
                Artwork::make({.chain = Chain::polygon,
                               .contract = "0xabcdef0000000000000000000000000000000001",
                               .tokenId = "4",
                               .title = "Note #4",
                               .imageURI = "https://i.seadn.io/4.png",
                               .thumbnailURI = "https://i.seadn.io/4.png",
                               .externalURL = "https://opensea.io/assets/ethereum/0xABCDEF0000000000000000000000000000000001/4",
                               .editionNumber = "4",
                               .description = "A note"}));

  auto pages = server.requests("GET", path);
  ASSERT_EQ(pages.size(), 2u);
  EXPECT_EQ(pages[0].query, "limit=200");
  EXPECT_EQ(pages[1].query, "limit=200&next=abc%2B/%3D");
  EXPECT_EQ(pages[1].param("next"), "abc+/=");
  EXPECT_EQ(server.requests("GET", "/api/v2/collections/field-notes").size(), 1u);
}

TEST_F(OpenSeaProviderTest, OwnedStopsAtTenThousandEntries) {
  const std::string path = "/api/v2/chain/ethereum/account/" + ownerA + "/nfts";
  std::atomic<int> page{0};
  J nfts = J::array();
  for (int i = 0; i < 200; ++i) nfts.push_back(nft(std::to_string(i)));
  server.onRequest("GET", path, [&](const RecordedRequest&) {
    return CannedResponse::json(J{{"nfts", nfts}, {"next", "p" + std::to_string(++page)}}.dump());
  });
  server.get("/api/v2/collections/field-notes", R"({"name":"Field Notes"})");
  auto os = provider();
  EXPECT_EQ(os.owned(ownerA, Chain::ethereum).size(), 10'000u);
  EXPECT_EQ(server.requests("GET", path).size(), 50u);

  server.resetRecords();
  EXPECT_TRUE(os.owned(ownerA, Chain::tezos).empty());
  EXPECT_EQ(tavoluneErrorOf([&] { os.owned("0x12/../../accounts", Chain::ethereum); }).kind(),
            TavoluneError::Kind::invalidInput);
  EXPECT_EQ(tavoluneErrorOf([&] { os.createdCollections("ada.eth"); }).kind(), TavoluneError::Kind::invalidInput);
  EXPECT_EQ(server.requestCount(), 0u);
}

TEST_F(OpenSeaProviderTest, APageFailureFailsTheWholeListing) {
  const std::string path = "/api/v2/chain/base/account/" + ownerA + "/nfts";
  server.onSequence("GET", path,
                    {CannedResponse::json(J{{"nfts", J::array({nft("1")})}, {"next", "p"}}.dump()),
                     CannedResponse::json("{}", 502)});
  EXPECT_TRUE(tavoluneErrorOf([&] { provider().owned(ownerA, Chain::base); }).isHTTP(502));
}

}  // namespace
