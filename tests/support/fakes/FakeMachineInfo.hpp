#pragma once
// MachineInfo with fixed answers. Thread-safe (constant after set-up).

#include <string>

#include "app/platform/MachineInfo.hpp"

namespace tavolune::testsupport {

class FakeMachineInfo final : public MachineInfo {
 public:
  std::string kernelText = "Linux 6.1.0-test";
  std::string distributionText = "Debian GNU/Linux 12 (bookworm)";
  std::string modelText = "QEMU Standard PC";

  std::string kernel() const override { return kernelText; }
  std::string distribution() const override { return distributionText; }
  std::string model() const override { return modelText; }
};

}  // namespace tavolune::testsupport
