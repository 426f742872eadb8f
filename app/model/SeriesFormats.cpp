#include "app/model/SeriesFormats.hpp"

#include "app/model/MediaServices.hpp"
#include "app/model/ProbeQueue.hpp"
#include "app/render/WallpaperComposer.hpp"
#include "app/stage/OffscreenProbes.hpp"
#include "core/base/Hosts.hpp"
#include "core/media/CacheKeys.hpp"

#include <QCoreApplication>
#include <QThreadPool>

#include <algorithm>
#include <cmath>

namespace tavolune {

namespace {

// Square crops of OpenSea's CDN say nothing about a work's format.
bool cdnCrop(const Artwork& a) {
  const auto& uri = a.thumbnailURI ? a.thumbnailURI : a.imageURI;
  return uri && uri->find(hosts::squareImageCDN) != std::string::npos;
}

}  // namespace

struct SeriesFormats::FormatRun {
  std::vector<Artwork> works;  // copies: no pointer into the state outlives a step
  std::size_t started = 0;
  std::size_t running = 0;
  std::size_t done = 0;
  std::unordered_map<std::string, double> batch;
  std::function<void()> finished;
};

SeriesFormats::SeriesFormats(const ModelOptions& options, LibraryEditor& library, MediaServices& media, QObject* parent)
    : QObject(parent), options_(options), library_(library), media_(media) {
  ratioFlush_.setSingleShot(true);
  ratioFlush_.setInterval(options_.timings.ratioFlushDelay);
  connect(&ratioFlush_, &QTimer::timeout, this, &SeriesFormats::flushRatios);
}

SeriesFormats::~SeriesFormats() {
  // The fetches hold the pipeline's requests and post through the closed
  // mailbox: they are stopped, not waited for.
  mailbox_->close();
  formatStop_.request_stop();
}

ProbeService& SeriesFormats::probes() {
  if (!probes_) {
    auto service =
        options_.probes ? options_.probes(media_.fetcher()) : std::make_unique<OffscreenProbes>(media_.fetcher());
    probes_ = std::make_unique<ProbeQueue>(std::move(service));
    probes_->onRanOutOfTime = [this](const Artwork& artwork) { ranOutOfTime_.insert(artwork.seriesKey()); };
  }
  return *probes_;
}

// --- series profiles ---

void SeriesFormats::profile(const Artwork& artwork, bool measureIfNeeded,
                            std::function<void(std::optional<RenderProfile>)> done) {
  const std::string key = artwork.seriesKey();
  const auto& stored = library_.state().renderProfiles;
  if (auto it = stored.find(key); it != stored.end()) return done(it->second);
  if (!measureIfNeeded || artwork.mediaKind != MediaKind::generative || ranOutOfTime_.contains(key)) {
    return done(std::nullopt);
  }
  if (auto it = probing_.find(key); it != probing_.end()) {
    it->second.push_back(std::move(done));
    return;
  }
  probing_[key].push_back(std::move(done));
  probes().measure(artwork, measureSettleSeconds,
                   [this, key](std::optional<RenderProfile> profile) { finishProbe(key, std::move(profile)); });
}

void SeriesFormats::finishProbe(const std::string& seriesKey, std::optional<RenderProfile> profile) {
  auto node = probing_.extract(seriesKey);
  if (profile) {
    library_.edit([seriesKey, p = *profile](LibraryState& s) { s.renderProfiles.insert_or_assign(seriesKey, p); },
                  seriesChange(seriesKey));
  }
  if (node.empty()) return;
  for (auto& waiter : node.mapped()) waiter(profile);
}

void SeriesFormats::remeasure(const Artwork& artwork, std::function<void()> done) {
  const std::string key = artwork.seriesKey();
  library_.edit([key](LibraryState& s) { s.renderProfiles.erase(key); }, seriesChange(key));
  profile(artwork, true, [this, key, done = std::move(done)](const std::optional<RenderProfile>&) {
    library_.desktopLooksAgain(seriesChange(key));
    if (done) done();
  });
}

// --- the collection analysis ---

void SeriesFormats::setAnalysisStopRequested(bool requested) {
  if (requested == analysisStopRequested_) return;
  analysisStopRequested_ = requested;
  emit analysisStopRequestedChanged();
}

void SeriesFormats::analyzeCollection(std::function<void()> done) {
  if (analysisProgress_) {
    if (done) done();
    return;
  }
  auto list = std::make_shared<std::vector<Artwork>>();
  for (const Artwork* a : library_.state().unmeasuredSeries()) list->push_back(*a);
  setAnalysisStopRequested(false);
  analysisProgress_ = Progress{0, list->size()};
  emit analysisProgressChanged();
  analyzeNext(std::move(list), 0, std::move(done));
}

void SeriesFormats::analyzeNext(std::shared_ptr<std::vector<Artwork>> list, std::size_t next,
                                std::function<void()> done) {
  if (analysisStopRequested_ || next >= list->size()) return finishAnalysis(std::move(done));
  const Artwork work = (*list)[next];
  profile(work, true, [this, list, next, done = std::move(done)](const std::optional<RenderProfile>&) mutable {
    analysisProgress_ = Progress{next + 1, list->size()};
    emit analysisProgressChanged();
    // Queued: a run of stored answers must not recurse once per series.
    QMetaObject::invokeMethod(
        this, [this, list, next, done = std::move(done)]() mutable { analyzeNext(list, next + 1, std::move(done)); },
        Qt::QueuedConnection);
  });
}

void SeriesFormats::finishAnalysis(std::function<void()> done) {
  analysisProgress_.reset();
  emit analysisProgressChanged();
  setAnalysisStopRequested(false);
  library_.desktopLooksAgain({});
  if (done) done();
}

// --- ratios ---

void SeriesFormats::noteRatio(const Artwork& artwork, const QImage& image) {
  if (image.width() <= 0 || image.height() <= 0) return;
  const auto& works = library_.state().artworks;
  if (auto it = works.find(artwork.id); it != works.end() && it->second.aspectRatio) return;
  if (pendingRatios_.contains(artwork.id) || cdnCrop(artwork)) return;
  pendingRatios_.emplace(artwork.id, double(image.width()) / double(image.height()));
  ratioFlush_.start();
}

void SeriesFormats::flushRatios() {
  if (pendingRatios_.empty()) return;
  writeRatios(std::exchange(pendingRatios_, {}), false);
}

void SeriesFormats::writeRatios(std::unordered_map<std::string, double> ratios, bool onlyUnknown) {
  LibraryChange change;
  for (const auto& [id, ratio] : ratios) change.note(id, LibraryChange::format);
  library_.edit(
      [ratios = std::move(ratios), onlyUnknown](LibraryState& s) {
        for (const auto& [id, ratio] : ratios) {
          auto it = s.artworks.find(id);
          if (it != s.artworks.end() && !(onlyUnknown && it->second.aspectRatio)) it->second.aspectRatio = ratio;
        }
      },
      std::move(change));
}

LibraryChange SeriesFormats::seriesChange(const std::string& seriesKey) const {
  LibraryChange change;
  for (const auto& [id, work] : library_.state().artworks) {
    if (work.seriesKey() == seriesKey) change.note(id, LibraryChange::format);
  }
  return change;
}

void SeriesFormats::measureFormats(std::function<void()> done) {
  if (formatProgress_) {
    if (done) done();
    return;
  }
  auto run = std::make_shared<FormatRun>();
  const LibraryState& state = library_.state();
  for (const Artwork* a : state.artworksFor(LibraryFilter{})) {
    if (!state.shape(*a) && !cdnCrop(*a)) run->works.push_back(*a);
  }
  run->finished = std::move(done);
  formatRun_ = run;
  formatProgress_ = Progress{0, run->works.size()};
  emit formatProgressChanged();
  startFormatFetches();
}

void SeriesFormats::startFormatFetches() {
  FormatRun& run = *formatRun_;
  while (run.running < formatWindow && run.started < run.works.size()) {
    const Artwork& work = run.works[run.started++];
    ++run.running;
    options_.threadPool().start([mailbox = mailbox_, self = this, images = media_.images().requests(), work,
                                 stop = formatStop_.get_token()] {
      const QImage image = images->image(work, formatThumbnailPixels, true, stop);
      std::optional<double> ratio;
      if (!image.isNull() && image.height() >= 1) ratio = double(image.width()) / double(image.height());
      mailbox->post([self, id = work.id, ratio] { self->formatFetched(id, ratio); });
    });
  }
  if (run.running == 0 && run.started == run.works.size()) {
    if (!run.batch.empty()) {
      writeRatios(std::exchange(run.batch, {}), true);
    }
    auto finished = std::move(run.finished);
    formatRun_.reset();
    formatProgress_.reset();
    emit formatProgressChanged();
    if (finished) finished();
  }
}

void SeriesFormats::formatFetched(const std::string& artworkID, std::optional<double> ratio) {
  if (!formatRun_) return;
  FormatRun& run = *formatRun_;
  --run.running;
  if (ratio) run.batch.insert_or_assign(artworkID, *ratio);
  formatProgress_ = Progress{++run.done, run.works.size()};
  emit formatProgressChanged();
  if (run.batch.size() >= formatBatch) {
    writeRatios(std::exchange(run.batch, {}), true);
  }
  startFormatFetches();
}

// --- mattes ---

QColor SeriesFormats::matte(const Artwork& artwork, const QImage& image) const {
  if (const RenderProfile* p = library_.state().profile(artwork); p && p->background) {
    auto channel = [](double v) { return std::isfinite(v) ? std::clamp(v, 0.0, 1.0) : 0.0; };
    return QColor::fromRgbF(float(channel(p->background->r)), float(channel(p->background->g)),
                            float(channel(p->background->b)), 1.0f);
  }
  if (!image.isNull()) return WallpaperComposer::edgeColor(image);
  return WallpaperComposer::defaultMatte();
}

// --- rendered stills ---

std::string SeriesFormats::stillKey(const std::string& artworkID, int width, int height) {
  return cachekeys::still(artworkID, width, height);
}

std::string SeriesFormats::emptyStillKey(const std::string& artworkID) { return cachekeys::emptyStill(artworkID); }

void SeriesFormats::renderedStill(const Artwork& artwork, QSizeF pixelSize, double scale, bool computeIfMissing,
                                  std::function<void(QImage)> done) {
  const double w = std::trunc(pixelSize.width());
  const double h = std::trunc(pixelSize.height());
  // Refused before anything is read or loaded.
  if (!(w >= 1 && h >= 1 && w <= LayoutProbe::maxPixelSide && h <= LayoutProbe::maxPixelSide) ||
      !std::isfinite(scale) || scale <= 0) {
    return done({});
  }
  const QSize pixels{int(w), int(h)};
  const std::string key = stillKey(artwork.id, pixels.width(), pixels.height());
  const std::string marker = emptyStillKey(artwork.id);
  if (QImage kept = media_.images().memory().find(keptKey(key)); !kept.isNull()) {
    mailbox_->post([image = std::move(kept), done = std::move(done)] { done(image); });
    return;
  }
  options_.threadPool().start([mailbox = mailbox_, self = this, cache = media_.sharedCache(), artwork, pixels, scale,
                               computeIfMissing, key, marker, done = std::move(done)]() mutable {
    QImage image;
    if (auto data = cache->data(key)) {
      // Our own PNG: whatever else lies under the key is not drawn here.
      image = ImagePipeline::decode(QByteArray(data->data(), qsizetype(data->size())), "image/png",
                                    std::max(pixels.width(), pixels.height()), {});
      // Another size under this key is no still of this size.
      if (image.size() != pixels) image = QImage();
    }
    const bool marked = image.isNull() && computeIfMissing && cache->contains(marker);
    mailbox->post([self, artwork, pixels, scale, computeIfMissing, key, marked, image, done = std::move(done)] {
      if (!image.isNull()) self->keepStill(key, image);
      if (!image.isNull() || !computeIfMissing || marked || self->ranOutOfTime_.contains(artwork.seriesKey())) {
        return done(image);
      }
      auto& waiters = self->rendering_[key];
      waiters.push_back(done);
      if (waiters.size() == 1) self->renderStill(artwork, pixels, scale, key);
    });
  });
}

void SeriesFormats::renderStill(const Artwork& artwork, QSize pixels, double scale, const std::string& key) {
  probes().renderStill(artwork, pixels, scale, stillMaxWaitSeconds,
                       [mailbox = mailbox_, self = this, cache = media_.sharedCache(), pool = &options_.threadPool(),
                        id = artwork.id, pixels, key](ProbeService::Still still) {
                         if (!mailbox->isOpen()) return;
                         if (still.image.isNull() || still.image.size() != pixels) return self->finishRender(key, {});
                         // Judged and encoded off the GUI thread; answered once stored.
                         pool->start([mailbox, self, cache, id, key, still = std::move(still)]() mutable {
                           QImage image = std::move(still.image);
                           if (WallpaperComposer::looksEmpty(WallpaperComposer::thumbprint(image))) {
                             // Only a page that said it rendered, or sat blank with nothing left
                             // to load, is blank; a time-out may just be slow, and a page refused
                             // WebGL may draw on a computer that has it.
                             using Ending = ProbeService::Ending;
                             if ((still.ending == Ending::rendered || still.ending == Ending::settledBlank) &&
                                 !still.webGLRefused) {
                               cache->store("empty", emptyStillKey(id), std::string("text/plain"));
                             }
                             image = QImage();
                           } else if (auto png = WallpaperComposer::pngData(image)) {
                             cache->store(std::string_view(png->constData(), std::size_t(png->size())), key,
                                          std::string("image/png"));
                           }
                           mailbox->post([self, key, image] { self->finishRender(key, image); });
                         });
                       });
}

std::string SeriesFormats::keptKey(const std::string& stillKey) { return "rendered|" + stillKey; }

void SeriesFormats::keepStill(const std::string& key, const QImage& image) {
  media_.images().memory().insert(keptKey(key), image, image.sizeInBytes());
}

void SeriesFormats::dropKeptStillsBeyond(const std::vector<QSize>& displayPixels) {
  const auto fits = [&](QSize s) {
    return std::any_of(displayPixels.begin(), displayPixels.end(), [&](QSize d) {
      return (s.width() <= d.width() && s.height() <= d.height()) ||
             (s.width() <= d.height() && s.height() <= d.width());
    });
  };
  const std::string prefix = keptKey("");
  media_.images().memory().removeIf(
      [&](const std::string& key, const QImage& image) { return key.starts_with(prefix) && !fits(image.size()); });
}

void SeriesFormats::finishRender(const std::string& key, QImage image) {
  if (!image.isNull()) keepStill(key, image);
  auto node = rendering_.extract(key);
  if (node.empty()) return;
  for (auto& waiter : node.mapped()) waiter(image);
}

}  // namespace tavolune
