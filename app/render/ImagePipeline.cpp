#include "app/render/ImagePipeline.hpp"

#include "core/media/VideoSignature.hpp"
#include "core/model/MediaResolver.hpp"
#include "app/render/RasterFormat.hpp"
#include "app/render/SVGDrawing.hpp"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QMediaPlayer>
#include <QThread>
#include <QThreadPool>
#include <QTimer>
#include <QUrl>
#include <QUuid>
#include <QVideoFrame>
#include <QVideoSink>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <cmath>

namespace tavolune {
namespace {

bool startsWith(const std::string& s, std::string_view prefix) { return s.compare(0, prefix.size(), prefix) == 0; }

// Video goes to the poster frame and never to the SVG decoder.
bool isVideo(const QByteArray& data, const std::string& mime) {
  return startsWith(mime, "video/") ||
         videosignature::isPlayable(std::string_view(data.constData(), std::size_t(std::min<qsizetype>(data.size(), 4096))));
}

// Pools whose threads ask for images, besides Qt's global one.
std::mutex& lendingMutex() {
  static std::mutex mutex;
  return mutex;
}
std::vector<QThreadPool*>& lendingPools() {
  static std::vector<QThreadPool*> pools{QThreadPool::globalInstance()};
  return pools;
}

// A pool thread that waits on an SVG drawing gives its place in its pool
// to other work for as long as it waits (Qt's way for a sleeping job). So
// many sleeping threads at most: beyond them a queue holds its threads.
class LentPoolThread {
 public:
  static constexpr int most = 32;
  LentPoolThread() {
    std::lock_guard lock(lendingMutex());
    if (lent() >= most) return;
    for (QThreadPool* p : lendingPools()) {
      if (p->contains(QThread::currentThread())) {
        pool_ = p;
        ++lent();
        pool_->releaseThread();
        return;
      }
    }
  }
  ~LentPoolThread() {
    if (!pool_) return;
    pool_->reserveThread();
    std::lock_guard lock(lendingMutex());
    --lent();
  }
  LentPoolThread(const LentPoolThread&) = delete;
  LentPoolThread& operator=(const LentPoolThread&) = delete;

