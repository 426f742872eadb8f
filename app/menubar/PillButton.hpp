#pragma once
// A capsule button with a symbol and a title and an on state (tinted with
// the accent while on), for the header's quick actions. Its help is the
// tool tip. GUI thread only.

#include "app/menubar/PopoverButton.hpp"

#include <string>

namespace tavolune {

class PillButton final : public PopoverButton {
  Q_OBJECT
 public:
  PillButton(const QString& title, std::string symbol, bool active, const QString& help, QWidget* parent = nullptr);

  void set(const QString& title, std::string symbol, bool active, const QString& help);
  QString title() const { return text(); }
  const std::string& symbol() const { return symbol_; }
  bool isActive() const { return active_; }
  QString help() const { return toolTip(); }

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override { return sizeHint(); }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  std::string symbol_;
  bool active_ = false;
};

}  // namespace tavolune
