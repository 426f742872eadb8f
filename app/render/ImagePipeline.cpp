#include "app/render/ImagePipeline.hpp"

#include "core/media/VideoSignature.hpp"
#include "core/model/MediaResolver.hpp"
#include "app/render/Geometry.hpp"
#include "app/render/RasterFormat.hpp"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QImageReader>
#include <QMediaPlayer>
#include <QTimer>
#include <QUrl>
#include <QUuid>
#include <QVideoFrame>
#include <QVideoSink>
#include <QtConcurrent/QtConcurrentRun>

// GLib names a struct member `signals`, which Qt defines as a keyword.
#pragma push_macro("signals")
#undef signals
#include <librsvg/rsvg.h>
#pragma pop_macro("signals")

#include <algorithm>
#include <cmath>

namespace tavolune {
namespace {

// The same ceiling QImageReader applies by default: no single decode may
// allocate more than this, whatever the document claims.
constexpr double maxDecodedBytes = 256.0 * 1024 * 1024;

bool startsWith(const std::string& s, std::string_view prefix) { return s.compare(0, prefix.size(), prefix) == 0; }

QImage normalized(QImage image) {
  if (image.isNull()) return image;
  const QImage::Format want = image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
  if (image.format() != want) image.convertTo(want);
  return image;
}

QImage boundedBy(QImage image, int maxPixel) {
  if (image.isNull()) return image;
  if (std::max(image.width(), image.height()) <= maxPixel) return image;
  return image.scaled(maxPixel, maxPixel, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

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
  return last.isValid() ? boundedBy(normalized(last.toImage()), maxPixel) : QImage();
}

}  // namespace

ImagePipeline::ImagePipeline(std::shared_ptr<ImageSource> fetcher) : fetcher_(std::move(fetcher)) {
  chooseMediaBackend();
}

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

QImage ImagePipeline::cached(const Artwork& artwork, int maxPixel) { return memory_.find(cacheKey(artwork, maxPixel)); }

QImage ImagePipeline::image(const Artwork& artwork, int maxPixel, bool preferThumbnail, std::stop_token stop) {
  // Nothing can be drawn into no pixels; don't fetch for it.
  if (maxPixel <= 0 || !fetcher_) return {};
  const std::string key = cacheKey(artwork, maxPixel);
  if (QImage hit = memory_.find(key); !hit.isNull()) return hit;

  for (const std::string& uri : MediaResolver::imageCandidates(artwork, preferThumbnail)) {
    if (stop.stop_requested()) return {};
    FetchedMedia media;
    try {
      media = fetcher_->fetch(uri, fetchTimeout, stop);
    } catch (...) {
      continue;  // the next candidate may answer
    }
    QImage decoded = decode(media.data, media.mime, maxPixel);
    if (decoded.isNull() && startsWith(media.mime, "video/")) decoded = posterFrame(media.data, maxPixel, stop);
    if (decoded.isNull()) continue;
    memory_.insert(key, decoded, std::int64_t(decoded.bytesPerLine()) * decoded.height());
    return decoded;
  }
  return {};
}

QFuture<QImage> ImagePipeline::imageAsync(const Artwork& artwork, int maxPixel, bool preferThumbnail,
                                          std::stop_token stop) {
  return QtConcurrent::run(QThreadPool::globalInstance(), [this, artwork, maxPixel, preferThumbnail, stop] {
    return image(artwork, maxPixel, preferThumbnail, stop);
  });
}

QImage ImagePipeline::decode(const QByteArray& data, const std::string& mime, int maxPixel) {
  if (maxPixel <= 0 || data.isEmpty()) return {};
  if (mime.find("svg") != std::string::npos) return rasterizeSVG(data, maxPixel);
  // Servers often label SVG as text or octet-stream: sniff the head.
  if (data.left(256).contains("<svg")) return rasterizeSVG(data, maxPixel);
  // Whatever is no raster we know may still be SVG (a long prologue, gzip),
  // and only librsvg may read that: it loads nothing a document names.
  if (raster::formatOf(data).isEmpty()) return rasterizeSVG(data, maxPixel);
  return raster::decodeStill(data, maxPixel);
}

QImage ImagePipeline::rasterizeSVG(const QByteArray& data, int maxPixel) {
  if (maxPixel <= 0 || data.isEmpty()) return {};
  GError* error = nullptr;
  RsvgHandle* handle =
      rsvg_handle_new_from_data(reinterpret_cast<const guint8*>(data.constData()), gsize(data.size()), &error);
  if (!handle) {
    g_clear_error(&error);
    return {};
  }
  double w = 0, h = 0;
  if (!rsvg_handle_get_intrinsic_size_in_pixels(handle, &w, &h)) {
    // Relative or missing width and height: the view box gives the shape.
    gboolean hasW = false, hasH = false, hasBox = false;
    RsvgLength lw{}, lh{};
    RsvgRectangle box{};
    rsvg_handle_get_intrinsic_dimensions(handle, &hasW, &lw, &hasH, &lh, &hasBox, &box);
    if (hasBox) {
      w = box.width;
      h = box.height;
    }
  }
  QImage result;
  if (geometry::isPositive(w) && geometry::isPositive(h)) {
    const double scale = maxPixel / std::max(w, h);
    const double pw = std::max(1.0, std::round(w * scale));
    const double ph = std::max(1.0, std::round(h * scale));
    if (pw <= geometry::maxPixelSide && ph <= geometry::maxPixelSide && pw * ph * 4 <= maxDecodedBytes) {
      cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, int(pw), int(ph));
      if (cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS) {
        cairo_t* cr = cairo_create(surface);
        const RsvgRectangle viewport{0, 0, pw, ph};
        const bool drawn = rsvg_handle_render_document(handle, cr, &viewport, &error);
        g_clear_error(&error);
        cairo_destroy(cr);
        cairo_surface_flush(surface);
        if (drawn) {
          // Cairo's ARGB32 is premultiplied native-endian, as Qt's is.
          result = QImage(cairo_image_surface_get_data(surface), int(pw), int(ph),
                          cairo_image_surface_get_stride(surface), QImage::Format_ARGB32_Premultiplied)
                       .copy();
        }
      }
      cairo_surface_destroy(surface);
    }
  }
  g_object_unref(handle);
  return result;
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
