#include "core/model/Wallet.hpp"

#include "core/text/Text.hpp"

namespace tavolune {

using json::Json;

std::string_view label(WalletRole role) {
  return role == WalletRole::artist ? "My Creations" : "My Collection";
}

std::string shortAddress(std::string_view address) {
  if (text::characterCount(address) < 13) return std::string(address);
  return text::prefixCharacters(address, 6) + "\u2026" + text::suffixCharacters(address, 4);
}

Wallet Wallet::make(Uuid id, std::string label, std::string input, std::string address,
                    std::optional<std::string> resolvedName, ChainFamily family,
                    std::optional<std::vector<Chain>> chains, WalletRole role) {
  Wallet w;
  w.id = id;
  w.label = std::move(label);
  w.input = std::move(input);
  w.address = std::move(address);
  w.resolvedName = std::move(resolvedName);
  w.family = family;
  w.chains = chains ? std::move(*chains) : tavolune::chains(family);
  if (role != WalletRole::collector) w.role = role;
  return w;
}

Wallet Wallet::fromJson(const Json& j) {
  json::expectObject(j);
  Wallet w;
  w.id = json::required<Uuid>(j, "id");
  w.label = json::required<std::string>(j, "label");
  w.role = json::optional<WalletRole>(j, "role");
  w.collectionContracts = json::optional<std::vector<std::string>>(j, "collectionContracts");
  w.input = json::required<std::string>(j, "input");
  w.address = json::required<std::string>(j, "address");
  w.resolvedName = json::optional<std::string>(j, "resolvedName");
  w.family = json::required<ChainFamily>(j, "family");
  w.chains = json::required<std::vector<Chain>>(j, "chains");
  w.lastSync = json::optional<Date>(j, "lastSync");
  w.lastError = json::optional<std::string>(j, "lastError");
  w.uncheckedChains = json::optional<std::vector<Chain>>(j, "uncheckedChains");
  w.discoveredSeries = json::optional<std::vector<std::string>>(j, "discoveredSeries");
  return w;
}

Json Wallet::toJson() const {
  Json j = Json::object();
  json::put(j, "id", id);
  json::put(j, "label", label);
  json::put(j, "role", role);
  json::put(j, "collectionContracts", collectionContracts);
  json::put(j, "input", input);
  json::put(j, "address", address);
  json::put(j, "resolvedName", resolvedName);
  json::put(j, "family", family);
  json::put(j, "chains", chains);
  json::put(j, "lastSync", lastSync);
  json::put(j, "lastError", lastError);
  json::put(j, "uncheckedChains", uncheckedChains);
  json::put(j, "discoveredSeries", discoveredSeries);
  return j;
}

}  // namespace tavolune
