#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tavolune::onchfs {

// The names of a path below an onchfs inode: split at "/", empty pieces
// dropped, each percent-decoded (a piece whose escapes are malformed or do
// not decode to UTF-8 is kept as written).
std::vector<std::string> pathNames(std::string_view path);

// An inode or chunk hash that may go into a request: hexadecimal digits only.
bool isValidHash(std::string_view hash);

}  // namespace tavolune::onchfs
