#pragma once
// Formats and rendered stills the test hands out: calls wait until the test
// answers them, or answer at once from a table of stills. GUI thread only.

#include "app/desktop/DesktopFormats.hpp"

#include <QPointer>

#include <map>
#include <string>
#include <vector>

namespace tavolune::testsupport {

class FakeDesktopFormats final : public DesktopFormats {
 public:
  struct StillCall {
    std::string id;
    QSize size;
    double scale;
    bool computeIfMissing;
  };

  void profile(const Artwork& artwork, bool, QObject* context, std::function<void()> done) override {
    profileCalls.push_back(artwork.id);
    pendingProfiles.push_back({QPointer<QObject>(context), std::move(done)});
  }
  void renderedStill(const Artwork& artwork, QSize pixelSize, double scale, bool computeIfMissing, QObject* context,
                     std::function<void(QImage)> done) override {
    stillCalls.push_back({artwork.id, pixelSize, scale, computeIfMissing});
    QImage still;
    if (auto it = stills.find(artwork.id); it != stills.end() && (computeIfMissing || cached.contains(artwork.id))) {
      still = it->second.size() == pixelSize ? it->second : it->second.scaled(pixelSize);
      cached[artwork.id] = true;
    }
    QTimer::singleShot(0, context, [done = std::move(done), still] { done(still); });
  }

  // Answers every waiting profile request.
  void finishProfiles() {
    auto pending = std::move(pendingProfiles);
    pendingProfiles.clear();
    for (auto& [context, done] : pending) {
      if (context) done();
    }
  }

  // Stills that rendering makes (sized to the request); cached once made.
  std::map<std::string, QImage> stills;
  std::map<std::string, bool> cached;
  std::vector<std::string> profileCalls;
  std::vector<std::pair<QPointer<QObject>, std::function<void()>>> pendingProfiles;
  std::vector<StillCall> stillCalls;
};

}  // namespace tavolune::testsupport
