#pragma once

#include "core/base/Url.hpp"

#include <optional>
#include <string>
#include <variant>

namespace tavolune {

// A parsed media URI: where a work's bytes live.
struct MediaRef {
  struct Http {
    Url url;  // http or https, after moved-host rewriting
    friend bool operator==(const Http&, const Http&) = default;
  };
  struct Ipfs {
    std::string cid;
    std::string path;  // after the first "/" behind the CID; may be empty
    std::optional<std::string> query;
    friend bool operator==(const Ipfs&, const Ipfs&) = default;
  };
  struct Arweave {
    std::string id;
    std::string path;
    std::optional<std::string> query;
    friend bool operator==(const Arweave&, const Arweave&) = default;
  };
  struct Onchfs {
    std::string hash;
    std::string path;
    std::optional<std::string> query;
    friend bool operator==(const Onchfs&, const Onchfs&) = default;
  };
  struct Data {
    Url url;
    friend bool operator==(const Data&, const Data&) = default;
  };

  std::variant<Http, Ipfs, Arweave, Onchfs, Data> value;

  template <class T>
  const T* as() const {
    return std::get_if<T>(&value);
  }

  friend bool operator==(const MediaRef&, const MediaRef&) = default;
};

}  // namespace tavolune
