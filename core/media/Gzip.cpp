#include "core/media/Gzip.hpp"

#include <libdeflate.h>

#include <algorithm>
#include <cstdint>
#include <memory>

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

// Deflate cannot expand a body by more than about 1032 to 1: no output
// is larger than this, whatever the trailer claims.
std::size_t outputBound(std::size_t bodySize) {
  return bodySize > (SIZE_MAX - 1024) / 1040 ? SIZE_MAX : bodySize * 1040 + 1024;
}

struct FreeDecompressor {
  void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
};

}  // namespace

bool isGzipped(std::string_view data) {
  return data.size() >= headerSize + 1 + trailerSize && byte(data, 0) == 0x1f && byte(data, 1) == 0x8b;
}

Inflated inflate(std::string_view data, const Room& room) {
  if (!isGzipped(data) || byte(data, 2) != 8) return {};
  const std::size_t start = bodyStart(data);
  if (start >= data.size() - trailerSize) return {};
  const auto body = data.substr(start, data.size() - trailerSize - start);
  const std::size_t t = data.size() - 4;
  const std::size_t expected =
      byte(data, t) | byte(data, t + 1) << 8 | byte(data, t + 2) << 16 | byte(data, t + 3) << 24;

  std::unique_ptr<libdeflate_decompressor, FreeDecompressor> decompressor(libdeflate_alloc_decompressor());
  if (!decompressor) return {};

  // An honest trailer sizes the buffer exactly, so the common case decodes
  // once; a lying one costs a few tries, each stopped as its buffer fills,
  // so all of them together cost about a third more than the last.
  const std::size_t bound = outputBound(body.size());
  std::size_t wanted = expected <= bound ? expected : std::max(body.size() * 4, std::size_t{1024});
  while (true) {
    const std::size_t granted = std::min(room(wanted), wanted);
    Bytes out(granted, '\0');
    std::size_t produced = 0;
    const auto rc = libdeflate_deflate_decompress_ex(decompressor.get(), body.data(), body.size(), out.data(),
                                                     out.size(), nullptr, &produced);
    if (rc == LIBDEFLATE_SUCCESS) {
      out.resize(produced);
      return {std::move(out), false};
    }
    if (rc != LIBDEFLATE_INSUFFICIENT_SPACE) return {};  // damaged, or the body ended before the stream did
    if (granted < wanted) return {std::nullopt, true};
    if (wanted >= bound) return {};  // more than any DEFLATE body of this size can hold
    wanted = wanted > bound / 4 ? bound : std::min(std::max(wanted * 4, std::size_t{4096}), bound);
  }
}

std::optional<Bytes> gunzip(std::string_view data, std::size_t maxOutput) {
  return inflate(data, [maxOutput](std::size_t wanted) { return std::min(wanted, maxOutput); }).bytes;
}

}  // namespace tavolune::Gzip
