#include "tests/core/indexers/EVMTestSupport.hpp"
#include "tests/core/indexers/TezosTestSupport.hpp"
#include "core/indexers/BlockscoutProvider.hpp"
#include "core/indexers/ObjktProvider.hpp"
#include "core/indexers/OpenSeaKeyStore.hpp"
#include "core/indexers/OpenSeaProvider.hpp"
#include "core/indexers/SyncEngine.hpp"
#include "core/base/TavoluneError.hpp"
#include "tests/support/LoopbackServer.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

using namespace tavolune;
using namespace tavolune::tezostest;
using tavolune::testsupport::CannedResponse;
using tavolune::testsupport::LoopbackServer;
using tavolune::testsupport::RecordedRequest;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAre;
using J = json::Json;

namespace {

const std::string artistAddress = "0xa11ce00000000000000000000000000000000001";
const std::string seriesContract = "0x5e5e5e5e5e5e5e5e5e5e5e5e5e5e5e5e5e5e5e5e";
const std::string otherSeries = "0x0707070707070707070707070707070707070707";
const std::string openSeaContract = "0xc011ec7000000000000000000000000000000001";
const std::string handContract = "0x1234abcdef000000000000000000000000000000";

// The EVM holdings of the artist's own address, as any collector read gives them.
class HeldWorks : public IndexerProvider {
 public:
  explicit HeldWorks(std::vector<OwnedArtwork> works) : works_(std::move(works)) {}
  std::string name() const override { return "held"; }
  bool supports(Chain chain) const override { return family(chain) == ChainFamily::evm; }
  std::vector<OwnedArtwork> tokens(const std::string&, Chain, std::stop_token) const override { return works_; }

 private:
  std::vector<OwnedArtwork> works_;
};

OwnedArtwork held(const std::string& contract, const std::string& token, std::optional<std::string> artist,
                  std::string collection) {
  return {Artwork::make({.chain = Chain::ethereum,
                         .contract = contract,
                         .tokenId = token,
                         .title = "Held " + token,
                         .artist = std::move(artist),
                         .collection = std::move(collection)}),
          1};
}

// An explorer instance record, credited through its artist attribute.
J record(const std::string& id, const std::string& contract, std::optional<std::string> artist) {
  J md{{"name", "Piece #" + id}, {"image", "ipfs://QmImage/" + id}};
  if (artist) md["attributes"] = J::array({{{"trait_type", "artist"}, {"value", *artist}}});
  return J{{"id", id},
           {"token", {{"address_hash", contract}, {"name", "Series"}, {"symbol", "S"}, {"type", "ERC-721"}}},
           {"value", "1"},
           {"metadata", md}};
}

std::string instances(const J& items) { return J{{"items", items}, {"next_page_params", nullptr}}.dump(); }

class ArtistSyncTest : public ::testing::Test {
 protected:
  ArtistSyncTest() { server.post("/api/v2/auth/keys", R"({"api_key":"k","expires_at":"2099-01-01T00:00:00Z"})"); }

  std::shared_ptr<BlockscoutProvider> blockscout() const {
    BlockscoutProvider::Explorers explorers;
    for (Chain c : {Chain::ethereum, Chain::base, Chain::optimism, Chain::arbitrum, Chain::polygon}) {
      explorers[c] = server.url("/" + std::string(rawValue(c)));
    }
    return std::make_shared<BlockscoutProvider>(http, explorers, clock.clock());
  }

  OpenSeaProvider openSea() const {
    auto keys = std::make_shared<OpenSeaKeyStore>(dir.path() / "opensea-key.json", server.baseURL(), clock.clock());
    return OpenSeaProvider(http, keys, server.baseURL());
  }

  SyncEngine engine(std::vector<OwnedArtwork> heldWorks, bool withOpenSea) const {
    auto b = blockscout();
    SyncEngine::ArtistSources sources{.blockscout = b, .gateways = {server.baseURL()}};
    if (withOpenSea) sources.openSea = openSea();
    return SyncEngine({std::make_shared<HeldWorks>(std::move(heldWorks)), b}, std::move(sources));
  }

