#include "tests/core/indexers/TezosTestSupport.hpp"
#include "core/indexers/TzKTProvider.hpp"
#include "core/base/TavoluneError.hpp"
#include "tests/support/ExpectArtwork.hpp"
#include "tests/support/LoopbackServer.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace tavolune;
using namespace tavolune::tezostest;
using tavolune::testsupport::CannedResponse;
using tavolune::testsupport::expectArtwork;
using tavolune::testsupport::LoopbackServer;
using tavolune::testsupport::RecordedRequest;

namespace {

const std::string hen = "KT1RJ6PbjHpwc3M5rw5s2Nbmefwbuwbdxton";

std::string page(const JSONValue::Array& rows) { return JSONValue(rows).serialized(); }

class TzKTProviderTest : public ::testing::Test {
 protected:
  TzKTProviderTest() : provider(quickClient(), server.baseURL()) {}

  std::vector<std::string> offsets() const {
    std::vector<std::string> out;
    for (const auto& r : server.requests("GET", "/v1/tokens/balances")) out.push_back(r.param("offset").value_or("?"));
    return out;
  }

  LoopbackServer server;
  TzKTProvider provider;
};

TEST_F(TzKTProviderTest, QueryItemsAndExactlyOneFullPage) {
  server.onRequest("GET", "/v1/tokens/balances", [](const RecordedRequest& r) {
    JSONValue::Array rows;
    if (r.param("offset") == "0") {
      for (int i = 0; i < 1000; ++i) rows.push_back(tzktBalance(std::to_string(i), imageMetadata(std::to_string(i))));
    }
    return CannedResponse::json(page(rows));
  });
  auto works = provider.tokens("tz1Owner", Chain::tezos);
  EXPECT_EQ(works.size(), 1000u);
  EXPECT_THAT(offsets(), ::testing::ElementsAre("0", "1000"));
  auto first = server.requests().front();
  EXPECT_EQ(first.query, "account=tz1Owner&balance.gt=0&token.standard=fa2&limit=1000&offset=0&sort.desc=lastLevel");
  EXPECT_EQ(first.header("Accept"), "application/json");
  EXPECT_EQ(TzKTProvider::defaultAPIBase(), "https://api.tzkt.io");
}

TEST_F(TzKTProviderTest, FungiblePagesStillLeadToTheNext) {
  const JSONValue coin(JSONValue::Object{{"decimals", JSONValue("6")}, {"name", JSONValue("Coin")}});
  server.onRequest("GET", "/v1/tokens/balances", [&](const RecordedRequest& r) {
    JSONValue::Array rows;
    if (r.param("offset") == "0") {
      for (int i = 0; i < 1000; ++i) rows.push_back(tzktBalance("c" + std::to_string(i), coin));
    } else {
      rows.push_back(tzktBalance("art", imageMetadata("art")));
    }
    return CannedResponse::json(page(rows));
  });
  auto works = provider.tokens("tz1Owner", Chain::tezos);
  ASSERT_EQ(works.size(), 1u);
  EXPECT_EQ(works[0].artwork.tokenId, "art");
  EXPECT_EQ(server.requestCount(), 2u);
}

TEST_F(TzKTProviderTest, AServiceIgnoringTheOffsetDoesNotLoopForever) {
  JSONValue::Array rows;
  for (int i = 0; i < 1000; ++i) rows.push_back(tzktBalance(std::to_string(i), imageMetadata(std::to_string(i))));
  server.get("/v1/tokens/balances", page(rows));
  auto works = provider.tokens("tz1Owner", Chain::tezos);
  EXPECT_EQ(works.size(), 1000u);  // the repeated page adds nothing
  EXPECT_EQ(server.requestCount(), 2u);
}

TEST_F(TzKTProviderTest, FailuresPassUnchanged) {
  server.get("/v1/tokens/balances", R"({"code":500})", 500);
  try {
    provider.tokens("tz1", Chain::tezos);
    FAIL();
  } catch (const TavoluneError& e) {
    EXPECT_TRUE(e.isHTTP(500));
  }
  // An object where the list belongs, and a row without its token.
  server.get("/v1/tokens/balances", R"({"items":[]})");
  EXPECT_THROW(provider.tokens("tz1", Chain::tezos), TavoluneError);
  server.get("/v1/tokens/balances", R"([{"balance":"1"}])");
  EXPECT_THROW(provider.tokens("tz1", Chain::tezos), TavoluneError);
  // Malformed metadata never fails the call.
  server.get("/v1/tokens/balances",
             R"([{"balance":"1","token":{"contract":{"address":"KT1A"},"tokenId":"5","metadata":"junk"}}])");
  auto works = provider.tokens("tz1", Chain::tezos);
  ASSERT_EQ(works.size(), 1u);
  EXPECT_EQ(works[0].artwork.title, "Token #5");
  EXPECT_TRUE(works[0].artwork.isSpam);
}

TzKTProvider::Balance balance(const std::string& id, std::optional<JSONValue> metadata,
                              const std::string& contract = "KT1Tz", std::string amount = "1") {
  return TzKTProvider::Balance::fromJSONValue(tzktBalance(id, std::move(metadata), contract, std::move(amount)));
}

JSONValue withMember(JSONValue metadata, const std::string& key, JSONValue value) {
  auto object = *metadata.objectValue();
  object[key] = std::move(value);
  return JSONValue(std::move(object));
}

// What tzktBalance(id, imageMetadata(id), contract) maps to.
Artwork tzktWork(const std::string& id, const std::string& contract = "KT1Tz") {
  return Artwork::make({.chain = Chain::tezos,
                        .contract = contract,
                        .tokenId = id,
                        .title = "Piece " + id,
                        .artist = "tz1Mak\u20261111",
                        .artistAddress = "tz1Maker1111111111111111111111111111",
                        .collection = "Tz Coll",
                        .platform = Platform::generic,
                        .mediaKind = MediaKind::image,
                        .mime = "image/jpeg",
                        .imageURI = "ipfs://QmD" + id,
                        .thumbnailURI = "ipfs://QmT" + id,
                        .externalURL = "https://objkt.com/tokens/" + contract + "/" + id,
                        .year = 2023,
                        .editionSize = 5,
                        .description = "desc " + id});
}

TEST(TzKTMapping, FullBalance) {
  auto work = TzKTProvider::map(balance("9", imageMetadata("9"), "KT1TzABC", "3"), "tz1Owner");
  ASSERT_TRUE(work);
  EXPECT_EQ(work->quantity, 3);
  EXPECT_EQ(work->artwork.id, "tezos:kt1tzabc:9");
  expectArtwork(work->artwork, tzktWork("9", "KT1TzABC"));
}

// A balance row as TzKT really answers: the token object is a TokenInfo
// without "firstTime" (the row has its own, when the wallet got the token),
// and the metadata holds free-text creators, a date and no formats.
std::string realRow(const std::string& contract, const std::string& creator, const std::string& date) {
  return R"({"id":5,"account":{"address":"tz1Owner"},"token":{"id":9,"contract":{"address":")" + contract +
         R"("},"tokenId":"7","standard":"fa2","totalSupply":"1","metadata":{"name":"Real","creators":[")" + creator +
         R"("],"date":")" + date + R"(","artifactUri":"ipfs://QmReal"}},"balance":"1","firstTime":"2024-09-09T00:00:00Z"})";
}

