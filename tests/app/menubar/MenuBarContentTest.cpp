#include "app/components/ArtworkImage.hpp"
#include "app/library/LibraryWindowState.hpp"
#include "app/menubar/NextChangeBar.hpp"
#include "app/menubar/OneLineLabel.hpp"
#include "app/menubar/PopoverHeight.hpp"
#include "app/shell/PopoverHost.hpp"
#include "app/stage/ArtStageView.hpp"
#include "tests/app/menubar/PopoverRig.hpp"
#include "tests/app/render/TestImages.hpp"
#include "tests/support/ModelEdits.hpp"
#include "tests/support/TinyGif.hpp"

#include <QAccessible>
#include <QApplication>
#include <QEnterEvent>
#include <QLayout>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include <gmock/gmock.h>

#include <memory>

namespace tavolune {
namespace {

using testsupport::makeDisplay;
using testsupport::PopoverRig;
using ::testing::ElementsAre;

QString fullText(const QWidget& content, const char* name) {
  const auto* label = PopoverRig::part<OneLineLabel>(content, name);
  return label ? label->fullText() : QStringLiteral("<missing>");
}

bool hidden(const QWidget& content, const char* name) {
  return !PopoverRig::part(content, name)->isVisibleTo(&content);
}

std::vector<QString> visibleRows(const QWidget& content) {
  std::vector<QString> rows;
  for (const MenuRow* row : content.findChildren<MenuRow*>()) {
    if (!row->isHidden()) rows.push_back(row->title() + (row->shortcutHint() ? " " + *row->shortcutHint() : ""));
  }
  return rows;
}

class Popover : public ::testing::Test {
 protected:
  // A popover showing one work on one display, and its next-change bar
  // (null when the work did not show).
  NextChangeBar* barShowingOneWork() {
    rig.addWork("1");
    rig.displays.set({makeDisplay("A", 1, true)});
    rig.make().start();
    if (!rig.current("A")) return nullptr;
    popover = std::make_unique<MenuBarContent>(rig.services());
    popover->show();
    return popover->findChild<NextChangeBar*>();
  }

  PopoverRig rig;
  std::unique_ptr<MenuBarContent> popover;
};

TEST_F(Popover, HeaderFollowsTheMainDisplayAndItsQuickActions) {
  rig.addWork("1");
  rig.addWork("2");
  rig.displays.set({makeDisplay("A", 1, true)});
  rig.make();
  MenuBarContent content(rig.services());
  content.show();
  // Wallets but no work shown yet.
  EXPECT_TRUE(hidden(content, "picture"));
  EXPECT_EQ(PopoverRig::text(content, "emptyText"), QStringLiteral("No artworks to show yet."));
  EXPECT_TRUE(hidden(content, "addWallet"));

  rig.controller->start();
  ASSERT_TRUE(rig.waitApplied("A"));
  EXPECT_FALSE(hidden(content, "picture"));
  EXPECT_EQ(fullText(content, "title"), QStringLiteral("Work 1"));
  EXPECT_TRUE(hidden(content, "artist"));  // no empty middle line
  EXPECT_TRUE(hidden(content, "liveNote"));
  EXPECT_EQ(PopoverRig::text(content, "summary"), QStringLiteral("Whole collection, changes every 1 hour"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return rig.model->desktopPoolCount() == 2u; }, 5000));
  EXPECT_EQ(PopoverRig::text(content, "count"), QStringLiteral("2 in rotation"));
  EXPECT_EQ(fullText(content, "status"), QStringLiteral("Showing a still"));

  auto* keep = PopoverRig::part<PillButton>(content, "pill.keep");
  EXPECT_FALSE(hidden(content, "pill.hide"));
  EXPECT_TRUE(hidden(content, "pill.animate"));
  EXPECT_TRUE(hidden(content, "pill.restart"));
  QSignalSpy saved(rig.model.get(), &AppModel::saved);
  keep->click();
  deliverChanges(*rig.model);
  EXPECT_TRUE(rig.model->state().onDesktop.contains(*rig.current("A")));
  EXPECT_EQ(keep->title(), QStringLiteral("Kept"));
  EXPECT_TRUE(keep->isActive());
  EXPECT_TRUE(saved.wait(5000));
  EXPECT_EQ(PopoverRig::text(content, "summary"), QStringLiteral("My Selection (1), changes every 1 hour"));
  keep->click();
  deliverChanges(*rig.model);
  EXPECT_TRUE(rig.model->state().onDesktop.empty());
  EXPECT_EQ(keep->title(), QStringLiteral("Keep"));

