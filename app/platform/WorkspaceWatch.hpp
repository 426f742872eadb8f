#pragma once
// The current workspace (virtual desktop), and a signal when the user moves
// to another. GUI thread only; reading is one round trip to the window system.

#include <QObject>

#include <memory>

namespace tavolune {

class WorkspaceWatch : public QObject {
  Q_OBJECT
 public:
  using QObject::QObject;
  ~WorkspaceWatch() override = default;
  // Zero-based; 0 where the window system has no workspaces.
  virtual int current() const = 0;

 signals:
  void currentChanged(int workspace);
};

// _NET_CURRENT_DESKTOP of the X11 root window; elsewhere never changes.
std::unique_ptr<WorkspaceWatch> makeWorkspaceWatch(QObject* parent = nullptr);

}  // namespace tavolune
