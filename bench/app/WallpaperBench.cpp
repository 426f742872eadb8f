#include "app/platform/linux/RootWallpaper.hpp"
#include "app/platform/linux/SpannedPicture.hpp"
#include "app/platform/linux/Xcb.hpp"
#include "app/render/WallpaperComposer.hpp"

#include <QDir>
#include <QFile>
#include <QImage>

#include <benchmark/benchmark.h>

#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

extern char** environ;

namespace tavolune::bench {
namespace {

// A photograph-like JPEG of the given size in the temporary folder, made once.
QString picture(int w, int h, const char* name) {
  const QString path = QDir(QDir::tempPath()).filePath(name);
  if (QFile::exists(path)) return path;
  QImage image(w, h, QImage::Format_RGB32);
  for (int y = 0; y < h; ++y) {
    auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < w; ++x) {
      row[x] = qRgb((x * 255 / w + int(30 * std::sin(y * 0.011))) & 255, (y * 255 / h + ((x * 7 + y * 13) % 19)) & 255,
                    int(128 + 90 * std::sin((x + y) * 0.003)));
    }
  }
  image.save(path, "jpeg", 92);
  return path;
}

// Under the desktop test script's Xvfb the root is 1920 x 1080.
std::optional<QRect> rootRect() {
  int number = 0;
  auto c = xcb::connect(&number);
  if (!c) return std::nullopt;
  const auto* s = xcb::screenOf(c.get(), number);
  return QRect(0, 0, s->width_in_pixels, s->height_in_pixels);
}

void BM_SetWallpaper_X11Root_5K(benchmark::State& state) {
  const auto root = rootRect();
  if (!root) {
    state.SkipWithError("needs an X display (run under scripts/with-desktop.sh)");
    return;
  }
  const QString file = picture(5120, 2880, "tavolune-bench-root-5k.jpg");
  const std::vector<SpannedPiece> pieces{{*root, file, Qt::black}};
  std::vector<std::uint32_t> pixmaps;
  int sets = 0;
  auto set = [&]() -> bool {
    if (RootWallpaper::setRoot(pieces)) return false;
    ++sets;
    int number = 0;
    auto c = xcb::connect(&number);
    pixmaps.push_back(xcb::cardinal(c.get(), xcb::screenOf(c.get(), number)->root,
                                    xcb::atom(c.get(), "_XROOTPMAP_ID"))
                          .value_or(0));
    return true;
  };
  for (auto _ : state) {
    if (!set()) {
      state.SkipWithError("the root picture was not set");
      return;
    }
  }
  // Memory of the X server after 50 sets (outside the timing, which has ended):
  // count the pixmaps of ours still alive.
  while (sets < 50 && set()) {
  }
  int number = 0;
  auto c = xcb::connect(&number);
  int alive = 0;
  // Freed clients' ids are handed out again: count each id once.
  std::sort(pixmaps.begin(), pixmaps.end());
  pixmaps.erase(std::unique(pixmaps.begin(), pixmaps.end()), pixmaps.end());
  for (auto p : pixmaps) {
    std::unique_ptr<xcb_get_geometry_reply_t, decltype(&std::free)> g(
        xcb_get_geometry_reply(c.get(), xcb_get_geometry(c.get(), p), nullptr), &std::free);
    alive += g != nullptr;
  }
  state.counters["sets"] = sets;
  state.counters["pixmaps_alive"] = alive;
  state.counters["pixmap_MiB"] = alive * root->width() * root->height() * 4 / (1024.0 * 1024.0);
}
BENCHMARK(BM_SetWallpaper_X11Root_5K)->Name("BM_SetWallpaper/X11Root/5K")->Unit(benchmark::kMillisecond);

// feh on the same file, for comparison only; skipped where feh is missing.
void BM_SetWallpaper_X11Root_5K_feh(benchmark::State& state) {
  if (!rootRect()) {
    state.SkipWithError("needs an X display (run under scripts/with-desktop.sh)");
    return;
  }
  std::string file = picture(5120, 2880, "tavolune-bench-root-5k.jpg").toStdString();
  std::string feh = "feh", option = "--bg-fill";
  char* argv[] = {feh.data(), option.data(), file.data(), nullptr};
  for (auto _ : state) {
    pid_t pid = 0;
    int status = 0;
    if (posix_spawnp(&pid, "feh", nullptr, nullptr, argv, environ) != 0 || waitpid(pid, &status, 0) < 0 ||
        !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      state.SkipWithError("feh is not installed");
      return;
    }
  }
}
BENCHMARK(BM_SetWallpaper_X11Root_5K_feh)->Name("BM_SetWallpaper/X11Root/5K/feh")->Unit(benchmark::kMillisecond);

void BM_SpannedComposite(benchmark::State& state) {
  const QString a = picture(2560, 1440, "tavolune-bench-span-a.jpg");
  const QString b = picture(2560, 1440, "tavolune-bench-span-b.jpg");
  const std::vector<SpannedPiece> pieces{{QRect(0, 0, 2560, 1440), a, Qt::black},
                                         {QRect(2560, 0, 2560, 1440), b, Qt::black}};
  const QString out = QDir(QDir::tempPath()).filePath("tavolune-bench-spanned.jpg");
  for (auto _ : state) {
    const QImage image = SpannedPicture::compose(pieces, QSize(5120, 1440));
    const auto jpeg = WallpaperComposer::jpegData(image, 0.92);
    QFile f(out);
    if (!jpeg || !f.open(QIODevice::WriteOnly) || f.write(*jpeg) != jpeg->size()) {
      state.SkipWithError("the spanned picture was not written");
      return;
    }
  }
}
BENCHMARK(BM_SpannedComposite)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tavolune::bench
