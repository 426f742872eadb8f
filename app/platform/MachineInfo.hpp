#pragma once
// What the support report says about the computer: kernel, distribution and
// the machine's model. Blocks briefly (reads a few small system files);
// call it when a report is asked for, not ahead of time. Thread-safe.

#include <string>

namespace tavolune {

class MachineInfo {
 public:
  virtual ~MachineInfo() = default;
  // "Linux 6.1.0-18-amd64"; empty when unknown.
  virtual std::string kernel() const = 0;
  // "Debian GNU/Linux 12 (bookworm)"; empty when unknown.
  virtual std::string distribution() const = 0;
  // The maker and model ("LENOVO 20XW0026GE"), "Raspberry Pi 4 Model B"; empty
  // when unknown.
  virtual std::string model() const = 0;
};

}  // namespace tavolune
