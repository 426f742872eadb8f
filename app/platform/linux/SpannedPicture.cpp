#include "app/platform/linux/SpannedPicture.hpp"

#include <QCryptographicHash>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>

#include <set>

namespace tavolune {

std::vector<SpannedPiece> SpannedPicture::update(const WallpaperRequest& request) {
  byDisplay_[request.display.key] = {request.file, request.fill};
  std::vector<Display> displays = request.displays;
  const bool listed = std::any_of(displays.begin(), displays.end(),
                                  [&](const Display& d) { return d.key == request.display.key; });
  if (!listed) displays.push_back(request.display);

  std::set<QString> present;
  std::vector<SpannedPiece> pieces;
  for (const auto& d : displays) {
    present.insert(d.key);
    auto it = byDisplay_.find(d.key);
    if (it == byDisplay_.end()) {
      pieces.push_back({d.geometry, {}, Qt::black});
    } else {
      pieces.push_back({d.geometry, it->second.first, it->second.second,
                        d.key == request.display.key ? request.picture : QImage()});
    }
  }
  std::erase_if(byDisplay_, [&](const auto& entry) { return !present.contains(entry.first); });
  return pieces;
}

void SpannedPicture::confirm(const QString& shown) {
  confirmed_ = shown;
  confirmedFiles_.clear();
  for (const auto& [key, picture] : byDisplay_) confirmedFiles_.emplace(key, picture.first);
}

std::optional<QString> SpannedPicture::fileShown(const QString& shown, const QString& key) const {
  if (!isConfirmed(shown)) return std::nullopt;
  const auto it = confirmedFiles_.find(key);
  if (it == confirmedFiles_.end()) return std::nullopt;
  return it->second;
}

QRect SpannedPicture::bounds(const std::vector<SpannedPiece>& pieces) {
  QRect all(0, 0, 0, 0);
  for (const auto& p : pieces) all = all.united(p.geometry);
  return all;
}

std::pair<QImage, QRect> SpannedPicture::filling(const SpannedPiece& p) {
  if (p.geometry.isEmpty() || p.file.isEmpty()) return {};
  QImage image = p.picture;
  QSize scaled;
  if (!image.isNull()) {
    scaled = image.size().scaled(p.geometry.size(), Qt::KeepAspectRatioByExpanding);
  } else {
    QImageReader reader(p.file);
    reader.setAutoTransform(true);
    const QSize size = reader.size();
    if (size.isEmpty()) return {};
    // Fill the display: JPEG scales while decoding, the rest is a crop.
    scaled = size.scaled(p.geometry.size(), Qt::KeepAspectRatioByExpanding);
    reader.setScaledSize(scaled);
    image = reader.read();
  }
  if (image.isNull()) return {};
  if (image.size() != scaled) image = image.scaled(scaled, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  const QRect source((scaled.width() - p.geometry.width()) / 2, (scaled.height() - p.geometry.height()) / 2,
                     p.geometry.width(), p.geometry.height());
  return {std::move(image), source};
}

QImage SpannedPicture::compose(const std::vector<SpannedPiece>& pieces, QSize rootSize) {
  if (rootSize.isEmpty()) return {};
  QImage out(rootSize, QImage::Format_RGB32);
  if (out.isNull()) return {};
  out.fill(Qt::black);
  QPainter painter(&out);
  for (const auto& p : pieces) {
    if (p.geometry.isEmpty()) continue;
    painter.fillRect(p.geometry, p.fill.isValid() ? p.fill : QColor(Qt::black));
    const auto [image, source] = filling(p);
    if (!image.isNull()) painter.drawImage(p.geometry, image, source);
  }
  return out;
}

QString SpannedPicture::fileName(const std::vector<SpannedPiece>& pieces) {
  QCryptographicHash hash(QCryptographicHash::Sha256);
  for (const auto& p : pieces) {
    const QFileInfo info(p.file);
    const QString line = QStringLiteral("%1,%2,%3,%4|%5|%6|%7|%8\n")
                             .arg(p.geometry.x())
                             .arg(p.geometry.y())
                             .arg(p.geometry.width())
                             .arg(p.geometry.height())
                             .arg(p.file)
                             .arg(info.exists() ? info.size() : -1)
                             .arg(info.exists() ? info.lastModified().toMSecsSinceEpoch() : 0)
                             .arg(p.fill.name(QColor::HexArgb));
    hash.addData(line.toUtf8());
  }
  return QStringLiteral("spanned-") + QString::fromLatin1(hash.result().toHex().left(16)) + QStringLiteral(".jpg");
}

}  // namespace tavolune
