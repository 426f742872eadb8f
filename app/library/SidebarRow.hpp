#pragma once
// One painted row of the library sidebar: symbol, title (elided in the
// middle), an optional count in small monospaced digits and, for a wallet
// that syncs, a small spinner before the count. Clicking selects it. The
// rows make a list for the keyboard (Up and Down move between the rows on
// show, Return or Space chooses one) and for assistive technology (a list
// item named by its title and count). GUI thread only.

#include "app/style/Motion.hpp"

#include <QString>
#include <QWidget>

#include <optional>

namespace tavolune {

class Spinner;

class SidebarRow final : public QWidget {
  Q_OBJECT
 public:
  static constexpr int height = 28;
  // The object name of the widget that holds the rows: a list for
  // assistive technology, and the bounds of the arrow keys.
  static constexpr const char* listName = "sidebar.rows";
  // Describes the rows and their list to assistive technology; before the
  // list is made, as an interface once asked for is kept.
  static void describeForAssistiveTechnology();
  static constexpr int iconSize = 16;

  SidebarRow(QString symbol, QString title, QWidget* parent = nullptr);

  void setTitle(const QString& title);
  void setCount(std::optional<std::size_t> count);
  void setSelected(bool selected);
  void setSecondary(bool secondary);
  void setSyncing(bool syncing);
  // A plain-text tool tip: the badge's while there is one, else the row's.
  void setHelp(const QString& text);
  // A small accent symbol before the count (none when empty).
  void setBadge(const QString& symbol);
  // The accent background of a row that a drag hovers over.
  void setTargeted(bool targeted);

  const QString& title() const { return title_; }
  const QString& badge() const { return badge_; }
  bool isTargeted() const { return targeted_; }
  std::optional<std::size_t> count() const { return count_; }
  bool isSelected() const { return selected_; }
  bool isSyncing() const;

  QSize sizeHint() const override { return {200, height}; }
  // Where the badge is drawn (empty without one).
  QRect badgeRect() const;

 signals:
  void clicked();

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  int countWidth() const;
  void placeSpinner();
  void nameForAssistiveTechnology();
  // The row on show `step` rows above (negative) or below this one.
  SidebarRow* neighbour(int step) const;

  QString symbol_;
  QString title_;
  std::optional<std::size_t> count_;
  RollingNumber rolling_{this};  // the count rolls to a new value (spring 0.5, 0.85)
  bool selected_ = false;
  bool secondary_ = false;
  QString badge_;
  bool targeted_ = false;
  Spinner* spinner_;
};

}  // namespace tavolune
