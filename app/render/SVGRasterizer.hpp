#pragma once
// Where the image pipeline has SVG documents drawn: in a process of their
// own in the application (a document may take hours or all memory, and
// librsvg's drawing cannot be interrupted), in this process when none is
// given, a fake in tests. Thread-safe; rasterize() blocks, at most for
// about its time limit, and returns soon after a stop request.

#include <QByteArray>
#include <QImage>

#include <chrono>
#include <stop_token>

namespace tavolune {

class SVGRasterizer {
 public:
  enum class Outcome {
    drawn,
    undecodable,  // not a document librsvg can draw
    overLimit,    // ran out of time or memory, or died drawing
    stopped,      // no longer wanted: ended, not waited for
  };
  struct Result {
    Outcome outcome = Outcome::undecodable;
    QImage image;  // premultiplied ARGB32, longer side maxPixel; only when drawn
  };

  virtual ~SVGRasterizer() = default;
  virtual Result rasterize(const QByteArray& document, int maxPixel, std::chrono::milliseconds timeLimit,
                           std::stop_token stop) = 0;
};

}  // namespace tavolune
