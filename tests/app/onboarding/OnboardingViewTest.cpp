#include "app/onboarding/OnboardingView.hpp"
#include "app/onboarding/GenerativeBackdrop.hpp"
#include "app/onboarding/WalletPreviewMosaic.hpp"
#include "app/onboarding/WelcomeHeader.hpp"
#include "tests/app/model/ModelHarness.hpp"
#include "tests/support/fakes/FakeAutostartService.hpp"
#include "tests/support/fakes/FakeSystemLog.hpp"
#include "tests/support/LibraryFixtures.hpp"
#include "tests/support/ModelEdits.hpp"

#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <QThreadPool>

#include <gtest/gtest.h>

namespace tavolune {
namespace {

using testsupport::tezosAddress;

class OnboardingViewTest : public testsupport::ModelHarness {
 protected:
  OnboardingViewTest() {
    loadedModel();
    OnboardingView::registerWindow(windows, *model, desktop(), login, {model->media().images(), pool, {}});
  }
  ~OnboardingViewTest() override {
    windows.close(OnboardingView::windowID);
    pool.waitForDone();
  }

  // Records the desktop calls, and whether onboarding was marked done by then.
  WelcomeDesktop desktop() {
    return {
        [this](bool render) {
          calls.push_back(std::string("refresh ") + (render ? "render" : "quiet") +
                          (model->state().settings.hasCompletedOnboarding ? " after done" : " before done"));
        },
        [this](const std::optional<std::string>& key) {
          calls.push_back(key ? "keys " + *key : "keys all");
          return displays;
        },
        [this](const std::string& key, bool forward) { calls.push_back("advance " + key + (forward ? "" : " back")); },
    };
  }

  OnboardingView* open() {
    QWidget* window = windows.showWelcome();
    return window ? window->findChild<OnboardingView*>() : nullptr;
  }

  // Types the text into the view's field, presses Return and waits for the end.
  void add(OnboardingView& view, const std::string& text) {
    QPointer<AddWalletField> field = view.walletField();
    ASSERT_TRUE(field);
    QSignalSpy changed(field.data(), &AddWalletField::messageChanged);
    field->setInput(QString::fromStdString(text));
    QTest::keyClick(field->lineEdit(), Qt::Key_Return);
    ASSERT_TRUE(field->busy());
    while (field && field->busy()) ASSERT_TRUE(changed.wait(15000));
  }

