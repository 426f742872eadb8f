#include "app/shell/ProcessMemory.hpp"

#include <malloc.h>

namespace tavolune {

void configureProcessMemory() { mallopt(M_ARENA_MAX, 2); }

}  // namespace tavolune
