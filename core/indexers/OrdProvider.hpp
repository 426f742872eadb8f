#pragma once

#include "model/Artwork.hpp"
#include "model/Json.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavolune {

// Reads the Ordinals inscriptions of a Bitcoin address from an Ordinals
// indexer's JSON interface.
struct OrdProvider {
  // GET /address/<address>
  struct AddressInfo {
    std::vector<std::string> inscriptions{};  // missing or null: none

    static AddressInfo fromJson(const json::Json& j);
    json::Json toJson() const;
    friend bool operator==(const AddressInfo&, const AddressInfo&) = default;
  };

  // GET /inscription/<id>
  struct Inscription {
    std::string id{};
    std::optional<std::int64_t> number{};
    std::optional<std::string> contentType{};  // "content_type"
    std::optional<double> timestamp{};         // seconds since 1970

    static Inscription fromJson(const json::Json& j);
    json::Json toJson() const;
    friend bool operator==(const Inscription&, const Inscription&) = default;
  };

  // The artwork for one inscription record; baseURL without a trailing "/".
  static Artwork map(const Inscription& inscription, std::string_view baseURL);
};

}  // namespace tavolune
