#include "app/render/ImagePipeline.hpp"

#include "app/platform/linux/SpawnedSVGRasterizer.hpp"
#include "app/render/AvifImage.hpp"
#include "tests/app/render/TestImages.hpp"
#include "tests/support/LoopbackServer.hpp"
#include "tests/support/fakes/FakeImageSource.hpp"
#include "tests/support/fakes/FakeSVGRasterizer.hpp"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageWriter>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <QThread>
#include <QThreadPool>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <zlib.h>

#include <future>
#include <map>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace tavolune {
namespace {

using namespace tavolune::testing;
using testsupport::FakeImageSource;
using namespace std::chrono_literals;

QByteArray encoded(const QImage& image, const char* format, std::optional<QImageIOHandler::Transformations> turn = {}) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, format);
  if (turn) writer.setTransformation(*turn);
  writer.setQuality(95);
  EXPECT_TRUE(writer.write(image)) << writer.errorString().toStdString();
  return bytes;
}

QByteArray readFile(const std::string& path) {
  QFile f(QString::fromStdString(path));
  EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path;
  return f.readAll();
}

Artwork artwork(std::optional<std::string> image, std::optional<std::string> thumbnail = std::nullopt,
                MediaKind kind = MediaKind::image, std::optional<std::string> animation = std::nullopt) {
  return Artwork::make({.chain = Chain::tezos,
                        .contract = "KT1Test",
                        .tokenId = "7",
                        .title = "Dunes",
                        .mediaKind = kind,
                        .imageURI = std::move(image),
                        .thumbnailURI = std::move(thumbnail),
                        .animationURI = std::move(animation)});
}

const char* svgRedOverBlue =
    R"(<svg xmlns="http://www.w3.org/2000/svg" width="100" height="50">)"
    R"(<rect x="0" y="0" width="100" height="25" fill="#ff0000"/>)"
    R"(<rect x="0" y="25" width="50" height="25" fill="#0000ff"/>)"
    R"(<rect x="50" y="25" width="50" height="25" fill="#00ff00"/></svg>)";

TEST(ImagePipeline, FallsThroughToTheNextCandidateAndCachesTheResult) {
  auto source = std::make_shared<FakeImageSource>();
  source->serve("https://media.test/thumb.png", encoded(fourCorners(400, 200), "png"), "image/png");
  ImagePipeline pipeline(source);
  const Artwork work = artwork("https://media.test/full.png", "https://media.test/thumb.png");

  const QImage first = pipeline.image(work, 100, false);
  ASSERT_FALSE(first.isNull());
  EXPECT_EQ(first.size(), QSize(100, 50)) << "downsampled to maxPixel";
  expectCorners(first, Rect{0, 0, 100, 50}, red, green, blue, yellow);
  EXPECT_EQ(source->uris(), (std::vector<std::string>{"https://media.test/full.png", "https://media.test/thumb.png"}));
  for (const auto& call : source->calls()) EXPECT_EQ(call.timeout, std::chrono::seconds(25));

  // Same artwork and size: from memory, whatever the thumbnail preference.
  const QImage again = pipeline.image(work, 100, true);
  EXPECT_EQ(again.cacheKey(), first.cacheKey());
  EXPECT_EQ(source->calls().size(), 2u);
  EXPECT_EQ(pipeline.cached(work, 100).cacheKey(), first.cacheKey());
  EXPECT_TRUE(pipeline.cached(work, 200).isNull());

  // Another size is another entry.
  const QImage larger = pipeline.image(work, 300, true);
  EXPECT_EQ(larger.size(), QSize(300, 150));
  EXPECT_EQ(pipeline.memory().count(), 2u);
  EXPECT_EQ(pipeline.memory().totalCost(), std::int64_t(100 * 4 * 50 + 300 * 4 * 150));
  EXPECT_EQ(source->uris().back(), "https://media.test/thumb.png") << "thumbnail tried first when preferred";
}