  // Hide moves the display on, and the header with it.
  const std::string first = *rig.current("A");
  PopoverRig::part<PillButton>(content, "pill.hide")->click();
  deliverChanges(*rig.model);
  EXPECT_TRUE(rig.model->state().hiddenArtworks.contains(first));
  EXPECT_NE(rig.current("A"), first);
  EXPECT_EQ(fullText(content, "title"), QStringLiteral("Work 2"));

  // A long title with a line break stays on one cut line; the width holds.
  seedLibrary(*rig.model, [id = *rig.current("A")](LibraryState& s) {
    s.artworks[id].title = std::string(200, 'W') + "\nsecond line";
  });
  const QString cut = PopoverRig::part<OneLineLabel>(content, "title")->text();
  EXPECT_FALSE(cut.contains(QLatin1Char('\n')));
  EXPECT_TRUE(cut.endsWith(QChar(0x2026))) << cut.toStdString();
  EXPECT_EQ(content.width(), MenuBarContent::contentWidth);

  // The picture opens the library on the work.
  QSignalSpy selecting(&rig.manager, &WindowManager::librarySelectionRequested);
  QTest::mouseClick(PopoverRig::part(content, "picture"), Qt::LeftButton);
  EXPECT_THAT(rig.opened, ElementsAre("library"));
  ASSERT_EQ(selecting.size(), 1);
  EXPECT_EQ(selecting.front().front().toString().toStdString(), *rig.current("A"));
}

TEST_F(Popover, WarningHidesBehindTheNoticeUntilItIsDismissed) {
  rig.displays.set({makeDisplay("A", 1, true)});
  rig.make();
  MenuBarContent content(rig.services());
  content.show();
  auto* warning = PopoverRig::part(content, "syncWarning");
  auto* notice = PopoverRig::part(content, "notice");
  EXPECT_TRUE(warning->isHidden());
  EXPECT_TRUE(notice->isHidden());

  seedLibrary(*rig.model, [](LibraryState& s) { s.wallets.front().lastError = "tezos: timed out"; });
  EXPECT_FALSE(warning->isHidden());
  EXPECT_EQ(warning->findChildren<QLabel*>().back()->text(), QStringLiteral("Mine didn't sync completely: tezos: timed out"));

  rig.model->setNotice("Mine: timed out");
  EXPECT_TRUE(warning->isHidden());
  EXPECT_EQ(PopoverRig::text(content, "noticeText"), QStringLiteral("Mine: timed out"));
  PopoverRig::part<QToolButton>(content, "dismissNotice")->click();
  EXPECT_EQ(rig.model->notice(), std::nullopt);
  EXPECT_TRUE(notice->isHidden());
  EXPECT_FALSE(warning->isHidden());

  LibraryWindowState::shared().setSidebar(SidebarItem::all());
  QTest::mouseClick(warning, Qt::LeftButton);
  EXPECT_EQ(LibraryWindowState::shared().sidebar(), SidebarItem::manageWallets());
  EXPECT_THAT(rig.opened, ElementsAre("library"));
  LibraryWindowState::shared().setSidebar(SidebarItem::all());
}

TEST_F(Popover, ALongWarningEndsItsThirdLineAndThePickerHasAName) {
  rig.displays.set({makeDisplay("A", 1, true)});
  rig.make();
  MenuBarContent content(rig.services());
  content.show();
  std::string errors;
  for (int i = 0; i < 30; ++i) errors += "chain" + std::to_string(i) + ": timed out \u00B7 ";
  seedLibrary(*rig.model, [&](LibraryState& s) { s.wallets.front().lastError = errors; });
  QApplication::processEvents();
  const auto* text = PopoverRig::part<QWidget>(content, "syncWarning")->findChildren<QLabel*>().back();
  EXPECT_TRUE(text->text().endsWith(QChar(0x2026))) << text->text().toStdString();
  const QRect lines = text->fontMetrics().boundingRect(QRect(0, 0, text->contentsRect().width(), 10'000),
                                                       Qt::TextWordWrap, text->text());
  EXPECT_LE(lines.height(), 3 * text->fontMetrics().lineSpacing());
  EXPECT_GT(lines.height(), 2 * text->fontMetrics().lineSpacing());

  QAccessibleInterface* picker = QAccessible::queryAccessibleInterface(PopoverRig::part(content, "animation"));
  EXPECT_EQ(picker->text(QAccessible::Name), QStringLiteral("Animation"));
}

// Three works in sequence; each display must move exactly one step per click.
TEST_F(Popover, TransportStepsEveryDisplayOnce) {
  std::vector<std::string> ids;
  for (const char* token : {"1", "2", "3"}) ids.push_back(rig.addWork(token).id);
  const auto after = [&](const std::string& current) {
    const auto at = std::find(ids.begin(), ids.end(), current) - ids.begin();
    return ids[std::size_t(at + 1) % ids.size()];
  };

  for (const bool sameOnAll : {false, true}) {
    SCOPED_TRACE(sameOnAll ? "same work on all displays" : "each display its own");
    PopoverRig& r = rig;
    seedLibrary(*r.model, [sameOnAll](LibraryState& s) {
      s.settings.sameArtworkOnAllScreens = sameOnAll;
      s.screens.clear();
    });
    r.displays.set({makeDisplay("A", 1, true), makeDisplay("B", 2, false, QRect(320, 0, 320, 180))});
    r.make().start();
    ASSERT_TRUE(r.current("A") && r.current("B"));
    MenuBarContent content(r.services());
    content.show();

    const std::string a = *r.current("A"), b = *r.current("B");
    PopoverRig::part<RoundButton>(content, "next")->click();
    EXPECT_EQ(r.current("A"), after(a));
    EXPECT_EQ(r.current("B"), after(b));
    if (sameOnAll) {
      EXPECT_EQ(r.current("A"), r.current("B"));
    }
    PopoverRig::part<RoundButton>(content, "previous")->click();
    EXPECT_EQ(r.current("A"), a);
    EXPECT_EQ(r.current("B"), b);
    r.waitIdle();
  }

  // One display: one step.
  seedLibrary(*rig.model, [](LibraryState& s) { s.screens.clear(); });
  rig.displays.set({makeDisplay("A", 1, true)});
  rig.make().start();
  MenuBarContent content(rig.services());
  content.show();
  const std::string a = *rig.current("A");
  PopoverRig::part<RoundButton>(content, "next")->click();
  EXPECT_EQ(rig.current("A"), after(a));
  rig.waitIdle();
}

TEST_F(Popover, PauseAndLivePolicy) {
  rig.addWork("1", MediaKind::generative);
  rig.displays.set({makeDisplay("A", 1, true)});
  rig.make().start();
  ASSERT_TRUE(rig.current("A"));
  MenuBarContent content(rig.services());
  content.show();
  auto* bar = content.findChild<NextChangeBar*>();
  EXPECT_TRUE(bar->isShowing());
  // A 20 s step of an hour moves the end a pixel or two: so few frames.
  QApplication::processEvents();
  rig.clock += std::chrono::seconds(20);
  bar->refresh();
  EXPECT_GE(bar->slideFrames(), 1);
  EXPECT_LE(bar->slideFrames(), 3);
  ASSERT_TRUE(QTest::qWaitFor([&] { return bar->slideFrames() == 0; }, 5000));
  // A day to go (the clock stepped 20 s above), in the named style.
  seedLibrary(*rig.model, [](LibraryState& s) { s.settings.rotationInterval = 86400 + 20; });
  bar->refresh();
  EXPECT_EQ(bar->toolTip(), QStringLiteral("<qt>Next artwork tomorrow</qt>"));

  auto* pause = PopoverRig::part<RoundButton>(content, "pause");
  EXPECT_EQ(pause->symbol(), "pause.fill");
  pause->click();
  EXPECT_TRUE(rig.controller->userPaused());
  EXPECT_EQ(pause->symbol(), "play.fill");
  EXPECT_EQ(pause->help(), QStringLiteral("Resume Rotation"));
  EXPECT_FALSE(bar->isShowing());
  pause->click();
  EXPECT_FALSE(rig.controller->userPaused());
  EXPECT_EQ(pause->help(), QStringLiteral("Pause Rotation"));
  EXPECT_TRUE(bar->isShowing());

  DesktopChanges changes(*rig.model);
  QSignalSpy saved(rig.model.get(), &AppModel::saved);
  auto* all = PopoverRig::part<QPushButton>(content, "policy.all");
  EXPECT_TRUE(PopoverRig::part<QPushButton>(content, "policy.selected")->isChecked());
  all->click();
  EXPECT_EQ(rig.model->state().settings.animation, AnimationPolicy::all);
  EXPECT_EQ(changes(), 1);
  EXPECT_TRUE(saved.wait(5000));
  EXPECT_EQ(PopoverRig::part(content, "animation")->toolTip(), QString::fromUtf8(explanation(AnimationPolicy::all).data()));
  // The work now runs live: Restart offered, Animate gone.
  EXPECT_FALSE(hidden(content, "pill.restart"));
  EXPECT_TRUE(hidden(content, "pill.animate"));
  // The user's pause explains why it does not move.
  rig.controller->setUserPaused(true);
  EXPECT_FALSE(hidden(content, "liveNote"));
  rig.waitIdle();
}

TEST_F(Popover, RowsFollowTheBuild) {
  rig.displays.set({makeDisplay("A", 1, true)});
  rig.make();
  {
    MenuBarContent content(rig.services());
    EXPECT_THAT(visibleRows(content),
                ElementsAre("Library… Ctrl+B", "Start Screen Saver", "Settings… Ctrl+,", "Check for Updates…",
                            "Send Feedback…", "Quit Tavolune Ctrl+Q"));
    content.show();
    // Another view on the same updater stays quiet about this check.
    MenuBarContent other(rig.services());
    rig.model->setNotice(std::nullopt);
    PopoverRig::part<MenuRow>(content, "row.updates")->click();
    EXPECT_EQ(rig.feed.fetches, 1);
    EXPECT_EQ(rig.model->notice(), "The update check failed: offline");
    PopoverRig::part<MenuRow>(content, "row.feedback")->click();
    PopoverRig::part<MenuRow>(content, "row.quit")->click();
    PopoverRig::part<MenuRow>(content, "row.settings")->click();
    EXPECT_EQ(rig.feedbacks, 1);
    EXPECT_EQ(rig.quits, 1);
    EXPECT_THAT(rig.opened, ElementsAre("settings"));
    // No screen saver to start: the row stays off, and does not light up.
    auto* screenSaver = PopoverRig::part<MenuRow>(content, "row.screenSaver");
    EXPECT_FALSE(screenSaver->isEnabled());
    for (MenuRow* row : {screenSaver, PopoverRig::part<MenuRow>(content, "row.library")}) {
      QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
      QApplication::sendEvent(row, &enter);
      EXPECT_EQ(row->isHighlighted(), row->isEnabled()) << row->title().toStdString();
    }
    EXPECT_EQ(PopoverRig::text(content, "version"), QStringLiteral("Version 1.4.0 (212), for testing"));
  }
  // A build without a feedback repository and with a plain-http feed.
  MenuBarContent bare(rig.services({QStringLiteral("1.4.0"), QStringLiteral("212"), QString()},
                                   QStringLiteral("http://updates.test/appcast.xml")));
  EXPECT_THAT(visibleRows(bare),
              ElementsAre("Library… Ctrl+B", "Start Screen Saver", "Settings… Ctrl+,", "Quit Tavolune Ctrl+Q"));
}

TEST_F(Popover, ScreenSaverRowNeedsAPool) {
  rig.displays.set({makeDisplay("A", 1, true)});
  rig.make();
  int shown = 0;
  auto services = rig.services();
  services.showScreenSaver = [&] { ++shown; };
  MenuBarContent content(services);
  content.show();
  auto* row = PopoverRig::part<MenuRow>(content, "row.screenSaver");
  EXPECT_FALSE(row->isEnabled());
  rig.addWork("1");
  EXPECT_TRUE(row->isEnabled());
  row->click();
  EXPECT_EQ(shown, 1);
}

TEST_F(Popover, SummaryCountsMySelectionAsStored) {
  const Artwork one = rig.addWork("1");
  const Artwork two = rig.addWork("2");
  rig.displays.set({makeDisplay("A", 1, true)});
  rig.make();  // not started: only the model's reports reach the popover
  MenuBarContent content(rig.services());
  content.show();
  rig.model->setHidden({two.id}, true);
  QSignalSpy counted(rig.model.get(), &AppModel::desktopPoolCountChanged);
  rig.model->toggleMySelection({one.id});
  ASSERT_TRUE(counted.wait(5000));
  EXPECT_EQ(PopoverRig::text(content, "summary"), QStringLiteral("My Selection (1), changes every 1 hour"));
  // A hidden work joins: the pool keeps its count, the stored selection grows.
  rig.model->toggleMySelection({two.id});
  deliverChanges(*rig.model);
  EXPECT_EQ(PopoverRig::text(content, "summary"), QStringLiteral("My Selection (2), changes every 1 hour"));
}

// A live work that fails once its window runs leaves the tray playing: the
// open popover's status still says why the still shows.
TEST_F(Popover, StatusFollowsALiveWorkThatFailsWhileOpen) {
  const Artwork gif = rig.addWork("1");
  const auto store = [&](const std::string& bytes) {
    rig.model->media().cache().store(bytes, *gif.imageURI, "image/gif");
  };
  store(testsupport::tinyGif());
  seedLibrary(*rig.model, [id = gif.id](LibraryState& s) {
    s.artworks[id].mime = "image/gif";
    s.animatedArtworks.insert(id);
  });
  rig.displays.set({makeDisplay("A", 1, true)});
  rig.make().start();
  auto services = rig.services();
  services.statusLine = [this] { return rig.controller->statusLine(); };
  MenuBarContent content(services);
  content.show();
  using Kind = ArtStageView::Status::Kind;
  auto* stage = rig.controller->liveStage("A");
  ASSERT_TRUE(stage);
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return stage->status().kind == Kind::playing && rig.controller->preparing().empty(); }, 5000));
  EXPECT_EQ(fullText(content, "status"), QStringLiteral("Live \u00b7 30 fps"));

  store("not a picture");
  rig.controller->restartLive();
  ASSERT_TRUE(QTest::qWaitFor([&] { return stage->status().kind == Kind::failed; }, 5000));
  EXPECT_TRUE(rig.controller->isLivePlaying());
  EXPECT_EQ(fullText(content, "status"), QStringLiteral("Showing still: ") + stage->status().message);
  rig.waitIdle();
}

