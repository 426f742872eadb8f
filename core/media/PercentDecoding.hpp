#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tavolune::media {

// Decodes every %XX escape; nothing when any "%" does not begin one.
// The result may hold any bytes.
std::optional<std::string> strictPercentDecode(std::string_view s);

}  // namespace tavolune::media
