#include "app/shell/MenuBarExtra.hpp"

#include "app/model/MenuBarIcon.hpp"
#include "app/platform/TrayHostWatch.hpp"
#include "app/shell/PopoverHost.hpp"

#include <QGuiApplication>
#include <QSystemTrayIcon>

namespace tavolune {

MenuBarExtra::MenuBarExtra(TrayHostWatch& tray, std::function<QWidget*()> content, QObject* parent)
    : QObject(parent), tray_(tray), content_(std::move(content)) {
  connect(&tray_, &TrayHostWatch::availableChanged, this, &MenuBarExtra::hostChanged);
  if (tray_.available()) hostChanged(true);
  // A light or dark desktop comes as a change of the application's palette.
  // Qt 6.4 tells only the application object (which an event filter would
  // hear beside every event of every object) and this signal; its
  // replacement, the style hints' colour scheme, comes with 6.5.
  if (!qGuiApp) return;
  QT_WARNING_PUSH
  QT_WARNING_DISABLE_DEPRECATED
  connect(qGuiApp, &QGuiApplication::paletteChanged, this, [this] {
    if (icon_) icon_->setIcon(MenuBarIcon::icon(playing_));
  });
  QT_WARNING_POP
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