TEST_F(Popover, EditingWaitsForTheLibrary) {
  AppModel::Options o;
  o.storeURL = rig.root() / "other" / "library.json";
  o.cacheDirectory = rig.root() / "other" / "Media";
  o.services.gateways = {};
  AppModel unloaded(o);
  DesktopController desktop(unloaded,
                            {rig.displays, rig.session, rig.power, rig.coverage, rig.wallpapers, rig.windows,
                             rig.compositor, rig.workspace, rig.formats},
                            rig.root() / "other" / "Wallpapers");
  rig.make();
  auto services = rig.services();
  MenuBarContent content(MenuBarContent::Services{.model = unloaded, .desktop = desktop, .windows = rig.manager,
                                                  .images = services.images, .build = services.build,
                                                  .updater = services.updater, .sendFeedback = services.sendFeedback,
                                                  .showScreenSaver = [] {}, .quit = services.quit,
                                                  .statusLine = services.statusLine, .now = services.now});
  content.show();
  EXPECT_EQ(PopoverRig::text(content, "emptyText"), QStringLiteral("Loading the library…"));
  EXPECT_TRUE(hidden(content, "addWallet"));
  EXPECT_FALSE(PopoverRig::part(content, "row.screenSaver")->isEnabled());
  // The windows open before the library has loaded.
  for (const char* row : {"row.library", "row.settings", "row.quit"}) {
    EXPECT_TRUE(PopoverRig::part(content, row)->isEnabled()) << row;
  }

  QSignalSpy loaded(&unloaded, &AppModel::loadedChanged);
  unloaded.load();
  ASSERT_TRUE(loaded.wait(5000));
  EXPECT_TRUE(PopoverRig::part(content, "row.library")->isEnabled());
  EXPECT_EQ(PopoverRig::text(content, "emptyText"),
            QStringLiteral("Add a wallet to hang your collection on your desktop."));
  auto* add = PopoverRig::part<QPushButton>(content, "addWallet");
  EXPECT_FALSE(add->isHidden());
  add->click();
  EXPECT_THAT(rig.opened, ElementsAre("welcome"));
}

