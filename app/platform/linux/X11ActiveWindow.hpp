#pragma once
// ActiveWindow on the window manager's EWMH hints: _NET_ACTIVE_WINDOW read
// from the root window, and a _NET_ACTIVE_WINDOW request (as from a pager,
// so that focus-stealing prevention lets it through) to give the focus back.
// GUI thread only; a read is two round trips to the local X server, a request
// none.

#include "app/platform/ActiveWindow.hpp"

#include <QString>

#include <memory>

namespace tavolune {

class XcbConnection;

class X11ActiveWindow final : public ActiveWindow {
 public:
  // Empty display: $DISPLAY. ownPid decides which windows are ours; by
  // default this process's.
  explicit X11ActiveWindow(const QString& display = {}, qint64 ownPid = 0);
  ~X11ActiveWindow() override;

  bool connected() const;
  std::optional<FocusedWindow> focused() override;
  void activate(std::uint32_t window) override;

 private:
  std::unique_ptr<XcbConnection> x_;
  std::uint32_t activeAtom_ = 0;
  std::uint32_t pidAtom_ = 0;
  qint64 ownPid_;
};

}  // namespace tavolune
