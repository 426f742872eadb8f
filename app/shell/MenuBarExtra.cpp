#include "app/shell/MenuBarExtra.hpp"

#include "app/model/MenuBarIcon.hpp"
#include "app/platform/TrayHostWatch.hpp"
#include "app/shell/PopoverHost.hpp"

#include <QCoreApplication>
#include <QEvent>
#include <QSystemTrayIcon>

namespace tavolune {

MenuBarExtra::MenuBarExtra(TrayHostWatch& tray, std::function<QWidget*()> content, QObject* parent)
    : QObject(parent), tray_(tray), content_(std::move(content)) {
  connect(&tray_, &TrayHostWatch::availableChanged, this, &MenuBarExtra::hostChanged);
  if (tray_.available()) hostChanged(true);
  // The application hears of a light or dark desktop as a palette change.
  if (auto* app = QCoreApplication::instance()) app->installEventFilter(this);
}

bool MenuBarExtra::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::ApplicationPaletteChange && watched == QCoreApplication::instance() && icon_) {
    icon_->setIcon(MenuBarIcon::icon(playing_));
  }
  return QObject::eventFilter(watched, event);
}

MenuBarExtra::~MenuBarExtra() { delete popover_.data(); }

void MenuBarExtra::hostChanged(bool available) {
  // A host that went away took our item with it; the next one gets a new one.
  icon_.reset();
  if (!available) return;
  icon_ = std::make_unique<QSystemTrayIcon>(MenuBarIcon::icon(playing_));
  icon_->setToolTip(QStringLiteral("Tavolune"));
  connect(icon_.get(), &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
    if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::Context) togglePopover();
  });
  icon_->show();
  emit iconShown();
}

void MenuBarExtra::setLivePlaying(bool playing) {
  if (playing == playing_) return;
  playing_ = playing;
  if (icon_) icon_->setIcon(MenuBarIcon::icon(playing_));
}

PopoverHost* MenuBarExtra::popover() const { return popover_.data(); }

void MenuBarExtra::togglePopover() {
  if (!popover_) popover_ = new PopoverHost(content_ ? content_() : nullptr);
  popover_->toggle(icon_ ? icon_->geometry() : QRect());
}

}  // namespace tavolune
