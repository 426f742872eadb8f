#pragma once
// The inspector's "Format" row for a generative work: what measuring found
// about its series (a fixed ratio, a responsive page, or a format that
// cannot be measured), the background colour the mat reuses, and a button
// to measure the series (again). Progress follows the series, so two
// editions show the same row and a row built mid-measurement shows it too.
// Empty and hidden for other kinds. GUI thread only.

#include "app/inspector/InspectorRow.hpp"
#include "core/model/Artwork.hpp"

#include <QColor>
#include <QLabel>
#include <QToolButton>
#include <QWidget>

#include <optional>

namespace tavolune {

class AppModel;
class SeriesMeasuring;
class Spinner;

class FormatInfo final : public QWidget {
  Q_OBJECT
 public:
  static constexpr int swatchSide = 10;

  FormatInfo(AppModel& model, const Artwork& artwork, QWidget* parent = nullptr);

  static bool appliesTo(const Artwork& artwork) { return artwork.mediaKind == MediaKind::generative; }
  void setArtwork(const Artwork& artwork);

  bool isMeasuring() const;
  // What the row shows now, for tests and the accessibility tree.
  QString stateText() const;
  std::optional<QColor> swatch() const;
  bool showsSpinner() const;
  QToolButton& measureButton() const { return *button_; }
  InspectorRow& row() const { return *row_; }

 private:
  void refresh();
  void measure();

  AppModel& model_;
  SeriesMeasuring& measuring_;
  Artwork artwork_;
  InspectorRow* row_;
  QWidget* swatch_;
  QLabel* text_;
  Spinner* spinner_;
  QToolButton* button_;
};

}  // namespace tavolune
