#include "core/media/VideoSignature.hpp"

#include <gtest/gtest.h>

#include <string>

namespace tavolune {
namespace {

using namespace std::string_literals;

TEST(VideoSignature, OnlyContainersThePlayerOpensPass) {
  const struct {
    const char* name;
    std::string head;
    bool playable;
  } rows[] = {
      {"MP4", "\0\0\0\x20"s "ftypisom\0\0\2\0"s, true},
      {"QuickTime", "\0\0\0\x14"s "ftypqt  "s, true},
      {"old QuickTime", "\0\0\0\x08"s "wide\0\0\0\0mdat"s, true},
      {"WebM", "\x1A\x45\xDF\xA3\x9F\x42\x86\x81"s, true},
      {"HLS playlist", "#EXTM3U\n#EXT-X-VERSION:3\n", false},
      {"DASH manifest", "<?xml version=\"1.0\"?><MPD", false},
      {"ftyp with a broken size", "\0\0\0\x04"s "ftypisom"s, false},
      {"too short", "\0\0\0\x20"s "fty"s, false},
      {"a PNG", "\x89PNG\r\n\x1A\n", false},
  };
  for (const auto& row : rows) EXPECT_EQ(videosignature::isPlayable(row.head), row.playable) << row.name;
}

}  // namespace
}  // namespace tavolune
