#pragma once
// A workspace the test moves to. GUI thread only.

#include "app/platform/WorkspaceWatch.hpp"

namespace tavolune::testsupport {

class FakeWorkspaceWatch final : public WorkspaceWatch {
 public:
  using WorkspaceWatch::WorkspaceWatch;
  int current() const override { return current_; }
  void moveTo(int workspace) {
    if (workspace == current_) return;
    current_ = workspace;
    emit currentChanged(workspace);
  }

 private:
  int current_ = 0;
};

}  // namespace tavolune::testsupport