TEST(ImagePipeline, NothingToFetchGivesNothing) {
  auto source = std::make_shared<FakeImageSource>();
  source->serve("https://media.test/a.png", encoded(fourCorners(40, 40), "png"), "image/png");
  ImagePipeline pipeline(source);
  EXPECT_TRUE(pipeline.image(artwork(std::nullopt), 512, false).isNull());
  // Pixel sizes that cannot hold a picture are refused before any fetch.
  EXPECT_TRUE(pipeline.image(artwork("https://media.test/a.png"), 0, false).isNull());
  EXPECT_TRUE(pipeline.image(artwork("https://media.test/a.png"), -40, false).isNull());
  EXPECT_TRUE(source->calls().empty());
  // A stop request before the first candidate fetches nothing either.
  std::stop_source stop;
  stop.request_stop();
  EXPECT_TRUE(pipeline.image(artwork("https://media.test/a.png"), 64, false, stop.get_token()).isNull());
  EXPECT_TRUE(source->calls().empty());
}

TEST(ImagePipeline, FailuresAreNotCached) {
  auto source = std::make_shared<FakeImageSource>();
  ImagePipeline pipeline(source);
  const Artwork work = artwork("https://media.test/late.png");
  EXPECT_TRUE(pipeline.image(work, 64, false).isNull());
  source->serve("https://media.test/garbage.png", "not an image at all", "image/png");
  source->serve("https://media.test/late.png", encoded(solid(10, 10, Qt::red), "png"), "image/png");
  const QImage later = pipeline.image(work, 64, false);
  ASSERT_FALSE(later.isNull());
  EXPECT_EQ(later.size(), QSize(10, 10)) << "small images are not enlarged";
  EXPECT_EQ(source->calls().size(), 2u);

  Artwork other = artwork("https://media.test/garbage.png");
  other.id = "tezos:kt1test:8";
  EXPECT_TRUE(pipeline.image(other, 64, false).isNull());
  EXPECT_EQ(pipeline.memory().count(), 1u);
}

TEST(ImagePipeline, DecodesJpegSmallerAndUpright) {
  const QByteArray jpeg = encoded(fourCorners(800, 600), "jpeg");
  const QImage small = ImagePipeline::decode(jpeg, "image/jpeg", 200);
  ASSERT_EQ(small.size(), QSize(200, 150));
  expectCorners(small, Rect{0, 0, 200, 150}, red, green, blue, yellow);

  // A photo stored sideways with an orientation tag is shown as tagged.
  const QByteArray tagged = encoded(fourCorners(80, 40), "jpeg", QImageIOHandler::TransformationRotate90);
  const QImage turned = ImagePipeline::decode(tagged, "image/jpeg", 1000);
  ASSERT_EQ(turned.size(), QSize(40, 80));
  expectCorners(turned, Rect{0, 0, 40, 80}, blue, red, yellow, green);
  const QImage turnedSmall = ImagePipeline::decode(tagged, "image/jpeg", 20);
  EXPECT_EQ(turnedSmall.size(), QSize(10, 20));

  EXPECT_TRUE(ImagePipeline::decode(jpeg, "image/jpeg", 0).isNull());
  EXPECT_TRUE(ImagePipeline::decode(QByteArray(), "image/png", 10).isNull());
  EXPECT_TRUE(ImagePipeline::decode(jpeg.left(60), "image/jpeg", 100).isNull()) << "truncated header";
}

