#include "app/model/WindowManager.hpp"

#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QScreen>
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

WindowManager::WindowManager(QObject* parent) : QObject(parent) {
  places_.setSingleShot(true);
  places_.setTimerType(Qt::CoarseTimer);
  places_.setInterval(placesDelay);
  connect(&places_, &QTimer::timeout, this, &WindowManager::keepPlaces);
  // Ctrl+Q, "Quit Tavolune", a signal or the session's end: no window is closed first.
  if (auto* app = QCoreApplication::instance()) {
    connect(app, &QCoreApplication::aboutToQuit, this, &WindowManager::keepPlaces);
  }
}

WindowManager::~WindowManager() {
  keepPlaces();
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
    bringForward(*open);
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

  if (!s->resizable) {
    // Fixed windows open at their own size whatever was saved, and cannot
    // be maximised or put in full screen.
    window->setFixedSize(s->size);
    window->setWindowFlag(Qt::WindowMaximizeButtonHint, false);
    window->setWindowFlag(Qt::WindowFullscreenButtonHint, false);
  }
  place(*window, id, *s);
  paintBackground(*window);
  window->installEventFilter(this);
  windows_[id] = window;
  bringForward(*window);
  return window;
}

void WindowManager::bringForward(QWidget& window) {
  // Out of the taskbar as it went in: maximised stays maximised, and a
  // normal window comes back at the size and place it had.
  if (window.windowState() & Qt::WindowMinimized) window.setWindowState(window.windowState() & ~Qt::WindowMinimized);
  window.show();
  window.raise();
  window.activateWindow();
}

QWidget* WindowManager::showLibrary(const QString& selecting) {
  if (!selecting.isEmpty()) emit librarySelectionRequested(selecting);
  return show(QStringLiteral("library"));
}

QWidget* WindowManager::showSettings(const QString& tab) {
  emit settingsTabRequested(tab);
  return show(QStringLiteral("settings"));
}

void WindowManager::place(QWidget& window, const QString& id, const Definition& definition) {
  const QByteArray saved = QSettings().value(settingsKey(id)).toByteArray();
  if (!saved.isEmpty() && window.restoreGeometry(saved)) {
    if (!definition.resizable) window.setFixedSize(definition.size);
    return;
  }
  window.resize(definition.size);
  QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
  if (!screen) screen = QGuiApplication::primaryScreen();
  if (!screen) return;
  QRect frame(QPoint(), definition.size);
  frame.moveCenter(screen->availableGeometry().center());
  window.move(frame.topLeft());
}

void WindowManager::paintBackground(QWidget& window) const {
  if (!background_) return;
  // Against the application's palette: the window's own has its background
  // set already, which would decide light or dark by itself.
  const QColor wall = background_(QApplication::palette(&window));
  if (window.palette().color(QPalette::Window) == wall) return;  // also ends the change this makes
  QPalette palette = window.palette();
  palette.setColor(QPalette::Window, wall);
  window.setPalette(palette);
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
  if (event->type() == QEvent::ApplicationPaletteChange || event->type() == QEvent::PaletteChange) {
    if (auto* window = qobject_cast<QWidget*>(watched)) paintBackground(*window);
  }
  if ((event->type() == QEvent::Move || event->type() == QEvent::Resize) && watched->isWidgetType()) {
    const auto* window = static_cast<QWidget*>(watched);
    if (window->isVisible() && this->window(window->objectName()) == window) places_.start();
  }
  if (event->type() == QEvent::Close) {
    auto* window = qobject_cast<QWidget*>(watched);
    const QString id = window ? window->objectName() : QString();
    if (window && windows_.contains(id) && windows_[id] == window) {
      QSettings().setValue(settingsKey(id), window->saveGeometry());
      forget(id);
    }
  }
  return QObject::eventFilter(watched, event);
}

void WindowManager::keepPlaces() {
  places_.stop();
  QSettings settings;
  for (const auto& [id, window] : windows_) {
    if (window) settings.setValue(settingsKey(id), window->saveGeometry());
  }
}

void WindowManager::forget(const QString& id) {
  windows_.erase(id);
  if (windows_.empty()) emit lastWindowClosed();
}

}  // namespace tavolune
