#pragma once

#include "network/AddressInput.hpp"

#include <optional>
#include <string_view>

namespace tavolune {

// Turns what the user typed into a wallet address: recognises the form of
// the text (detect) and resolves names to addresses.
struct AddressResolver {
  // The form the text has, after trimming white space and line breaks at
  // both ends; nothing when it has none of the five forms.
  static std::optional<AddressInput> detect(std::string_view text);
};

}  // namespace tavolune
