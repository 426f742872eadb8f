#pragma once
// A label style picked at run time: title and icon (the wide form) or the
// icon alone (the compact form). Switching it changes how a button draws its
// label, never which controls there are. GUI thread only.

#include <QAbstractButton>
#include <QToolButton>

namespace tavolune {

class AnyLabelStyle {
 public:
  static AnyLabelStyle titleAndIcon() { return AnyLabelStyle(Qt::ToolButtonTextBesideIcon); }
  static AnyLabelStyle iconOnly() { return AnyLabelStyle(Qt::ToolButtonIconOnly); }

  void apply(QToolButton& button) const { button.setToolButtonStyle(style_); }
  Qt::ToolButtonStyle style() const { return style_; }
  friend bool operator==(const AnyLabelStyle&, const AnyLabelStyle&) = default;

 private:
  explicit AnyLabelStyle(Qt::ToolButtonStyle style) : style_(style) {}
  Qt::ToolButtonStyle style_;
};

}  // namespace tavolune
