#pragma once
// The label of a settings row: a white symbol on a small rounded tile of
// the row's colour, the title and an optional caption under it. GUI thread
// only.

#include <QColor>
#include <QLabel>
#include <QString>
#include <QWidget>

#include <optional>
#include <string_view>

namespace tavolune {

class RowLabel final : public QWidget {
  Q_OBJECT
 public:
  RowLabel(const QString& title, std::string_view symbol, const QColor& color,
           std::optional<QString> subtitle = std::nullopt, QWidget* parent = nullptr);

  QString title() const { return title_->text(); }
  // Empty when the row has none.
  QString subtitle() const;
  void setSubtitle(const QString& subtitle);

  // The row colours of the settings window.
  static QColor blue();
  static QColor indigo();
  static QColor teal();
  static QColor gray();
  static QColor green();
  static QColor orange();
  static QColor pink();
  static QColor cyan();
  static QColor purple();

 private:
  QLabel* title_;
  QLabel* subtitle_ = nullptr;
};

// A row of a settings section: the label at the left, the control at the right.
QWidget* settingsRow(QWidget* label, QWidget* control, QWidget* parent = nullptr);

}  // namespace tavolune
