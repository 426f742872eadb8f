#include "app/shell/AppDelegate.hpp"

#include "app/model/AppModel.hpp"
#include "app/model/WindowManager.hpp"
#include "app/platform/TrayHostWatch.hpp"
#include "app/shell/DefaultsMigration.hpp"
#include "app/shell/QuitSignals.hpp"
#include "app/style/WindowIcon.hpp"

#include <QApplication>
#include <QIcon>

namespace tavolune {

namespace {
void run(const std::function<void()>& hook) {
  if (hook) hook();
}
}  // namespace

AppDelegate::AppDelegate(AppModel& model, WindowManager& windows, const TrayHostWatch* tray,
                         LaunchSwitches switches, Hooks hooks, QObject* parent)
    : QObject(parent),
      model_(model),
      windows_(windows),
      tray_(tray),
      switches_(switches),
      hooks_(std::move(hooks)) {
  connect(qApp, &QCoreApplication::aboutToQuit, this, &AppDelegate::applicationWillTerminate);
}

QString AppDelegate::tabName(SettingsTab tab) {
  const std::string_view name = rawValue(tab);
  return QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
}

void AppDelegate::applicationDidFinishLaunching() {
  DefaultsMigration::migrateTileSize();
  const QIcon icon = renderedWindowIcon(QStringLiteral(":/tavolune/icons/tavolune.svg"));
  if (!icon.isNull()) QApplication::setWindowIcon(icon);

  run(hooks_.prepareRules);
  if (model_.isLoaded()) {
    // A queued call keeps the order of a load that finishes later.
    QMetaObject::invokeMethod(this, &AppDelegate::afterLoad, Qt::QueuedConnection);
    return;
  }
  connect(&model_, &AppModel::loadedChanged, this, &AppDelegate::afterLoad, Qt::SingleShotConnection);
  model_.load();
}

void AppDelegate::afterLoad() {
  if (terminated_) return;
  if (switches_.uiPreview) {
    run(hooks_.refreshScreens);
    const auto pool = model_.state().desktopPool();
    const QString first = pool.empty() ? QString() : QString::fromStdString(pool.front()->id);
    windows_.showUIPreview(first, tabName(switches_.settingsTab));
    if (switches_.screenSaver) run(hooks_.showScreenSaver);
    emit launched();
    return;
  }
  run(hooks_.startDesktop);
  run(hooks_.touchUpdater);
  if (model_.state().settings.hasCompletedOnboarding) {
    model_.walletSync().syncStale();
  } else {
    windows_.showWelcome();
  }
  emit launched();
}

void AppDelegate::applicationShouldHandleReopen() {
  windows_.showLibrary();
  if (!tray_ || !tray_->available()) windows_.show(QStringLiteral("menu"));
}

void AppDelegate::applicationWillTerminate() {
  if (terminated_) return;
  terminated_ = true;
  run(hooks_.shutdownDesktop);
  model_.flush();
}

void AppDelegate::quitOn(QuitSignals& quitSignals) {
  connect(&quitSignals, &QuitSignals::quitRequested, this, [] { QCoreApplication::quit(); });
}

}  // namespace tavolune
