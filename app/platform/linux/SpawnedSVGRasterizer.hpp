#pragma once
// Draws each SVG document in a decoder process of its own (the program's
// SVG decoder, next to the executable): started with posix_spawn, never a
// fork of this multi-threaded process; given the bytes on a pipe, no file
// name and an empty environment; limited in address space and CPU time;
// killed at the time limit or on a stop request, so nothing waits on a
// document that never ends; never leaving a core file. A decoder that is
// missing is logged once, and every document is then undecodable.
// Thread-safe; rasterize() blocks.

#include "app/render/SVGRasterizer.hpp"

#include <cstdint>
#include <string>

namespace tavolune {

class SpawnedSVGRasterizer final : public SVGRasterizer {
 public:
  static constexpr const char* decoderName = "tavolune-svg-decoder";
  // Room for a 5K still with a few filter layers; far beyond it is a bomb.
  // Two decoders at once (the image pipeline's limit) stay within 1 GiB.
  static constexpr std::uint64_t addressSpaceLimit = std::uint64_t(512) << 20;

  explicit SpawnedSVGRasterizer(std::string decoderPath);

  // The decoder beside the program's executable.
  static std::string besideProgram(const std::string& programPath);

  Result rasterize(const QByteArray& document, int maxPixel, std::chrono::milliseconds timeLimit,
                   std::stop_token stop) override;

 private:
  const std::string decoderPath_;
  const bool present_;
};

}  // namespace tavolune
