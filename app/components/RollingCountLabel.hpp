#pragma once
// A one-line label of a count and the words after it ("5 generative series
// not measured yet") whose count rolls to a new value. Its text() stays the
// whole line. GUI thread only.

#include "app/style/Motion.hpp"

#include <QLabel>

namespace tavolune {

class RollingCountLabel final : public QLabel {
  Q_OBJECT
 public:
  RollingCountLabel(QString suffix, QWidget* parent = nullptr);

  // The first count shows at once; later ones roll.
  void setCount(long long count);
  bool isRolling() const { return number_.isRolling(); }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QString suffix_;
  bool counted_ = false;
  RollingNumber number_{this};
};

}  // namespace tavolune