TEST_F(TzKTProviderTest, RealAnswersKeepYearArtistAndGenerativeWorks) {
  const std::string fxhashContract = "KT1U6EHmNxJTkvaWJ4ThczG4FSDaHC21ssvi";
  const std::string address = "tz2BFTyPeYRzxd5aiBchbXN3WCZhx7BqbMBq";
  struct Row {
    std::string contract, creator, date;
    std::optional<std::int64_t> year;
    std::optional<std::string> artist, artistAddress;
    MediaKind kind;
    std::optional<std::string> animation;
  };
  const std::vector<Row> rows{
      {"KT1Tz", "Jane Doe (@jane)", "2021-06-01T12:00:00.000Z", 2021, "Jane Doe (@jane)", std::nullopt,
       MediaKind::image, std::nullopt},
      {fxhashContract, address, "2022-02-30", std::nullopt, "tz2BFT\u2026bMBq", address, MediaKind::generative,
       "ipfs://QmReal"},
      // Too short, and "0" is no base58 character: names, not addresses.
      {"KT1Tz", "tz1Short", "soon", std::nullopt, "tz1Short", std::nullopt, MediaKind::image, std::nullopt},
      {"KT1Tz", "tz1Maker0000000000000000000000000000", "2019-01-01", 2019, "tz1Maker0000000000000000000000000000",
       std::nullopt, MediaKind::image, std::nullopt},
  };
  for (const auto& row : rows) {
    server.get("/v1/tokens/balances", "[" + realRow(row.contract, row.creator, row.date) + "]");
    auto works = provider.tokens("tz1Owner", Chain::tezos);
    ASSERT_EQ(works.size(), 1u) << row.creator;
    SCOPED_TRACE(row.creator + " " + row.date);
    // A generative page has no still of its own here.
    const auto still = row.animation ? std::nullopt : std::optional<std::string>("ipfs://QmReal");
    expectArtwork(works[0].artwork,
                  Artwork::make({.chain = Chain::tezos,
                                 .contract = row.contract,
                                 .tokenId = "7",
                                 .title = "Real",
                                 .artist = row.artist,
                                 .artistAddress = row.artistAddress,
                                 .platform = row.contract == fxhashContract ? Platform::fxhash : Platform::generic,
                                 .mediaKind = row.kind,
                                 .imageURI = still,
                                 .thumbnailURI = still,
                                 .animationURI = row.animation,
                                 .externalURL = "https://objkt.com/tokens/" + row.contract + "/7",
                                 .year = row.year,
                                 .editionSize = 1}));
  }
}

