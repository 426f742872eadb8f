#pragma once

#include "core/base/Url.hpp"

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tavolune::url {

using QueryPairs = std::vector<std::pair<std::string, std::string>>;

// Every request URL is built here: the base text with the pairs appended as
// query items, in order, after the base's own items. Names and values are
// percent-encoded as query components; "+", "&", "=" and "#" always are, so
// a base64 cursor reaches the server as written rather than with "+" read
// as a space. An empty list returns the base unchanged; a base that does not
// parse gives nothing.
std::optional<Url> make(std::string_view base, const QueryPairs& query = {});

// One query component as make() writes it.
std::string encodeQueryComponent(std::string_view text);

}  // namespace tavolune::url
