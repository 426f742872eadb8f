#pragma once
// A one-pixel hairline between rows, in the text colour at low opacity.
// GUI thread only.

#include <QPainter>
#include <QWidget>

namespace tavolune {

class Divider final : public QWidget {
 public:
  explicit Divider(QWidget* parent = nullptr, int inset = 0) : QWidget(parent), inset_(inset) {
    setFixedHeight(1);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  }
  static QColor color(const QPalette& palette) {
    QColor c = palette.color(QPalette::WindowText);
    c.setAlphaF(0.12);
    return c;
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.fillRect(QRect(inset_, 0, width() - inset_, 1), color(palette()));
  }

 private:
  int inset_;
};

}  // namespace tavolune
