// The SVG decoder the program starts for each document it draws: reads a
// four-byte pixel size and the document from its input, draws it with
// librsvg, and writes the width and the height (four bytes each) and the
// premultiplied ARGB32 rows to its output; exits 1, writing nothing, for a
// document it cannot draw, and 3 for one that ran out of memory. The parent
// gives it no file name and no environment, and ends it at its time and
// memory limits. It draws on one thread, so the deadline always comes before
// the CPU limit, and it never leaves a core file.

#include "app/render/SVGDrawing.hpp"

#include <malloc.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// The document's size is the parent's to bound; this bounds a broken pipe.
constexpr std::size_t maxDocumentBytes = std::size_t(512) * 1024 * 1024;

bool readAll(std::vector<unsigned char>& into) {
  unsigned char chunk[65536];
  for (;;) {
    const ssize_t n = ::read(STDIN_FILENO, chunk, sizeof chunk);
    if (n == 0) return true;
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (into.size() + std::size_t(n) > maxDocumentBytes) return false;
    into.insert(into.end(), chunk, chunk + n);
  }
}

bool writeAll(const void* data, std::size_t size) {
  const auto* p = static_cast<const unsigned char*>(data);
  while (size > 0) {
    const ssize_t n = ::write(STDOUT_FILENO, p, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += n;
    size -= std::size_t(n);
  }
  return true;
}

}  // namespace

int main() {
  // First of all: a core of a document's drawing would be as large as the
  // memory it took, left in whatever folder the program runs in.
  prctl(PR_SET_DUMPABLE, 0);
  const rlimit noCore{0, 0};
  setrlimit(RLIMIT_CORE, &noCore);
  // librsvg's filters draw on a thread pool as wide as the machine, which
  // would use the CPU limit up before the deadline.
  setenv("RAYON_NUM_THREADS", "1", 1);
  // Ends with the program that started it, however that ends: a program
  // that quits leaves no drawing behind.
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  // Under the parent's address-space limit, one heap per drawing thread
  // would spend it on reservations.
  mallopt(M_ARENA_MAX, 2);
  std::vector<unsigned char> input;
  if (!readAll(input) || input.size() <= 4) return 1;
  std::uint32_t maxPixel = 0;
  std::memcpy(&maxPixel, input.data(), 4);
  if (maxPixel == 0 || maxPixel > std::uint32_t(tavolune::svgdrawing::maxSide)) return 1;

  std::vector<unsigned char> pixels;
  std::uint32_t size[2] = {0, 0};
  using tavolune::svgdrawing::Drawing;
  const Drawing drawn = tavolune::svgdrawing::drawing(input.data() + 4, input.size() - 4, int(maxPixel),
                                                [&](int width, int height, int stride) {
                                                  size[0] = std::uint32_t(width);
                                                  size[1] = std::uint32_t(height);
                                                  pixels.assign(std::size_t(stride) * std::size_t(height), 0);
                                                  return pixels.data();
                                                });
  if (drawn == Drawing::outOfMemory) return tavolune::svgdrawing::outOfMemoryExitStatus;
  if (drawn != Drawing::drawn) return 1;
  std::vector<unsigned char>().swap(input);
  return writeAll(size, sizeof size) && writeAll(pixels.data(), pixels.size()) ? 0 : 1;
}
