#pragma once
// One work over the whole library window on a darkened backdrop, with its
// title, artist, My Selection membership and the keyboard hints. Arrow keys
// step through the works in the grid's order (stopping at both ends, not
// repeating while held); Return shows the work on every display; S toggles
// it in My Selection; Space, Escape or a click close it. GUI thread only;
// the still loads on the pool.

#include "app/components/ImageServices.hpp"
#include "core/model/Artwork.hpp"

#include <QWidget>

#include <functional>

class QLabel;

namespace tavolune {

class AppModel;
class ArtworkImage;
class LibraryWindowState;

class LargePreview final : public QWidget {
  Q_OBJECT
 public:
  static constexpr int stillPixels = 2400;
  static constexpr double backdropOpacity = 0.88;
  static constexpr int padding = 40;
  static constexpr int spacing = 16;
  static inline const QString hints =
      QStringLiteral("← → Browse · ⏎ Show Now · S My Selection · Space Close");

  struct Services {
    AppModel& model;
    ImageServices images;
    // Puts the work on every display.
    std::function<void(const Artwork&)> show;
  };

  LargePreview(Services services, LibraryWindowState& windowState, const Artwork& artwork,
               QWidget* parent = nullptr);

  const Artwork& artwork() const { return artwork_; }
  ArtworkImage& image() const { return *image_; }
  bool showsInSelection() const;

  // A step of -1 or +1 through the listed works; false when the key is not
  // the preview's (nothing listed, or this work is not among them).
  bool step(int by);
  void toggleSelection();

 protected:
  bool event(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void refresh();

  Services services_;
  LibraryWindowState& windowState_;
  Artwork artwork_;
  ArtworkImage* image_;
  QLabel* title_;
  QLabel* artist_;
  QWidget* inSelection_;
};

}  // namespace tavolune
