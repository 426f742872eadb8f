#pragma once
// A word-wrapped plain-text label of at most a number of lines: a longer
// text ends its last shown line with "…", laid out again as the width
// changes. text() is what shows; fullText() what was given. GUI thread only.

#include <QLabel>

namespace tavolune {

class LimitedText final : public QLabel {
  Q_OBJECT
 public:
  explicit LimitedText(int maxLines, QWidget* parent = nullptr);

  void setFullText(const QString& text);
  const QString& fullText() const { return full_; }

  // The text as it shows in that many lines of that width and font.
  static QString limited(const QString& text, const QFont& font, int width, int maxLines);

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void relayout();

  int maxLines_;
  QString full_;
};

}  // namespace tavolune
