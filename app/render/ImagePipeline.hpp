#pragma once

#include "core/model/Artwork.hpp"
#include "app/render/ImageMemoryCache.hpp"
#include "app/render/ImageSource.hpp"
#include "app/render/SVGRasterizer.hpp"

#include <QByteArray>
#include <QFuture>
#include <QImage>
#include <QObject>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <stop_token>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

class QThreadPool;

namespace tavolune {

// The half of the image pipeline that work on a thread pool uses: it lives
// as long as the last job that holds it, so no owner waits for its jobs
// before it goes. A request for an image whose decode is under way joins
// that decode; a decode nobody wants any more is stopped. SVG documents
// go to the rasterizer with a time limit (less for thumbnails), at most
// svgDrawingsAtOnce at a time; a pool thread waiting for one lends its place
// in its pool, so rasters go on beside a queue of documents. A document
// that ran out of time or memory is remembered by content for as long as
// this lives, so it is not drawn again at any size.
// Thread-safe; image() blocks.
class ImageRequests {
 public:
  static constexpr std::chrono::seconds svgTimeLimit{5};
  static constexpr std::chrono::seconds thumbnailSVGTimeLimit{2};
  static constexpr int svgDrawingsAtOnce = 2;

  // Why a request has no image. unfetched: some location did not answer
  // and may later; undecodable: every location answered and none could be
  // read (a broken file, a document over its limits, no location at all).
  enum class Failure { none, unfetched, undecodable, stopped };
  struct Answer {
    QImage image;
    Failure failure = Failure::none;
  };

  ImageRequests(std::shared_ptr<ImageSource> fetcher, std::shared_ptr<SVGRasterizer> svg, std::int64_t costLimit,
                std::size_t countLimit);

  Answer answer(const Artwork& artwork, int maxPixel, bool preferThumbnail, std::stop_token stop = {});
  QImage image(const Artwork& artwork, int maxPixel, bool preferThumbnail, std::stop_token stop = {}) {
    return answer(artwork, maxPixel, preferThumbnail, std::move(stop)).image;
  }
  ImageMemoryCache& memory() { return memory_; }
  ImageSource& fetcher() { return *fetcher_; }
  // Every decode under way is stopped (the pipeline goes).
  void stopAll();
  // Failures of fetching may be tried again; documents over their limits stay refused.
  void expireFailures();
  // Decodes under way, and the requests waiting for them (joined ones too).
  std::size_t underWay() const;
  int waiting() const;
  // SVG documents being drawn now.
  int drawingSVG() const;
  // A pool whose threads ask for images (Qt's global one always is): one of
  // them waiting on an SVG drawing gives its place to the pool's other work.
  static void lendsThreads(QThreadPool* pool);

 private:
  struct Flight {
    bool done = false;
    Answer answer;
    int wanted = 0;  // requests waiting for it, the one that decodes too
    std::stop_source stop;
  };
  Answer load(const Artwork& artwork, int maxPixel, bool preferThumbnail, std::stop_token stop);
  SVGRasterizer::Result drawSVG(const QByteArray& data, int maxPixel, bool thumbnail, std::stop_token stop);
  void unwant(Flight& flight);

  const std::shared_ptr<ImageSource> fetcher_;
  const std::shared_ptr<SVGRasterizer> svg_;  // this process when null
  ImageMemoryCache memory_;
  mutable std::mutex mutex_;
  std::condition_variable landed_;
  std::condition_variable_any svgFree_;
  int drawingSVG_ = 0;
  std::unordered_map<std::string, std::shared_ptr<Flight>> flights_;
  std::unordered_set<std::size_t> overLimit_;  // content hashes
};

// Turns an artwork into a decoded still no larger than a pixel size: tries
// the artwork's image locations in order, downsamples while decoding,
// rasterizes SVG, takes a poster frame from video, and keeps results in a
// memory cache shared by the whole application. Nothing here throws: a
// failure is a null image. Only SVG documents that ran out of time or
// memory are remembered here; the views that remember other failures for a
// while drop them on failuresExpired(). Work on a pool holds requests(),
// never the pipeline. SVG is drawn in this process only without a
// rasterizer, which the program always gives.
class ImagePipeline final : public QObject {
  Q_OBJECT

 public:
  static constexpr std::chrono::seconds fetchTimeout{25};
  static constexpr std::int64_t memoryCostLimit = 209'715'200;  // 200 MiB
  static constexpr std::size_t memoryCountLimit = 600;
  // Where in a video its poster frame is taken.
  static constexpr std::chrono::milliseconds posterTime{500};

  // Create it on the main thread before the first video is decoded: it
  // selects the GStreamer media backend. SVG is drawn in this process
  // without a rasterizer.
  explicit ImagePipeline(std::shared_ptr<ImageSource> fetcher, std::shared_ptr<SVGRasterizer> svg = nullptr);
  // Stops the decodes under way; it waits for none of them.
  ~ImagePipeline() override;

  // Blocks; run it off the UI thread. A cache hit fetches nothing.
  QImage image(const Artwork& artwork, int maxPixel, bool preferThumbnail, std::stop_token stop = {}) {
    return requests_->image(artwork, maxPixel, preferThumbnail, std::move(stop));
  }
  // image() on Qt's global thread pool.
  QFuture<QImage> imageAsync(const Artwork& artwork, int maxPixel, bool preferThumbnail, std::stop_token stop = {});
  // For work on a pool: outlives the pipeline while the work holds it.
  const std::shared_ptr<ImageRequests>& requests() const { return requests_; }
  // From memory only; never fetches.
  QImage cached(const Artwork& artwork, int maxPixel);

  // Draws an SVG document at a pixel size; empty where SVG is not accepted.
  using SVGDraw = std::function<QImage(const QByteArray& data, int maxPixel)>;
  // Still image bytes to an image at most maxPixel on its longer side
  // (never enlarged, except SVG which is drawn at exactly maxPixel). Only
  // the formats of raster::formatOf are read as rasters; only what may be
  // SVG (mightBeSVG) is drawn, plain or gzip-compressed, with svg (in this
  // process when not given); video and anything else give nothing.
  static QImage decode(const QByteArray& data, const std::string& mime, int maxPixel, const SVGDraw& svg);
  static QImage decode(const QByteArray& data, const std::string& mime, int maxPixel) {
    return decode(data, mime, maxPixel, &rasterizeSVG);
  }
  // An svg MIME type, "<svg" near the start, gzip's magic, or a head that
  // starts with "<" after a byte order mark and white space, and no video
  // by MIME type or signature.
  static bool mightBeSVG(const QByteArray& data, const std::string& mime);
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
  ImageMemoryCache& memory() { return requests_->memory(); }
  ImageSource& fetcher() { return requests_->fetcher(); }

  // The library changed: a source that failed may answer now, so every
  // view and loader on this pipeline loads again what failed. GUI thread only.
  void expireFailures() {
    requests_->expireFailures();
    emit failuresExpired();
  }

 signals:
  void failuresExpired();

 private:
  const std::shared_ptr<ImageRequests> requests_;
};

}  // namespace tavolune
