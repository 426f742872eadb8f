#pragma once

#include "core/model/Chain.hpp"
#include "core/base/Date.hpp"
#include "core/base/Json.hpp"
#include "core/base/Uuid.hpp"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavolune {

enum class WalletRole { collector, artist };

template <>
struct EnumNames<WalletRole> {
  static constexpr std::array<std::string_view, 2> names{"collector", "artist"};
};

std::string_view label(WalletRole role);  // "My Collection", "My Creations"

// "0x1234…abcd": the first 6 and last 4 characters of a text of 13 or more.
std::string shortAddress(std::string_view address);

// A public address the user asked to watch, as a collector or as an artist.
struct Wallet {
  Uuid id{};
  std::string label{};
  std::optional<WalletRole> role{};  // absent means collector
  std::optional<std::vector<std::string>> collectionContracts{};
  std::string input{};  // what the user typed
  std::string address{};
  std::optional<std::string> resolvedName{};
  ChainFamily family = ChainFamily::evm;
  std::vector<Chain> chains{};
  std::optional<Date> lastSync{};
  std::optional<std::string> lastError{};
  std::optional<std::vector<Chain>> uncheckedChains{};
  std::optional<std::vector<std::string>> discoveredSeries{};

  // Without chains the wallet reads every chain of its family; a collector
  // role is stored as absent.
  static Wallet make(Uuid id, std::string label, std::string input, std::string address,
                     std::optional<std::string> resolvedName, ChainFamily family,
                     std::optional<std::vector<Chain>> chains = std::nullopt,
                     WalletRole role = WalletRole::collector);

  bool isArtist() const { return role == WalletRole::artist; }
  std::string shortAddress() const { return tavolune::shortAddress(address); }

  static Wallet fromJson(const json::Json& j);
  json::Json toJson() const;

  friend bool operator==(const Wallet&, const Wallet&) = default;
};

}  // namespace tavolune
