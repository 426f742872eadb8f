#include "app/settings/SettingsView.hpp"

#include "app/model/SettingsState.hpp"
#include "app/model/WindowManager.hpp"
#include "app/settings/AboutFooter.hpp"
#include "app/settings/DisplaySettings.hpp"
#include "app/settings/GeneralSettings.hpp"
#include "app/settings/ScreenSaverSettings.hpp"
#include "app/style/Symbols.hpp"

#include <QTabWidget>
#include <QVBoxLayout>

namespace tavolune {

const QString SettingsView::windowID = QStringLiteral("settings");

SettingsView::SettingsView(const SettingsServices& services, SettingsState& state, QWidget* parent)
    : QWidget(parent), state_(state), tabs_(new QTabWidget(this)) {
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  tabs_->setDocumentMode(true);
  general_ = new GeneralSettings(services, tabs_);
  display_ = new DisplaySettings(services.model, services.desktop, tabs_);
  screenSaver_ = new ScreenSaverSettings(services, tabs_);
  // In the order of SettingsTab.
  tabs_->addTab(general_, Symbols::icon("gearshape"), tr("General"));
  tabs_->addTab(display_, Symbols::icon("photo.artframe"), tr("Display"));
  tabs_->addTab(screenSaver_, Symbols::icon("sparkles.tv"), tr("Screen Saver"));
  column->addWidget(tabs_, 1);
  footer_ = new AboutFooter(services, this);
  column->addWidget(footer_);

  showTab(state_.tab());
  connect(&state_, &SettingsState::tabChanged, this, &SettingsView::showTab);
  connect(tabs_, &QTabWidget::currentChanged, this, [this](int index) {
    // -1 while the tabs are taken down: no tab the user picked.
    if (index >= 0 && index < tabs_->count()) state_.setTab(static_cast<SettingsTab>(index));
  });
}

SettingsTab SettingsView::tab() const { return static_cast<SettingsTab>(tabs_->currentIndex()); }

void SettingsView::showTab(SettingsTab tab) { tabs_->setCurrentIndex(int(tab)); }

void SettingsView::registerWindow(WindowManager& windows, const SettingsServices& services) {
  QObject::connect(&windows, &WindowManager::settingsTabRequested, &windows, [](const QString& tab) {
    SettingsState::shared().setTab(settingsTab(tab.toStdString()).value_or(SettingsTab::general));
  });
  windows.registerContent(windowID, [services] {
    return static_cast<QWidget*>(new SettingsView(services, SettingsState::shared()));
  });
}

}  // namespace tavolune
