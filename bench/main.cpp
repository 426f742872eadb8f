#include <benchmark/benchmark.h>

#include <string_view>

namespace tavolune::bench {
int writeLibraryFile(const std::string& path);
}

int main(int argc, char** argv) {
  // --write-library=PATH writes the generated benchmark library and exits.
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    if (arg.starts_with("--write-library=")) {
      return tavolune::bench::writeLibraryFile(std::string(arg.substr(16)));
    }
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
