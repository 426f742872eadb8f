#include "core/base/Uuid.hpp"

#include <uuid/uuid.h>

#include <cstring>

namespace tavolune {

Uuid Uuid::random() {
  Uuid u;
  uuid_t raw;
  uuid_generate_random(raw);
  std::memcpy(u.bytes_.data(), raw, 16);
  return u;
}

std::optional<Uuid> Uuid::parse(std::string_view text) {
  if (text.size() != 36) return std::nullopt;
  char buf[37];
  std::memcpy(buf, text.data(), 36);
  buf[36] = '\0';
  uuid_t raw;
  if (uuid_parse(buf, raw) != 0) return std::nullopt;
  Uuid u;
  std::memcpy(u.bytes_.data(), raw, 16);
  return u;
}

std::string Uuid::string() const {
  uuid_t raw;
  std::memcpy(raw, bytes_.data(), 16);
  char buf[37];
  uuid_unparse_upper(raw, buf);
  return std::string(buf, 36);
}

}  // namespace tavolune
