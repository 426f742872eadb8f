#pragma once
// A desktop controller over a loaded app model in a temporary data folder,
// with fake displays, wallpaper back end, windows and formats, short
// timings and a clock the test moves. Works' images sit in the media cache.

#include "app/desktop/DesktopController.hpp"
#include "app/model/AppModel.hpp"
#include "core/base/Date.hpp"
#include "tests/app/desktop/DesktopFakes.hpp"
#include "tests/support/fakes/FakeImageSource.hpp"
#include "tests/support/fakes/FakeProbeService.hpp"
#include "tests/support/ModelEdits.hpp"

#include <QImage>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThreadPool>

#include <filesystem>
#include <functional>
#include <gtest/gtest.h>

namespace tavolune::testsupport {

inline Display makeDisplay(QString key, std::uint32_t number, bool main, QRect geometry = QRect(0, 0, 320, 180)) {
  Display d;
  d.key = std::move(key);
  d.number = number;
  d.name = QStringLiteral("Display %1").arg(number);
  d.isMain = main;
  d.geometry = geometry;
  d.available = geometry;
  return d;
}

struct DesktopRig : DesktopFakes {
  QTemporaryDir dir;
  Date clock = *iso8601::parse("2024-05-01T12:00:00Z");
  Uuid wallet = Uuid::random();
  FakeProbeService* probes = nullptr;  // the model's, once it asks for them
  std::unique_ptr<AppModel> model;
  std::unique_ptr<DesktopController> controller;
  // Set before make(): the pre-render wait and a watcher of the passes' steps.
  std::chrono::milliseconds prerenderWait{20};
  decltype(DesktopTimings::stageDone) stageDone;

  // adjust: changes to the model's options (gateways, say).
  explicit DesktopRig(const std::function<void(AppModel::Options&)>& adjust = {}) {
    AppModel::Options o;
    o.storeURL = root() / "library.json";
    o.cacheDirectory = root() / "Media";
    o.services.gateways = {};
    o.timings.saveDelay = std::chrono::milliseconds(20);
    o.now = [this] { return clock; };
    o.probes = FakeProbeService::into(probes);
    if (adjust) adjust(o);
    model = std::make_unique<AppModel>(o);
    QSignalSpy loaded(model.get(), &AppModel::loadedChanged);
    model->load();
    EXPECT_TRUE(loaded.wait(5000));
    seedLibrary(*model, [w = wallet](LibraryState& s) {
      s.wallets.push_back(Wallet::make(w, "Mine", "tz1", "tz1", std::nullopt, ChainFamily::tezos));
      s.settings.rotationOrder = PlaybackOrder::sequential;
    });
  }

  ~DesktopRig() {
    // Workers of the passes still hold the model's image pipeline.
    controller.reset();
    QThreadPool::globalInstance()->waitForDone();
  }

  std::filesystem::path root() const { return dir.path().toStdString(); }
  std::filesystem::path wallpaperDir() const { return root() / "Wallpapers"; }

  // On the fakes, or on real displays and a real back end.
  DesktopController& make() { return make(displays, wallpapers); }
  DesktopController& make(DisplaySource& displaySource, WallpaperBackend& backend) {
    DesktopController::Timings t;
    t.screensDebounce = std::chrono::milliseconds(30);
    t.prerenderWait = prerenderWait;
    t.stageDone = stageDone;
    t.cartelSeconds = 0.05;
    t.releaseDelay = std::chrono::milliseconds(300);
    t.measureGap = std::chrono::milliseconds(20);
    t.now = [this] { return clock; };
    controller = std::make_unique<DesktopController>(*model, services(displaySource, backend, formats), wallpaperDir(), t);
    return *controller;
  }

  // An owned work whose image (a flat colour) is in the media cache.
  Artwork addWork(const std::string& token, MediaKind kind = MediaKind::image, QColor colour = Qt::red) {
    Artwork a = Artwork::make({.chain = Chain::tezos, .contract = "KT1Desk", .tokenId = token,
                               .title = "Work " + token, .mediaKind = kind,
                               .imageURI = "https://media.test/" + token + ".png"});
    QImage image(64, 48, QImage::Format_RGB32);
    image.fill(colour);
    const QByteArray png = FakeImageSource::png(image);
    model->media().cache().store(std::string_view(png.constData(), std::size_t(png.size())), *a.imageURI, "image/png");
    seedLibrary(*model, [a, w = wallet](LibraryState& s) {
      s.artworks[a.id] = a;
      s.ownerships[w][a.id] = 1;
      s.touch();
    });
    return a;
  }

  // Started on one display showing the first of two works, its picture set.
  DesktopController& startWithTwo(const QString& key, MediaKind second) {
    addWork("1", MediaKind::image, Qt::red);
    addWork("2", second, Qt::green);
    displays.set({makeDisplay(key, 1, true)});
    make().start();
    EXPECT_TRUE(waitApplied(key));
    return *controller;
  }

  std::optional<std::string> current(const QString& key) const {
    return controller->config(key).currentArtworkID;
  }

  // Waits until the display's applied picture changes to something.
  bool waitApplied(const QString& key, int ms = 5000) {
    QSignalSpy spy(controller.get(), &DesktopController::wallpaperApplied);
    while (spy.wait(ms)) {
      for (const auto& args : spy) {
        if (args.at(0).toString() == key) return true;
      }
    }
    return false;
  }
  // Waits until no still pass is counted any more.
  bool waitIdle(int ms = 5000) {
    QSignalSpy spy(controller.get(), &DesktopController::preparingChanged);
    while (!controller->preparing().empty()) {
      if (!spy.wait(ms)) return false;
    }
    return true;
  }

  std::vector<std::string> files() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(wallpaperDir())) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }
};

}  // namespace tavolune::testsupport
