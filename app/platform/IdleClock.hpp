#pragma once
// Seconds since the user's last input of any kind (keyboard, pointer and
// every other device together) in the login session. GUI thread only; a read
// costs at most one round trip to the local X server, or nothing where the
// value is cached and refreshed asynchronously.

namespace tavolune {

class IdleClock {
 public:
  virtual ~IdleClock() = default;
  // 0 while unknown: a clock that cannot tell never makes the user look away.
  virtual double secondsSinceLastInput() = 0;
};

// The clock of a session that cannot tell: never idle.
inline IdleClock& unknownIdleClock() {
  struct Unknown final : IdleClock {
    double secondsSinceLastInput() override { return 0; }
  };
  static Unknown clock;
  return clock;
}

}  // namespace tavolune
