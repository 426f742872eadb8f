#pragma once
// The tray icon's popover: a frameless popup 320 pixels wide holding the
// menu's content, placed at the tray icon (below a top panel, above a
// bottom one) or at the pointer when the tray tells no position. Built once
// and kept; a click on the icon that just closed it does not open it again.
// GUI thread only.

#include <QElapsedTimer>
#include <QRect>
#include <QWidget>

namespace tavolune {

class PopoverHeight;

class PopoverHost final : public QWidget {
  Q_OBJECT

 public:
  static constexpr int popoverWidth = 320;
  // A click on the icon closes the popup first (a click outside it); the
  // icon's own report of that click comes within this time.
  static constexpr qint64 reopenGuardMs = 300;

  // Takes ownership of the content.
  explicit PopoverHost(QWidget* content, QWidget* parent = nullptr);

  // Opens at the icon's geometry (global, empty when unknown), or closes
  // the popup when it is open.
  void toggle(const QRect& iconGeometry);
  // Where a popup of that size goes for an icon (or the pointer when the
  // icon's geometry is empty), kept inside the screen's available area.
  static QPoint placement(const QRect& iconGeometry, const QSize& size, const QPoint& pointer,
                          const QRect& available);

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  QElapsedTimer sinceHidden_;
  // Where toggle() asked to open; placed once the content has refreshed.
  QRect iconGeometry_;
  QPoint pointer_;
  bool placeOnShow_ = false;
  PopoverHeight* height_ = nullptr;
};

}  // namespace tavolune
