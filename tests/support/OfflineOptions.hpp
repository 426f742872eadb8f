#pragma once
// App model options for tests and benchmarks: the library file and media
// folder in a folder of the caller's, and no service at all, so that a
// test that forgets one reaches nothing beyond the machine.

#include "app/model/AppModel.hpp"

#include <filesystem>

namespace tavolune::testsupport {

inline AppModel::Options offlineOptions(const std::filesystem::path& folder) {
  AppModel::Options o;
  o.storeURL = folder / "library.json";
  o.cacheDirectory = folder / "Media";
  return o;
}

}  // namespace tavolune::testsupport
