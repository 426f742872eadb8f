#pragma once
// One picture across every display, in root-window coordinates, for the
// desktops that take a single picture for all monitors (GNOME's spanned
// option, the X11 root pixmap). The record is GUI thread only; composing
// blocks (decoding and scaling) and is thread-safe.

#include "app/platform/WallpaperBackend.hpp"

#include <QColor>
#include <QImage>
#include <QRect>
#include <QString>

#include <map>
#include <optional>
#include <utility>
#include <vector>

namespace tavolune {

struct SpannedPiece {
  QRect geometry;  // root pixels
  QString file;    // empty: the fill alone
  QColor fill;
  QImage picture{};  // the file's picture, when the request brought it
};

class SpannedPicture {
 public:
  // Records the request's picture and answers every display's piece, in the
  // request's display order; displays that are gone are forgotten.
  std::vector<SpannedPiece> update(const WallpaperRequest& request);
  // The desktop confirmed showing the last update's picture, known to it as
  // `shown` (a file path, a pixmap id).
  void confirm(const QString& shown);
  // Whether `shown` is the picture last confirmed.
  bool isConfirmed(const QString& shown) const { return !shown.isEmpty() && shown == confirmed_; }
  // The display's file in the confirmed picture while the desktop still
  // shows that one; none for anything else, or a display not in it.
  std::optional<QString> fileShown(const QString& shown, const QString& key) const;

  // The union of the pieces, from the origin of root coordinates.
  static QRect bounds(const std::vector<SpannedPiece>& pieces);
  // Each piece's picture decoded at its size and drawn over its fill; black
  // where no display is. A picture that cannot be read leaves its fill.
  // Null for pieces with no area or an image too large to allocate.
  static QImage compose(const std::vector<SpannedPiece>& pieces, QSize rootSize);
  // The piece's picture at the size that fills its display, and the part of
  // it the display shows (its size is the piece's); null when the piece has
  // no picture or it cannot be read.
  static std::pair<QImage, QRect> filling(const SpannedPiece& piece);
  // A file name that changes whenever any piece's picture may have changed:
  // "spanned-" + 16 hexadecimal digits + ".jpg".
  static QString fileName(const std::vector<SpannedPiece>& pieces);

 private:
  std::map<QString, std::pair<QString, QColor>> byDisplay_;
  QString confirmed_;
  std::map<QString, QString> confirmedFiles_;
};

}  // namespace tavolune
