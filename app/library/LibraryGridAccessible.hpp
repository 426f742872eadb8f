#pragma once
// What assistive technology sees of the grid: a list whose items are the
// tiles, each named by the grid model's accessible text. Qt describes only
// its own list, table and tree views this way. GUI thread only.

namespace tavolune {

// Installs the description for every LibraryGridView; once is enough.
void installLibraryGridAccessible();

}  // namespace tavolune
