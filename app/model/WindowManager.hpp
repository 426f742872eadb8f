#pragma once
// Opens the application's ordinary windows by identifier: "library",
// "settings", "welcome" and "menu" (the popover as a window in the preview
// mode). One window per identifier: showing an open one brings it back from
// the taskbar when minimised, raises and activates it. Windows
// are deleted when closed and keep their geometry in QSettings under
// "tavolune.<identifier>" (fixed ones only their place), written a moment
// after each move or resize, at close and at quit; the first time, a
// window opens centred on the display under the pointer. Every window's
// background is the wall colour, following the light or dark palette as it
// changes. GUI thread only.
//
// The views are built elsewhere: the code that builds each view registers a
// content factory for its identifier. An identifier without a factory opens
// nothing.

#include <QColor>
#include <QObject>
#include <QPalette>
#include <QPointer>
#include <QSize>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <functional>
#include <map>

namespace tavolune {

class WindowManager final : public QObject {
  Q_OBJECT

 public:
  struct Definition {
    QString title;
    QSize size;
    bool resizable;
  };
  // The table of windows; nothing for an unknown identifier.
  static const Definition* definition(const QString& id);

  using ContentFactory = std::function<QWidget*()>;
  // The windows' background for the application palette.
  using Background = std::function<QColor(const QPalette&)>;

  // How long after the last move or resize the places are written.
  static constexpr std::chrono::milliseconds placesDelay{500};

  // Writes the places when the application is about to quit.
  explicit WindowManager(QObject* parent = nullptr);
  ~WindowManager() override;

  void registerContent(const QString& id, ContentFactory factory);
  // For the windows opened from now on; none keeps the palette's own.
  void setBackground(Background background) { background_ = std::move(background); }

  // Opens or raises the window; nullptr when the identifier is unknown or
  // has no factory.
  QWidget* show(const QString& id);
  // The library, after asking its view to select and focus that work.
  QWidget* showLibrary(const QString& selecting = {});
  // The settings, after asking its view to switch to that tab.
  QWidget* showSettings(const QString& tab = QStringLiteral("general"));
  QWidget* showWelcome() { return show(QStringLiteral("welcome")); }
  // The preview mode's windows, one after the other so the last ends in
  // front: the library (selecting that work when one is given), the
  // settings on that tab, the welcome window and the "menu" window.
  void showUIPreview(const QString& selecting, const QString& tab);
  // Whether a view is registered for the identifier.
  bool hasContent(const QString& id) const;
  // Closes the open window of that identifier, if any.
  void close(const QString& id);
  QWidget* window(const QString& id) const;
  bool hasOpenWindows() const { return !windows_.empty(); }
  // Writes where every open window is now.
  void keepPlaces();

 signals:
  void librarySelectionRequested(const QString& artworkID);
  void settingsTabRequested(const QString& tab);
  // The last managed window began to close.
  void lastWindowClosed();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void forget(const QString& id);
  static void bringForward(QWidget& window);
  void paintBackground(QWidget& window) const;
  static void place(QWidget& window, const QString& id, const Definition& definition);

  std::map<QString, ContentFactory> factories_;
  std::map<QString, QPointer<QWidget>> windows_;
  Background background_;
  QTimer places_;  // a move or resize not written yet
};

}  // namespace tavolune
