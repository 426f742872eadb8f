#pragma once
// A label of one line that cuts its text with "…" to the width it gets
// instead of growing; the text is shown verbatim. GUI thread only.

#include <QLabel>
#include <QResizeEvent>

namespace tavolune {

class OneLineLabel final : public QLabel {
  Q_OBJECT
 public:
  explicit OneLineLabel(QWidget* parent = nullptr) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
  }

  void setFullText(const QString& text) {
    if (text == full_ && !text.isEmpty()) return;
    full_ = text;
    elide();
  }
  const QString& fullText() const { return full_; }

  QSize minimumSizeHint() const override { return {0, QLabel::minimumSizeHint().height()}; }

 protected:
  void resizeEvent(QResizeEvent* event) override {
    QLabel::resizeEvent(event);
    elide();
  }

 private:
  void elide() {
    // Texts from the network may hold line breaks: one line all the same.
    QString line = full_;
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    setText(fontMetrics().elidedText(line, Qt::ElideRight, std::max(width(), 1)));
  }

  QString full_;
};

}  // namespace tavolune
