#pragma once
// The base of the popover's own buttons: a painted QAbstractButton that
// knows whether the pointer is over it (only the pointer sets that) and
// repaints when it comes or goes. A changed symbol is replaced with a short
// shrink-and-grow cross-fade. GUI thread only.

#include "app/style/Motion.hpp"

#include <QAbstractButton>
#include <QPainter>

#include <string>

namespace tavolune {

class PopoverButton : public QAbstractButton {
  Q_OBJECT
 public:
  static constexpr double replaceSeconds = 0.25;

  explicit PopoverButton(QWidget* parent = nullptr);
  bool isHovered() const { return hover_; }
  bool isReplacingSymbol() const { return replace_.isMoving(); }

 protected:
  void enterEvent(QEnterEvent* event) override {
    hover_ = true;
    update();
    QAbstractButton::enterEvent(event);
  }
  void leaveEvent(QEvent* event) override {
    hover_ = false;
    update();
    QAbstractButton::leaveEvent(event);
  }

  // Call before showing another symbol; the old one leaves as the new comes.
  void replacingSymbol(const std::string& old);
  // Ends a replacement under way.
  void settleSymbol() { replace_.jumpTo(1); }
  // The symbol in a square, mid-replacement when one runs; scale grows it
  // about the square's centre (a bounce).
  void paintSymbol(QPainter& p, const QRectF& square, const std::string& symbol, const QColor& ink,
                   double scale = 1) const;

 private:
  bool hover_ = false;
  MotionValue replace_{1};
  std::string oldSymbol_;
};

}  // namespace tavolune
