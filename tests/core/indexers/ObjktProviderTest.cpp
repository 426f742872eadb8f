#include "tests/core/indexers/TezosTestSupport.hpp"
#include "core/indexers/ObjktProvider.hpp"
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

class ObjktProviderTest : public ::testing::Test {
 protected:
  ObjktProviderTest() : provider(quickClient(), server.url("/v3/graphql")) {}

  // Answers each page request with `count(offset)` rows.
  void serveHoldings(std::function<std::size_t(std::int64_t)> count) {
    server.onRequest("POST", "/v3/graphql", [count](const RecordedRequest& r) {
      auto body = JSONValue::parse(r.body);
      const std::int64_t offset = *body["variables"]["offset"].asInt();
      JSONValue::Array rows;
      for (std::size_t i = 0; i < count(offset); ++i) {
        rows.push_back(holding(objktToken(std::to_string(offset + static_cast<std::int64_t>(i)))));
      }
      return CannedResponse::json(holdingsAnswer(std::move(rows)));
    });
  }

  std::vector<std::int64_t> offsets() const {
    std::vector<std::int64_t> out;
    for (const auto& r : server.requests("POST", "/v3/graphql")) {
      out.push_back(*JSONValue::parse(r.body)["variables"]["offset"].asInt());
    }
    return out;
  }

  LoopbackServer server;
  ObjktProvider provider;
};

TEST_F(ObjktProviderTest, QueryTextsAreExact) {
  EXPECT_EQ(ObjktProvider::holdingsQuery.size(), 443u);
  EXPECT_EQ(ObjktProvider::creationsQuery.size(), 395u);
  EXPECT_NE(ObjktProvider::holdingsQuery.back(), '\n');
  EXPECT_EQ(ObjktProvider::defaultEndpoint(), "https://data.objkt.com/v3/graphql");
  EXPECT_TRUE(provider.supports(Chain::tezos));
  EXPECT_FALSE(provider.supports(Chain::ethereum));
  EXPECT_EQ(provider.name(), "objkt");
}

TEST_F(ObjktProviderTest, RequestShapeAndPagingOfExactlyOnePage) {
  serveHoldings([](std::int64_t offset) { return offset == 0 ? 500u : 0u; });
  auto works = provider.tokens("tz1Owner", Chain::tezos);
  EXPECT_EQ(works.size(), 500u);
  EXPECT_THAT(offsets(), ::testing::ElementsAre(0, 500));

  auto first = server.requests().front();
  EXPECT_EQ(first.header("Content-Type"), "application/json");
  auto body = JSONValue::parse(first.body);
  EXPECT_EQ(*body["query"].stringValue(), ObjktProvider::holdingsQuery);
  EXPECT_EQ(*body["variables"]["owner"].stringValue(), "tz1Owner");
  EXPECT_TRUE(body["variables"]["limit"].isNumber());
  EXPECT_EQ(body["variables"]["limit"].asInt(), 500);
  EXPECT_TRUE(body["variables"]["offset"].isNumber());
}

TEST_F(ObjktProviderTest, HoldingsStopAtTheOffsetCap) {
  serveHoldings([](std::int64_t) { return 500u; });
  auto works = provider.tokens("tz1Whale", Chain::tezos);
  EXPECT_EQ(works.size(), 20500u);
  const auto asked = offsets();
  ASSERT_EQ(asked.size(), 41u);
  EXPECT_EQ(asked.back(), 20000);
  EXPECT_EQ(works.front().artwork.tokenId, "0");
  EXPECT_EQ(works.back().artwork.tokenId, "20499");
}

TEST_F(ObjktProviderTest, GraphQLErrorsFailTheWholeCall) {
  // Page one is fine; page two carries data and an error: nothing is kept.
  JSONValue::Array full;
  for (int i = 0; i < 500; ++i) full.push_back(holding(objktToken(std::to_string(i))));
  server.onSequence("POST", "/v3/graphql",
                    {CannedResponse::json(holdingsAnswer(full)),
                     CannedResponse::json(R"({"data":{"token_holder":[]},"errors":[{"message":"too many requests"},)"
                                          R"({"message":"second"}]})")});
  try {
    provider.tokens("tz1Owner", Chain::tezos);
    FAIL() << "no error";
  } catch (const TavoluneError& e) {
    EXPECT_EQ(e.kind(), TavoluneError::Kind::decoding);
    EXPECT_EQ(e.text(), "objkt: too many requests");
  }
}

