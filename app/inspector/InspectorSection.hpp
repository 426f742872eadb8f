#pragma once
// A titled card of the inspector: the heading, then the rows stacked on a
// rounded card with a hairline between each two shown rows; a hidden row
// takes no place and gets no hairline. Holds no state of its own. GUI
// thread only.

#include <QLabel>
#include <QVBoxLayout>
#include <QWidget>

#include <vector>

namespace tavolune {

class InspectorSection final : public QWidget {
  Q_OBJECT
 public:
  static constexpr int spacing = 6;
  static constexpr int cardPadding = 12;
  static constexpr double cornerRadius = 8;

  explicit InspectorSection(const QString& title, QWidget* parent = nullptr);

  // Appends a row; the section follows its visibility from then on.
  void addRow(QWidget* row);

  QLabel& title() const { return *title_; }
  QWidget& card() const { return *card_; }
  // The hairlines shown now, top to bottom.
  int shownDividers() const;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void placeDividers();

  QLabel* title_;
  QWidget* card_;
  QVBoxLayout* rows_;
  std::vector<QWidget*> rowWidgets_;
  std::vector<QWidget*> dividers_;  // dividers_[i] stands above rowWidgets_[i]
};

}  // namespace tavolune