// Files an encoder made once: 64 x 32, red, green, blue and yellow quarters
// as fourCorners draws them; an alpha one blue on the left and clear on the
// right; animations a red frame, then a green one. The AVIF containers of
// some also say: turn a quarter anti-clockwise; exchange top and bottom; cut
// 34 x 18 at (21, 9), odd in 4:2:0; all three; cut outside the picture.
TEST(ImagePipeline, DecodesWebPAndAVIFByTheirSignatures) {
  const QColor clear(0, 0, 0);
  struct Row {
    const char* file;
    std::string mime;
    QColor tl, tr, bl, br;
    int rightAlpha;
    QSize size{64, 32};
  };
  const Row rows[] = {
      {"corners-lossy.webp", "image/webp", red, green, blue, yellow, 255},
      {"corners-lossless.webp", "application/octet-stream", red, green, blue, yellow, 255},
      {"half-clear.webp", "image/webp", blue, clear, blue, clear, 0},
      {"red-then-green.webp", "image/webp", red, red, red, red, 255},
      {"corners-8bit.avif", "image/avif", red, green, blue, yellow, 255},
      {"corners-10bit.avif", "text/plain", red, green, blue, yellow, 255},
      {"red-then-green.avif", "image/avif", red, red, red, red, 255},
      {"corners-pq-constant-luminance.avif", "image/avif", red, green, blue, yellow, 255},
      {"corners-turned.avif", "image/avif", green, yellow, red, blue, 255, {32, 64}},
      {"corners-mirrored.avif", "image/avif", blue, yellow, red, green, 255},
      {"corners-cropped.avif", "image/avif", red, green, blue, yellow, 255, {34, 18}},
      {"corners-cut-turned-mirrored.avif", "image/avif", yellow, green, blue, red, 255, {18, 34}},
      {"corners-clap-outside.avif", "image/avif", red, green, blue, yellow, 255},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.file);
    const QByteArray data = readFile(testData(row.file));
    const QImage image = ImagePipeline::decode(data, row.mime, 100);
    ASSERT_EQ(image.size(), row.size);
    expectCorners(image, Rect{0, 0, double(row.size.width()), double(row.size.height())}, row.tl, row.tr, row.bl,
                  row.br);
    EXPECT_EQ(qAlpha(image.pixel(row.size.width() * 7 / 8, row.size.height() / 2)), row.rightAlpha);
    EXPECT_EQ(qAlpha(image.pixel(row.size.width() / 8, row.size.height() / 2)), 255);
    EXPECT_EQ(ImagePipeline::decode(data, row.mime, 32).size(), row.size.scaled(32, 32, Qt::KeepAspectRatio))
        << "downsampled";
    EXPECT_TRUE(ImagePipeline::decode(data.left(data.size() / 2), row.mime, 100).isNull()) << "truncated";
  }
  // 16384 x 4097 and 16383 x 4097 declared: more than one decode may allocate.
  for (const char* file : {"oversized.webp", "oversized.avif"}) {
    EXPECT_TRUE(ImagePipeline::decode(readFile(testData(file)), "image/png", 512).isNull()) << file;
  }
  const QByteArray avif = readFile(testData("corners-8bit.avif"));
  const std::string_view bytes(avif.constData(), std::size_t(avif.size()));
  EXPECT_TRUE(avif::decodeFirstFrame(bytes, {.maxSide = 64, .maxPixels = 64 * 32}));
  EXPECT_FALSE(avif::decodeFirstFrame(bytes, {.maxSide = 63, .maxPixels = 64 * 32})) << "a side too long";
  EXPECT_FALSE(avif::decodeFirstFrame(bytes, {.maxSide = 64, .maxPixels = 64 * 32 - 1})) << "too many pixels";
}

