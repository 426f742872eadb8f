#pragma once
// The media badge of a tile: "GIF", "Video" or "Live", with a play mark on
// the accent colour when the work runs live on the desktop. GUI thread only.

#include "app/style/CapsuleBadge.hpp"
#include "core/model/MediaKind.hpp"

namespace tavolune {

class KindBadge final : public CapsuleBadge {
  Q_OBJECT
 public:
  KindBadge(MediaKind kind, bool animated, bool gif, QWidget* parent = nullptr);

  // The label looks at gif before the kind; the help text looks at
  // animated first.
  static QString label(MediaKind kind, bool gif);
  static QString helpText(MediaKind kind, bool animated, bool gif);
  // The accent of a running work comes from `palette`.
  static Look look(MediaKind kind, bool animated, bool gif, const QPalette& palette);

 protected:
  // The accent follows the palette (a theme switch).
  void changeEvent(QEvent* event) override;

 private:
  void applyLook();

  MediaKind kind_;
  bool animated_;
  bool gif_;
};

}  // namespace tavolune
