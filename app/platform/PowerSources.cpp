#include "app/platform/PowerSources.hpp"

namespace tavolune {

// Anchors the vtable and lets moc see the header.
PowerSources::~PowerSources() = default;

}  // namespace tavolune
