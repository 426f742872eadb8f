#pragma once
// Other programs' top-level windows, in stacking order, as plain records for
// deciding which displays are covered. GUI thread only; the window list is
// read off the GUI thread.

#include <QObject>
#include <QRect>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace tavolune {

struct StackedWindow {
  static constexpr std::uint32_t allWorkspaces = 0xFFFFFFFFu;
  enum class Type { normal, dialog, utility, desktop, dock, toolbar, menu, splash, notification, other };
  Type type = Type::normal;
  // Frame geometry in root-window pixels; empty when unknown.
  QRect frame;
  // The workspace; nullopt when the window gives none. 0xFFFFFFFF is all workspaces.
  std::optional<std::uint32_t> workspace;
  std::optional<std::int64_t> pid;
  // 0..1; nullopt when the window sets no opacity.
  std::optional<double> opacity;
  bool hidden = false;
  bool fullscreen = false;

  friend bool operator==(const StackedWindow&, const StackedWindow&) = default;
};

struct WindowStack {
  std::optional<std::uint32_t> currentWorkspace;
  // Bottom to top. Frame, pid and opacity are read only for windows that
  // may cover (mayCover); the others leave them unknown.
  std::vector<StackedWindow> windows;

  // Shown, of a kind that covers (normal, dialog, utility), and on the
  // current workspace or on all of them.
  bool mayCover(const StackedWindow& w) const {
    using T = StackedWindow::Type;
    if (w.type != T::normal && w.type != T::dialog && w.type != T::utility) return false;
    if (w.hidden) return false;
    return !w.workspace || *w.workspace == StackedWindow::allWorkspaces || !currentWorkspace ||
           *w.workspace == *currentWorkspace;
  }
};

class WindowCoverage {
 public:
  static constexpr std::uint32_t allWorkspaces = StackedWindow::allWorkspaces;

  virtual ~WindowCoverage() = default;
  // Reads the stack off the GUI thread and calls done on the GUI thread,
  // unless receiver is gone by then. Where nothing can be read (no X11),
  // done gets an empty stack.
  virtual void fetch(QObject* receiver, std::function<void(WindowStack)> done) = 0;
};

}  // namespace tavolune
