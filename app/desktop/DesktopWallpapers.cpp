// Still desktop pictures: fetch, turn, compose and encode off the GUI
// thread, write the JPEG into the wallpapers folder, set it, clean the
// display's older files, and pre-render the display's next generative work.

#include "app/desktop/DesktopController.hpp"
#include "app/desktop/PlacementText.hpp"
#include "app/model/AppModel.hpp"
#include "app/platform/WallpaperBackend.hpp"
#include "app/render/WallpaperComposer.hpp"
#include "app/stage/ArtStageView.hpp"
#include "core/base/Enum.hpp"
#include "core/media/MediaCache.hpp"
#include "core/model/Rotation.hpp"

#include <QRandomGenerator>
#include <QThreadPool>

#include <fstream>
#include <set>
#include <system_error>
#include <utility>

namespace tavolune {

namespace fs = std::filesystem;

struct DesktopController::StillJob {
  Artwork work;
  Placement placement;
  QString key;
  std::uint64_t generation = 0;
  bool highQuality = false;
  std::function<void()> done;
  QSize pixels;
  double scale = 1;
  int turns = 0;
  std::optional<QColor> background;
  std::shared_ptr<std::atomic<std::uint64_t>> cell;
  std::stop_token stop;
  QImage turned;  // the decoded image, turned
  QColor matte;
  QImage still;    // the rendered still, unturned
  QImage picture;  // what was written, handed to the back end
  fs::path file;
  bool written = false;

