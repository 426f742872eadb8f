#pragma once
// Records the URLs it is asked to open; starts nothing. GUI thread only.

#include "app/platform/UrlLauncher.hpp"

#include <vector>

namespace tavolune::testsupport {

class FakeUrlLauncher final : public UrlLauncher {
 public:
  bool open(const QUrl& url) override {
    opened.push_back(url);
    return starts;
  }
  std::vector<QUrl> opened;
  bool starts = true;  // what open answers
};

}  // namespace tavolune::testsupport
