#pragma once
// The transport's circular symbol button: 44 pixels across in its large
// form, else 34, a faint disc that darkens under the pointer; its help is
// both tool tip and accessible name. GUI thread only.

#include "app/menubar/PopoverButton.hpp"

#include <string>

namespace tavolune {

class RoundButton final : public PopoverButton {
  Q_OBJECT
 public:
  RoundButton(std::string symbol, bool large, const QString& help, QWidget* parent = nullptr);

  const std::string& symbol() const { return symbol_; }
  bool isLarge() const { return large_; }
  QString help() const { return toolTip(); }
  // The pause button turns into the play button and back.
  void setSymbol(std::string symbol, const QString& help, bool animated = true);

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  std::string symbol_;
  bool large_;
};

}  // namespace tavolune
