#pragma once
// A desktop controller for the desktop benchmarks: an app model in a
// temporary data folder with works whose images sit in its media cache, the
// platform fakes the case does not replace, and an event loop that runs
// until a condition holds. GUI thread only.

#include "app/desktop/DesktopController.hpp"
#include "app/model/AppModel.hpp"
#include "bench/app/BenchApplication.hpp"
#include "tests/app/desktop/DesktopFakes.hpp"
#include "tests/support/ModelEdits.hpp"

#include <QBuffer>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QTimer>

#include <filesystem>
#include <functional>
#include <memory>

namespace tavolune::bench {

// Runs the event loop until done() holds or the time is up; done() is asked
// every few milliseconds. True when it held.
inline bool spinUntil(const std::function<bool()>& done, int ms = 10000) {
  if (done()) return true;
  QEventLoop loop;
  QTimer poll;
  poll.setInterval(2);
  const QDeadlineTimer deadline(ms);
  QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
    if (done() || deadline.hasExpired()) loop.quit();
  });
  poll.start();
  loop.exec();
  return done();
}

inline QByteArray encodedImage(const QImage& image, const char* format, int quality = -1) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, format, quality);
  return bytes;
}

inline Display benchDisplay(const QString& key, std::uint32_t number, QRect geometry, bool main = true) {
  Display d;
  d.key = key;
  d.number = number;
  d.name = key;
  d.isMain = main;
  d.geometry = d.available = geometry;
  return d;
}

struct DesktopBenchRig : testsupport::DesktopFakes {
  QTemporaryDir dir;
  std::unique_ptr<AppModel> model;
  Uuid wallet = Uuid::random();
  std::unique_ptr<DesktopController> controller;

  DesktopBenchRig() {
    ensureApp();
    AppModel::Options o;
    o.storeURL = root() / "library.json";
    o.cacheDirectory = root() / "Media";
    o.services.gateways = {};
    model = std::make_unique<AppModel>(o);
    model->load();
    spinUntil([this] { return model->isLoaded(); });
    seedLibrary(*model, [](LibraryState& s) { s.settings.rotationOrder = PlaybackOrder::sequential; });
  }
  ~DesktopBenchRig() {
    controller.reset();
    QThreadPool::globalInstance()->waitForDone();
  }

  std::filesystem::path root() const { return dir.path().toStdString(); }
  std::filesystem::path wallpaperDir() const { return root() / "Wallpapers"; }

  // An owned work whose image bytes are in the media cache.
  Artwork addWork(int index, MediaKind kind, const QByteArray& bytes, const std::string& mime) {
    const std::string token = std::to_string(index);
    Artwork a = Artwork::make({.chain = Chain::tezos, .contract = "KT1Bench", .tokenId = token, .title = "Work " + token,
                               .mediaKind = kind, .imageURI = "https://media.test/" + token});
    model->media().cache().store(std::string_view(bytes.constData(), std::size_t(bytes.size())), *a.imageURI, mime);
    seedLibrary(*model, [a, w = wallet](LibraryState& s) {
      s.artworks[a.id] = a;
      s.ownerships[w][a.id] = 1;
      s.touch();
    });
    return a;
  }

  DesktopController& make(DisplaySource& source, WallpaperBackend& backend, DesktopFormats& measuring,
                          DesktopController::Timings timings = {}) {
    controller = std::make_unique<DesktopController>(*model, services(source, backend, measuring), wallpaperDir(),
                                                     std::move(timings));
    return *controller;
  }

  // Wallpaper files of the display, and crash temporaries, in the folder.
  int filesOf(const QString& key) const {
    int n = 0;
    for (const auto& e : std::filesystem::directory_iterator(wallpaperDir())) {
      n += e.path().filename().string().starts_with(key.toStdString() + "-") ? 1 : 0;
    }
    return n;
  }
  int temporaries() const {
    int n = 0;
    for (const auto& e : std::filesystem::directory_iterator(wallpaperDir())) {
      n += e.path().filename().string().ends_with(".part") ? 1 : 0;
    }
    return n;
  }
};

}  // namespace tavolune::bench