  static Wallet artistWallet(ChainFamily family, std::string address,
                             std::optional<std::vector<std::string>> contracts = std::nullopt) {
    Wallet w = Wallet::make(Uuid::random(), "Ada Lovelace", address, address, std::nullopt, family, std::nullopt,
                            WalletRole::artist);
    if (family == ChainFamily::evm) w.chains = {Chain::ethereum};
    w.collectionContracts = std::move(contracts);
    return w;
  }

  void serveInstances(const std::string& chain, const std::string& contract, const J& items) {
    server.get("/" + chain + "/api/v2/tokens/" + contract + "/instances", instances(items));
  }

  void serveCreatedCollection(const std::string& name, std::optional<J> nfts = std::nullopt) {
    server.get("/api/v2/accounts/" + artistAddress, R"({"username":"ada","address":")" + artistAddress + R"("})");
    server.get("/api/v2/collections",
               J{{"collections",
                  J::array({{{"collection", "etude"},
                             {"name", name},
                             {"contracts", J::array({{{"chain", "ethereum"}, {"address", openSeaContract}}})}}})},
                 {"next", nullptr}}
                   .dump());
    if (nfts) {
      server.get("/api/v2/collection/etude/nfts", J{{"nfts", *nfts}, {"next", nullptr}}.dump());
      return;
    }
    server.get("/api/v2/collection/etude/nfts", J{{"nfts", J::array({{{"identifier", "1"},
                                                                      {"contract", openSeaContract},
                                                                      {"name", "Etude 1"},
                                                                      {"image_url", "https://img.example/1.png"}},
                                                                     {{"identifier", "9"},
                                                                      {"contract", handContract},
                                                                      {"name", "Shared 9"},
                                                                      {"image_url", "https://img.example/9.png"}}})},
                                                  {"next", nullptr}}
                                                    .dump());
  }

  std::vector<std::string> paths() const {
    std::vector<std::string> out;
    for (const auto& r : server.requests()) {
      if (r.path != "/api/v2/auth/keys") out.push_back(r.method + " " + r.path);
    }
    return out;
  }

