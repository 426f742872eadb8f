#pragma once
// A short text on a filled capsule: the base of the chain, media and test
// badges. Paints itself; takes no input. The look can also be painted
// without a widget (grid cells). GUI thread only.

#include <QColor>
#include <QFont>
#include <QPainter>
#include <QString>
#include <QWidget>

namespace tavolune {

class CapsuleBadge : public QWidget {
  Q_OBJECT
 public:
  explicit CapsuleBadge(QWidget* parent = nullptr);

  QString text() const { return look_.text; }
  QColor foreground() const { return look_.foreground; }
  QColor background() const { return look_.background; }
  bool showsPlayMark() const { return look_.playMark; }

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override { return sizeHint(); }

  struct Look {
    QString text;
    QFont font;
    QColor foreground;
    QColor background;
    double verticalPadding = 2;
    bool playMark = false;
  };
  // The capsule of `look` drawn into `r` (its size from size()), as the
  // widget paints itself.
  static void paint(QPainter& painter, const QRectF& r, const Look& look);
  static QSizeF size(const Look& look);

 protected:
  void setLook(Look look);
  void paintEvent(QPaintEvent* event) override;

 private:
  static constexpr double horizontalPadding = 5;
  static constexpr double markSize = 6;
  static constexpr double markSpacing = 2;

  Look look_;
};

// The badges' text font: bold, `pixelSize` px (the Parts' rounded design has
// no counterpart in Qt's system font).
QFont badgeFont(int pixelSize);

}  // namespace tavolune
