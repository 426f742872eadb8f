#pragma once
// Test double of SVGRasterizer: draws in this process, except documents
// holding the endless marker, which end only when stopped or when the test
// says their time ran out (as the decoder's deadline would). Thread-safe.

#include "app/render/ImagePipeline.hpp"
#include "app/render/SVGRasterizer.hpp"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

namespace tavolune::testsupport {

class FakeSVGRasterizer final : public SVGRasterizer {
 public:
  static constexpr const char* endless = "<!-- endless -->";
  static QByteArray endlessDocument() {
    return QByteArray(R"(<svg xmlns="http://www.w3.org/2000/svg" width="9" height="9">)") + endless + "</svg>";
  }

  // Every endless drawing under way ends as over its limit.
  void runOutOfTime() {
    std::lock_guard lock(mutex_);
    ++expiries_;
    changed_.notify_all();
  }
  // Blocks until exactly `count` endless drawings are under way; false after 5 s.
  bool waitForStuck(int count) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(5), [&] { return stuck_ == count; });
  }
  int stuck() const {
    std::lock_guard lock(mutex_);
    return stuck_;
  }
  int begun() const { return int(limits().size()); }
  std::vector<std::chrono::milliseconds> limits() const {
    std::lock_guard lock(mutex_);
    return limits_;
  }

  Result rasterize(const QByteArray& document, int maxPixel, std::chrono::milliseconds timeLimit,
                   std::stop_token stop) override {
    // Registered before the lock: a stop already requested runs it at once.
    std::stop_callback wake(stop, [this] {
      std::lock_guard inner(mutex_);
      changed_.notify_all();
    });
    std::unique_lock lock(mutex_);
    limits_.push_back(timeLimit);
    if (!document.contains(endless)) {
      lock.unlock();
      QImage image = ImagePipeline::rasterizeSVG(document, maxPixel);
      return {image.isNull() ? Outcome::undecodable : Outcome::drawn, image};
    }
    const int expiries = expiries_;
    ++stuck_;
    changed_.notify_all();
    changed_.wait(lock, [&] { return stop.stop_requested() || expiries_ != expiries; });
    --stuck_;
    changed_.notify_all();
    return {stop.stop_requested() ? Outcome::stopped : Outcome::overLimit, {}};
  }

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  int stuck_ = 0;
  int expiries_ = 0;
  std::vector<std::chrono::milliseconds> limits_;
};

}  // namespace tavolune::testsupport
