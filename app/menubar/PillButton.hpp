#pragma once
// A capsule button with a symbol and a title and an on state (tinted with
// the accent while on), for the header's quick actions. Its help is the
// tool tip. Turning on or off tints with a spring and bounces the symbol
// once; a new title cross-fades. GUI thread only.

#include "app/menubar/PopoverButton.hpp"

#include <string>

namespace tavolune {

class PillButton final : public PopoverButton {
  Q_OBJECT
 public:
  PillButton(const QString& title, std::string symbol, bool active, const QString& help, QWidget* parent = nullptr);

  // animated false: the new look shows at once.
  void set(const QString& title, std::string symbol, bool active, const QString& help, bool animated = true);
  QString title() const { return text(); }
  const std::string& symbol() const { return symbol_; }
  bool isActive() const { return active_; }
  QString help() const { return toolTip(); }
  bool isMoving() const { return tint_.isMoving() || bounce_.isMoving() || retitle_.isMoving() || isReplacingSymbol(); }

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override { return sizeHint(); }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  std::string symbol_;
  bool active_ = false;
  QString oldTitle_;
  MotionValue tint_{0};    // 0 off, 1 on
  MotionValue bounce_{1};  // the symbol's scale
  MotionValue retitle_{1};  // 0 the old title, 1 the new
};

}  // namespace tavolune