TEST_F(Popover, HiddenPopoverDoesNoWork) {
  rig.addWork("1");
  rig.addWork("2");
  rig.displays.set({makeDisplay("A", 1, true)});
  rig.make().start();
  ASSERT_TRUE(rig.waitApplied("A"));
  auto* content = new MenuBarContent(rig.services());
  PopoverHost host(content);
  EXPECT_EQ(content->refreshCount(), 0);
  seedLibrary(*rig.model, [](LibraryState& s) { s.settings.rotationInterval = 300; });
  rig.controller->setUserPaused(true);
  EXPECT_EQ(content->refreshCount(), 0);
  EXPECT_TRUE(content->isStale());

  // An icon on a bottom panel: the popup ends just above it at the size the
  // first refresh gave it.
  const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
  const QRect icon(available.center().x(), available.bottom() - 20, 20, 20);
  host.toggle(icon);
  ASSERT_TRUE(host.isVisible());
  EXPECT_EQ(content->refreshCount(), 1);
  EXPECT_EQ(host.geometry().bottom(), icon.top() - 1);
  EXPECT_EQ(PopoverRig::text(*content, "summary"), QStringLiteral("Whole collection, changes every 5 minutes"));
  rig.controller->setUserPaused(false);
  EXPECT_EQ(content->refreshCount(), 2);
  auto* bar = content->findChild<NextChangeBar*>();
  EXPECT_TRUE(bar->isStepping());

  host.hide();
  EXPECT_FALSE(bar->isStepping());
  seedLibrary(*rig.model, [](LibraryState& s) { s.settings.rotationInterval = 900; });
  rig.controller->setUserPaused(true);
  EXPECT_EQ(content->refreshCount(), 2);
  rig.waitIdle();
}

