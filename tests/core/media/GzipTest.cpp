#include "core/media/Gzip.hpp"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <string>

namespace tavolune {
namespace {

Bytes rawDeflate(const std::string& input, int level = 6) {
  z_stream z{};
  EXPECT_EQ(deflateInit2(&z, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY), Z_OK);
  Bytes out(deflateBound(&z, input.size()), '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(input.data()));
  z.avail_in = static_cast<uInt>(input.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

void putLE32(Bytes& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>(v >> (8 * i)));
}

// A gzip member with the given header flags and fields and a trailer whose
// size field says `claimedSize`.
Bytes gzipFile(const std::string& input, std::uint8_t flags, std::uint32_t claimedSize) {
  Bytes out("\x1f\x8b\x08", 3);
  out += static_cast<char>(flags);
  out += std::string("\0\0\0\0\0\x03", 6);
  if (flags & 0x04) out += std::string("\x05\0extra", 7);
  if (flags & 0x08) out += std::string("art.html\0", 9);
  if (flags & 0x10) out += std::string("a comment\0", 10);
  if (flags & 0x02) out += "\xAB\xCD";
  out += rawDeflate(input);
  putLE32(out, static_cast<std::uint32_t>(
                   crc32(0, reinterpret_cast<const Bytef*>(input.data()), static_cast<uInt>(input.size()))));
  putLE32(out, claimedSize);
  return out;
}

std::string sample(std::size_t n) {
  std::string s;
  while (s.size() < n) s += "<div class=\"cell\">" + std::to_string(s.size() * 7919 % 1000) + "</div>\n";
  s.resize(n);
  return s;
}

TEST(GzipTest, RecognisesOnlyCompleteMembers) {
  Bytes eighteen(18, '\0');
  eighteen[0] = '\x1f';
  eighteen[1] = '\x8b';
  EXPECT_FALSE(Gzip::isGzipped(eighteen));
  EXPECT_FALSE(Gzip::gunzip(eighteen));
  Bytes nineteen(19, '\0');
  nineteen[0] = '\x1f';
  nineteen[1] = '\x8b';
  EXPECT_TRUE(Gzip::isGzipped(nineteen));
  std::string html = "<!doctype html><html><body>plain</body></html>";
  EXPECT_FALSE(Gzip::isGzipped(html));
}

TEST(GzipTest, InflatesWithEveryHeaderField) {
  const auto input = sample(50'000);
  for (std::uint8_t flags : {0x00, 0x04, 0x08, 0x10, 0x18, 0x02, 0x1E, 0x01}) {
    auto file = gzipFile(input, flags, static_cast<std::uint32_t>(input.size()));
    auto out = Gzip::gunzip(file);
    ASSERT_TRUE(out) << "flags " << int(flags);
    EXPECT_EQ(*out, input) << "flags " << int(flags);
  }
}

TEST(GzipTest, TrailerIsOnlyAHint) {
  // Highly compressible: far more than 4x the body, so a trailer that
  // understates the size forces the buffer to grow.
  const std::string input(3'000'000, 'a');
  auto understated = gzipFile(input, 0, 10);
  auto out = Gzip::gunzip(understated);
  ASSERT_TRUE(out);
  EXPECT_EQ(out->size(), input.size());
  EXPECT_EQ(*out, input);

  // A trailer claiming 4 GiB for a tiny body must not size the buffer.
  auto overstated = gzipFile("tiny", 0, 0xFFFFFFFF);
  out = Gzip::gunzip(overstated);
  ASSERT_TRUE(out);
  EXPECT_EQ(*out, "tiny");

  // A wrong CRC is not checked either.
  auto badCrc = gzipFile(input, 0, static_cast<std::uint32_t>(input.size()));
  badCrc[badCrc.size() - 8] = static_cast<char>(badCrc[badCrc.size() - 8] ^ 0x55);
  EXPECT_TRUE(Gzip::gunzip(badCrc));
}

TEST(GzipTest, OutputPastTheCapFails) {
  const std::string input(100'000, 'z');
  auto file = gzipFile(input, 0, static_cast<std::uint32_t>(input.size()));
  EXPECT_FALSE(Gzip::gunzip(file, 99'999));
  auto exact = Gzip::gunzip(file, 100'000);
  ASSERT_TRUE(exact);
  EXPECT_EQ(exact->size(), 100'000u);
  EXPECT_TRUE(Gzip::gunzip(file, 100'001));
}

// The room a caller grants bounds every buffer, whatever the trailer says,
// and running out of it is told apart from damage.
TEST(GzipTest, RoomBoundsEveryBuffer) {
  const std::string input(2'000'000, 'r');
  struct Row {
    const char* name;
    std::uint32_t claimed;
    std::size_t room;
    bool inflates;
  };
  for (const Row& row : {Row{"honest", 2'000'000, 2'000'000, true}, Row{"honest, short room", 2'000'000, 1'999'999, false},
                         Row{"understated", 10, 2'000'000, true}, Row{"understated, short room", 10, 600'000, false},
                         Row{"overstated", 0xFFFFFFFF, 5'000'000, true}}) {
    std::size_t largest = 0;
    auto out = Gzip::inflate(gzipFile(input, 0, row.claimed), [&](std::size_t wanted) {
      largest = std::max(largest, std::min(wanted, row.room));
      return std::min(wanted, row.room);
    });
    EXPECT_EQ(out.bytes == input, row.inflates) << row.name;
    EXPECT_EQ(out.pastRoom, !row.inflates) << row.name;
    EXPECT_LE(largest, row.room) << row.name;
  }
  Bytes damaged("\x1f\x8b\x08\0\0\0\0\0\0\x03", 10);
  damaged += std::string(20, '\xFF');
  EXPECT_FALSE(Gzip::inflate(damaged, [](std::size_t wanted) { return wanted; }).pastRoom);
}

TEST(GzipTest, OnlyTheFirstMemberInflates) {
  auto file = gzipFile("first", 0, 5) + gzipFile("second", 0, 6);
  EXPECT_EQ(Gzip::gunzip(file), "first");
}

TEST(GzipTest, DamagedDataGivesNothing) {
  const auto input = sample(20'000);
  auto good = gzipFile(input, 0x08, static_cast<std::uint32_t>(input.size()));

  auto wrongMethod = good;
  wrongMethod[2] = '\x07';
  EXPECT_FALSE(Gzip::gunzip(wrongMethod));

  // Cut short inside the body: the stream never ends.
  Bytes truncated = good.substr(0, good.size() / 2) + good.substr(good.size() - 8);
  EXPECT_FALSE(Gzip::gunzip(truncated));

  Bytes garbage = std::string("\x1f\x8b\x08\0\0\0\0\0\0\x03", 10) + std::string(20, '\xFF');
  EXPECT_FALSE(Gzip::gunzip(garbage));

  // A name field that runs to the end leaves no body.
  Bytes noBody = "\x1f\x8b\x08\x08" + std::string(30, 'n');
  EXPECT_FALSE(Gzip::gunzip(noBody));

  // An extra field longer than the file.
  Bytes hugeExtra = std::string("\x1f\x8b\x08\x04\0\0\0\0\0\x03\xFF\xFF", 12) + std::string(20, '\0');
  EXPECT_FALSE(Gzip::gunzip(hugeExtra));
}

TEST(GzipTest, EmptyContentInflatesToEmpty) {
  auto file = gzipFile("", 0, 0);
  auto out = Gzip::gunzip(file);
  ASSERT_TRUE(out);
  EXPECT_TRUE(out->empty());
}

}  // namespace
}  // namespace tavolune
