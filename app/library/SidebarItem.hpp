#pragma once
// The items of the library window's sidebar: the library's views, one
// wallet or exhibition by id, and the wallets page. A plain value;
// thread-safe.

// <string> ahead of the project's headers: moc cannot parse <compare>
// when it comes first, and this header reaches moc through QObject headers.
#include <string>

#include "core/base/Uuid.hpp"

#include <cstddef>
#include <functional>
#include <optional>

namespace tavolune {

struct SidebarItem {
  // In declaration order; the hash mixes in the position.
  enum class Kind { all, works, recent, onDesktop, hidden, wallet, exhibition, manageWallets };

  Kind kind = Kind::all;
  Uuid id{};  // only for wallet and exhibition

  static SidebarItem all() { return {Kind::all}; }
  static SidebarItem works() { return {Kind::works}; }
  static SidebarItem recent() { return {Kind::recent}; }
  static SidebarItem onDesktop() { return {Kind::onDesktop}; }
  static SidebarItem hidden() { return {Kind::hidden}; }
  static SidebarItem wallet(Uuid id) { return {Kind::wallet, id}; }
  static SidebarItem exhibition(Uuid id) { return {Kind::exhibition, id}; }
  static SidebarItem manageWallets() { return {Kind::manageWallets}; }

  bool hasID() const { return kind == Kind::wallet || kind == Kind::exhibition; }

  friend bool operator==(const SidebarItem& a, const SidebarItem& b) {
    return a.kind == b.kind && (!a.hasID() || a.id == b.id);
  }
};

}  // namespace tavolune

template <>
struct std::hash<tavolune::SidebarItem> {
  std::size_t operator()(const tavolune::SidebarItem& item) const noexcept {
    const auto position = static_cast<std::size_t>(item.kind);
    return item.hasID() ? position * 1099511628211ull ^ std::hash<tavolune::Uuid>{}(item.id) : position;
  }
};
