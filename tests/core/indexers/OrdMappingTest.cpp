#include "core/indexers/OrdProvider.hpp"
#include "tests/support/ExpectArtwork.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

namespace tavolune {
namespace {

constexpr const char* base = "https://ord.example";
const std::string id = "6fb976ab49dcec017f1e201e84395983204ae1a7c2abf7ced0a85d692e442799i0";

using testsupport::expectArtwork;

OrdProvider::Inscription record(std::optional<std::string> type, std::optional<std::int64_t> number = 7) {
  return {id, number, std::move(type), std::nullopt};
}

// Sets TZ for one test and puts the previous value back.
class TimeZone {
 public:
  explicit TimeZone(const char* tz) {
    if (const char* old = std::getenv("TZ")) saved_ = old;
    setenv("TZ", tz, 1);
    tzset();
  }
  ~TimeZone() {
    if (saved_)
      setenv("TZ", saved_->c_str(), 1);
    else
      unsetenv("TZ");
    tzset();
  }

 private:
  std::optional<std::string> saved_;
};

const std::string content = std::string(base) + "/content/" + id;

// What image inscription `id` maps to.
Artwork imageWork(std::optional<std::string> type, std::string title = "Inscription #7") {
  return Artwork::make({.chain = Chain::bitcoin,
                        .contract = "Inscription",
                        .tokenId = id,
                        .title = std::move(title),
                        .collection = "Ordinals",
                        .platform = Platform::ordinals,
                        .mediaKind = MediaKind::image,
                        .mime = std::move(type),
                        .imageURI = content,
                        .thumbnailURI = content,
                        .externalURL = std::string(base) + "/inscription/" + id});
}

TEST(OrdMapping, FieldsOfAnImageInscription) {
  auto a = OrdProvider::map(record("image/png", 0), base);
  EXPECT_EQ(a.id, "bitcoin:inscription:" + id);
  // A present number is always used, zero included.
  expectArtwork(a, imageWork("image/png", "Inscription #0"));
}

TEST(OrdMapping, KindsAndSpamByContentType) {
  // The type is kept as received, capitals included.
  struct Row {
    std::optional<std::string> type;
    MediaKind kind;
    bool spam;
    bool image;
    bool animation;
  };
  const Row rows[] = {
      {"text/html;charset=utf-8", MediaKind::generative, false, false, true},
      {"image/svg+xml", MediaKind::generative, false, false, true},
      {"VIDEO/MP4", MediaKind::video, false, false, true},
      {"image/webp", MediaKind::image, false, true, false},
      {"text/plain;charset=utf-8", MediaKind::other, false, false, false},
      {"application/json", MediaKind::other, true, false, false},
      {"audio/mpeg", MediaKind::other, true, false, false},
      {std::nullopt, MediaKind::other, true, false, false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.type.value_or("(none)"));
    auto expected = imageWork(row.type);
    expected.mediaKind = row.kind;
    expected.isSpam = row.spam;
    if (!row.image) {
      expected.imageURI.reset();
      expected.thumbnailURI.reset();
    }
    if (row.animation) expected.animationURI = content;
    expectArtwork(OrdProvider::map(record(row.type), base), expected);
  }
}

TEST(OrdMapping, TitleWithoutNumberUsesTheIdsFirstEightCharacters) {
  auto a = OrdProvider::map(record("image/png", std::nullopt), base);
  EXPECT_EQ(a.title, "Inscription 6fb976ab\u2026");
  OrdProvider::Inscription shortId{"abc", std::nullopt, std::nullopt, std::nullopt};
  EXPECT_EQ(OrdProvider::map(shortId, base).title, "Inscription abc\u2026");
  EXPECT_EQ(OrdProvider::map(record("image/png", -3), base).title, "Inscription #-3");
}

TEST(OrdMapping, YearInTheLocalTimeZone) {
  // 2023-12-31T20:00:00Z
  auto r = record("image/png");
  r.timestamp = 1704052800;
  {
    TimeZone tz("UTC0");
    EXPECT_EQ(OrdProvider::map(r, base).year, 2023);
  }
  {
    TimeZone tz("JST-9");
    EXPECT_EQ(OrdProvider::map(r, base).year, 2024);
  }
  r.timestamp = 1704067200.5;  // 2024-01-01T00:00:00.5Z
  {
    TimeZone tz("EST5");
    EXPECT_EQ(OrdProvider::map(r, base).year, 2023);
  }
  // Nonsense instants give no year instead of overflowing.
  r.timestamp = 1e300;
  EXPECT_EQ(OrdProvider::map(r, base).year, std::nullopt);
  r.timestamp = -1e300;
  EXPECT_EQ(OrdProvider::map(r, base).year, std::nullopt);
}

TEST(OrdRecords, DecodeAsTheIndexerWritesThem) {
  using json::Json;
  auto info = OrdProvider::AddressInfo::fromJson(Json::parse(R"({"inscriptions":["a","b"],"outputs":[]})"));
  EXPECT_EQ(info.inscriptions, (std::vector<std::string>{"a", "b"}));
  EXPECT_TRUE(OrdProvider::AddressInfo::fromJson(Json::parse(R"({"inscriptions":null})")).inscriptions.empty());
  EXPECT_TRUE(OrdProvider::AddressInfo::fromJson(Json::parse(R"({})")).inscriptions.empty());
  EXPECT_THROW(OrdProvider::AddressInfo::fromJson(Json::parse(R"([])")), json::DecodeError);

  auto full = OrdProvider::Inscription::fromJson(
      Json::parse(R"({"id":"x1i0","number":42,"content_type":"image/png","timestamp":1700000000,"height":1})"));
  EXPECT_EQ(full, (OrdProvider::Inscription{"x1i0", 42, "image/png", 1700000000.0}));
  auto bare = OrdProvider::Inscription::fromJson(Json::parse(R"({"id":"x1i0","number":null})"));
  EXPECT_EQ(bare, (OrdProvider::Inscription{"x1i0", std::nullopt, std::nullopt, std::nullopt}));
  EXPECT_THROW(OrdProvider::Inscription::fromJson(Json::parse(R"({"number":1})")), json::DecodeError);
  EXPECT_THROW(OrdProvider::Inscription::fromJson(Json::parse(R"({"id":"x","number":"1"})")), json::DecodeError);
  // Written back, a record reads the same.
  EXPECT_EQ(OrdProvider::Inscription::fromJson(full.toJson()), full);
}

}  // namespace
}  // namespace tavolune
