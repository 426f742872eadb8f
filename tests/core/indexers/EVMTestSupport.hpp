#pragma once

#include "core/base/Clock.hpp"
#include "core/network/HTTPClient.hpp"
#include "core/base/TavoluneError.hpp"
#include "core/base/TransportError.hpp"

#include "tests/support/Errors.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <vector>

namespace tavolune::evmtest {

// A clock whose pauses return at once: each pause is recorded and moves
// the time forward by its length.
class FakeClock {
 public:
  FakeClock() : state_(std::make_shared<State>()) {}

  Clock clock() const {
    auto s = state_;
    return Clock(
        [s] {
          std::lock_guard lock(s->mutex);
          return s->now;
        },
        [s](double seconds, std::stop_token stop) {
          if (stop.stop_requested()) throw CancellationError();
          std::lock_guard lock(s->mutex);
          s->pauses.push_back(seconds);
          s->now += std::chrono::duration_cast<Clock::TimePoint::duration>(std::chrono::duration<double>(seconds));
        });
  }

  std::vector<double> pauses() const {
    std::lock_guard lock(state_->mutex);
    return state_->pauses;
  }
  Clock::TimePoint now() const {
    std::lock_guard lock(state_->mutex);
    return state_->now;
  }
  void advance(std::chrono::seconds by) {
    std::lock_guard lock(state_->mutex);
    state_->now += by;
  }

 private:
  struct State {
    std::mutex mutex;
    Clock::TimePoint now = Clock::TimePoint(std::chrono::seconds(1'800'000'000));
    std::vector<double> pauses;
  };
  std::shared_ptr<State> state_;
};

// A client on its own connection cache whose 429 waits return at once.
inline HTTPClient quickClient() {
  HTTPClient client(std::make_shared<URLSession>());
  client.clock = tavolune::Clock(&tavolune::Clock::systemNow, [](double, std::stop_token stop) {
    if (stop.stop_requested()) throw CancellationError();
  });
  return client;
}

using testsupport::tavoluneErrorOf;

// A fresh folder under the temporary directory, removed afterwards.
class TempDir {
 public:
  TempDir() {
    std::random_device rd;
    path_ = std::filesystem::temp_directory_path() / ("tavolune-evm-" + std::to_string(rd()) + std::to_string(rd()));
    std::filesystem::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

inline const std::string contractA = "0x1111111111111111111111111111111111111111";
inline const std::string ownerA = "0xAbCdEf0123456789abcdef0123456789ABCDEF01";

}  // namespace tavolune::evmtest
