#pragma once
// Records the pictures asked for and answers with the outcome the test sets,
// later on the event loop as a real back end does. GUI thread only.

#include "app/platform/WallpaperBackend.hpp"

#include <vector>

namespace tavolune::testsupport {

class FakeWallpaperBackend final : public WallpaperBackend {
 public:
  using WallpaperBackend::WallpaperBackend;
  QString name() const override { return QStringLiteral("fake"); }

  std::vector<WallpaperRequest> requests;
  // None: accepted. A text: refused with it.
  Outcome next;

 protected:
  void apply(const WallpaperRequest& request, Done finish) override {
    requests.push_back(request);
    finish(next);
  }
};

}  // namespace tavolune::testsupport
