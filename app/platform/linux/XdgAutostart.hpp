#pragma once
// AutostartService on an XDG autostart entry,
// $XDG_CONFIG_HOME/autostart/tavolune.desktop (~/.config when unset).
// Blocks on the file; thread-safe (the folder is looked up on every call).

#include "app/platform/AutostartService.hpp"

#include <filesystem>
#include <string>

namespace tavolune {

class XdgAutostart final : public AutostartService {
 public:
  // The program the entry starts; empty means it cannot be found.
  explicit XdgAutostart(std::string executable);

  LoginItemStatus status() const override;
  // Writes the entry atomically, or removes it.
  void setEnabled(bool enabled) override;

  static std::filesystem::path entryPath();
  // The Exec= value for a program path: quoted where the Desktop Entry rules
  // reserve a character, then escaped as a desktop-file string.
  static std::string execValue(const std::string& program);
  std::string entryText() const;

 private:
  const std::string executable_;
};

}  // namespace tavolune
