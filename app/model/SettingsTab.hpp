#pragma once
// The settings window's tabs, named by their raw values. Pure; thread-safe.

#include "core/base/Enum.hpp"

#include <optional>
#include <string_view>

namespace tavolune {

enum class SettingsTab { general, display, screenSaver };

template <>
struct EnumNames<SettingsTab> {
  static constexpr std::array<std::string_view, 3> names{"general", "display", "screenSaver"};
};

// Exact, case-sensitive: "display" is a tab, "Display" and "" are none.
constexpr std::optional<SettingsTab> settingsTab(std::string_view rawValue) {
  return fromRawValue<SettingsTab>(rawValue);
}

}  // namespace tavolune
