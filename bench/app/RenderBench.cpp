#include "app/platform/linux/SpawnedSVGRasterizer.hpp"
#include "app/render/ImagePipeline.hpp"
#include "app/render/WallpaperComposer.hpp"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <spawn.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

extern char** environ;

namespace tavolune::bench {
namespace {

// The JPEG every case reads: TAVOLUNE_BENCH_IMAGE when set, so that other
// tools can be timed on the same file, else a generated 4000 x 4000 picture.
const std::string& sourcePath() {
  static const std::string path = [] {
    if (const char* given = std::getenv("TAVOLUNE_BENCH_IMAGE"); given && *given) return std::string(given);
    const QString file = QDir(QDir::tempPath()).filePath("tavolune-bench-4000.jpg");
    QImage image(4000, 4000, QImage::Format_RGB32);
    // Smooth gradients with fine detail: compresses like a photograph, not like a flat fill.
    for (int y = 0; y < image.height(); ++y) {
      QRgb* row = reinterpret_cast<QRgb*>(image.scanLine(y));
      for (int x = 0; x < image.width(); ++x) {
        const int r = (x * 255 / 4000 + int(40 * std::sin(y * 0.013))) & 255;
        const int g = (y * 255 / 4000 + ((x * 7 + y * 13) % 23)) & 255;
        const int b = int(128 + 100 * std::sin((x + y) * 0.004) + ((x ^ y) & 15));
        row[x] = qRgb(r, g, std::clamp(b, 0, 255));
      }
    }
    image.save(file, "jpeg", 90);
    return file.toStdString();
  }();
  return path;
}

QByteArray readSource() {
  QFile f(QString::fromStdString(sourcePath()));
  if (!f.open(QIODevice::ReadOnly)) return {};
  return f.readAll();
}

double peakMiB(int who) {
  rusage usage{};
  getrusage(who, &usage);
  return double(usage.ru_maxrss) / 1024.0;  // kilobytes on Linux
}

// ImageMagick on the same file, for comparison only: TAVOLUNE_BENCH_CONVERT
// or /usr/bin/convert; the case is skipped when neither runs.
bool runConvert(const std::vector<std::string>& args) {
  const char* given = std::getenv("TAVOLUNE_BENCH_CONVERT");
  const std::string tool = given && *given ? given : "/usr/bin/convert";
  std::vector<std::string> all{tool};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawn(&pid, tool.c_str(), nullptr, nullptr, argv.data(), environ) != 0) return false;
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::string outputPath(const char* name) { return QDir(QDir::tempPath()).filePath(name).toStdString(); }

void BM_ComposeWallpaper_5K(benchmark::State& state) {
  const QString out = QString::fromStdString(outputPath("tavolune-bench-5k.jpg"));
  if (readSource().isEmpty()) state.SkipWithError("no source image");
  for (auto _ : state) {
    const QByteArray bytes = readSource();
    const QImage image = ImagePipeline::decode(bytes, "image/jpeg", 5120);
    const QImage picture = WallpaperComposer::composeFramed(image, QSizeF(5120, 2880), FrameStyle::galleryWhite);
    const auto jpeg = WallpaperComposer::jpegData(picture, 0.92);
    QFile f(out);
    if (!jpeg || !f.open(QIODevice::WriteOnly) || f.write(*jpeg) != jpeg->size()) {
      state.SkipWithError("composition failed");
      break;
    }
  }
  state.counters["peak_MiB"] = peakMiB(RUSAGE_SELF);
}
BENCHMARK(BM_ComposeWallpaper_5K)->Name("BM_ComposeWallpaper/5K")->Unit(benchmark::kMillisecond);

void BM_ComposeWallpaper_5K_ImageMagick(benchmark::State& state) {
  const std::string out = outputPath("tavolune-bench-5k-im.jpg");
  for (auto _ : state) {
    if (!runConvert({sourcePath(), "-resize", "2880x2880", "-gravity", "center", "-background", "#eeeeee",
                     "-extent", "5120x2880", "-quality", "92", out})) {
      state.SkipWithError("ImageMagick's convert is not available");
      break;
    }
  }
  state.counters["peak_MiB"] = peakMiB(RUSAGE_CHILDREN);
}
BENCHMARK(BM_ComposeWallpaper_5K_ImageMagick)
    ->Name("BM_ComposeWallpaper/5K/ImageMagick")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();

void BM_DecodeTile(benchmark::State& state) {
  if (readSource().isEmpty()) state.SkipWithError("no source image");
  for (auto _ : state) {
    const QImage tile = ImagePipeline::decode(readSource(), "image/jpeg", 520);
    if (std::max(tile.width(), tile.height()) != 520) {
      state.SkipWithError("decoding failed");
      break;
    }
    benchmark::DoNotOptimize(tile.constBits());
  }
}
BENCHMARK(BM_DecodeTile)->Unit(benchmark::kMillisecond);

void BM_DecodeTile_ImageMagick(benchmark::State& state) {
  const std::string out = outputPath("tavolune-bench-tile-im.jpg");
  for (auto _ : state) {
    if (!runConvert({sourcePath(), "-thumbnail", "520x520", out})) {
      state.SkipWithError("ImageMagick's convert is not available");
      break;
    }
  }
}
// A child process's time is not ours: these two count wall time.
BENCHMARK(BM_DecodeTile_ImageMagick)
    ->Name("BM_DecodeTile/ImageMagick")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();

// A generative-looking SVG still: gradients, a blur and a hundred shapes.
QByteArray svgStill() {
  QByteArray doc = R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 1000 1000">)"
                   R"(<defs><radialGradient id="g"><stop offset="0" stop-color="#f3c"/>)"
                   R"(<stop offset="1" stop-color="#13f"/></radialGradient>)"
                   R"(<filter id="b"><feGaussianBlur stdDeviation="6"/></filter></defs>)"
                   R"x(<rect width="1000" height="1000" fill="#102030"/><g filter="url(#b)">)x";
  for (int i = 0; i < 100; ++i) {
    doc += QStringLiteral(R"x(<circle cx="%1" cy="%2" r="%3" fill="url(#g)" opacity="0.7"/>)x")
               .arg((i * 97) % 1000)
               .arg((i * 61) % 1000)
               .arg(20 + (i * 13) % 80)
               .toUtf8();
  }
  return doc + "</g></svg>";
}

// The cost of one SVG thumbnail drawn in this process and in a decoder of
// its own (spawn, pipes, drawing, pixels back): the price of drawing apart.
void BM_SvgDecode(benchmark::State& state, bool apart) {
  const QByteArray doc = svgStill();
  SpawnedSVGRasterizer decoder(TAVOLUNE_SVG_DECODER);
  for (auto _ : state) {
    const QImage image = apart ? decoder.rasterize(doc, 520, std::chrono::seconds(5), {}).image
                               : ImagePipeline::rasterizeSVG(doc, 520);
    if (image.width() != 520) {
      state.SkipWithError("drawing failed");
      break;
    }
    benchmark::DoNotOptimize(image.constBits());
  }
}
BENCHMARK_CAPTURE(BM_SvgDecode, inProcess, false)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_SvgDecode, apart, true)->Unit(benchmark::kMillisecond)->UseRealTime();

// Media served from memory, as the media cache would.
class MemorySource final : public ImageSource {
 public:
  std::map<std::string, FetchedMedia> media;
  FetchedMedia fetch(const std::string& uri, std::chrono::milliseconds, std::stop_token) override {
    const auto it = media.find(uri);
    if (it == media.end()) throw std::runtime_error("not served");
    return it->second;
  }
};

// A dozen SVG bombs (eight of 6,000 merged floods, four of 200 lighting
// filters at 2048 px) and two PNGs asked for at once on the pool, as a grid
// would: the time until every answer is in. The decoders' memory together is
// read from outside (scripts/svg-decoders-rss.sh).
void BM_SvgBombs(benchmark::State& state) {
  auto source = std::make_shared<MemorySource>();
  std::vector<Artwork> works;
  auto add = [&](const std::string& name, QByteArray data, std::string mime) {
    const std::string uri = "https://media.test/" + name;
    source->media[uri] = {std::move(data), std::move(mime)};
    works.push_back(Artwork::make({.chain = Chain::tezos, .contract = "KT1Bench", .tokenId = name, .title = name,
                                   .mediaKind = MediaKind::image, .imageURI = uri}));
  };
  for (int i = 0; i < 12; ++i) {
    const bool floods = i < 8;
    QByteArray doc = "<svg xmlns='http://www.w3.org/2000/svg' width='2048' height='2048'><!-- " +
                     QByteArray::number(i) + " --><filter id='f' x='0' y='0' width='1' height='1'>";
    QByteArray merge = "<feMerge>";
    for (int k = 0; k < (floods ? 6000 : 200); ++k) {
      const QByteArray n = QByteArray::number(k);
      if (floods) {
        doc += "<feFlood flood-color='#" + QByteArray::number(0x100000 + k * 37, 16) + "' result='r" + n + "'/>";
        merge += "<feMergeNode in='r" + n + "'/>";
      } else {
        doc += "<feSpecularLighting in='" + (k == 0 ? QByteArray("SourceGraphic") : "l" + QByteArray::number(k - 1)) +
               "' surfaceScale='5' specularExponent='20' result='l" + n + "'><fePointLight x='" +
               QByteArray::number(k * 10) + "' y='500' z='200'/></feSpecularLighting>";
      }
    }
    doc += (floods ? merge + "</feMerge>" : QByteArray()) +
           "</filter><rect width='2048' height='2048' fill='#468' filter='url(#f)'/></svg>";
    add("bomb" + std::to_string(i) + ".svg", doc, "image/svg+xml");
  }
  for (int i = 0; i < 2; ++i) {
    QImage image(1600, 1200, QImage::Format_RGB32);
    image.fill(i == 0 ? Qt::red : Qt::blue);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "png");
    add("still" + std::to_string(i) + ".png", png, "image/png");
  }
  for (auto _ : state) {
    ImagePipeline pipeline(source, std::make_shared<SpawnedSVGRasterizer>(TAVOLUNE_SVG_DECODER));
    std::vector<QFuture<QImage>> answers;
    for (const Artwork& work : works) answers.push_back(pipeline.imageAsync(work, 2048, false));
    int drawn = 0;
    for (auto& answer : answers) drawn += answer.result().isNull() ? 0 : 1;
    state.counters["drawn"] = drawn;
  }
}
BENCHMARK(BM_SvgBombs)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}  // namespace
}  // namespace tavolune::bench