TEST_F(ObjktProviderTest, EmptyErrorsNullDataAndRowsWithoutToken) {
  server.post("/v3/graphql", R"({"data":{"token_holder":[{"quantity":2,"token":null},{"quantity":1}]},"errors":[]})");
  EXPECT_TRUE(provider.tokens("tz1", Chain::tezos).empty());

  server.post("/v3/graphql", R"({"data":null})");
  EXPECT_TRUE(provider.tokens("tz1", Chain::tezos).empty());
  EXPECT_EQ(server.requestCount(), 2u);

  // A required field of the wrong type is a decoding failure, not a skip.
  server.post("/v3/graphql", R"({"data":{"token_holder":[{"quantity":"1"}]}})");
  EXPECT_THROW(provider.tokens("tz1", Chain::tezos), TavoluneError);
  server.post("/v3/graphql", R"({"errors":"bad"})");
  EXPECT_THROW(provider.tokens("tz1", Chain::tezos), TavoluneError);
  server.post("/v3/graphql", R"({"errors":[{"message":"x"}]})", 502);
  try {
    provider.tokens("tz1", Chain::tezos);
    FAIL();
  } catch (const TavoluneError& e) {
    EXPECT_TRUE(e.isHTTP(502));
  }
}

TEST_F(ObjktProviderTest, CreationsPagingAgainstTheLimit) {
  server.onRequest("POST", "/v3/graphql", [](const RecordedRequest& r) {
    auto body = JSONValue::parse(r.body);
    EXPECT_EQ(*body["query"].stringValue(), ObjktProvider::creationsQuery);
    EXPECT_EQ(*body["variables"]["artist"].stringValue(), "tz1Artist");
    EXPECT_EQ(body["variables"]["limit"].asInt(), 500);
    const std::int64_t offset = *body["variables"]["offset"].asInt();
    JSONValue::Array tokens;
    for (int i = 0; i < 500; ++i) tokens.push_back(JSONValue(objktToken(std::to_string(offset + i))));
    return CannedResponse::json(creationsAnswer(std::move(tokens)));
  });
  EXPECT_TRUE(provider.creations("tz1Artist", 0).empty());
  EXPECT_EQ(server.requestCount(), 0u);

  auto one = provider.creations("tz1Artist", 500);
  EXPECT_EQ(one.size(), 500u);
  EXPECT_EQ(server.requestCount(), 1u);
  EXPECT_EQ(one.front().quantity, 1);

  server.resetRecords();
  auto two = provider.creations("tz1Artist", 600);
  EXPECT_EQ(two.size(), 1000u);  // not cut to the limit
  EXPECT_THAT(offsets(), ::testing::ElementsAre(0, 500));
}

ObjktProvider::Holder row(JSONValue::Object token, std::int64_t quantity = 3) {
  return ObjktProvider::Holder::fromJSONValue(holding(std::move(token), quantity));
}

// What objktToken(id, contract) maps to.
Artwork objktWork(const std::string& id, const std::string& contract = "KT1Gen") {
  return Artwork::make({.chain = Chain::tezos,
                        .contract = contract,
                        .tokenId = id,
                        .title = "Work " + id,
                        .artist = "ada",
                        .artistAddress = "tz1Creator000000000000000000000000000",
                        .collection = "Gen Series",
                        .platform = Platform::objkt,
                        .mediaKind = MediaKind::image,
                        .mime = "image/png",
                        .imageURI = "ipfs://QmDisplay" + id,
                        .thumbnailURI = "ipfs://QmThumb" + id,
                        .externalURL = "https://objkt.com/tokens/" + contract + "/" + id,
                        .year = 2022,
                        .editionSize = 10,
                        .description = "About " + id});
}

TEST(ObjktMapping, FullRow) {
  auto work = ObjktProvider::map(row(objktToken("42", "KT1GenABC")), "tz1Owner");
  ASSERT_TRUE(work);
  EXPECT_EQ(work->quantity, 3);
  EXPECT_EQ(work->artwork.id, "tezos:kt1genabc:42");
  expectArtwork(work->artwork, objktWork("42", "KT1GenABC"));
}

