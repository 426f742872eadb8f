#pragma once
// One artwork running inside a view: a live stage (web page, video or
// animated GIF over its still) fills it, and a corner of it tells the user
// that the work is loading, or that it failed and a still stands in. The
// best cached still shows at once, a larger one when it arrives; stage
// reports reach the view a turn of the event loop later. Video is painted
// by the stage when the player would be a native window, so that clipping
// parents cut it. GUI thread only; stills load on the pool.

#include "app/components/ImageServices.hpp"
#include "app/qt/ResultMailbox.hpp"
#include "app/stage/ArtStageView.hpp"
#include "core/model/Artwork.hpp"

#include <QLabel>
#include <QWidget>

#include <memory>
#include <optional>
#include <stop_token>
#include <string>

namespace tavolune {

class AppModel;
class Spinner;

class LiveArtView final : public QWidget {
  Q_OBJECT
 public:
  static constexpr int stillPixels = 1600;
  static constexpr int smallStillPixels = 520;
  static constexpr int spinnerPadding = 12;
  static constexpr int cardMargin = 10;

  LiveArtView(AppModel& model, ImageServices images, QWidget* parent = nullptr);
  // Stops the stage: its page, player or animation is torn down.
  ~LiveArtView() override;

  // Shows the work: the same one a stage already runs is left alone.
  void setArtwork(const Artwork& artwork);
  const std::optional<Artwork>& artwork() const { return artwork_; }

  const ArtStageView::Status& status() const { return status_; }
  ArtStageView& stage() const { return *stage_; }
  // The corner: a spinner while loading, the failure card after a failure.
  bool showsSpinner() const;
  // "Showing still: <message>" while the card shows, else empty.
  QString failureText() const;
  // Where the view's loads hand in their stills; closed when the view goes.
  std::shared_ptr<const ResultMailbox> results() const { return mailbox_; }

 signals:
  // A stage report reached the view.
  void statusChanged();

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void setStatus(const ArtStageView::Status& status);
  void stillLanded(const std::string& artworkID, const QImage& image);
  void takeAspect(const QImage& image);
  std::optional<QColor> seriesBackground(const Artwork& artwork) const;
  void placeCorner();

  AppModel& model_;
  ImageServices images_;
  ArtStageView* stage_;
  Spinner* spinner_;
  QWidget* card_;
  QLabel* failure_;
  std::optional<Artwork> artwork_;
  ArtStageView::Status status_;
  std::stop_source stop_;
  std::shared_ptr<ResultMailbox> mailbox_ = ResultMailbox::to(this);
};

}  // namespace tavolune
