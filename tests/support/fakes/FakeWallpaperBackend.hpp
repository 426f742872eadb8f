#pragma once
// Records the pictures asked for and answers with the outcome the test sets,
// later on the event loop as a real back end does; reads answer what each
// display was last set to, or what the test put there. GUI thread only.

#include "app/platform/WallpaperBackend.hpp"

#include <map>
#include <utility>
#include <vector>

namespace tavolune::testsupport {

class FakeWallpaperBackend final : public WallpaperBackend {
 public:
  using WallpaperBackend::WallpaperBackend;
  QString name() const override { return QStringLiteral("fake"); }

  std::vector<WallpaperRequest> requests;
  // None: accepted. A text: refused with it.
  Outcome next;
  // The file each display shows, by key; a display not here reads as unknown.
  std::map<QString, QString> shown;
  // Each read's display key and workspace.
  std::vector<std::pair<QString, int>> reads;

 protected:
  void apply(const WallpaperRequest& request, Done finish) override {
    requests.push_back(request);
    if (!next) shown[request.display.key] = request.file;
    finish(next);
  }
  void read(const Display& display, int workspace, Shown finish) override {
    reads.emplace_back(display.key, workspace);
    const auto it = shown.find(display.key);
    finish(it != shown.end() ? std::optional(it->second) : std::nullopt);
  }
};

}  // namespace tavolune::testsupport
