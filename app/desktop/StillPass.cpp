#include "app/desktop/StillPass.hpp"

#include "app/desktop/PlacementText.hpp"
#include "app/render/ImagePipeline.hpp"
#include "app/render/WallpaperComposer.hpp"
#include "core/media/MediaCache.hpp"

#include <QFile>
#include <QRandomGenerator>

#include <system_error>

namespace tavolune {

namespace fs = std::filesystem;

namespace {

QImage composeFor(const QImage& image, const Placement& placement, QSize pixels, const QColor& matte) {
  const QSizeF size(pixels);
  if (auto* f = placement.as<Placement::Framed>()) return WallpaperComposer::compose(image, size, f->framing, matte);
  if (auto* f = placement.as<Placement::InFrame>()) return WallpaperComposer::composeFramed(image, size, f->style);
  return WallpaperComposer::compose(image, size, Framing::fill, matte);
}

bool writeAtomically(const fs::path& file, const QByteArray& data) {
  const fs::path part = file.parent_path() / ("." + file.filename().string() + "." +
                                              std::to_string(QRandomGenerator::global()->generate()) + ".part");
  {
    // The picture says what the user collects: theirs alone from the start.
    QFile out(QString::fromStdString(part.string()));
    const bool written = out.open(QIODevice::WriteOnly | QIODevice::NewOnly, QFile::ReadOwner | QFile::WriteOwner) &&
                         out.write(data) == data.size() && out.flush();
    if (!written) {
      out.close();
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

StillPass::StillPass(Request request, std::shared_ptr<const std::atomic<std::uint64_t>> generation,
                     std::stop_token stop, std::shared_ptr<ImageRequests> images, StillStageWatch watch)
    : request_(std::move(request)),
      generation_(std::move(generation)),
      stop_(std::move(stop)),
      images_(std::move(images)),
      watch_(std::move(watch)) {}

// Runs one step and tells the watcher, if any, how long it took.
template <class F>
void StillPass::timed(StillStage stage, F&& step) {
  if (!watch_) return step();
  const auto start = std::chrono::steady_clock::now();
  step();
  watch_(request_.key, request_.generation, stage, std::chrono::steady_clock::now() - start);
}

void StillPass::decode() {
  if (stale()) return;
  const QSize pixels = request_.pixels;
  QImage image;
  timed(StillStage::decode, [&] {
    auto answer = images_->answer(request_.work, std::max(pixels.width(), pixels.height()), false, stop_);
    undecodable_ = answer.failure == ImageRequests::Failure::undecodable;
    image = std::move(answer.image);
  });
  if (!image.isNull()) timed(StillStage::turn, [&] { turned_ = WallpaperComposer::rotated(image, request_.turns); });
  matte_ = request_.background ? *request_.background
           : !turned_.isNull() ? WallpaperComposer::edgeColor(turned_)
                               : WallpaperComposer::defaultMatte();
}

void StillPass::compose() {
  const auto& r = request_;
  QImage picture;
  QColor matte = matte_;
  bool fromStill = false;
  if (!still_.isNull() && !stale()) {
    QImage turned;
    timed(StillStage::turn, [&] { turned = WallpaperComposer::rotated(still_, r.turns); });
    if (!turned.isNull() && !stale()) {
      matte = r.background ? *r.background : WallpaperComposer::edgeColor(turned);
      if (r.placement.as<Placement::FullBleed>()) {
        picture = turned;
      } else {
        timed(StillStage::compose, [&] { picture = composeFor(turned, r.placement, r.pixels, matte); });
      }
      fromStill = !picture.isNull();
    }
  }
  if (picture.isNull() && !r.highQuality && !turned_.isNull() && !stale()) {
    matte = matte_;
    timed(StillStage::compose, [&] { picture = composeFor(turned_, r.placement, r.pixels, matte); });
  }
  // Checked before the costly encode: a newer render makes this one moot.
  if (!picture.isNull() && !stale()) {
    std::optional<QByteArray> data;
    timed(StillStage::encode, [&] { data = WallpaperComposer::jpegData(picture, jpegQuality); });
    if (data && !stale()) {
      file_ = r.folder / fileName(r.key, r.work.id, r.placement, r.turns, r.highQuality, r.pixels, matte, fromStill);
      timed(StillStage::write, [&] { written_ = writeAtomically(file_, *data); });
      if (written_) picture_ = picture;
    }
  }
  matte_ = matte;
  // Large images are freed here, off the GUI thread.
  turned_ = QImage();
  still_ = QImage();
}

QSize StillPass::renderSize(const Placement& placement, QSize screen, int turns) {
  QSize size = screen;
  if (auto* f = placement.as<Placement::Framed>()) {
    const Rect art =
        WallpaperComposer::artRect(f->ratio, Rect{0, 0, double(screen.width()), double(screen.height())}, f->framing);
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

std::string StillPass::fileName(const QString& key, const std::string& artworkID, const Placement& placement, int turns,
                                bool highQuality, QSize pixelSize, const QColor& matte, bool fromRenderedStill) {
  // Everything that changes the picture is in the name: desktops cache
  // pictures by path.
  const QString text = QString::fromStdString(artworkID) + placementText(placement) + QString::number(turns) +
                       (highQuality ? QStringLiteral("hq") : QString()) +
                       QStringLiteral("@%1x%2").arg(pixelSize.width()).arg(pixelSize.height()) + colourText(matte) +
                       (fromRenderedStill ? QStringLiteral("rendered") : QString());
  return key.toStdString() + "-" + MediaCache::key(text.toStdString()) + ".jpg";
}

}  // namespace tavolune
