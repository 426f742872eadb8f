#pragma once
// Whether the program starts when the user logs in. Blocks on small file
// reads and writes: call it off the GUI thread. Thread-safe.

#include <string>

namespace tavolune {

enum class LoginItemStatus { notRegistered, enabled, requiresApproval, notFound };

class AutostartService {
 public:
  virtual ~AutostartService() = default;
  // Read from the system every time.
  virtual LoginItemStatus status() const = 0;
  // Throws std::runtime_error saying why the change could not be made.
  virtual void setEnabled(bool enabled) = 0;
};

}  // namespace tavolune