 private:
  static int& lent() {
    static int count = 0;
    return count;
  }
  QThreadPool* pool_ = nullptr;
};

// Deletes the file whatever happens; errors are of no interest.
struct TemporaryFile {
  QString path;
  ~TemporaryFile() {
    if (!path.isEmpty()) QFile::remove(path);
  }
};

// Plays the file silently and faster than real time up to the poster time:
// seeking a paused GStreamer pipeline fails on some containers.
QImage frameFromFile(const QString& path, int maxPixel, std::stop_token stop) {
  QEventLoop loop;
  QMediaPlayer player;
  QVideoSink sink;
  player.setVideoSink(&sink);
  QVideoFrame last;
  bool started = false;
  bool done = false;
  constexpr qint64 targetUs = std::chrono::microseconds(ImagePipeline::posterTime).count();
  constexpr qint64 toleranceUs = 20'000;
  auto finish = [&] {
    done = true;
    loop.quit();
  };

  QObject::connect(&player, &QMediaPlayer::mediaStatusChanged, &loop, [&](QMediaPlayer::MediaStatus status) {
    switch (status) {
      case QMediaPlayer::LoadedMedia:
        if (!started) {
          started = true;
          player.setPlaybackRate(4.0);
          player.play();
        }
        break;
      // A clip shorter than the poster time ends here and keeps its last frame.
      case QMediaPlayer::InvalidMedia:
      case QMediaPlayer::EndOfMedia: finish(); break;
      default: break;
    }
  });
  QObject::connect(&player, &QMediaPlayer::errorOccurred, &loop, finish);
  QObject::connect(&sink, &QVideoSink::videoFrameChanged, &loop, [&](const QVideoFrame& frame) {
    if (done || !frame.isValid()) return;
    last = frame;
    if (frame.startTime() < 0 || frame.startTime() + toleranceUs >= targetUs) finish();
  });
  QTimer giveUp;
  giveUp.setSingleShot(true);
  QObject::connect(&giveUp, &QTimer::timeout, &loop, finish);
  giveUp.start(10'000);
  QTimer stopPoll;
  QObject::connect(&stopPoll, &QTimer::timeout, &loop, [&] {
    if (stop.stop_requested()) {
      last = QVideoFrame();
      finish();
    }
  });
  stopPoll.start(50);

  player.setSource(QUrl::fromLocalFile(path));
  if (!done) loop.exec();
  player.stop();
  player.setSource(QUrl());
  return last.isValid() ? raster::boundedBy(raster::normalized(last.toImage()), maxPixel) : QImage();
}

}  // namespace

ImagePipeline::ImagePipeline(std::shared_ptr<ImageSource> fetcher, std::shared_ptr<SVGRasterizer> svg)
    : requests_(std::make_shared<ImageRequests>(std::move(fetcher), std::move(svg), memoryCostLimit, memoryCountLimit)) {
  chooseMediaBackend();
}

ImagePipeline::~ImagePipeline() { requests_->stopAll(); }

void ImagePipeline::chooseMediaBackend() {
  // Debian's Qt 6.4 also ships an FFmpeg backend that mishandles some files.
  if (qEnvironmentVariableIsEmpty("QT_MEDIA_BACKEND")) qputenv("QT_MEDIA_BACKEND", "gstreamer");
  // Rank NONE keeps the decoder from plugging them in: a playlist or a
  // session description that got past the signature check fails instead
  // of reaching the network. Ours go last: a later entry for the same name
  // wins. Network sources are not listed, as a rank does not keep
  // gst_element_make_from_uri from choosing one: the players are only
  // given local files, and Qt does not follow the redirect messages a
  // QuickTime reference movie makes the demuxer post.
  static constexpr char noStreaming[] =
      "hlsdemux:NONE,hlsdemux2:NONE,dashdemux:NONE,dashdemux2:NONE,mssdemux:NONE,mssdemux2:NONE,sdpdemux:NONE";
  const QByteArray ranks = qgetenv("GST_PLUGIN_FEATURE_RANK");
  if (ranks.endsWith(noStreaming)) return;
  qputenv("GST_PLUGIN_FEATURE_RANK", ranks.isEmpty() ? QByteArray(noStreaming) : ranks + "," + noStreaming);
}

std::string ImagePipeline::cacheKey(const Artwork& artwork, int maxPixel) {
  return artwork.id + "@" + std::to_string(maxPixel);
}

QImage ImagePipeline::cached(const Artwork& artwork, int maxPixel) { return memory().find(cacheKey(artwork, maxPixel)); }

QFuture<QImage> ImagePipeline::imageAsync(const Artwork& artwork, int maxPixel, bool preferThumbnail,
                                          std::stop_token stop) {
  return QtConcurrent::run(QThreadPool::globalInstance(), [requests = requests_, artwork, maxPixel, preferThumbnail,
                                                           stop] {
    return requests->image(artwork, maxPixel, preferThumbnail, stop);
  });
}

ImageRequests::ImageRequests(std::shared_ptr<ImageSource> fetcher, std::shared_ptr<SVGRasterizer> svg,
                             std::int64_t costLimit, std::size_t countLimit)
    : fetcher_(std::move(fetcher)), svg_(std::move(svg)), memory_(costLimit, countLimit) {}

ImageRequests::Answer ImageRequests::answer(const Artwork& artwork, int maxPixel, bool preferThumbnail,
                                            std::stop_token stop) {
  // Nothing can be drawn into no pixels; don't fetch for it. That says
  // nothing of the work's image.
  if (maxPixel <= 0 || !fetcher_) return {{}, Failure::unfetched};
  const std::string key = ImagePipeline::cacheKey(artwork, maxPixel);
  if (QImage hit = memory_.find(key); !hit.isNull()) return {hit, Failure::none};
  if (stop.stop_requested()) return {{}, Failure::stopped};

  std::shared_ptr<Flight> flight;
  bool joined = false;
  {
    std::lock_guard lock(mutex_);
    auto& slot = flights_[key];
    // One being stopped is no longer anyone's: start afresh.
    joined = slot != nullptr && !slot->stop.stop_requested();
    if (!joined) slot = std::make_shared<Flight>();
    flight = slot;
    ++flight->wanted;
  }
  // A request that stops no longer wants the decode; the last one to go
  // stops it, and the decode ends instead of being waited for.
  std::stop_callback leave(stop, [this, flight] {
    std::lock_guard lock(mutex_);
    unwant(*flight);
    landed_.notify_all();
  });
  if (joined) {
    std::unique_lock lock(mutex_);
    landed_.wait(lock, [&] { return flight->done || stop.stop_requested(); });
    if (!flight->done) return {{}, Failure::stopped};
    if (!stop.stop_requested()) --flight->wanted;
    return flight->answer;
  }
  Answer answer = load(artwork, maxPixel, preferThumbnail, flight->stop.get_token());
  std::lock_guard lock(mutex_);
  flight->done = true;
  flight->answer = answer;
  if (const auto it = flights_.find(key); it != flights_.end() && it->second == flight) flights_.erase(it);
  landed_.notify_all();
  return answer;
}

void ImageRequests::unwant(Flight& flight) {
  if (flight.done) return;
  if (--flight.wanted <= 0) flight.stop.request_stop();
}

ImageRequests::Answer ImageRequests::load(const Artwork& artwork, int maxPixel, bool preferThumbnail,
                                          std::stop_token stop) {
  const std::string key = ImagePipeline::cacheKey(artwork, maxPixel);
  const ImagePipeline::SVGDraw svg = [&](const QByteArray& data, int pixels) {
    return drawSVG(data, pixels, preferThumbnail, stop).image;
  };
  bool unfetched = false;
  for (const std::string& uri : MediaResolver::imageCandidates(artwork, preferThumbnail)) {
    if (stop.stop_requested()) break;
    FetchedMedia media;
    try {
      media = fetcher_->fetch(uri, ImagePipeline::fetchTimeout, stop);
    } catch (...) {
      unfetched = true;
      continue;  // the next candidate may answer
    }
    QImage decoded = ImagePipeline::decode(media.data, media.mime, maxPixel, svg);
    if (decoded.isNull() && isVideo(media.data, media.mime)) {
      decoded = ImagePipeline::posterFrame(media.data, maxPixel, stop);
    }
    if (decoded.isNull()) continue;
    memory_.insert(key, decoded, std::int64_t(decoded.bytesPerLine()) * decoded.height());
    return {decoded, Failure::none};
  }
  if (stop.stop_requested()) return {{}, Failure::stopped};
  return {{}, unfetched ? Failure::unfetched : Failure::undecodable};
}

SVGRasterizer::Result ImageRequests::drawSVG(const QByteArray& data, int maxPixel, bool thumbnail,
                                             std::stop_token stop) {
  using Outcome = SVGRasterizer::Outcome;
  if (!svg_) {
    QImage image = ImagePipeline::rasterizeSVG(data, maxPixel);
    return {image.isNull() ? Outcome::undecodable : Outcome::drawn, image};
  }
  const std::chrono::milliseconds limit = thumbnail ? thumbnailSVGTimeLimit : svgTimeLimit;
  // By content alone: a bomb is drawn once a run, at whatever size came first.
  const std::size_t document =
      std::hash<std::string_view>{}(std::string_view(data.constData(), std::size_t(data.size())));
  LentPoolThread lent;
  {
    std::unique_lock lock(mutex_);
    if (overLimit_.contains(document)) return {Outcome::overLimit, {}};
    if (!svgFree_.wait(lock, stop, [&] { return drawingSVG_ < svgDrawingsAtOnce; })) return {Outcome::stopped, {}};
    // Another request may have found it over its limits meanwhile.
    if (overLimit_.contains(document)) return {Outcome::overLimit, {}};
    ++drawingSVG_;
  }
  auto result = svg_->rasterize(data, maxPixel, limit, stop);
  std::lock_guard lock(mutex_);
  --drawingSVG_;
  svgFree_.notify_one();
  if (result.outcome == Outcome::overLimit) overLimit_.insert(document);
  return result;
}

void ImageRequests::lendsThreads(QThreadPool* pool) {
  std::lock_guard lock(lendingMutex());
  if (pool && std::find(lendingPools().begin(), lendingPools().end(), pool) == lendingPools().end()) {
    lendingPools().push_back(pool);
  }
}

void ImageRequests::stopAll() {
  std::lock_guard lock(mutex_);
  for (auto& [key, flight] : flights_) flight->stop.request_stop();
}

void ImageRequests::expireFailures() {
  // Nothing to forget: documents over their limits stay so for the session.
}

std::size_t ImageRequests::underWay() const {
  std::lock_guard lock(mutex_);
  return flights_.size();
}

int ImageRequests::waiting() const {
  std::lock_guard lock(mutex_);
  int count = 0;
  for (const auto& [key, flight] : flights_) count += flight->wanted;
  return count;
}

int ImageRequests::drawingSVG() const {
  std::lock_guard lock(mutex_);
  return drawingSVG_;
}

bool ImagePipeline::mightBeSVG(const QByteArray& data, const std::string& mime) {
  if (mime.find("svg") != std::string::npos) return true;
  if (isVideo(data, mime)) return false;
  // Servers often label SVG as text or octet-stream: sniff the head.
  if (data.left(256).contains("<svg")) return true;
  if (data.startsWith("\x1f\x8b")) return true;  // gzip: an .svgz
  // A document's head: a declaration, comments or a doctype all begin with "<".
  std::string_view head(data.constData(), std::size_t(std::min<qsizetype>(data.size(), 4096)));
  if (head.starts_with("\xEF\xBB\xBF")) head.remove_prefix(3);
  const auto first = head.find_first_not_of(" \t\r\n");
  return first != std::string_view::npos && head[first] == '<';
}

QImage ImagePipeline::decode(const QByteArray& data, const std::string& mime, int maxPixel, const SVGDraw& svg) {
  if (maxPixel <= 0 || data.isEmpty()) return {};
  const auto drawn = [&] { return svg ? svg(data, maxPixel) : QImage(); };
  if (mime.find("svg") != std::string::npos) return drawn();
  if (!raster::formatOf(data).isEmpty()) return raster::decodeStill(data, maxPixel);
  // Whatever else may be SVG (a long prologue, gzip), and only librsvg may
  // read that: it loads nothing a document names.
  return mightBeSVG(data, mime) ? drawn() : QImage();
}

QImage ImagePipeline::rasterizeSVG(const QByteArray& data, int maxPixel) {
  QImage image;
  const bool drawn = svgdrawing::draw(reinterpret_cast<const unsigned char*>(data.constData()), std::size_t(data.size()),
                                      maxPixel, [&](int width, int height, int stride) -> unsigned char* {
                                        image = QImage(width, height, QImage::Format_ARGB32_Premultiplied);
                                        if (image.isNull() || image.bytesPerLine() != stride) return nullptr;
                                        image.fill(Qt::transparent);
                                        return image.bits();
                                      });
  return drawn ? image : QImage();
}

QImage ImagePipeline::posterFrame(const QByteArray& data, int maxPixel, std::stop_token stop) {
  if (maxPixel <= 0 || data.isEmpty() || !QCoreApplication::instance()) return {};
  // The player picks its elements by content: a playlist would have it
  // fetch whatever addresses it lists.
  if (!videosignature::isPlayable(std::string_view(data.constData(), std::size_t(data.size())))) return {};
  TemporaryFile file{QDir(QDir::tempPath()).filePath(QUuid::createUuid().toString(QUuid::WithoutBraces) + ".mp4")};
  {
    // A fresh file only this user can read; never write through an existing one.
    QFile out(file.path);
    if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
      file.path.clear();  // not ours to remove
      return {};
    }
    out.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    if (out.write(data) != data.size() || !out.flush()) return {};
  }
  return frameFromFile(file.path, maxPixel, stop);
}

}  // namespace tavolune
