#pragma once
// The body of a settings tab: a scrolling column of form sections on the
// window's own background. GUI thread only.

#include <QFrame>
#include <QScrollArea>
#include <QVBoxLayout>
#include <QWidget>

namespace tavolune::settingsform {

// Fills pane with a scroll area and returns the column to add sections to.
inline QVBoxLayout* column(QWidget* pane) {
  auto* outer = new QVBoxLayout(pane);
  outer->setContentsMargins(0, 0, 0, 0);
  auto* scroll = new QScrollArea(pane);
  scroll->setFrameShape(QFrame::NoFrame);
  scroll->setWidgetResizable(true);
  scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  auto* content = new QWidget(scroll);
  content->setAutoFillBackground(false);
  scroll->viewport()->setAutoFillBackground(false);
  scroll->setWidget(content);
  outer->addWidget(scroll);
  auto* column = new QVBoxLayout(content);
  column->setContentsMargins(20, 16, 20, 16);
  column->setSpacing(18);
  return column;
}

}  // namespace tavolune::settingsform