  LoopbackServer server;
  HTTPClient http = quickClient();
  evmtest::FakeClock clock;
  evmtest::TempDir dir;
};

TEST_F(ArtistSyncTest, BitcoinArtistWithoutContractsReadsNothing) {
  auto r = engine({}, true).sync(artistWallet(ChainFamily::bitcoin, "bc1qartist"));
  EXPECT_THAT(r.owned, IsEmpty());
  EXPECT_THAT(r.errors, IsEmpty());
  EXPECT_FALSE(r.partial);
  EXPECT_THAT(r.discovered, IsEmpty());
  EXPECT_EQ(server.requestCount(), 0u);
}

TEST_F(ArtistSyncTest, TezosCreationsThenContractReads) {
  server.post("/v3/graphql", R"({"errors":[{"message":"busy"}]})");
  serveInstances("base", handContract, J::array({record("1", handContract, std::nullopt)}));
  serveInstances("ethereum", handContract, J::array({record("2", handContract, std::nullopt)}));
  auto objkt = std::make_shared<ObjktProvider>(http, server.url("/v3/graphql"));
  auto b = blockscout();
  SyncEngine e({objkt, b}, {.objkt = objkt, .blockscout = b});
  auto r = e.sync(
      artistWallet(ChainFamily::tezos, "tz1Artist", std::vector<std::string>{"base:" + handContract, handContract}));
  EXPECT_THAT(r.errors, ElementsAre("Tezos: " + TavoluneError::plain(TavoluneError::decoding("objkt: busy"))));
  EXPECT_TRUE(r.partial);
  EXPECT_THAT(r.discovered, IsEmpty());
  EXPECT_THAT(paths(), ElementsAre("POST /v3/graphql", "GET /base/api/v2/tokens/" + handContract + "/instances",
                                   "GET /ethereum/api/v2/tokens/" + handContract + "/instances"));
  EXPECT_EQ(r.owned.size(), 2u);
  // Created works come with the artist's own address as the viewer.
  auto body = JSONValue::parse(server.requests("POST", "/v3/graphql").front().body);
  EXPECT_EQ(*body["variables"]["artist"].stringValue(), "tz1Artist");
}

TEST_F(ArtistSyncTest, SeriesAreReadFilteredWhenOpenSeaIsAbsentOrFails) {
  std::vector<OwnedArtwork> heldWorks{held(seriesContract, "1", "Ada Lovelace", "Etude No. 2"),
                                      held(otherSeries, "2", "someone", "Not Hers")};
  serveInstances("ethereum", seriesContract,
                 J::array({record("10", seriesContract, std::nullopt), record("11", seriesContract, "Someone Else"),
                           record("12", seriesContract, "Ada Lovelace")}));
  for (bool withOpenSea : {false, true}) {
    server.resetRecords();
    // The account look-up fails: no line, the series still read.
    server.get("/api/v2/accounts/" + artistAddress, "{}", 500);
    auto r = engine(heldWorks, withOpenSea).sync(artistWallet(ChainFamily::evm, artistAddress));
    EXPECT_THAT(r.errors, IsEmpty());
    EXPECT_FALSE(r.partial);
    EXPECT_THAT(r.discovered, ElementsAre("Etude No. 2"));
    std::vector<std::string> tokens;
    for (const auto& o : r.owned) tokens.push_back(o.artwork.tokenId);
    EXPECT_THAT(tokens, UnorderedElementsAre("10", "12"));
    EXPECT_EQ(server.requests("GET", "/api/v2/accounts/" + artistAddress).size(), withOpenSea ? 1u : 0u);
  }
}

TEST_F(ArtistSyncTest, CollectionsSuppressSeriesOfTheSameNameAndContractsSuppressSeries) {
  serveCreatedCollection("\u00c9tude No. 2");
  std::vector<OwnedArtwork> heldWorks{held(seriesContract, "1", "Ada Lovelace", "etude no 2"),
                                      held(handContract, "3", "Ada Lovelace", "By Hand"),
                                      held(otherSeries, "4", "Ada Lovelace x Bob", "Duo")};
  serveInstances("ethereum", handContract,
                 J::array({record("9", handContract, "Someone Else"), record("8", handContract, std::nullopt)}));
  serveInstances("ethereum", otherSeries, J::array({record("4", otherSeries, "Ada Lovelace x Bob")}));
  auto r = engine(heldWorks, true)
               .sync(artistWallet(ChainFamily::evm, artistAddress, std::vector<std::string>{handContract}));
  EXPECT_THAT(r.errors, IsEmpty());
  // The collection is listed, the series of the same name is not, nor the
  // one under the hand-entered contract.
  EXPECT_THAT(r.discovered, ElementsAre("\u00c9tude No. 2", "Duo"));
  EXPECT_TRUE(server.requests("GET", "/ethereum/api/v2/tokens/" + seriesContract + "/instances").empty());
  EXPECT_EQ(server.requests("GET", "/ethereum/api/v2/tokens/" + handContract + "/instances").size(), 1u);

  std::map<std::string, OwnedArtwork> byToken;
  for (const auto& o : r.owned) byToken[o.artwork.contract + "/" + o.artwork.tokenId] = o;
  // The OpenSea work carries the chosen credit: the joint credit is never
  // taken, the signed one is.
  ASSERT_TRUE(byToken.contains(openSeaContract + "/1"));
  EXPECT_EQ(byToken[openSeaContract + "/1"].artwork.artist, "Ada Lovelace");
  // Token 9 came from OpenSea first and again from the contract read, which
  // wins, unfiltered although credited to someone else.
  ASSERT_TRUE(byToken.contains(handContract + "/9"));
  EXPECT_EQ(byToken[handContract + "/9"].artwork.title, "Piece #9");
  EXPECT_TRUE(byToken.contains(handContract + "/8"));
  EXPECT_EQ(r.owned.size(), 4u);  // 1, 9, 8 and the series "Duo"
}

TEST_F(ArtistSyncTest, ListedWorksTakeTheirMetadataThroughTheGivenGateways) {
  const std::string cid = "QmYwAPJzv5CZsnA625s3Xf2nemtYgPpHdWEz79ojWnPbdG";
  serveCreatedCollection("Etudes", J::array({{{"identifier", "1"},
                                              {"contract", openSeaContract},
                                              {"name", "Etude 1"},
                                              {"metadata_url", "ipfs://" + cid + "/1.json"}}}));
  server.get("/ipfs/" + cid + "/1.json", R"({"animation_url":"https://live.example/1.html"})");
  auto r = engine({}, true).sync(artistWallet(ChainFamily::evm, artistAddress));
  EXPECT_THAT(r.errors, IsEmpty());
  ASSERT_EQ(r.owned.size(), 1u);
  // The document came from the loopback gateway, the only one given.
  EXPECT_EQ(r.owned[0].artwork.animationURI, "https://live.example/1.html");
  EXPECT_EQ(server.requests("GET", "/ipfs/" + cid + "/1.json").size(), 1u);
}

TEST_F(ArtistSyncTest, AJointCreditIsNeverPassedOn) {
  serveCreatedCollection("Etudes");
  std::vector<OwnedArtwork> heldWorks{held(otherSeries, "4", "Ada Lovelace x Bob", "Duo")};
  serveInstances("ethereum", otherSeries, J::array());
  auto r = engine(heldWorks, true).sync(artistWallet(ChainFamily::evm, artistAddress));
  auto it =
      std::find_if(r.owned.begin(), r.owned.end(), [](const OwnedArtwork& o) { return o.artwork.tokenId == "1"; });
  ASSERT_NE(it, r.owned.end());
  EXPECT_EQ(it->artwork.artist, "Ada Lovelace");  // the wallet's label
  EXPECT_THAT(r.discovered, ElementsAre("Etudes", "Duo"));
}

TEST_F(ArtistSyncTest, EachFailedReadIsOneLine) {
  server.get("/api/v2/accounts/" + artistAddress, "{}", 500);
  server.get("/base/api/v2/tokens/" + handContract + "/instances", "{}", 503);
  serveInstances("ethereum", handContract, J::array({record("1", handContract, std::nullopt)}));
  auto r = engine({}, true).sync(
      artistWallet(ChainFamily::evm, artistAddress, std::vector<std::string>{"base:" + handContract, handContract}));
  ASSERT_EQ(r.errors.size(), 1u);
  EXPECT_TRUE(r.errors[0].starts_with("Base 0x1234ab\u2026: ")) << r.errors[0];
  EXPECT_TRUE(r.partial);
  EXPECT_EQ(r.owned.size(), 1u);
}

TEST(ArtistSyncContracts, EntriesAndLabels) {
  using E = SyncEngine::ContractEntry;
  EXPECT_EQ(SyncEngine::parseContractEntry("base:0xabc"), (E{Chain::base, "0xabc"}));
  EXPECT_EQ(SyncEngine::parseContractEntry("0xabc"), (E{Chain::ethereum, "0xabc"}));
  EXPECT_EQ(SyncEngine::parseContractEntry("solana:0xabc"), (E{Chain::ethereum, "0xabc"}));
  EXPECT_EQ(SyncEngine::parseContractEntry("base:x:0xabc"), (E{Chain::ethereum, "0xabc"}));
  EXPECT_EQ(SyncEngine::parseContractEntry("::base::0xabc:"), (E{Chain::base, "0xabc"}));
  EXPECT_EQ(SyncEngine::parseContractEntry(":::"), (E{Chain::ethereum, ":::"}));
  EXPECT_EQ(SyncEngine::contractLabel({Chain::base, "0x1234abcdef"}), "Base 0x1234ab\u2026");
  EXPECT_EQ(SyncEngine::contractLabel({Chain::polygon, "0x12"}), "Polygon 0x12\u2026");
}

}  // namespace
