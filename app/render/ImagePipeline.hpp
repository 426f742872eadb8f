#pragma once

#include "core/model/Artwork.hpp"
#include "app/render/ImageMemoryCache.hpp"
#include "app/render/ImageSource.hpp"

#include <QByteArray>
#include <QFuture>
#include <QImage>
#include <QObject>

#include <chrono>
#include <memory>
#include <stop_token>
#include <string>

namespace tavolune {

// Turns an artwork into a decoded still no larger than a pixel size: tries
// the artwork's image locations in order, downsamples while decoding,
// rasterizes SVG, takes a poster frame from video, and keeps results in a
// memory cache shared by the whole application. Nothing here throws: a
// failure is a null image, and failures are never cached here; the views
// that remember one for a while drop it on failuresExpired().
class ImagePipeline final : public QObject {
  Q_OBJECT

 public:
  static constexpr std::chrono::seconds fetchTimeout{25};
  static constexpr std::int64_t memoryCostLimit = 209'715'200;  // 200 MiB
  static constexpr std::size_t memoryCountLimit = 600;
  // Where in a video its poster frame is taken.
  static constexpr std::chrono::milliseconds posterTime{500};

  // Create it on the main thread before the first video is decoded: it
  // selects the GStreamer media backend.
  explicit ImagePipeline(std::shared_ptr<ImageSource> fetcher);

  // Blocks; run it off the UI thread. A cache hit fetches nothing.
  QImage image(const Artwork& artwork, int maxPixel, bool preferThumbnail, std::stop_token stop = {});
  // image() on Qt's global thread pool. The pipeline must outlive the future.
  QFuture<QImage> imageAsync(const Artwork& artwork, int maxPixel, bool preferThumbnail, std::stop_token stop = {});
  // From memory only; never fetches.
  QImage cached(const Artwork& artwork, int maxPixel);

  // Still image bytes to an image at most maxPixel on its longer side
  // (never enlarged, except SVG which is drawn at exactly maxPixel). Only
  // the formats of raster::formatOf are read as rasters; everything else is
  // tried as SVG, plain or gzip-compressed.
  static QImage decode(const QByteArray& data, const std::string& mime, int maxPixel);
  // An SVG document drawn so that its longer side is maxPixel.
  static QImage rasterizeSVG(const QByteArray& data, int maxPixel);
  // The frame at posterTime of a video file's bytes, at most maxPixel a side;
  // nothing for bytes that are no video container (videosignature). Goes
  // through a temporary file that is always removed.
  static QImage posterFrame(const QByteArray& data, int maxPixel, std::stop_token stop = {});

  // The media back end every player of the program uses, told through the
  // environment before it starts: GStreamer, without the adaptive-streaming
  // demuxers, which fetch the segments a playlist names, and the session
  // description demuxer, which opens the streams one names. Call it before any
  // thread starts; later calls change nothing that is set.
  static void chooseMediaBackend();

  static std::string cacheKey(const Artwork& artwork, int maxPixel);
  ImageMemoryCache& memory() { return memory_; }
  ImageSource& fetcher() { return *fetcher_; }

  // The library changed: a source that failed may answer now, so every
  // view and loader on this pipeline loads again what failed. GUI thread only.
  void expireFailures() { emit failuresExpired(); }

 signals:
  void failuresExpired();

 private:
  const std::shared_ptr<ImageSource> fetcher_;
  ImageMemoryCache memory_{memoryCostLimit, memoryCountLimit};
};

}  // namespace tavolune
