#pragma once
// One labelled line of an inspector card: the label on the left, the
// caller's control or value pushed to the right, at least 12 points apart,
// never lower than 34 points. Holds no state. GUI thread only.

#include <QLabel>
#include <QWidget>

namespace tavolune {

class InspectorRow final : public QWidget {
  Q_OBJECT
 public:
  static constexpr int minimumHeight = 34;
  static constexpr int spacing = 8;
  static constexpr int minimumGap = 12;
  static constexpr int maximumFixedLabel = 120;

  // The row takes ownership of content (which may be null for now).
  InspectorRow(const QString& label, QWidget* content, QWidget* parent = nullptr);

  QLabel& label() const { return *label_; }
  QWidget* content() const { return content_; }

 private:
  QLabel* label_;
  QWidget* content_;
};

}  // namespace tavolune