  QThreadPool pool;
  testsupport::FakeAutostartService autostart;
  testsupport::FakeSystemLog log;
  LoginItem login{autostart, log, &pool};
  WindowManager windows;
  std::vector<std::string> displays{"display-1", "display-2"};
  std::vector<std::string> calls;
};

std::vector<std::string> tokens(int n) {
  std::vector<std::string> out;
  for (int i = 1; i <= n; ++i) out.push_back(std::to_string(i));
  return out;
}

TEST_F(OnboardingViewTest, CountAndMosaicFollowTheAddedWallet) {
  struct Row {
    int works;
    bool compact;
    QString line;
    std::size_t tiles;
  };
  const Row rows[] = {
      {0, false, {}, 0},
      {1, true, "1 artwork found", 1},
      {3, true, "3 artworks found", 3},
      {12, true, "12 artworks found", 8},
  };
  // The wallets hold the same works (ids 1, 2, ...), so the library holds
  // the largest of them so far.
  char tag = 'a';
  for (const auto& row : rows) {
    SCOPED_TRACE(row.works);
    OnboardingView* view = open();
    ASSERT_TRUE(view);
    EXPECT_EQ(view->walletField()->exampleLink()->toolTip(),
              "Shows " + OnboardingView::exampleWallet + ", a public collection of digital art");
    holds(tezosAddress(tag), tokens(row.works));
    add(*view, tezosAddress(tag++));
    EXPECT_EQ(view->found(), std::size_t(row.works));
    EXPECT_EQ(view->compact(), row.compact);
    EXPECT_EQ(view->headerView()->compact(), row.compact);
    if (row.compact) {
      // The header shrinks in a spring while the result rises in.
      const char* shots = std::getenv("TAVOLUNE_WELCOME_FRAMES");
      for (int frame = 0; shots && frame < 4 && row.works == 3; ++frame) {
        view->window()->grab().save(QString::fromLocal8Bit(shots) + QString::number(frame) + ".png");
        QTest::qWait(90);
      }
      ASSERT_TRUE(QTest::qWaitFor([&] { return !view->headerView()->isMoving(); }, 5000));
      EXPECT_EQ(view->headerView()->iconSide(), 64);
      EXPECT_EQ(view->headerView()->titleSize(), 28);
      EXPECT_EQ(view->countLabel()->text(), row.line);
      ASSERT_TRUE(view->mosaic());
      EXPECT_EQ(view->mosaic()->tiles().size(), row.tiles);
      for (auto* tile : view->mosaic()->tiles()) EXPECT_EQ(tile->maxPixel(), WalletPreviewMosaic::maxPixel);
      if (row.tiles == 3) {
        // The first three of four columns: the middle falls after the second.
        const auto& tiles = view->mosaic()->tiles();
        const int middle = view->mosaic()->width() / 2;
        EXPECT_LE(tiles[1]->geometry().right(), middle);
        EXPECT_GE(tiles[2]->x(), middle);
      }
      EXPECT_TRUE(view->loginBox()->isChecked());
    } else {
      EXPECT_TRUE(view->walletField()->isVisible());
      EXPECT_EQ(view->walletField()->message(), QStringLiteral("No artworks found yet."));
    }
    windows.close(OnboardingView::windowID);
  }
  // The second wallet's count is its own, not the library's.
  EXPECT_EQ(OnboardingView::countLine(3), QStringLiteral("3 artworks found"));
}

TEST_F(OnboardingViewTest, MosaicTilesLandInTurnWithASpringOrAtOnceWhereMotionIsReduced) {
  std::vector<Artwork> works;
  for (int i = 0; i < 8; ++i) works.push_back(testsupport::work(std::to_string(i), "Work"));
  const ImageServices images{model->media().images(), pool, {}};
  {
    WalletPreviewMosaic mosaic(images, works);
    mosaic.show();
    const std::size_t last = works.size() - 1;
    ASSERT_TRUE(QTest::qWaitFor([&] { return mosaic.landed(last) > 0; }, 5000));
    EXPECT_GT(mosaic.landed(0), mosaic.landed(last)) << "the first lands first";
    double furthest = 0;
    ASSERT_TRUE(QTest::qWaitFor([&] {
      furthest = std::max(furthest, mosaic.landed(last));
      return !mosaic.isLanding();
    }, 5000));
    EXPECT_GT(furthest, 1.0) << "a spring passes its rest a little";
    for (std::size_t i = 0; i < works.size(); ++i) EXPECT_DOUBLE_EQ(mosaic.landed(i), 1.0) << i;
  }
  MotionPreferences::shared().setReduced(true);
  WalletPreviewMosaic mosaic(images, works);
  mosaic.show();
  EXPECT_FALSE(mosaic.isLanding());
  for (std::size_t i = 0; i < works.size(); ++i) EXPECT_DOUBLE_EQ(mosaic.landed(i), 1.0) << "at once: " << i;
  MotionPreferences::shared().setReduced(false);
}

TEST_F(OnboardingViewTest, FinishMarksDoneSetsLoginAndAdvancesEachDisplayOnce) {
  struct Row {
    bool sameOnAll;
    bool openAtLogin;
    std::vector<std::string> displays;
    std::vector<std::string> calls;
  };
  const Row rows[] = {
      {false, true, {"display-1", "display-2"},
       {"refresh render after done", "keys all", "advance display-1", "advance display-2"}},
      // Every display already follows one advance.
      {true, false, {"display-1", "display-2"}, {"refresh render after done", "keys all", "advance display-1"}},
      // No display known: nothing advances, the window still closes.
      {false, true, {}, {"refresh render after done", "keys all"}},
  };
  char tag = 'a';
  for (const auto& row : rows) {
    SCOPED_TRACE(row.calls.size());
    // The writer applies the patch again on its own thread, later: copies only.
    seedLibrary(*model, [sameOnAll = row.sameOnAll](LibraryState& s) {
      s.settings.hasCompletedOnboarding = false;
      s.settings.sameArtworkOnAllScreens = sameOnAll;
    });
    displays = row.displays;
    calls.clear();
    OnboardingView* view = open();
    ASSERT_TRUE(view);
    holds(tezosAddress(tag), tokens(2));
    add(*view, tezosAddress(tag++));
    ASSERT_TRUE(view->showButton());
    view->loginBox()->setChecked(row.openAtLogin);

    QSignalSpy loginChanged(&login, &LoginItem::statusChanged);
    QTest::mouseClick(view->showButton(), Qt::LeftButton);
    EXPECT_EQ(calls, row.calls);
    EXPECT_TRUE(model->state().settings.hasCompletedOnboarding);
    EXPECT_EQ(windows.window(OnboardingView::windowID), nullptr);
    ASSERT_TRUE(loginChanged.wait(10000));
    EXPECT_EQ(login.status(), row.openAtLogin ? LoginItemStatus::enabled : LoginItemStatus::notRegistered);
    // A save of the state before the click may still be under way; the one after it follows.
    EXPECT_TRUE(QTest::qWaitFor([&] { return onDisk().settings.hasCompletedOnboarding; }, 15000));
  }
}

TEST_F(OnboardingViewTest, WindowClosedMidAddLeavesTheWalletAddedAndNothingElse) {
  OnboardingView* view = open();
  ASSERT_TRUE(view);
  QPointer<OnboardingView> watched(view);
  latencyMs = 200;
  holds(tezosAddress('z'), tokens(4));
  QSignalSpy syncing(&model->walletSync(), &WalletSync::syncingWalletsChanged);
  view->walletField()->setInput(QString::fromStdString(tezosAddress('z')));
  QTest::keyClick(view->walletField()->lineEdit(), Qt::Key_Return);
  windows.close(OnboardingView::windowID);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  ASSERT_TRUE(watched.isNull());
  while (syncing.count() < 2) ASSERT_TRUE(syncing.wait(15000));
  ASSERT_EQ(model->state().wallets.size(), 1u);
  EXPECT_FALSE(model->state().settings.hasCompletedOnboarding);
  EXPECT_TRUE(calls.empty());
}

TEST(GenerativeBackdrop, RingsAreFixedAndMatchTheirChecks) {
  const auto& rings = GenerativeBackdrop::rings();
  ASSERT_EQ(rings.size(), 18u);
  EXPECT_EQ(rings.front().radius, 60);
  EXPECT_EQ(rings.back().radius, 434);
  EXPECT_NEAR(rings[0].start, 3.0989, 1e-4);
  EXPECT_NEAR(rings[0].span, 4.2589, 1e-4);
  EXPECT_NEAR(rings[0].speed, 0.04879, 1e-5);
  EXPECT_FALSE(rings[0].accent);
  EXPECT_NEAR(rings[1].start, 1.7137, 1e-4);
  EXPECT_NEAR(rings[1].span, 2.0935, 1e-4);
  EXPECT_NEAR(rings[1].speed, -0.04339, 1e-5);
  EXPECT_TRUE(rings[1].accent);
  for (std::size_t i = 0; i < rings.size(); ++i) {
    EXPECT_EQ(rings[i].accent, i % 3 == 1);
    // Accent rings take only palette entries 0 and 2.
    if (rings[i].accent) {
      EXPECT_EQ(std::size_t(rings[i].radius) % 4 % 2, 0u);
    }
  }
  EXPECT_NEAR(GenerativeBackdrop::fade(434), 6.0 / 440, 1e-12);
  EXPECT_EQ(GenerativeBackdrop::fade(500), 0.0);
  EXPECT_EQ(GenerativeBackdrop::palette()[2], QColor::fromRgbF(0.9f, 0.33f, 0.74f));

  // Equal times draw equal pictures.
  QImage a(300, 300, QImage::Format_ARGB32_Premultiplied), b = a;
  for (QImage* image : {&a, &b}) {
    image->fill(Qt::transparent);
    QPainter p(image);
    GenerativeBackdrop::paint(p, image->size(), 7.5e8, Qt::black);
  }
  EXPECT_EQ(a, b);
  int inked = 0;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x) inked += qAlpha(a.pixel(x, y)) > 0;
  EXPECT_GT(inked, 500);
}

TEST(GenerativeBackdrop, TicksTenTimesASecondOnlyWhileShown) {
  QWidget window;
  auto* backdrop = new GenerativeBackdrop(&window);
  backdrop->resize(200, 200);
  EXPECT_FALSE(backdrop->isAnimating());
  EXPECT_TRUE(backdrop->testAttribute(Qt::WA_TransparentForMouseEvents));
  window.show();
  EXPECT_TRUE(backdrop->isAnimating());
  EXPECT_GE(backdrop->frameTimerInterval(), 100);
  QSignalSpy painted(backdrop, &GenerativeBackdrop::framePainted);
  ASSERT_TRUE(painted.wait(2000));
  // Repaints between ticks (a widget animating above) reuse the frame.
  const auto frames = painted.count();
  backdrop->repaint();
  backdrop->repaint();
  EXPECT_EQ(painted.count(), frames);
  window.hide();
  EXPECT_FALSE(backdrop->isAnimating());
}

}  // namespace
}  // namespace tavolune