TEST(TzKTMapping, FungibleTest) {
  for (JSONValue decimals : {JSONValue("6"), JSONValue(std::int64_t{8}), JSONValue(1.9), JSONValue("1e3")}) {
    EXPECT_FALSE(TzKTProvider::map(balance("1", withMember(imageMetadata("1"), "decimals", decimals)), "tz1"))
        << decimals.serialized();
  }
  for (JSONValue decimals : {JSONValue("0"), JSONValue(0.5), JSONValue("six"), JSONValue(true), JSONValue(-2.0),
                             JSONValue("nan"), JSONValue(nullptr)}) {
    EXPECT_TRUE(TzKTProvider::map(balance("1", withMember(imageMetadata("1"), "decimals", decimals)), "tz1"))
        << decimals.serialized();
  }
}

TEST(TzKTMapping, FallbacksWithoutMetadata) {
  expectArtwork(TzKTProvider::map(balance("4", std::nullopt), "tz1")->artwork,
                Artwork::make({.chain = Chain::tezos,
                               .contract = "KT1Tz",
                               .tokenId = "4",
                               .title = "Tz Coll #4",
                               .collection = "Tz Coll",
                               .externalURL = "https://objkt.com/tokens/KT1Tz/4",
                               .year = 2023,
                               .editionNumber = "4",
                               .editionSize = 5,
                               .isSpam = true}));

  auto raw = TzKTProvider::Balance::fromJSONValue(JSONValue::parse(
      R"({"balance":"99999999999999999999999","token":{"contract":{"address":"KT1A","alias":null},"tokenId":"4",)"
      R"("totalSupply":"1234567890123456789012345","firstTime":"2008-01-01T00:00:00Z"}})"));
  auto w = TzKTProvider::map(raw, "tz1");
  EXPECT_EQ(w->quantity, 1);
  // Too large a supply is no size, and a date before 2009 no year.
  expectArtwork(w->artwork, Artwork::make({.chain = Chain::tezos,
                                           .contract = "KT1A",
                                           .tokenId = "4",
                                           .title = "Token #4",
                                           .externalURL = "https://objkt.com/tokens/KT1A/4",
                                           .editionNumber = "4",
                                           .isSpam = true}));
  raw.token.contract.alias = "";
  EXPECT_EQ(TzKTProvider::map(raw, "tz1")->artwork.title, " #4");
  raw.balance = "1.5";
  EXPECT_EQ(TzKTProvider::map(raw, "tz1")->quantity, 1);
}

