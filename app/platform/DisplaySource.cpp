// Lets moc see the interface header.
#include "app/platform/DisplaySource.hpp"
