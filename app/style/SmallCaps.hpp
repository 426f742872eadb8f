#pragma once
// A small heading: the text in capitals (full Unicode mapping), in the
// label font with 1.2 px tracking. GUI thread only.

#include <QColor>
#include <QLabel>

namespace tavolune {

class SmallCaps final : public QLabel {
  Q_OBJECT
 public:
  SmallCaps(const QString& text, const QColor& color, QWidget* parent = nullptr);

  static QString displayText(const QString& text);
};

}  // namespace tavolune
