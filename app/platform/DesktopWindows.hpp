#pragma once
// Puts our windows at their level of the desktop: live works at desktop level
// (below everything, on every workspace, out of the taskbar and pager, never
// focused), the wall label just above the desktop's icons, the screen saver
// over everything with the keyboard and pointer held. GUI thread only; each
// call is a few requests to the window system.

#include <QWidget>

#include <memory>

namespace tavolune {

enum class WindowLevel { desktop, label, saver };

class DesktopWindows {
 public:
  virtual ~DesktopWindows() = default;
  // Before the window is first shown: its type and the hints an unmapped
  // window may carry.
  virtual void prepare(QWidget& window, WindowLevel level) = 0;
  // After each show: the hints a mapped window needs asked for, and for the
  // saver the keyboard and pointer grabs. False when a grab was refused.
  virtual bool shown(QWidget& window, WindowLevel level) = 0;
  // Lets the keyboard and pointer go again.
  virtual void release(QWidget& window) = 0;
  // Whether windows can be put at desktop level at all (not on Wayland
  // without XWayland, where they would open above the user's windows).
  virtual bool atDesktopLevel() const = 0;
};

// X11 when Qt runs there; elsewhere a stand-in that does nothing.
std::unique_ptr<DesktopWindows> makeDesktopWindows();

}  // namespace tavolune
