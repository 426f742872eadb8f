#pragma once

#include "core/network/AddressInput.hpp"
#include "core/network/HTTPClient.hpp"
#include "core/network/ResolvedAddress.hpp"
#include "core/base/Hosts.hpp"

#include <optional>
#include <stop_token>
#include <string>
#include <string_view>

namespace tavolune {

// Turns what the user typed into a wallet address: recognises the form of
// the text (detect) and resolves names to addresses through the ENS
// resolution service, Tezos Domains and, failing that, TzKT. Calls block
// and run their requests one after another.
struct AddressResolver {
  // Where the three services live; tests point them at loopback fakes.
  struct Endpoints {
    std::string ens;
    std::string tezosDomains;
    std::string tzkt;

    // The public services.
    static Endpoints real() {
      return {std::string(hosts::ensResolver), std::string(hosts::tezosDomainsAPI), std::string(hosts::tzktAPI)};
    }
  };

  // Seconds each kind of request may take.
  struct Timeouts {
    double reverseENS = 10;
    double forwardENS = 20;
    double tezos = 20;  // Tezos Domains and TzKT each
  };

  HTTPClient http;
  Endpoints endpoints{};
  Timeouts timeouts{};

  AddressResolver(HTTPClient http, Endpoints endpoints, Timeouts timeouts);

  // The form the text has, after trimming white space and line breaks at
  // both ends; nothing when it has none of the five forms.
  static std::optional<AddressInput> detect(std::string_view text);

  // Detects the text and resolves a name to its address. Throws
  // TavoluneError::invalidInput with the text as given when it has no form.
  ResolvedAddress resolve(std::string_view text, std::stop_token stop = {}) const;

  // The primary ENS name of an EVM address, when the service knows one.
  std::optional<std::string> reverseENS(const std::string& address, std::stop_token stop = {}) const;
  // The EVM address of an ENS name; TavoluneError::notFound with the name
  // unless the service gives "0x" and 40 hexadecimal digits.
  std::string resolveENS(const std::string& name, std::stop_token stop = {}) const;
  // The Tezos address of a Tezos domain: Tezos Domains first, then TzKT;
  // TavoluneError::notFound with the domain when neither lists it.
  std::string resolveTez(const std::string& domain, std::stop_token stop = {}) const;
};

}  // namespace tavolune
