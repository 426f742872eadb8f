#pragma once
// The window that has the focus, noted before the screen saver covers the
// displays and given the focus back after. GUI thread only; a read costs two
// round trips to the local X server, activating none.

#include <cstdint>
#include <optional>

namespace tavolune {

struct FocusedWindow {
  std::uint32_t id = 0;
  // The window belongs to this process.
  bool ours = false;

  friend bool operator==(const FocusedWindow&, const FocusedWindow&) = default;
};

class ActiveWindow {
 public:
  virtual ~ActiveWindow() = default;
  // nullopt when no window has the focus or no window manager says which.
  virtual std::optional<FocusedWindow> focused() = 0;
  // Asks the window manager to focus and raise the window, as for a user's
  // direct request. A window that is gone is ignored.
  virtual void activate(std::uint32_t window) = 0;
};

}  // namespace tavolune