TEST_F(Popover, WindowHeightFollowsTheContentFromTheTraySide) {
  rig.addWork("1");
  rig.displays.set({makeDisplay("A", 1, true)});
  rig.make().start();
  ASSERT_TRUE(rig.waitApplied("A"));
  const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
  struct Row {
    const char* name;
    bool reduced;
    QRect icon;
  };
  const Row rows[] = {
      {"top panel", false, QRect(available.center().x(), available.top(), 20, 20)},
      {"bottom panel", false, QRect(available.center().x(), available.bottom() - 20, 20, 20)},
      {"reduced motion", true, QRect(available.center().x(), available.top(), 20, 20)},
  };
  for (const Row& row : rows) {
    MotionPreferences::shared().setReduced(row.reduced);
    rig.model->setNotice(std::nullopt);
    auto* content = new MenuBarContent(rig.services());
    PopoverHost host(content);
    host.toggle(row.icon);
    const QRect opened = host.geometry();
    auto* height = host.findChild<PopoverHeight*>();
    EXPECT_EQ(opened.height(), height->wantedHeight()) << row.name;
    QSignalSpy settled(height, &PopoverHeight::settled);
    // The menu rows, the lowest part: below the notice, they move with the
    // far edge, neither cut off nor leaving a band.
    QWidget* rows = nullptr;
    for (QWidget* part : content->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
      if (part->isVisibleTo(content) && (!rows || part->geometry().bottom() > rows->geometry().bottom())) rows = part;
    }
    ASSERT_TRUE(rows);
    const auto gapBelow = [&] {
      return host.height() - content->mapTo(&host, height->shownGeometry(rows).bottomLeft()).y();
    };
    const auto gapAbove = [&] { return content->mapTo(&host, height->shownGeometry(rows).topLeft()).y(); };
    const int below = gapBelow();
    const int above = gapAbove();

    rig.model->setNotice("Something to say in one more line.");
    QCoreApplication::processEvents();
    EXPECT_GT(height->wantedHeight(), opened.height()) << row.name;
    EXPECT_EQ(height->isMoving(), !row.reduced) << row.name;
    if (!row.reduced) {
      EXPECT_LT(host.height(), height->wantedHeight()) << row.name;
      const bool up = row.icon.center().y() > available.center().y();
      for (int frame = 0; frame < 3 && height->isMoving(); ++frame) {
        // Hanging below the icon the rows keep to the moving bottom edge;
        // opening upwards they hold still at the tray's edge.
        EXPECT_NEAR(up ? gapAbove() - (host.height() - opened.height()) : gapBelow(), up ? above : below, 1)
            << row.name << " frame " << frame;
        // A layout pass on the way leaves them where they show.
        const QRect shown = height->shownGeometry(rows);
        content->layout()->invalidate();
        content->layout()->activate();
        EXPECT_EQ(height->shownGeometry(rows), shown) << row.name << " frame " << frame;
        QTest::qWait(60);
      }
      ASSERT_TRUE(settled.wait(5000)) << row.name;
    }
    EXPECT_FALSE(height->isMoving()) << row.name;
    EXPECT_EQ(host.height(), height->wantedHeight()) << row.name;
    EXPECT_EQ(content->height(), host.height()) << row.name;
    const bool up = row.icon.center().y() > available.center().y();
    EXPECT_EQ(up ? host.geometry().bottom() : host.geometry().top(), up ? opened.bottom() : opened.top()) << row.name;
  }
  MotionPreferences::shared().setReduced(false);
}