TEST(TzKTMapping, MimeFromFormats) {
  auto formats = [](JSONValue::Array list) {
    return withMember(withMember(imageMetadata("1"), "formats", JSONValue(std::move(list))), "displayUri",
                      JSONValue(""));
  };
  auto format = [](std::optional<std::string> uri, std::string mime) {
    JSONValue::Object o{{"mimeType", JSONValue(mime)}};
    if (uri) o.emplace("uri", JSONValue(*uri));
    return JSONValue(std::move(o));
  };
  // The second entry matches the artifact.
  auto a =
      TzKTProvider::map(
          balance("1", formats({format("ipfs://QmOther", "image/png"), format("ipfs://QmA1", "video/mp4")})), "tz1")
          ->artwork;
  auto video = tzktWork("1");
  video.mime = "video/mp4";
  video.mediaKind = MediaKind::video;
  video.animationURI = "ipfs://QmA1";
  // An empty display address is absent: a video falls back to the thumbnail.
  video.imageURI = "ipfs://QmT1";
  expectArtwork(a, video);

  a = TzKTProvider::map(
          balance("1", formats({format("ipfs://QmOther", "image/gif"), format("ipfs://QmZ", "video/mp4")})), "tz1")
          ->artwork;
  EXPECT_EQ(a.mime, "image/gif");
  EXPECT_EQ(a.imageURI, "ipfs://QmA1");  // an image falls back to its artifact

  // Without an artifact, the first format without a usable uri matches.
  auto m = withMember(formats({format("ipfs://x", "image/png"), format(std::nullopt, "text/html")}), "artifactUri",
                      JSONValue(nullptr));
  EXPECT_EQ(TzKTProvider::map(balance("1", m), "tz1")->artwork.mime, "text/html");
}

TEST(TzKTMapping, HenVideosAndGenerativeWorksGetTheViewer) {
  auto video = withMember(imageMetadata("1"), "formats",
                          JSONValue(JSONValue::Array{JSONValue(JSONValue::Object{
                              {"uri", JSONValue("ipfs://QmA1")}, {"mimeType", JSONValue("video/mp4")}})}));
  auto a = TzKTProvider::map(balance("1", video, hen), "tz1Viewer")->artwork;
  EXPECT_EQ(a.platform, Platform::objkt);
  EXPECT_EQ(a.animationURI, "ipfs://QmA1?viewer=tz1Viewer&creator=tz1Maker1111111111111111111111111111");

  auto page = withMember(withMember(video, "creators", JSONValue(JSONValue::Array{})), "formats",
                         JSONValue(JSONValue::Array{JSONValue(JSONValue::Object{
                             {"uri", JSONValue("ipfs://QmA1")}, {"mimeType", JSONValue("application/x-directory")}})}));
  auto generative = tzktWork("1", hen);
  generative.platform = Platform::objkt;
  generative.mime = "application/x-directory";
  generative.mediaKind = MediaKind::generative;
  generative.animationURI = "ipfs://QmA1?viewer=tz1Viewer";
  generative.artist = std::nullopt;
  generative.artistAddress = std::nullopt;
  expectArtwork(TzKTProvider::map(balance("1", page, hen), "tz1Viewer")->artwork, generative);

  a = TzKTProvider::map(balance("1", page, "KT1Else"), "tz1Viewer")->artwork;
  EXPECT_EQ(a.animationURI, "ipfs://QmA1");
}

}  // namespace