TEST(ImagePipeline, RasterizesSvgAtTheRequestedSize) {
  const QImage big = ImagePipeline::decode(svgRedOverBlue, "image/svg+xml", 2048);
  ASSERT_EQ(big.size(), QSize(2048, 1024)) << "small documents are scaled up";
  expectCorners(big, Rect{0, 0, 2048, 1024}, QColor(255, 0, 0), QColor(255, 0, 0), QColor(0, 0, 255),
                QColor(0, 255, 0), 1);
  // Served as text, recognised by its head.
  const QImage sniffed = ImagePipeline::decode(svgRedOverBlue, "text/plain", 64);
  EXPECT_EQ(sniffed.size(), QSize(64, 32));
  // The tag in capitals is not an SVG document to us.
  QByteArray shouted(svgRedOverBlue);
  shouted.replace("<svg", "<SVG").replace("</svg>", "</SVG>");
  EXPECT_TRUE(ImagePipeline::decode(shouted, "text/plain", 64).isNull());
  // Only what may be SVG reaches the decoder.
  int asked = 0;
  const ImagePipeline::SVGDraw counting = [&](const QByteArray&, int) {
    ++asked;
    return QImage();
  };
  struct Sniff {
    const char* name;
    QByteArray data;
    std::string mime;
    bool svg;
  };
  const Sniff sniffs[] = {
      {"a BOM, white space and a doctype", "\xEF\xBB\xBF \n<!DOCTYPE svg><svg/>", "application/octet-stream", true},
      {"gzip", "\x1f\x8b\x08\x00", "application/octet-stream", true},
      {"an MP4 by its signature", QByteArray("\0\0\0\x18" "ftypisom", 12) + QByteArray(500, '\0'), "", false},
      {"a video by its MIME type", "<svg labelled as video", "video/mp4", false},
      {"plain text", "plain words", "text/plain", false},
  };
  for (const auto& row : sniffs) {
    asked = 0;
    ImagePipeline::decode(row.data, row.mime, 64, counting);
    EXPECT_EQ(asked, row.svg ? 1 : 0) << row.name;
  }

  EXPECT_TRUE(ImagePipeline::rasterizeSVG(R"(<svg xmlns="http://www.w3.org/2000/svg" width="0" height="50"/>)", 256)
                  .isNull());
  EXPECT_TRUE(ImagePipeline::rasterizeSVG("<svg unclosed", 256).isNull());
  EXPECT_TRUE(ImagePipeline::rasterizeSVG(svgRedOverBlue, 0).isNull());
  // Without width and height the view box gives the shape.
  const QImage boxed = ImagePipeline::rasterizeSVG(
      R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 30 60"><rect width="30" height="60" fill="#00f"/></svg>)",
      120);
  EXPECT_EQ(boxed.size(), QSize(60, 120));
  // A document claiming an absurd size is still drawn at the requested one.
  const QImage huge = ImagePipeline::rasterizeSVG(
      R"(<svg xmlns="http://www.w3.org/2000/svg" width="100000000" height="50000000"/>)", 100);
  EXPECT_EQ(huge.size(), QSize(100, 50));
}

QByteArray gzipped(const QByteArray& plain) {
  z_stream z{};
  EXPECT_EQ(deflateInit2(&z, 9, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY), Z_OK);
  QByteArray out(int(deflateBound(&z, uLong(plain.size()))) + 32, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(plain.constData()));
  z.avail_in = uInt(plain.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = uInt(out.size());
  EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
  out.resize(int(z.total_out));
  deflateEnd(&z);
  return out;
}

TEST(ImagePipeline, SvgOfAnyLabelIsDrawnWithoutReadingLocalFiles) {
  QTemporaryDir dir;
  const QColor secret(0x13, 0x9b, 0x35);  // drawn by no document below
  const QString picture = dir.filePath("secret.png");
  ASSERT_TRUE(solid(20, 20, secret).save(picture));
  const QString fifo = dir.filePath("fifo");
  ASSERT_EQ(::mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
  // A prologue longer than the sniffed head hides the tag.
  auto document = [](const QString& href) {
    return "<?xml version=\"1.0\"?>\n<!-- " + QByteArray(400, 'x') +
           " -->\n<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" "
           "width=\"20\" height=\"20\"><rect width=\"20\" height=\"20\" fill=\"#0000ff\"/>"
           "<image width=\"20\" height=\"20\" xlink:href=\"" +
           href.toUtf8() + "\"/></svg>";
  };
  struct Row {
    const char* name;
    QByteArray data;
    std::string mime;
  };
  const Row rows[] = {
      {"an absolute path, labelled PNG", document(picture), "image/png"},
      {"a file URL, labelled PNG", document(QUrl::fromLocalFile(picture).toString()), "image/png"},
      {"a FIFO, which would never answer", document(fifo), "application/octet-stream"},
      {"gzip-compressed, labelled PNG", gzipped(document(picture)), "image/png"},
      {"gzip-compressed, labelled SVG", gzipped(document(picture)), "image/svg+xml"},
  };
  for (const auto& row : rows) {
    const QImage image = ImagePipeline::decode(row.data, row.mime, 40);
    ASSERT_EQ(image.size(), QSize(40, 40)) << row.name;
    EXPECT_TRUE(colorNear(image, 20, 20, QColor(0, 0, 255), 0)) << row.name;
    int leaked = 0;
    for (int y = 0; y < image.height(); ++y) {
      for (int x = 0; x < image.width(); ++x) leaked += colorNear(image, x, y, secret, 8) ? 1 : 0;
    }
    EXPECT_EQ(leaked, 0) << row.name;
  }
}

QStringList temporaryVideos() { return QDir(QDir::tempPath()).entryList({"*.mp4"}, QDir::Files); }

// A temporary directory of this test's own, so that tests running in
// parallel don't see each other's files.
class OwnTemporaryDirectory {
 public:
  OwnTemporaryDirectory() : saved_(qgetenv("TMPDIR")) {
    EXPECT_TRUE(dir_.isValid());
    qputenv("TMPDIR", dir_.path().toLocal8Bit());
  }
  ~OwnTemporaryDirectory() {
    if (saved_.isNull())
      qunsetenv("TMPDIR");
    else
      qputenv("TMPDIR", saved_);
  }

 private:
  QByteArray saved_;
  QTemporaryDir dir_;
};

TEST(ImagePipeline, TakesTheVideoFrameAtHalfASecondAndCleansUp) {
  const QByteArray clip = readFile(testData("clip.mp4"));  // 0.5 s red, 0.5 s green, 0.5 s blue, 64 x 48
  ASSERT_FALSE(clip.isEmpty());
  auto source = std::make_shared<FakeImageSource>();
  source->serve("ipfs://QmClip", clip, "video/mp4");
  ImagePipeline pipeline(source);
  OwnTemporaryDirectory tmp;
  const QStringList before = temporaryVideos();
  ASSERT_TRUE(before.isEmpty());

  const Artwork work = artwork(std::nullopt, std::nullopt, MediaKind::video, "ipfs://QmClip");
  const QImage poster = pipeline.image(work, 32, false);
  ASSERT_FALSE(poster.isNull());
  EXPECT_LE(std::max(poster.width(), poster.height()), 32);
  EXPECT_EQ(poster.size(), QSize(32, 24));
  const QColor middle = poster.pixelColor(16, 12);
  EXPECT_GT(middle.green(), 150) << middle.name().toStdString();
  EXPECT_LT(middle.red(), 90) << middle.name().toStdString();
  EXPECT_LT(middle.blue(), 90) << middle.name().toStdString();
  EXPECT_EQ(temporaryVideos(), before) << "no temporary file left behind";
  EXPECT_FALSE(pipeline.cached(work, 32).isNull());

  // The same on a worker thread, where the UI would start it.
  QFuture<QImage> future = pipeline.imageAsync(work, 64, false);
  for (int i = 0; i < 20000 && !future.isFinished(); ++i) QThread::msleep(1);
  ASSERT_TRUE(future.isFinished());
  const QImage pooled = future.result();
  ASSERT_EQ(pooled.size(), QSize(64, 48)) << "never enlarged";
  EXPECT_GT(pooled.pixelColor(32, 24).green(), 150);
  EXPECT_EQ(temporaryVideos(), before);
}

TEST(ImagePipeline, AVideoThatCannotBeOpenedMovesOnToTheNextCandidate) {
  // A playlist saved as a video: the player would fetch the segment it names.
  testsupport::LoopbackServer segments;
  const std::string playlist = "#EXTM3U\n#EXT-X-TARGETDURATION:4\n#EXTINF:4,\n" + segments.url("/s0.ts") +
                               "\n#EXT-X-ENDLIST\n";
  auto source = std::make_shared<FakeImageSource>();
  source->serve("https://media.test/broken.mp4", QByteArray::fromStdString(playlist), "video/mp4");
  source->serve("https://media.test/still.png", encoded(solid(30, 20, Qt::blue), "png"), "image/png");
  ImagePipeline pipeline(source);
  OwnTemporaryDirectory tmp;
  const QStringList before = temporaryVideos();
  ASSERT_TRUE(before.isEmpty());
  const QImage image = pipeline.image(artwork("https://media.test/broken.mp4", "https://media.test/still.png"), 64, false);
  ASSERT_FALSE(image.isNull());
  EXPECT_TRUE(colorNear(image, 5, 5, QColor(Qt::blue), 0));
  EXPECT_EQ(temporaryVideos(), before);
  EXPECT_EQ(segments.connectionsAccepted(), 0u);
}

// A document that never finishes drawing: asked twice, it is drawn once;
// it ends when no request wants it any more; over its limit it fails and
// is not drawn again, under another work too, for the session. No more
// than two are drawn at once, and rasters go on beside the queue.
TEST(ImagePipeline, AnEndlessSVGIsJoinedEndedWhenUnwantedAndRememberedOverItsLimit) {
  using Rasterizer = testsupport::FakeSVGRasterizer;
  QByteArray endless(svgRedOverBlue);
  endless.replace("</svg>", QByteArray(Rasterizer::endless) + "</svg>");
  auto source = std::make_shared<FakeImageSource>();
  auto svg = std::make_shared<Rasterizer>();
  for (const char* uri : {"https://media.test/a.svg", "https://media.test/b.svg"}) source->serve(uri, endless, "text/xml");
  source->serve("https://media.test/ok.svg", svgRedOverBlue, "image/svg+xml");
  ImagePipeline pipeline(source, svg);
  const Artwork a = artwork("https://media.test/a.svg");
  Artwork b = artwork("https://media.test/b.svg");
  b.id += "-other";

  std::stop_source first, second;
  auto one = std::async(std::launch::async, [&] { return pipeline.image(a, 64, false, first.get_token()); });
  ASSERT_TRUE(svg->waitForStuck(1));
  auto two = std::async(std::launch::async, [&] { return pipeline.image(a, 64, false, second.get_token()); });
  ASSERT_TRUE(QTest::qWaitFor([&] { return pipeline.requests()->waiting() == 2; }, 5000));
  second.request_stop();
  ASSERT_EQ(two.wait_for(5s), std::future_status::ready);
  EXPECT_TRUE(two.get().isNull());
  EXPECT_EQ(svg->stuck(), 1) << "the first request still wants it";
  first.request_stop();
  EXPECT_TRUE(one.get().isNull());
  EXPECT_TRUE(svg->waitForStuck(0)) << "nobody wants it: ended";
  EXPECT_EQ(svg->begun(), 1) << "joined, not drawn twice";
  EXPECT_EQ(source->count("https://media.test/a.svg"), 1);

  auto three = std::async(std::launch::async, [&] { return pipeline.image(a, 64, false); });
  ASSERT_TRUE(svg->waitForStuck(1));
  svg->runOutOfTime();
  EXPECT_TRUE(three.get().isNull());
  EXPECT_TRUE(pipeline.image(b, 64, false).isNull());
  EXPECT_EQ(svg->begun(), 2) << "the same document is not drawn again";
  EXPECT_EQ(pipeline.image(artwork("https://media.test/ok.svg"), 64, true).size(), QSize(64, 32));
  EXPECT_EQ(svg->limits(), (std::vector<std::chrono::milliseconds>{5s, 5s, 2s})) << "less for thumbnails";
  pipeline.expireFailures();
  EXPECT_TRUE(pipeline.image(b, 64, false).isNull());
  EXPECT_TRUE(pipeline.image(b, 500, true).isNull());
  EXPECT_EQ(svg->begun(), 3) << "over its limit for the session at any size, whatever the library does";

  // Two drawings at a time; the pool's threads waiting for one lend their
  // places, so a raster on a pool of two goes on beside the queue.
  QThreadPool& pool = *QThreadPool::globalInstance();
  const int threads = pool.maxThreadCount();
  pool.setMaxThreadCount(2);
  std::vector<QFuture<QImage>> queued;
  for (int i = 0; i < 5; ++i) {
    const std::string uri = "https://media.test/queued" + std::to_string(i) + ".svg";
    source->serve(uri, QByteArray(endless).replace("<svg ", "<svg id='" + QByteArray::number(i) + "' "), "text/xml");
    Artwork work = artwork(uri);
    work.id = uri;
    queued.push_back(pipeline.imageAsync(work, 64, false));
  }
  ASSERT_TRUE(svg->waitForStuck(2));
  source->serve("https://media.test/p.png", solid(8, 8, Qt::green));
  Artwork png = artwork("https://media.test/p.png");
  png.id = "png";
  QFuture<QImage> raster = pipeline.imageAsync(png, 64, false);
  ASSERT_TRUE(QTest::qWaitFor([&] { return raster.isFinished(); }, 5000)) << "not starved by the queue";
  EXPECT_FALSE(raster.result().isNull());
  EXPECT_EQ(svg->stuck(), 2);
  EXPECT_EQ(pipeline.requests()->drawingSVG(), 2);
  for (const auto& [begun, stuck] : {std::pair{7, 2}, std::pair{8, 1}}) {
    svg->runOutOfTime();
    ASSERT_TRUE(QTest::qWaitFor([&] { return svg->begun() == begun && svg->stuck() == stuck; }, 5000)) << begun;
  }
  svg->runOutOfTime();
  for (auto& future : queued) EXPECT_TRUE(future.result().isNull());
  EXPECT_EQ(svg->begun(), 8);
  pool.setMaxThreadCount(threads);
}

// The decoder program draws what this process draws; a document that
// would take hours ends at its limit, and a stop ends it at once.
TEST(ImagePipeline, DrawsSVGInTheDecoderProcessUnderItsLimits) {
  using Outcome = SVGRasterizer::Outcome;
  SpawnedSVGRasterizer decoder(TAVOLUNE_SVG_DECODER);
  const auto drawn = decoder.rasterize(svgRedOverBlue, 200, 5s, {});
  ASSERT_EQ(drawn.outcome, Outcome::drawn);
  EXPECT_EQ(drawn.image, ImagePipeline::rasterizeSVG(svgRedOverBlue, 200));
  EXPECT_EQ(decoder.rasterize("<svg unclosed", 64, 5s, {}).outcome, Outcome::undecodable);
  EXPECT_EQ(decoder.rasterize(svgRedOverBlue, 0, 5s, {}).outcome, Outcome::undecodable);

  const QByteArray hours = R"(<svg xmlns="http://www.w3.org/2000/svg" width="520" height="520">)"
                           R"(<filter id="f"><feTurbulence baseFrequency="0.05" numOctaves="1000000"/></filter>)"
                           R"x(<rect width="520" height="520" filter="url(#f)"/></svg>)x";
  EXPECT_EQ(decoder.rasterize(hours, 520, 300ms, {}).outcome, Outcome::overLimit);
  std::stop_source stop;
  auto stopped = std::async(std::launch::async, [&] { return decoder.rasterize(hours, 520, 60s, stop.get_token()); });
  stop.request_stop();
  EXPECT_EQ(stopped.get().outcome, Outcome::stopped);
  EXPECT_EQ(decoder.rasterize(svgRedOverBlue, 64, 5s, stop.get_token()).outcome, Outcome::stopped);
  // Running out of memory is over the limit, not undecodable: 16 MiB a layer.
  QByteArray floods = R"(<svg xmlns="http://www.w3.org/2000/svg" width="2048" height="2048"><filter id="f">)";
  QByteArray merge = "<feMerge>";
  for (int i = 0; i < 200; ++i) {
    floods += "<feFlood flood-color='red' result='r" + QByteArray::number(i) + "'/>";
    merge += "<feMergeNode in='r" + QByteArray::number(i) + "'/>";
  }
  floods += merge + R"x(</feMerge></filter><rect width="2048" height="2048" filter="url(#f)"/></svg>)x";
  EXPECT_EQ(decoder.rasterize(floods, 2048, 20s, {}).outcome, Outcome::overLimit);
  SpawnedSVGRasterizer missing("/nonexistent/tavolune-svg-decoder");
  EXPECT_EQ(missing.rasterize(svgRedOverBlue, 64, 5s, {}).outcome, Outcome::undecodable);
}

TEST(ImagePipeline, DecodesOffTheCallingThread) {
  auto source = std::make_shared<FakeImageSource>();
  source->serve("https://media.test/a.svg", svgRedOverBlue, "image/svg+xml");
  ImagePipeline pipeline(source);
  QFuture<QImage> future = pipeline.imageAsync(artwork("https://media.test/a.svg"), 200, false);
  // As the UI would: wait without blocking on the future (waitForFinished
  // runs a task that has not started yet on the waiting thread).
  for (int i = 0; i < 5000 && !future.isFinished(); ++i) QThread::msleep(1);
  ASSERT_TRUE(future.isFinished());
  const QImage image = future.result();
  EXPECT_EQ(image.size(), QSize(200, 100));
  ASSERT_EQ(source->calls().size(), 1u);
  EXPECT_NE(source->calls()[0].thread, std::this_thread::get_id());
}

TEST(ImageMemoryCache, EvictsTheLeastRecentlyUsedByCountAndCost) {
  ImageMemoryCache cache(1000, 3);
  const QImage img = solid(2, 2, Qt::red);
  cache.insert("a", img, 100);
  cache.insert("b", img, 100);
  cache.insert("c", img, 100);
  EXPECT_FALSE(cache.find("a").isNull());  // a is now the most recent
  cache.insert("d", img, 100);
  EXPECT_TRUE(cache.find("b").isNull()) << "the least recently used goes first";
  EXPECT_FALSE(cache.find("a").isNull());
  EXPECT_EQ(cache.count(), 3u);

  cache.insert("big", img, 900);  // 300 + 900 > 1000: evict until it fits
  EXPECT_LE(cache.totalCost(), 1000);
  EXPECT_FALSE(cache.find("big").isNull());
  EXPECT_EQ(cache.totalCost(), 1000);
  EXPECT_EQ(cache.count(), 2u);

  cache.insert("big", img, 50);  // replacing adjusts the cost
  EXPECT_EQ(cache.totalCost(), 150);
  cache.insert("huge", img, 5000);  // beyond the whole limit: not kept, nothing pushed out
  EXPECT_TRUE(cache.find("huge").isNull());
  EXPECT_EQ(cache.count(), 2u);
}

}  // namespace
}  // namespace tavolune