TEST_F(Popover, NextChangeBarWakesOnlyToMoveItsEnd) {
  auto* bar = barShowingOneWork();
  ASSERT_TRUE(bar);
  constexpr int step = NextChangeBar::stepMs;
  const double track = bar->width() - 2 * NextChangeBar::insetX;
  const auto settle = [&](double interval) {
    seedLibrary(*rig.model, [&](LibraryState& s) { s.settings.rotationInterval = interval; });
    bar->refresh();
    return QTest::qWaitFor([&] { return bar->slideFrames() == 0; }, 5000);
  };
  // While the bar is empty, the first step to wake it is the first whose
  // end reaches half a pixel.
  for (const double interval : {300.0, 86400.0}) {
    ASSERT_TRUE(settle(interval)) << interval;
    const int first = std::max(1, int(std::ceil(0.5 / (track * step / 1000.0 / interval))));
    EXPECT_GE(bar->nextWakeMs(), (first - 1) * step + 1) << interval;
    EXPECT_LE(bar->nextWakeMs(), first * step + NextChangeBar::slideMs) << interval;
  }
  // A step draws one frame per whole pixel its end moves: an hour's a pixel
  // or two, a day's mostly none.
  for (const double interval : {3600.0, 86400.0}) {
    ASSERT_TRUE(settle(interval)) << interval;
    const double before = bar->target() * track;
    rig.clock += std::chrono::seconds(20);
    bar->refresh();
    const int pixels = int(std::abs(std::round(bar->target() * track) - std::round(before)));
    EXPECT_EQ(bar->slideFrames(), pixels) << interval;
    ASSERT_TRUE(QTest::qWaitFor([&] { return bar->slideFrames() == 0; }, 5000)) << interval;
  }
}

