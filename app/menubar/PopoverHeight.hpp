#pragma once
// Keeps a frameless popup as tall as its content. The content is laid out
// at its own height at once; the window's height follows it with the
// popover's layout curve (0.35 s ease-in-out) while the popup is open, and
// at once while it is shut or where motion is reduced. The edge at the tray
// stays put: the top when the popup hangs below its icon, the bottom when it
// opens upwards; the content sits against that edge, so the part near the
// tray holds still while the far edge moves. The content's parts that the
// new layout moves are drawn from where they showed to their new places on
// the same curve, so they move with the edge instead of jumping; the layout
// keeps them where they land, so that a layout pass on the way moves
// nothing (a part that comes fades in at its place). No timer runs once the height has
// landed, nor while the popup is hidden. GUI thread only.

#include "app/style/Motion.hpp"

#include <QObject>
#include <QPointer>
#include <QRect>

#include <utility>
#include <vector>

class QWidget;

namespace tavolune {

class PopoverHeight final : public QObject {
  Q_OBJECT
 public:
  static Curve curve() { return Curve::timed(0.35, Ease::inOut); }

  // The content is made a child of the window; the window owns this.
  PopoverHeight(QWidget* window, QWidget* content);

  // The window and content at the content's height now (before showing).
  void fitNow();
  // The height the content asks for at the window's width, as laid out last.
  int wantedHeight() const;
  bool isMoving() const { return height_.isMoving(); }
  // Where a part of the content shows now, on its way or at rest.
  QRect shownGeometry(const QWidget* part) const;

 signals:
  // The window's height has come to rest.
  void settled();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // A part of the content, its place kept from the edge the content sits
  // against (the top, or the bottom when anchored there).
  struct Part {
    QPointer<QWidget> widget;
    QRect from;  // to where the layout has it now
  };
  void follow();
  void apply(double height);
  void placeContent();
  // Where the content's shown parts are now.
  std::vector<std::pair<QPointer<QWidget>, QRect>> partsNow() const;
  // The content laid out, parts on their way redrawn; then its height.
  int laidOutHeight();
  void moveParts(double progress);
  // Parts drawn where the layout has them again.
  void endParts();
  // How far the height has come, 0 to 1.
  double progress() const;

  QWidget* window_;
  QPointer<QWidget> content_;
  MotionValue height_;
  bool bottomAnchored_ = false;
  int contentHeight_ = 0;
  double startHeight_ = 0;
  std::vector<Part> parts_;  // those on their way
  // Where the parts show: a layout run before the height follows (within
  // the same turn, never painted) does not move where they come from.
  std::vector<std::pair<QPointer<QWidget>, QRect>> shown_;
  int shownHeight_ = 0;  // the content's height they show in
};

}  // namespace tavolune
