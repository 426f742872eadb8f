#pragma once
// Sets an image file as the desktop picture of one display, on whichever
// desktop runs, and reads which one it shows. GUI thread only. Nothing
// blocks: back ends talk to their desktop asynchronously (short D-Bus
// time-outs, helper processes, a worker with its own X connection) and
// answer later on the GUI thread.

#include "app/platform/DisplaySource.hpp"
#include "app/platform/SystemLog.hpp"
#include "app/qt/ResultMailbox.hpp"

#include <QColor>
#include <QImage>
#include <QObject>
#include <QPointer>
#include <QString>

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <variant>
#include <vector>

namespace tavolune {

struct WallpaperRequest {
  Display display;
  // Every connected display: back ends whose one picture spans them all
  // compose it from each display's latest picture.
  std::vector<Display> displays;
  // A picture at the display's pixel size. New content always comes under a
  // new file name: desktops cache pictures by path.
  QString file;
  // Shown where the picture does not reach.
  QColor fill = Qt::black;
  // The file's picture when the caller still has it: back ends that draw
  // the picture themselves skip reading the file back.
  QImage picture{};
};

class WallpaperBackend : public QObject {
  Q_OBJECT
 public:
  // No value: the desktop confirmed the picture. Else why it did not.
  using Outcome = std::optional<QString>;
  using Done = std::function<void(Outcome)>;
  // The file the display shows; none when that cannot be told.
  using Shown = std::function<void(std::optional<QString> file)>;

  explicit WallpaperBackend(SystemLog& log, QObject* parent = nullptr);
  ~WallpaperBackend() override;

  // "GNOME", "KDE Plasma", "XFCE", "X11 root window".
  virtual QString name() const = 0;

  // Queues the request; requests run one at a time, in order. `done` runs
  // later on the GUI thread (never inside this call) unless context is gone.
  // A failure is also written to the system log.
  void setPicture(WallpaperRequest request, QObject* context, Done done);
  // Reads the display's picture on the workspace (zero-based; desktops with
  // one picture for all workspaces ignore it). Queued with the requests, so
  // it sees every picture asked for before it; answered as setPicture is.
  void currentPicture(Display display, int workspace, QObject* context, Shown done);

 protected:
  // Runs one request; calls finish exactly once, on the GUI thread.
  virtual void apply(const WallpaperRequest& request, Done finish) = 0;
  // Reads one display's picture; calls finish exactly once, on the GUI thread.
  virtual void read(const Display& display, int workspace, Shown finish) = 0;

 private:
  struct Set {
    WallpaperRequest request;
    Done done;
  };
  struct Read {
    Display display;
    int workspace = 0;
    Shown done;
  };
  struct Pending {
    QPointer<QObject> context;
    std::variant<Set, Read> job;
  };
  void enqueue(Pending pending);
  void runNext();

  SystemLog& log_;
  std::deque<Pending> queue_;
  bool running_ = false;
  // Answers go out from the event loop, and never after the back end is gone.
  std::shared_ptr<ResultMailbox> mailbox_ = ResultMailbox::to(this);
};

// The back end for the running desktop, from XDG_CURRENT_DESKTOP (a
// colon-separated list): GNOME family, KDE Plasma, XFCE, else the plain X11
// root window. `folder` takes the spanned pictures some desktops need.
std::unique_ptr<WallpaperBackend> makeWallpaperBackend(SystemLog& log, const QString& folder,
                                                       QObject* parent = nullptr);

}  // namespace tavolune
