#pragma once
// A full-width command row of the popover: symbol, title and, when it has
// one, a shortcut hint ("Ctrl+Q"). Under the pointer an enabled row fills
// with the accent and its text turns white; a disabled row neither lights
// up nor runs. The hint is only shown: the row binds no key. GUI thread only.

#include "app/menubar/PopoverButton.hpp"

#include <optional>
#include <string>

namespace tavolune {

class MenuRow final : public PopoverButton {
  Q_OBJECT
 public:
  MenuRow(const QString& title, std::string symbol, std::optional<QString> shortcut, QWidget* parent = nullptr);

  QString title() const { return text(); }
  const std::string& symbol() const { return symbol_; }
  // "Ctrl+" and the key, or nothing.
  std::optional<QString> shortcutHint() const;
  // Whether the row is drawn highlighted now.
  bool isHighlighted() const { return isHovered() && isEnabled(); }

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  std::string symbol_;
  std::optional<QString> shortcut_;
};

}  // namespace tavolune
