#pragma once
// Text from the user or the network (titles, wallet labels, errors,
// contracts) shown exactly as written: Qt guesses rich text in labels and
// tool tips and reads "&" in button and menu titles as a shortcut mark.
// Pure; GUI thread only where widgets are touched.

#include <QLabel>
#include <QString>

namespace tavolune::plaintext {

// A label that never interprets markup.
inline QLabel* label(const QString& text, QWidget* parent = nullptr) {
  auto* l = new QLabel(parent);
  l->setTextFormat(Qt::PlainText);
  l->setText(text);
  return l;
}

// A tool tip that shows the text verbatim: escaped inside an explicit rich
// text wrapper, so neither markup nor entities are taken from it.
inline QString toolTip(const QString& text) {
  return text.isEmpty() ? QString() : QStringLiteral("<qt>") + text.toHtmlEscaped() + QStringLiteral("</qt>");
}

// A menu or button title: "&" doubled so it shows and marks no shortcut.
inline QString title(QString text) { return text.replace(QLatin1Char('&'), QStringLiteral("&&")); }

}  // namespace tavolune::plaintext
