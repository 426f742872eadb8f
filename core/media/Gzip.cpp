#include "core/media/Gzip.hpp"

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>

namespace tavolune::Gzip {

namespace {

constexpr std::size_t headerSize = 10;
constexpr std::size_t trailerSize = 8;

std::size_t byte(std::string_view data, std::size_t i) { return static_cast<unsigned char>(data[i]); }

// Where the DEFLATE body starts, after the optional header fields.
std::size_t bodyStart(std::string_view data) {
  const auto flags = static_cast<std::uint8_t>(data[3]);
  std::size_t start = headerSize;
  if (flags & 0x04) {  // FEXTRA
    start = 12 + (byte(data, 10) | byte(data, 11) << 8);
  }
  for (std::uint8_t field : {std::uint8_t{0x08}, std::uint8_t{0x10}}) {  // FNAME, FCOMMENT
    if (!(flags & field)) continue;
    while (start < data.size() && data[start] != '\0') ++start;
    start = std::min(start + 1, data.size());
  }
  if (flags & 0x02) start += 2;  // FHCRC
  return start;
}

// Deflate cannot expand a body by more than about 1032 to 1, so a trailer
// claiming more than that is a lie and must not size the buffer.
std::size_t initialCapacity(std::size_t expected, std::size_t bodySize, std::size_t maxOutput) {
  std::size_t hint = std::max({expected, bodySize * 4, std::size_t{1024}});
  std::size_t plausible = bodySize > (SIZE_MAX - 1024) / 1040 ? SIZE_MAX : bodySize * 1040 + 1024;
  return std::min({hint, plausible, maxOutput});
}

struct Inflater {
  z_stream stream{};
  bool ready = false;
  Inflater() { ready = inflateInit2(&stream, -MAX_WBITS) == Z_OK; }
  ~Inflater() {
    if (ready) inflateEnd(&stream);
  }
  Inflater(const Inflater&) = delete;
  Inflater& operator=(const Inflater&) = delete;
};

}  // namespace

bool isGzipped(std::string_view data) {
  return data.size() >= headerSize + 1 + trailerSize && byte(data, 0) == 0x1f && byte(data, 1) == 0x8b;
}

std::optional<Bytes> gunzip(std::string_view data, std::size_t maxOutput) {
  if (!isGzipped(data) || byte(data, 2) != 8) return std::nullopt;
  const std::size_t start = bodyStart(data);
  if (start >= data.size() - trailerSize) return std::nullopt;
  const auto body = data.substr(start, data.size() - trailerSize - start);
  const std::size_t t = data.size() - 4;
  const std::size_t expected =
      byte(data, t) | byte(data, t + 1) << 8 | byte(data, t + 2) << 16 | byte(data, t + 3) << 24;

  Inflater inflater;
  if (!inflater.ready) return std::nullopt;
  z_stream& z = inflater.stream;

  Bytes out(initialCapacity(expected, body.size(), maxOutput), '\0');
  std::size_t produced = 0;
  std::size_t consumed = 0;
  while (true) {
    if (produced == out.size()) {
      if (out.size() >= maxOutput) {
        // Full at the cap: fine only if the stream ends without another byte.
        std::uint8_t probe = 0;
        z.next_out = &probe;
        z.avail_out = 1;
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(body.data() + consumed));
        z.avail_in = static_cast<uInt>(std::min<std::size_t>(body.size() - consumed, UINT_MAX));
        int rc = inflate(&z, Z_NO_FLUSH);
        if (rc == Z_STREAM_END && z.avail_out == 1) break;
        return std::nullopt;
      }
      out.resize(std::min(std::max(out.size() * 2, std::size_t{1024}), maxOutput));
    }
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(body.data() + consumed));
    z.avail_in = static_cast<uInt>(std::min<std::size_t>(body.size() - consumed, UINT_MAX));
    z.next_out = reinterpret_cast<Bytef*>(out.data() + produced);
    z.avail_out = static_cast<uInt>(std::min<std::size_t>(out.size() - produced, UINT_MAX));
    const uInt inBefore = z.avail_in;
    const uInt outBefore = z.avail_out;
    int rc = inflate(&z, Z_NO_FLUSH);
    consumed += inBefore - z.avail_in;
    produced += outBefore - z.avail_out;
    if (rc == Z_STREAM_END) break;
    if (rc == Z_OK) continue;
    if (rc == Z_BUF_ERROR && z.avail_out == 0) continue;  // needs more room
    return std::nullopt;                                  // damaged, or the body ended before the stream did
  }
  out.resize(produced);
  return out;
}

}  // namespace tavolune::Gzip