TEST_F(Popover, NextChangeBarFrameRepaintsOnlyWhatItsEndCrosses) {
  auto* bar = barShowingOneWork();
  ASSERT_TRUE(bar);
  QApplication::processEvents();  // laid out
  const qreal dpr = bar->devicePixelRatioF();
  const int track = int(std::round((bar->width() - 2 * NextChangeBar::insetX) * dpr));
  // A second a device pixel; hidden, the bar takes each end without a slide.
  seedLibrary(*rig.model, [&](LibraryState& s) { s.settings.rotationInterval = track; });
  bar->hide();
  const auto drawnAt = [&](int pixel) {
    rig.clock = *rig.controller->config(*rig.controller->mainKey()).lastChange + std::chrono::seconds(pixel);
    bar->refresh();
    return bar->grab().toImage();
  };
  for (const int pixel : {0, 1, 2, track / 2, track - 2, track - 1}) {
    const QImage before = drawnAt(pixel), after = drawnAt(pixel + 1);
    const QRect frame = bar->frameRect(pixel, pixel + 1);
    for (int y = 0; y < before.height(); ++y) {
      for (int x = 0; x < before.width(); ++x) {
        if (before.pixel(x, y) != after.pixel(x, y)) {
          ASSERT_TRUE(frame.contains(QPointF(x / dpr, y / dpr).toPoint())) << pixel << " " << x << "," << y;
        }
      }
    }
    EXPECT_NE(before, after) << pixel;
    // Once the bar is longer than it is high, frames that follow one another
    // share no pixel, so none waits for the server to finish reading the last.
    if (bar->drawsSquareEnd() && pixel >= dpr * NextChangeBar::barHeight) {
      EXPECT_FALSE(frame.intersects(bar->frameRect(pixel + 1, pixel + 2))) << pixel;
    }
  }
}

