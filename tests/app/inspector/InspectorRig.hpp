#pragma once
// A loaded app model whose probes wait for the test, a desktop controller on
// fake displays (one main display of 1600 x 1000), stills served from memory
// through a pipeline and pool of the test's own, and the links the views
// ask to open. GUI thread only.

#include "app/desktop/DesktopController.hpp"
#include "app/inspector/InspectorServices.hpp"
#include "tests/app/desktop/DesktopFakes.hpp"
#include "tests/app/desktop/DesktopRig.hpp"
#include "tests/app/model/ModelHarness.hpp"
#include "tests/support/LibraryFixtures.hpp"
#include "tests/support/fakes/FakeImageSource.hpp"
#include "tests/support/fakes/FakeProbeService.hpp"
#include "tests/support/ModelEdits.hpp"

#include <QTest>
#include <QThreadPool>

#include <memory>
#include <vector>

namespace tavolune::testsupport {

inline const QString mainKey = QStringLiteral("display-1");

class InspectorRig : public ModelHarness, public DesktopFakes {
 protected:
  InspectorRig() {
    auto o = options();
    o.probes = FakeProbeService::into(probe);
    model = std::make_unique<AppModel>(std::move(o));
    QSignalSpy loaded(model.get(), &AppModel::loadedChanged);
    model->load();
    EXPECT_TRUE(waitForSignal(loaded));
    desktopChanges = std::make_unique<DesktopChanges>(*model);
    displays.set({makeDisplay(mainKey, 1, true, QRect(0, 0, 1600, 1000))});
    desktop = std::make_unique<DesktopController>(
        *model,
        DesktopFakes::services(),
        root() / "Wallpapers");
    desktop->refreshScreens(false);
  }
  ~InspectorRig() override {
    pool.waitForDone();
    desktop.reset();
    QThreadPool::globalInstance()->waitForDone();
  }

  InspectorServices services() {
    return {*model, *desktop, {pipeline, pool, {}}, [this](const QUrl& url) { opened.push_back(url); }};
  }

  // Stores the works, owned by one wallet.
  void own(std::initializer_list<Artwork> works) {
    seedLibrary(*model, [w = owner, works = std::vector<Artwork>(works)](LibraryState& s) {
      for (const auto& a : works) hold(s, w, {a});
    });
  }
  void put(const Artwork& a, int maxPixel, const QImage& still) {
    pipeline.memory().insert(ImagePipeline::cacheKey(a, maxPixel), still, still.sizeInBytes());
  }
  // Lets the pool's loads end and their results arrive.
  void settle() {
    pool.waitForDone();
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
  }

  static Artwork kind(std::string token, MediaKind kind, std::string uri = {}) {
    Artwork a = work(token, "Work " + token, kind, "Ada");
    a.imageURI = uri.empty() ? "https://media.test/" + token + ".png" : uri;
    return a;
  }

  Wallet owner = wallet();
  FakeProbeService* probe = nullptr;
  std::shared_ptr<FakeImageSource> source = std::make_shared<FakeImageSource>();
  ImagePipeline pipeline{source};
  QThreadPool pool;
  std::unique_ptr<DesktopController> desktop;
  std::vector<QUrl> opened;
  // The model's reports that sent the desktop looking again.
  int libraryChangedCalls() const { return (*desktopChanges)(); }
  std::unique_ptr<DesktopChanges> desktopChanges;
};

}  // namespace tavolune::testsupport
