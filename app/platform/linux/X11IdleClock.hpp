#pragma once
// IdleClock on the X server's screen-saver extension (MIT-SCREEN-SAVER),
// which counts every input device the server sees. GUI thread only; a read
// is one round trip to the local X server.

#include "app/platform/IdleClock.hpp"

#include <QString>

#include <memory>

namespace tavolune {

class XcbConnection;

class X11IdleClock final : public IdleClock {
 public:
  // Empty display: $DISPLAY.
  explicit X11IdleClock(const QString& display = {});
  ~X11IdleClock() override;

  // Connected to a server that has the extension.
  bool available() const;
  double secondsSinceLastInput() override;

 private:
  std::unique_ptr<XcbConnection> x_;
};

}  // namespace tavolune
