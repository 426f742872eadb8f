#include "app/shell/AppCommands.hpp"

#include "app/model/WindowManager.hpp"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

namespace tavolune {

AppCommands::AppCommands(WindowManager& windows, std::function<void()> quit, QObject* parent)
    : QObject(parent), settings_(QStringLiteral("Settings…")), quit_(QStringLiteral("Quit Tavolune")) {
  settings_.setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
  settings_.setShortcutContext(Qt::ApplicationShortcut);
  connect(&settings_, &QAction::triggered, this, [&windows] {
    // The popover would keep the keyboard from the window it opened.
    if (QWidget* popup = QApplication::activePopupWidget()) popup->close();
    windows.showSettings(QStringLiteral("general"));
  });
  quit_.setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
  quit_.setShortcutContext(Qt::ApplicationShortcut);
  connect(&quit_, &QAction::triggered, this, [quit = std::move(quit)] {
    if (quit) quit();
  });
  qApp->installEventFilter(this);
}

AppCommands::~AppCommands() { qApp->removeEventFilter(this); }

bool AppCommands::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return QObject::eventFilter(watched, event);
  // Seen first at the window, then at the widget it is passed on to: taken
  // at the first sight, it runs once.
  const QKeySequence pressed(static_cast<QKeyEvent*>(event)->keyCombination());
  for (QAction* command : {&settings_, &quit_}) {
    if (pressed != command->shortcut()) continue;
    command->trigger();
    return true;
  }
  return false;
}

}  // namespace tavolune
