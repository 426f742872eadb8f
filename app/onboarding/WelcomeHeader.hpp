#pragma once
// The welcome window's icon and title block, painted: full with the two
// lines under the title, or compact once a collection was found. Its
// entrance (scale, fade and a small rise) runs once each time it shows.
// GUI thread only.

#include <QVariantAnimation>
#include <QWidget>

namespace tavolune {

class WelcomeHeader final : public QWidget {
  Q_OBJECT
 public:
  static const QString title;
  static const QString tagline;
  static const QString description;

  explicit WelcomeHeader(QWidget* parent = nullptr);

  bool compact() const { return compact_; }
  void setCompact(bool compact);
  // 0 before the entrance, 1 after it.
  double appeared() const { return appeared_; }
  int iconSide() const { return compact_ ? 64 : 104; }
  int titleSize() const { return compact_ ? 28 : 40; }

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override { return sizeHint(); }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  QFont titleFont() const;
  QFont taglineFont() const;
  QFont descriptionFont() const;
  int spacing() const { return compact_ ? 8 : 12; }

  bool compact_ = false;
  double appeared_ = 0;
  QVariantAnimation entrance_;
};

}  // namespace tavolune