  bool stale() const { return cell->load() != generation; }
};

namespace {

QString colourText(const QColor& c) { return c.name(QColor::HexArgb); }

QImage composeFor(const QImage& image, const Placement& placement, QSize pixels, const QColor& matte) {
  const QSizeF size(pixels);
  if (auto* f = placement.as<Placement::Framed>()) return WallpaperComposer::compose(image, size, f->framing, matte);
  if (auto* f = placement.as<Placement::InFrame>()) return WallpaperComposer::composeFramed(image, size, f->style);
  return WallpaperComposer::compose(image, size, Framing::fill, matte);
}

// Runs one step of a pass and tells the watcher, if any, how long it took.
template <class F>
void timed(const DesktopTimings& timings, const QString& key, std::uint64_t generation, StillStage stage, F&& step) {
  if (!timings.stageDone) return step();
  const auto start = std::chrono::steady_clock::now();
  step();
  timings.stageDone(key, generation, stage, std::chrono::steady_clock::now() - start);
}

bool writeAtomically(const fs::path& file, const QByteArray& data) {
  const fs::path part = file.parent_path() /
                        ("." + file.filename().string() + "." +
                         std::to_string(QRandomGenerator::global()->generate()) + ".part");
  {
    std::ofstream out(part, std::ios::binary | std::ios::trunc);
    out.write(data.constData(), data.size());
    if (!out.flush()) {
      std::error_code ignored;
      fs::remove(part, ignored);
      return false;
    }
  }
  std::error_code error;
  fs::rename(part, file, error);
  if (error) fs::remove(part, error);
  return !error;
}

}  // namespace

QSize DesktopController::renderSize(const Placement& placement, QSize screen, int turns) {
  QSize size = screen;
  if (auto* f = placement.as<Placement::Framed>()) {
    const Rect art = WallpaperComposer::artRect(f->ratio, Rect{0, 0, double(screen.width()), double(screen.height())},
                                                f->framing);
    double w = art.width, h = art.height;
    if (const double longer = std::max(w, h); longer > maxRenderSide) {
      w = w * maxRenderSide / longer;
      h = h * maxRenderSide / longer;
    }
    size = QSize(int(w), int(h));
  }
  if (turns % 2 != 0) size.transpose();
  return size;
}

std::string DesktopController::wallpaperFileName(const QString& key, const std::string& artworkID,
                                                 const Placement& placement, int turns, bool highQuality,
                                                 QSize pixelSize, const QColor& matte, bool fromRenderedStill) {
  // Everything that changes the picture is in the name: desktops cache
  // pictures by path.
  const QString text = QString::fromStdString(artworkID) + placementText(placement) + QString::number(turns) +
                       (highQuality ? QStringLiteral("hq") : QString()) +
                       QStringLiteral("@%1x%2").arg(pixelSize.width()).arg(pixelSize.height()) + colourText(matte) +
                       (fromRenderedStill ? QStringLiteral("rendered") : QString());
  return key.toStdString() + "-" + MediaCache::key(text.toStdString()) + ".jpg";
}

void DesktopController::applyStaticWallpaper(const Artwork& work, const Placement& placement, const QString& key,
                                             std::uint64_t generation, bool highQuality,
                                             std::function<void()> done) {
  auto job = std::make_shared<StillJob>();
  job->work = work;
  job->placement = placement;
  job->key = key;
  job->generation = generation;
  job->highQuality = highQuality;
  job->done = std::move(done);
  job->cell = generationCell(key);
  job->stop = fetchStops_[key].get_token();
  ++passesInFlight_[key];
  const auto d = display(key);
  if (!d || job->stale()) return finishPass(job);
  job->pixels = d->geometry.size();
  job->scale = d->scale;
  const auto& state = model.state();
  job->turns = state.rotation(work.id);
  job->background = seriesBackground(work);

  // A generative still asks for its rendered still first: when there is one,
  // the decoded image is not needed at all (a still pass never runs live).
  if (work.mediaKind == MediaKind::generative && !runsLive(work)) {
    services_.formats.renderedStill(work, renderSize(placement, job->pixels, job->turns), job->scale, highQuality,
                                    this, [this, job](QImage still) {
                                      job->still = std::move(still);
                                      if (!job->still.isNull() || job->highQuality) return composePass(job);
                                      decodePass(job);
                                    });
    return;
  }
  decodePass(job);
}

void DesktopController::decodePass(std::shared_ptr<StillJob> job) {
  if (job->stale()) return finishPass(job);
  QThreadPool::globalInstance()->start([this, job, images = &model.images(), mailbox = mailbox_] {
    if (!job->stale()) {
      const auto& t = timings_;
      QImage image;
      timed(t, job->key, job->generation, StillStage::decode, [&] {
        image = images->image(job->work, std::max(job->pixels.width(), job->pixels.height()), false, job->stop);
      });
      if (!image.isNull()) {
        timed(t, job->key, job->generation, StillStage::turn,
              [&] { job->turned = WallpaperComposer::rotated(image, job->turns); });
      }
      job->matte = job->background  ? *job->background
                   : !job->turned.isNull() ? WallpaperComposer::edgeColor(job->turned)
                                           : WallpaperComposer::defaultMatte();
    }
    mailbox->post([this, job] {
      if (job->stale()) return finishPass(job);
      // A stage still loading, or failed, shows this picture over its matte.
      if (auto* stage = liveStage(job->key); stage && stage->artwork() && stage->artwork()->id == job->work.id) {
        stage->setLayerBackground(job->matte);
        const auto kind = stage->status().kind;
        if (!job->turned.isNull() &&
            (kind == ArtStageView::Status::Kind::loading || kind == ArtStageView::Status::Kind::failed)) {
          stage->setStillImage(job->turned);
          if (!stage->aspectLocked()) {
            stage->setAspect(double(job->turned.width()) / std::max(job->turned.height(), 1));
            stage->relayout();
          }
        }
      }
      composePass(job);
    });
  });
}

void DesktopController::composePass(std::shared_ptr<StillJob> job) {
  if (job->stale() || (job->still.isNull() && (job->highQuality || job->turned.isNull()))) return finishPass(job);
  QThreadPool::globalInstance()->start([this, job, dir = wallpaperDir, mailbox = mailbox_] {
    const auto& t = timings_;
    const auto step = [&](StillStage stage, auto&& run) { timed(t, job->key, job->generation, stage, run); };
    QImage picture;
    QColor matte = job->matte;
    bool fromStill = false;
    if (!job->still.isNull() && !job->stale()) {
      QImage turned;
      step(StillStage::turn, [&] { turned = WallpaperComposer::rotated(job->still, job->turns); });
      if (!turned.isNull() && !job->stale()) {
        matte = job->background ? *job->background : WallpaperComposer::edgeColor(turned);
        if (job->placement.as<Placement::FullBleed>()) {
          picture = turned;
        } else {
          step(StillStage::compose, [&] { picture = composeFor(turned, job->placement, job->pixels, matte); });
        }
        fromStill = !picture.isNull();
      }
    }
    if (picture.isNull() && !job->highQuality && !job->turned.isNull() && !job->stale()) {
      matte = job->matte;
      step(StillStage::compose, [&] { picture = composeFor(job->turned, job->placement, job->pixels, matte); });
    }
    // Checked before the costly encode: a newer render makes this one moot.
    if (!picture.isNull() && !job->stale()) {
      std::optional<QByteArray> data;
      step(StillStage::encode, [&] { data = WallpaperComposer::jpegData(picture, jpegQuality); });
      if (data && !job->stale()) {
        job->file = dir / wallpaperFileName(job->key, job->work.id, job->placement, job->turns, job->highQuality,
                                            job->pixels, matte, fromStill);
        step(StillStage::write, [&] { job->written = writeAtomically(job->file, *data); });
        if (job->written) job->picture = picture;
      }
    }
    job->matte = matte;
    // Large images are freed here, off the GUI thread.
    job->turned = QImage();
    job->still = QImage();
    picture = QImage();
    mailbox->post([this, job] { setPass(job); });
  });
}

void DesktopController::setPass(std::shared_ptr<StillJob> job) {
  const auto d = display(job->key);
  if (!job->written || job->stale() || !d) return finishPass(job);
  WallpaperRequest request{*d, services_.displays.displays(), QString::fromStdString(job->file.string()),
                           job->matte, std::exchange(job->picture, QImage())};
  const auto asked = std::chrono::steady_clock::now();
  services_.wallpapers.setPicture(std::move(request), this, [this, job, asked](WallpaperBackend::Outcome outcome) {
    if (timings_.stageDone) {
      timings_.stageDone(job->key, job->generation, StillStage::set, std::chrono::steady_clock::now() - asked);
    }
    if (!outcome) {
      // The back end already logged a refusal.
      applied_[job->key] = {job->file, colourText(job->matte)};
      emit wallpaperApplied(job->key);
      if (!job->stale()) {
        cleanWallpapers(job->key, job->file);
        prerenderUpcoming(job->key);
      }
    }
    finishPass(job);
  });
}

void DesktopController::finishPass(std::shared_ptr<StillJob> job) {
  // When the display's last pass ends, only the applied picture stays: stale
  // passes' files go with it.
  if (--passesInFlight_[job->key] <= 0) {
    passesInFlight_.erase(job->key);
    auto it = applied_.find(job->key);
    cleanWallpapers(job->key, it != applied_.end() ? it->second.file : fs::path());
  }
  if (job->done) job->done();
}

void DesktopController::cleanWallpapers(const QString& key, const fs::path& keeping) {
  const std::string prefix = key.toStdString() + "-";
  std::error_code error;
  for (fs::directory_iterator it(wallpaperDir, error), end; !error && it != end; it.increment(error)) {
    const std::string name = it->path().filename().string();
    if (name.rfind(prefix, 0) != 0 || it->path() == keeping) continue;
    // "display-1-…" must not take "display-12-…" along: the rest is the hash.
    const std::string rest = name.substr(prefix.size());
    if (rest.size() != 20 || rest.substr(16) != ".jpg") continue;
    std::error_code ignored;
    fs::remove(it->path(), ignored);
  }
}

void DesktopController::removeStrayWallpapers() {
  std::set<std::string> keys;
  for (const auto& s : screens_) keys.insert(s.id.toStdString());
  std::error_code error;
  for (fs::directory_iterator it(wallpaperDir, error), end; !error && it != end; it.increment(error)) {
    const std::string name = it->path().filename().string();
    bool remove = name.starts_with(".") && name.ends_with(".part");
    // "<key>-<16 hex>.jpg" of a display no longer connected.
    if (name.size() > 21 && name.ends_with(".jpg") && name[name.size() - 21] == '-' && !name.starts_with("spanned-")) {
      remove = !keys.contains(name.substr(0, name.size() - 21));
    }
    if (!remove) continue;
    std::error_code ignored;
    fs::remove(it->path(), ignored);
  }
}

void DesktopController::prerenderUpcoming(const QString& key) {
  const auto d = display(key);
  if (!d) return;
  const ScreenConfig config = this->config(key);
  const auto& state = model.state();
  const auto next = Rotation::next(pool(key), config.currentArtworkID, state.rotationOrder(), history(key));
  if (!next) return;
  auto it = state.artworks.find(*next);
  if (it == state.artworks.end() || it->second.mediaKind != MediaKind::generative) return;
  upcoming_[key] = *next;
  // At most one pending per display: a newer one supersedes it.
  auto token = std::make_shared<int>(0);
  prerenders_[key] = token;
  const Artwork work = it->second;
  QTimer::singleShot(timings_.prerenderWait, this, [this, key, work, token] {
    if (auto p = prerenders_.find(key); p == prerenders_.end() || p->second != token) return;
    prerenders_.erase(key);
    // Only while it is still the display's next work and the display is there.
    if (upcoming(key) != work.id || !display(key)) return;
    const auto& s = power.state();
    if (s.onBattery || s.thermalSerious || s.lowPower) return;
    services_.formats.profile(work, true, this, [this, key, work] {
      const auto d = display(key);
      if (!d || upcoming(key) != work.id) return;
      const Placement placement =
          model.state().placement(work, this->config(key), double(d->geometry.width()) / std::max(d->geometry.height(), 1),
                                  std::nullopt);
      services_.formats.renderedStill(work, renderSize(placement, d->geometry.size(), model.state().rotation(work.id)),
                                      d->scale, true, this, [](QImage) {});
    });
  });
}

}  // namespace tavolune
