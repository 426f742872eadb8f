#include "app/model/WindowManager.hpp"

#include <QCloseEvent>
#include <QSettings>
#include <QVBoxLayout>

namespace tavolune {
namespace {

QString settingsKey(const QString& id) { return QStringLiteral("tavolune.") + id; }

}  // namespace

const WindowManager::Definition* WindowManager::definition(const QString& id) {
  static const std::map<QString, Definition> table{
      {QStringLiteral("library"), {QStringLiteral("Tavolune"), {1180, 760}, true}},
      {QStringLiteral("settings"), {QStringLiteral("Tavolune Settings"), {580, 640}, false}},
      {QStringLiteral("welcome"), {QStringLiteral("Welcome"), {600, 580}, false}},
      {QStringLiteral("menu"), {QStringLiteral("Menu Preview"), {320, 640}, true}},
  };
  auto it = table.find(id);
  return it == table.end() ? nullptr : &it->second;
}

WindowManager::~WindowManager() {
  for (auto& [id, window] : windows_) {
    if (window) window->removeEventFilter(this);
  }
}

void WindowManager::registerContent(const QString& id, ContentFactory factory) {
  factories_[id] = std::move(factory);
}

QWidget* WindowManager::window(const QString& id) const {
  auto it = windows_.find(id);
  return it == windows_.end() ? nullptr : it->second.data();
}

QWidget* WindowManager::show(const QString& id) {
  if (QWidget* open = window(id)) {
    open->show();
    open->raise();
    open->activateWindow();
    return open;
  }
  const Definition* s = definition(id);
  auto factory = factories_.find(id);
  if (!s || factory == factories_.end() || !factory->second) return nullptr;

  auto* window = new QWidget(nullptr, Qt::Window);
  window->setAttribute(Qt::WA_DeleteOnClose);
  window->setObjectName(id);
  window->setWindowTitle(s->title);
  auto* layout = new QVBoxLayout(window);
  layout->setContentsMargins(0, 0, 0, 0);
  if (QWidget* content = factory->second()) layout->addWidget(content);

  if (s->resizable) {
    window->resize(s->size);
    const QByteArray saved = QSettings().value(settingsKey(id)).toByteArray();
    if (saved.isEmpty() || !window->restoreGeometry(saved)) window->resize(s->size);
  } else {
    // Fixed windows open at their own size whatever was saved, and cannot
    // be maximised or put in full screen.
    window->setFixedSize(s->size);
    window->setWindowFlag(Qt::WindowMaximizeButtonHint, false);
    window->setWindowFlag(Qt::WindowFullscreenButtonHint, false);
  }
  window->installEventFilter(this);
  windows_[id] = window;
  window->show();
  window->raise();
  window->activateWindow();
  return window;
}

QWidget* WindowManager::showLibrary(const QString& selecting) {
  if (!selecting.isEmpty()) emit librarySelectionRequested(selecting);
  return show(QStringLiteral("library"));
}

QWidget* WindowManager::showSettings(const QString& tab) {
  emit settingsTabRequested(tab);
  return show(QStringLiteral("settings"));
}

void WindowManager::showUIPreview(const QString& selecting, const QString& tab) {
  showLibrary(selecting);
  showSettings(tab);
  showWelcome();
  show(QStringLiteral("menu"));
}

bool WindowManager::hasContent(const QString& id) const {
  auto it = factories_.find(id);
  return it != factories_.end() && it->second;
}

void WindowManager::close(const QString& id) {
  if (QWidget* open = window(id)) open->close();
}

bool WindowManager::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Close) {
    auto* window = qobject_cast<QWidget*>(watched);
    const QString id = window ? window->objectName() : QString();
    if (window && windows_.contains(id) && windows_[id] == window) {
      if (definition(id) && definition(id)->resizable) QSettings().setValue(settingsKey(id), window->saveGeometry());
      forget(id);
    }
  }
  return QObject::eventFilter(watched, event);
}

void WindowManager::forget(const QString& id) {
  windows_.erase(id);
  if (windows_.empty()) emit lastWindowClosed();
}

}  // namespace tavolune
