#pragma once
// MachineInfo from the kernel's files: /proc/sys/kernel, os-release, DMI in
// /sys/class/dmi/id, else the device tree's model. Blocks briefly (small
// file reads); thread-safe.

#include <filesystem>

#include "app/platform/MachineInfo.hpp"

namespace tavolune {

class LinuxMachineInfo final : public MachineInfo {
 public:
  // Tests pass a folder laid out like "/".
  explicit LinuxMachineInfo(std::filesystem::path root = "/");

  std::string kernel() const override;
  std::string distribution() const override;
  std::string model() const override;

 private:
  std::string read(const char* relative) const;
  std::filesystem::path root_;
};

}  // namespace tavolune
