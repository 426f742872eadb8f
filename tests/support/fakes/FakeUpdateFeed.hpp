#pragma once
// An update feed that answers every fetch at once with one canned answer,
// or never (no answer set), and counts the fetches. GUI thread only.

#include "app/platform/UpdateFeed.hpp"

#include <optional>
#include <utility>

namespace tavolune::testsupport {

class FakeUpdateFeed final : public UpdateFeed {
 public:
  FakeUpdateFeed() = default;
  explicit FakeUpdateFeed(Answer answer) : answer_(std::move(answer)) {}
  // A feed whose every fetch fails with the error.
  static FakeUpdateFeed failing(const QString& error) { return FakeUpdateFeed(Answer{{}, error}); }

  void fetch(const QUrl& url, QObject* context, std::function<void(Answer)> done) override {
    ++fetches;
    lastURL = url;
    if (answer_ && context) done(*answer_);
  }

  int fetches = 0;
  QUrl lastURL;

 private:
  std::optional<Answer> answer_;
};

}  // namespace tavolune::testsupport