TEST(NextChangeBarFraction, ClampsToTheInterval) {
  const Date t0 = *iso8601::parse("2024-05-01T12:00:00Z");
  using std::chrono::seconds;
  EXPECT_DOUBLE_EQ(NextChangeBar::fraction(t0, 3600, t0 + seconds(900)), 0.25);
  EXPECT_DOUBLE_EQ(NextChangeBar::fraction(t0, 3600, t0 + seconds(7200)), 1.0);
  EXPECT_DOUBLE_EQ(NextChangeBar::fraction(t0 + seconds(60), 3600, t0), 0.0);  // dated in the future
  EXPECT_DOUBLE_EQ(NextChangeBar::fraction(t0, std::numeric_limits<double>::quiet_NaN(), t0 + seconds(60)), 0.0);
  EXPECT_DOUBLE_EQ(NextChangeBar::fraction(t0, std::numeric_limits<double>::infinity(), t0 + seconds(60)), 0.0);
}

}  // namespace
}  // namespace tavolune

namespace tavolune {
namespace {

QImage grabbed(QWidget& content) {
  content.adjustSize();
  return content.grab().toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

TEST_F(Popover, LooksAsDrawn) {
  rig.displays.set({makeDisplay("A", 1, true)});
  rig.make();
  {
    // The empty state of a library without wallets.
    seedLibrary(*rig.model, [](LibraryState& s) { s.wallets.clear(); });
    MenuBarContent content(rig.services());
    content.show();
    testing::expectReference(grabbed(content), "popover-empty", 48, 100);
  }
  seedLibrary(*rig.model, [w = rig.wallet](LibraryState& s) {
    s.wallets.push_back(Wallet::make(w, "Mine", "tz1", "tz1", std::nullopt, ChainFamily::tezos));
  });
  rig.addWork("1", MediaKind::generative, QColor(200, 60, 40));
  seedLibrary(*rig.model, [](LibraryState& s) { s.settings.rotationInterval = 1800; });
  rig.controller->start();
  ASSERT_TRUE(rig.waitApplied("A"));
  rig.clock += std::chrono::minutes(10);
  MenuBarContent content(rig.services());
  auto* image = content.findChild<ArtworkImage*>();
  QSignalSpy loaded(image, &ArtworkImage::loadFinished);
  content.show();
  ASSERT_TRUE(loaded.wait(5000));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !image->isFading(); }, 5000));  // the still fully in
  // The pointer on the Settings row.
  auto* row = PopoverRig::part<MenuRow>(content, "row.settings");
  QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
  QApplication::sendEvent(row, &enter);
  const QImage picture = grabbed(content);
  if (const char* out = std::getenv("TAVOLUNE_POPOVER_SHOT")) picture.save(QString::fromLocal8Bit(out));
  testing::expectReference(picture, "popover-work", 48, 100);
  rig.waitIdle();
}

TEST_F(Popover, WorkChangeScalesAndFadesThenRests) {
  rig.addWork("1", MediaKind::image, QColor(200, 60, 40));
  rig.addWork("2", MediaKind::image, QColor(40, 90, 200));
  rig.displays.set({makeDisplay("A", 1, true)});
  rig.make().start();
  MenuBarContent content(rig.services());
  content.show();
  QApplication::processEvents();
  auto* picture = PopoverRig::part(content, "picture");
  EXPECT_EQ(picture->graphicsEffect(), nullptr) << "opening the popover plays nothing";

  PopoverRig::part<RoundButton>(content, "next")->click();
  auto* entering = qobject_cast<ScaleFadeEffect*>(picture->graphicsEffect());
  ASSERT_NE(entering, nullptr);
  EXPECT_NEAR(entering->scale(), 0.98, 1e-6);
  EXPECT_LT(entering->opacity(), 0.05);
  const char* shots = std::getenv("TAVOLUNE_POPOVER_FRAMES");
  for (int frame = 0; shots && frame < 4; ++frame) {
    QTest::qWait(80);
    grabbed(content).save(QString::fromLocal8Bit(shots) + QString::number(frame) + ".png");
  }
  ASSERT_TRUE(QTest::qWaitFor([&] { return picture->graphicsEffect() == nullptr; }, 5000));
  ASSERT_TRUE(QTest::qWaitFor([&] { return content.findChildren<ScaleFadeEffect*>().isEmpty(); }, 5000))
      << "the old picture's copy leaves with its fade";

  auto* keep = PopoverRig::part<PillButton>(content, "pill.keep");
  keep->click();
  deliverChanges(*rig.model);
  EXPECT_TRUE(keep->isActive());
  EXPECT_TRUE(keep->isMoving()) << "the tint springs and the symbol bounces";
  ASSERT_TRUE(QTest::qWaitFor([&] { return !keep->isMoving(); }, 5000));
  rig.waitIdle();
}

}  // namespace
}  // namespace tavolune