TEST(ObjktMapping, TitlesCreditsAndSpam) {
  auto t = objktToken("7");
  t["name"] = JSONValue("   ");
  auto a = ObjktProvider::map(row(t), "tz1")->artwork;
  EXPECT_EQ(a.title, "Gen Series #7");
  EXPECT_EQ(a.editionNumber, "7");

  t["fa"] = JSONValue(JSONValue::Object{{"contract", JSONValue("KT1X")}, {"name", JSONValue("")}});
  EXPECT_EQ(ObjktProvider::map(row(t), "tz1")->artwork.title, " #7");
  t["fa"] = JSONValue(JSONValue::Object{{"contract", JSONValue("KT1X")}});
  a = ObjktProvider::map(row(t), "tz1")->artwork;
  EXPECT_EQ(a.title, "Untitled #7");
  EXPECT_EQ(a.platform, Platform::generic);  // no collection type

  t["creators"] = JSONValue(JSONValue::Array{JSONValue(JSONValue::Object{
      {"holder", JSONValue(JSONValue::Object{{"alias", JSONValue("")},
                                             {"address", JSONValue("tz1abcdefghijklmnopqrstuvwxyz0123456")}})}})});
  EXPECT_EQ(ObjktProvider::map(row(t), "tz1")->artwork.artist, "tz1abc\u20263456");
  t["creators"] = JSONValue(JSONValue::Array{
      JSONValue(JSONValue::Object{{"holder", JSONValue(JSONValue::Object{{"address", JSONValue("tz1abcdefghi")}})}})});
  EXPECT_EQ(ObjktProvider::map(row(t), "tz1")->artwork.artist, "tz1abcdefghi");
  t["creators"] = JSONValue(JSONValue::Array{JSONValue(JSONValue::Object{})});
  a = ObjktProvider::map(row(t), "tz1")->artwork;
  EXPECT_EQ(a.artist, std::nullopt);
  EXPECT_EQ(a.artistAddress, std::nullopt);

  t["flag"] = JSONValue("banned");
  EXPECT_TRUE(ObjktProvider::map(row(t), "tz1")->artwork.isSpam);
  t["flag"] = JSONValue("Banned");
  EXPECT_FALSE(ObjktProvider::map(row(t), "tz1")->artwork.isSpam);

  auto bare = objktToken("8");
  bare.erase("display_uri");
  bare.erase("artifact_uri");
  bare.erase("thumbnail_uri");
  a = ObjktProvider::map(row(bare), "tz1")->artwork;
  EXPECT_TRUE(a.isSpam);
  EXPECT_EQ(a.imageURI, std::nullopt);

  for (const char* stamp : {"2008-01-01", "2101-01-01", "202"}) {
    bare["timestamp"] = JSONValue(stamp);
    EXPECT_EQ(ObjktProvider::map(row(bare), "tz1")->artwork.year, std::nullopt) << stamp;
  }
  EXPECT_FALSE(ObjktProvider::map(ObjktProvider::Holder{2, std::nullopt}, "tz1"));
}

TEST(ObjktMapping, MediaAddresses) {
  auto t = objktToken("1", hen);
  t["mime"] = JSONValue("application/x-directory");
  t["fa"] = JSONValue(JSONValue::Object{{"contract", JSONValue(hen)}, {"collection_type", JSONValue("artist")}});
  auto a = ObjktProvider::map(row(t), "tz1Viewer")->artwork;
  EXPECT_EQ(a.mediaKind, MediaKind::generative);
  EXPECT_EQ(a.animationURI, "ipfs://QmArtifact1?viewer=tz1Viewer&creator=tz1Creator000000000000000000000000000");

  t["artifact_uri"] = JSONValue("ipfs://QmArtifact1/?viewer=tz1Other");
  EXPECT_EQ(ObjktProvider::map(row(t), "tz1Viewer")->artwork.animationURI, "ipfs://QmArtifact1/?viewer=tz1Other");

  // Not the hen contract: the artifact as it is.
  auto g = objktToken("2", "KT1Other");
  g["mime"] = JSONValue("text/html");
  EXPECT_EQ(ObjktProvider::map(row(g), "tz1Viewer")->artwork.animationURI, "ipfs://QmArtifact2");

  auto v = objktToken("3");
  v["mime"] = JSONValue("video/mp4");
  v.erase("display_uri");
  auto video = objktWork("3");
  video.mime = "video/mp4";
  video.mediaKind = MediaKind::video;
  video.animationURI = "ipfs://QmArtifact3";
  video.imageURI = "ipfs://QmThumb3";  // a video artifact is no image
  expectArtwork(ObjktProvider::map(row(v), "tz1")->artwork, video);

  auto i = objktToken("4");
  i["display_uri"] = JSONValue("");
  i.erase("thumbnail_uri");
  a = ObjktProvider::map(row(i), "tz1")->artwork;
  EXPECT_EQ(a.imageURI, "ipfs://QmArtifact4");
  EXPECT_EQ(a.thumbnailURI, "ipfs://QmArtifact4");

  auto o = objktToken("5");
  o["mime"] = JSONValue("model/gltf-binary");
  a = ObjktProvider::map(row(o), "tz1")->artwork;
  EXPECT_EQ(a.mediaKind, MediaKind::other);
  EXPECT_EQ(a.animationURI, std::nullopt);
}

}  // namespace
