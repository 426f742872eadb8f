#pragma once
// Suites whose pages must be refused WebGL, as hardware on the engine's
// blocklist is, whatever this machine's OpenGL can do. A run of their tests
// only (CTest runs each test in a process of its own) starts the engine with
// --disable-gpu; main() asks before the engine starts.

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

namespace tavolune::testsupport {

inline std::vector<std::string>& webGLRefusedSuites() {
  static std::vector<std::string> suites;
  return suites;
}
inline bool refuseWebGLFor(std::string suite) {
  webGLRefusedSuites().push_back(std::move(suite));
  return true;
}

// Whether the run's filter names tests of those suites and nothing else.
inline bool runsOnlyWebGLRefused(int argc, char** argv) {
  constexpr std::string_view flag = "--gtest_filter=";
  for (int i = 1; i < argc; ++i) {
    std::string_view filter(argv[i]);
    if (!filter.starts_with(flag)) continue;
    filter.remove_prefix(flag.size());
    if (filter.empty() || filter.find('-') != std::string_view::npos) return false;
    while (!filter.empty()) {
      const std::string_view pattern = filter.substr(0, filter.find(':'));
      bool ours = false;
      for (const std::string& suite : webGLRefusedSuites()) ours = ours || pattern.starts_with(suite + ".");
      if (!ours) return false;
      filter.remove_prefix(std::min(filter.size(), pattern.size() + 1));
    }
    return true;
  }
  return false;
}

}  // namespace tavolune::testsupport
