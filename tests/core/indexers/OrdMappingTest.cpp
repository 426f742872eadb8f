#include "core/indexers/OrdProvider.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

namespace tavolune {
namespace {

constexpr const char* base = "https://ord.example";
const std::string id = "6fb976ab49dcec017f1e201e84395983204ae1a7c2abf7ced0a85d692e442799i0";

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

TEST(OrdMapping, FieldsOfAnImageInscription) {
  auto a = OrdProvider::map(record("image/png", 0), base);
  EXPECT_EQ(a.id, "bitcoin:inscription:" + id);
  EXPECT_EQ(a.chain, Chain::bitcoin);
  EXPECT_EQ(a.contract, "Inscription");
  EXPECT_EQ(a.tokenId, id);
  // A present number is always used, zero included.
  EXPECT_EQ(a.title, "Inscription #0");
  EXPECT_EQ(a.artist, std::nullopt);
  EXPECT_EQ(a.artistAddress, std::nullopt);
  EXPECT_EQ(a.collection, "Ordinals");
  EXPECT_EQ(a.platform, Platform::ordinals);
  EXPECT_EQ(a.mediaKind, MediaKind::image);
  EXPECT_EQ(a.mime, "image/png");
  EXPECT_EQ(a.imageURI, "https://ord.example/content/" + id);
  EXPECT_EQ(a.thumbnailURI, a.imageURI);
  EXPECT_EQ(a.animationURI, std::nullopt);
  EXPECT_EQ(a.externalURL, "https://ord.example/inscription/" + id);
  EXPECT_EQ(a.year, std::nullopt);
  EXPECT_EQ(a.editionNumber, std::nullopt);
  EXPECT_FALSE(a.isSpam);
}

TEST(OrdMapping, KindsAndSpamByContentType) {
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
    auto a = OrdProvider::map(record(row.type), base);
    EXPECT_EQ(a.mediaKind, row.kind);
    EXPECT_EQ(a.isSpam, row.spam);
    EXPECT_EQ(a.imageURI.has_value(), row.image);
    EXPECT_EQ(a.thumbnailURI.has_value(), row.image);
    EXPECT_EQ(a.animationURI.has_value(), row.animation);
    // The type is kept as received, capitals included.
    EXPECT_EQ(a.mime, row.type);
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
