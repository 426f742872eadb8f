#pragma once

#include "core/model/Chain.hpp"

#include <string>
#include <string_view>

namespace tavolune {

// The form of a wallet text the user typed, with the text it was recognised
// from (trimmed; lower case for names and bech32 Bitcoin addresses).
struct AddressInput {
  enum class Form { evmAddress, ensName, tezosAddress, tezosDomain, bitcoinAddress };

  Form form = Form::evmAddress;
  std::string text{};

  static AddressInput evmAddress(std::string text) { return {Form::evmAddress, std::move(text)}; }
  static AddressInput ensName(std::string text) { return {Form::ensName, std::move(text)}; }
  static AddressInput tezosAddress(std::string text) { return {Form::tezosAddress, std::move(text)}; }
  static AddressInput tezosDomain(std::string text) { return {Form::tezosDomain, std::move(text)}; }
  static AddressInput bitcoinAddress(std::string text) { return {Form::bitcoinAddress, std::move(text)}; }

  ChainFamily family() const;
  // True for the two name forms, which must be resolved to an address first.
  bool needsResolution() const;
  // What the add-wallet field shows for the form.
  std::string_view hint() const;

  friend bool operator==(const AddressInput&, const AddressInput&) = default;
};

}  // namespace tavolune
