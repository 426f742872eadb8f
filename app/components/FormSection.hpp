#pragma once
// One section of a grouped form: a header line, a rounded card holding rows
// separated by hairlines, and a footer note. The card is painted; rows are
// the caller's widgets. GUI thread only.

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>
#include <QWidget>

namespace tavolune {

class FormSection final : public QWidget {
  Q_OBJECT
 public:
  static constexpr int cornerRadius = 8;
  static constexpr int rowPadding = 10;

  explicit FormSection(const QString& header, QWidget* parent = nullptr);

  // The header's row: its title first; callers append a spacer and controls.
  QHBoxLayout& headerRow() { return *headerRow_; }
  void setFooter(const QString& text);
  // Appends a row to the card, below a hairline when it is not the first.
  void addRow(QWidget* row);
  QWidget& card() { return *card_; }

 private:
  QHBoxLayout* headerRow_;
  QWidget* card_;
  QVBoxLayout* rows_;
  QLabel* footer_;
};

}  // namespace tavolune
