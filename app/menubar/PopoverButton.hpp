#pragma once
// The base of the popover's own buttons: a painted QAbstractButton that
// knows whether the pointer is over it (only the pointer sets that) and
// repaints when it comes or goes. GUI thread only.

#include <QAbstractButton>

namespace tavolune {

class PopoverButton : public QAbstractButton {
  Q_OBJECT
 public:
  using QAbstractButton::QAbstractButton;
  bool isHovered() const { return hover_; }

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

 private:
  bool hover_ = false;
};

}  // namespace tavolune
