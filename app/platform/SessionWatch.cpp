#include "app/platform/SessionWatch.hpp"

namespace tavolune {

// Anchors the vtable and lets moc see the header.
SessionWatch::~SessionWatch() = default;

}  // namespace tavolune
