// Every named operation of the model and its parts, with the library window,
// the popover and the settings window open: after the model's report each
// view shows what the same view built afresh shows. Views are compared by
// the words and numbers they show and by what their painters last drew
// (each shown tile's look, the chosen cards, the active pills), not by pixels.

#include "app/desktop/DesktopController.hpp"
#include "app/inspector/ArtworkDetail.hpp"
#include "app/library/ExhibitionActions.hpp"
#include "app/library/ExhibitionHeader.hpp"
#include "app/library/ExhibitionItems.hpp"
#include "app/library/ExhibitionsSection.hpp"
#include "app/library/FiltersMenu.hpp"
#include "app/library/LibraryGrid.hpp"
#include "app/library/LibraryGridView.hpp"
#include "app/library/LibraryTileDelegate.hpp"
#include "app/library/SelectionBar.hpp"
#include "app/library/SidebarRow.hpp"
#include "app/menubar/MenuBarContent.hpp"
#include "app/menubar/OneLineLabel.hpp"
#include "app/menubar/PillButton.hpp"
#include "app/model/LoginItem.hpp"
#include "app/model/SettingsState.hpp"
#include "app/model/WindowManager.hpp"
#include "app/qt/Convert.hpp"
#include "app/settings/AboutFooter.hpp"
#include "app/settings/DisplaySettings.hpp"
#include "app/settings/FrameCard.hpp"
#include "app/settings/GeneralSettings.hpp"
#include "app/settings/ScreenSaverSettings.hpp"
#include "app/settings/SettingsView.hpp"
#include "app/settings/StorageRow.hpp"
#include "tests/app/desktop/DesktopRig.hpp"
#include "tests/app/library/LibraryRig.hpp"
#include "tests/support/fakes/FakeAutostartService.hpp"
#include "tests/support/fakes/FakeImageSource.hpp"

#include <QAbstractButton>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QScrollBar>
#include <QSlider>
#include <QTest>

namespace tavolune {
namespace {

using testsupport::Completion;
using testsupport::makeDisplay;
using testsupport::tezosAddress;

// What a view shows in words and numbers, one line per part on show, sorted:
// rows made later sit later among the children, not on screen.
QStringList viewText(const QWidget& root) {
  QStringList lines;
  for (const QWidget* w : root.findChildren<const QWidget*>()) {
    if (w->isWindow() || !w->isVisibleTo(&root)) continue;
    if (const auto* row = dynamic_cast<const SidebarRow*>(w)) {
      lines << QStringLiteral("row %1 %2%3%4")
                   .arg(row->title(), row->count() ? QString::number(*row->count()) : QStringLiteral("-"),
                        row->isSelected() ? QStringLiteral(" chosen") : QString(), row->badge());
    } else if (const auto* line = dynamic_cast<const OneLineLabel*>(w)) {
      lines << QStringLiteral("text ") + line->fullText();
    } else if (const auto* label = dynamic_cast<const QLabel*>(w)) {
      if (!label->text().isEmpty()) lines << QStringLiteral("text ") + label->text();
    } else if (const auto* card = dynamic_cast<const SettingsCard*>(w)) {
      lines << QStringLiteral("card %1%2").arg(card->text(),
                                                card->isSelected() ? QStringLiteral(" chosen") : QString());
    } else if (const auto* pill = dynamic_cast<const PillButton*>(w)) {
      lines << QStringLiteral("pill %1 %2 [%3]%4%5")
                   .arg(pill->title(), qt::str(pill->symbol()), pill->help(),
                        pill->isActive() ? QStringLiteral(" active") : QString(),
                        pill->isEnabled() ? QString() : QStringLiteral(" off"));
    } else if (const auto* button = dynamic_cast<const QAbstractButton*>(w)) {
      lines << QStringLiteral("button %1 [%2]%3%4")
                   .arg(button->text(), button->toolTip(), button->isEnabled() ? QString() : QStringLiteral(" off"),
                        button->isChecked() ? QStringLiteral(" on") : QString());
    } else if (const auto* field = dynamic_cast<const QLineEdit*>(w)) {
      lines << QStringLiteral("field ") + field->text();
    } else if (const auto* choice = dynamic_cast<const QComboBox*>(w)) {
      lines << QStringLiteral("choice ") + choice->currentText();
    } else if (const auto* slider = dynamic_cast<const QSlider*>(w)) {
      lines << QStringLiteral("value %1").arg(slider->value());
    } else if (const auto* bar = dynamic_cast<const QProgressBar*>(w)) {
      lines << QStringLiteral("progress %1/%2").arg(bar->value()).arg(bar->maximum());
    }
  }
  lines.sort();
  return lines;
}

// A tile's look as its painter last drew it, in words.
std::string lookText(const std::optional<TileLook>& look) {
  if (!look) return "never painted";
  QString badge = QStringLiteral("-");
  if (const auto& k = look->kindBadge) {
    badge = (k->gif ? QStringLiteral("gif") : qt::str(rawValue(k->kind))) +
            (k->animated ? QStringLiteral(" live") : QString());
  }
  static const char* const pictures[] = {"placeholder", "still", "failed"};
  const QString picture = QString::fromLatin1(pictures[int(look->picture)]) +
                          (look->shape ? QStringLiteral(" %1").arg(*look->shape, 0, 'f', 1) : QString());
  return QStringLiteral("%1 / %2, %3, badge %4 on %5%6, toggle %7%8%9")
      .arg(look->title, look->artist, picture, badge, qt::str(rawValue(look->chain)),
           look->badgesShown ? QString() : QStringLiteral(" hidden"),
           look->toggleShown ? QString() : QStringLiteral("hidden "),
           look->inMySelection ? QStringLiteral("on") : QStringLiteral("off"),
           look->ring ? QStringLiteral(", ring") : QString())
      .toStdString();
}

// The lines only one side shows, for a readable failure.
std::string difference(const QStringList& open, const QStringList& fresh) {
  std::string out;
  for (const auto& l : open) {
    if (!fresh.contains(l)) out += "\n  open only:  " + l.toStdString();
  }
  for (const auto& l : fresh) {
    if (!open.contains(l)) out += "\n  fresh only: " + l.toStdString();
  }
  return out.empty() ? "\n  (same lines, other counts)" : out;
}

class ViewsFollowTheModel : public testsupport::LibraryRig {
 protected:
  ViewsFollowTheModel() : LibraryRig(Probes::fake) {
    fakes.displays.set({makeDisplay(QStringLiteral("A"), 1, true)});
    // Live works show their stills: no web page runs here.
    fakes.windows.desktopLevel = false;
    DesktopController::Timings t;
    t.screensDebounce = std::chrono::milliseconds(30);
    t.now = [this] { return clock; };
    controller = std::make_unique<DesktopController>(*model, fakes.services(), root() / "Wallpapers", t);
    login = std::make_unique<LoginItem>(autostart, fakes.log);
    actions = ExhibitionActions::make(*model, [this](const Uuid& id) { controller->play(id); }, {});
  }
  ~ViewsFollowTheModel() override {
    library.reset();
    popover.reset();
    settings.reset();
    controller.reset();
    QThreadPool::globalInstance()->waitForDone();
  }

  LibraryWindow::Hosted hosted(LibraryWindowState& windowState) {
    const auto desktop = [this] {
      return DesktopAccess{
          .show = [this](const Artwork& a) { controller->show(a); },
          .isPreparing = [this](const std::string& id) { return controller->isPreparing(id); },
          .watchPreparing =
              [this](QObject* context, std::function<void()> changed) {
                QObject::connect(controller.get(), &DesktopController::preparingChanged, context, std::move(changed));
              }};
    };
    return {
        .grid =
            [this, desktop, &windowState](LibraryWindow& w) {
              ExhibitionHooks hooks{.selectionButton = [this, &windowState](SelectionBar& bar) -> QWidget* {
                auto* button = new ExhibitionSelectionButton(*model, windowState, bar.exhibition());
                QObject::connect(&bar, &SelectionBar::exhibitionChanged, button,
                                 [button, &bar] { button->setExhibition(bar.exhibition()); });
                return button;
              }};
              return static_cast<QWidget*>(new LibraryGrid(w, {.desktop = desktop(), .exhibitions = hooks}));
            },
        .filtersMenu = [](LibraryWindow& w) -> QWidget* { return new FiltersMenu(w); },
        .inspector = [this](LibraryWindow& w, const Artwork& a) -> QWidget* {
          return new ArtworkDetail({*model, *controller, images()}, w.artworkActions(), a);
        },
        .exhibitionHeader = [this](LibraryWindow& w, const Uuid& id) -> QWidget* {
          return new ExhibitionHeader(w, actions, id);
        },
        .exhibitionsSection = [this](LibraryWindow& w) -> QWidget* { return new ExhibitionsSection(w, actions); },
    };
  }
  ImageServices images() { return {model->media().images(), *QThreadPool::globalInstance(), {}}; }

  std::unique_ptr<LibraryWindow> makeLibrary(LibraryWindowState& windowState) {
    auto w = std::make_unique<LibraryWindow>(
        LibraryWindow::Services{.model = *model, .show = [this](const Artwork& a) { controller->show(a); }},
        hosted(windowState), windowState);
    w->resize(1180, 760);
    return w;
  }
  std::unique_ptr<MenuBarContent> makePopover() {
    return std::make_unique<MenuBarContent>(MenuBarContent::Services{
        .model = *model,
        .desktop = *controller,
        .windows = windows,
        .images = images(),
        .build = {QStringLiteral("1.4.0"), QStringLiteral("212"), QString()},
        .updater = {},
        .sendFeedback = {},
        .showScreenSaver = [] {},
        .quit = [] {},
        .statusLine = [this] { return controller->statusLine(); },
        .now = [this] { return clock; }});
  }
  std::unique_ptr<SettingsView> makeSettings(SettingsState& tab) {
    auto view = std::make_unique<SettingsView>(
        SettingsServices{.model = *model, .desktop = *controller, .login = *login, .showScreenSaver = [] {}}, tab);
    view->resize(580, 640);
    return view;
  }

  // The model's report, the desktop's answer and the count of works in
  // rotation, all in; syncs ended, formats learnt from thumbnails, probes
  // answered (unless the row holds them) and the views' own readings in.
  void settle(const std::function<bool()>& ready = {}) {
    QElapsedTimer clockOfTest;
    clockOfTest.start();
    int quiet = 0;
    while (quiet < 3 && clockOfTest.elapsed() < 20000) {
      QTest::qWait(5);
      fakes.formats.finishProfiles();
      answerProbes(holdProbes ? 0 : SIZE_MAX);
      const SeriesFormats& f = model->formats();
      const bool probing = !holdProbes && ((probe && !probe->up().empty()) || f.analysisProgress());
      // The open cache row's readings too: a fresh one must not read the cache before it is cleared.
      const bool reading =
          model->media().hasUnreportedCacheChange() || (settings && settings->general()->storageRow()->isMeasuring());
      const bool busy = model->isSettling() || !controller->preparing().empty() ||
                        !model->walletSync().syncingWallets().empty() || f.formatProgress() || probing || reading ||
                        (ready && !ready());
      quiet = busy ? 0 : quiet + 1;
    }
    ASSERT_EQ(quiet, 3) << "the model and the desktop never came to rest";
  }

  // Stills fail (pictures show instead); up to that many measurements find
  // a fixed format of the work's own ratio, else square.
  void answerProbes(std::size_t measurements) {
    while (probe && !probe->up().empty()) {
      const auto& job = probe->up().front();
      if (job.still) {
        probe->answer(ProbeService::Still{});
      } else if (measurements-- > 0) {
        probe->answer(RenderProfile{ArtLayout::fixed(job.artwork.aspectRatio.value_or(1.0)), RGBColor{}, clock});
      } else {
        return;
      }
    }
  }

  std::string work(int token) const {
    for (const auto& [id, a] : model->state().artworks) {
      if (a.tokenId == std::to_string(token)) return id;
    }
    return "tezos:KT1Gen:" + std::to_string(token);
  }
  const Artwork& artwork(int token) const { return model->state().artworks.at(work(token)); }

  // Each work's picture in the media cache, so that the desktop shows it.
  void cacheImages() {
    QImage image(64, 48, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    const QByteArray png = testsupport::FakeImageSource::png(image);
    for (const auto& [id, a] : model->state().artworks) {
      if (a.imageURI) {
        model->media().cache().store(std::string_view(png.constData(), std::size_t(png.size())), *a.imageURI,
                                     "image/png");
      }
    }
  }

  void sync(const Uuid& wallet) {
    Completion done;
    model->walletSync().sync(wallet, done.callback<>());
    ASSERT_TRUE(done.wait());
  }

  // Each open view against the same view built now (and done with its own
  // reading: the cache's size, say); grid rows in order.
  void expectFresh(const std::string& row) {
    LibraryWindowState copy;
    copy.setSidebar(state.sidebar());
    copy.setSelection(state.selection());
    copy.setFocused(state.focused());
    auto freshLibrary = makeLibrary(copy);
    freshLibrary->setFilter(library->filter());
    freshLibrary->setShowInspector(library->showInspector());
    freshLibrary->show();
    auto freshPopover = makePopover();
    freshPopover->show();
    SettingsState freshTab;
    auto freshSettings = makeSettings(freshTab);
    freshSettings->show();
    const auto* openGrid = library->findChild<LibraryGrid*>();
    const auto* freshGrid = freshLibrary->findChild<LibraryGrid*>();
    // Both grids with their columns for their width, the fresh one painted.
    const auto laidOut = [](const LibraryGrid* g) { return !g || !g->isVisible() || !g->isReflowing(); };
    // Each tile on screen painted with its loader's answer, not while it loads (a
    // failure forgotten since, missing, is asked again at the next paint).
    const auto picturesIn = [this](const LibraryGrid* g) {
      if (!g || !g->isVisible() || g->showsEmptyView()) return true;
      const auto [first, last] = g->view().visibleRows();
      for (int r = std::max(first, 0); r <= last && r < int(g->items().size()); ++r) {
        using Status = ThumbnailLoader::Status;
        const std::string& id = g->items()[std::size_t(r)];
        const Status status = g->loader().status(model->state().artworks.at(id), ArtworkTile::maxPixel);
        const auto look = g->tiles().painted(id);
        if (!look || status == Status::loading ||
            (status != Status::missing && (look->picture == TileLook::Picture::still) != (status == Status::ready)))
          return false;
      }
      return true;
    };
    settle([&] {
      const bool painted = !freshGrid || !freshGrid->isVisible() || freshGrid->showsEmptyView() ||
                           freshGrid->view().visibleRows().first >= 0;
      return painted && laidOut(openGrid) && laidOut(freshGrid) && picturesIn(openGrid) && picturesIn(freshGrid) &&
             freshSettings->general()->storageRow()->size().has_value() &&
             !freshSettings->general()->storageRow()->isMeasuring();
    });

    const auto same = [&](const QWidget& open, const QWidget& fresh, const std::string& view) {
      const QStringList a = viewText(open), b = viewText(fresh);
      EXPECT_TRUE(a == b) << row << ": " << view << difference(a, b);
    };
    if (openGrid && freshGrid) {
      EXPECT_TRUE(openGrid->items() == freshGrid->items()) << row << ": grid rows";
    }
    if (openGrid && freshGrid && !openGrid->showsEmptyView()) {
      // Each tile on screen as its painter last drew it.
      const auto [first, last] = openGrid->view().visibleRows();
      EXPECT_EQ(std::pair(first, last), freshGrid->view().visibleRows()) << row << ": rows on screen";
      for (int r = std::max(first, 0); r <= last && r < int(openGrid->items().size()); ++r) {
        const std::string& id = openGrid->items()[std::size_t(r)];
        EXPECT_EQ(lookText(openGrid->tiles().painted(id)), lookText(freshGrid->tiles().painted(id)))
            << row << ": the tile of " << id;
      }
    }
    same(*library, *freshLibrary, "library window");
    same(*popover, *freshPopover, "popover");
    same(*settings->general(), *freshSettings->general(), "general settings");
    same(*settings->display(), *freshSettings->display(), "display settings");
    same(*settings->screenSaver(), *freshSettings->screenSaver(), "screen saver settings");
    same(*settings->footer(), *freshSettings->footer(), "about footer");
  }

  testsupport::DesktopFakes fakes;
  testsupport::FakeAutostartService autostart;
  std::unique_ptr<DesktopController> controller;
  std::unique_ptr<LoginItem> login;
  ExhibitionActions actions;
  WindowManager windows;
  SettingsState settingsTab;
  std::unique_ptr<LibraryWindow> library;
  std::unique_ptr<MenuBarContent> popover;
  std::unique_ptr<SettingsView> settings;
  bool holdProbes = false;  // measurements wait for the row
};

TEST_F(ViewsFollowTheModel, EveryOperationLeavesEveryViewAsIfBuiltAfresh) {
  // One wallet of six works, three of known shape (1 and 2 wide, 3 square),
  // the first four generative (listed first, each its own series); and an
  // artist's wallet on an EVM chain, without collection contracts.
  holds(tezosAddress('a'), {"1", "2", "3", "4", "5", "6"});
  const Wallet mine = addTezos('a', "Mine");
  sync(mine.id);
  ASSERT_EQ(model->state().artworks.size(), 6u);
  const Wallet artist = Wallet::make(Uuid::random(), "Studio", "0x" + std::string(40, 'a'), "0x" + std::string(40, 'a'),
                                     std::nullopt, ChainFamily::evm, std::vector{Chain::base}, WalletRole::artist);
  change([this, artist](LibraryState& s) {
    s.artworks.at(work(1)).aspectRatio = 1.5;
    s.artworks.at(work(2)).aspectRatio = 2.0;
    s.artworks.at(work(3)).aspectRatio = 1.0;
    for (int t : {1, 2, 3, 4}) {
      Artwork& a = s.artworks.at(work(t));
      a.mediaKind = MediaKind::generative;
      a.animationURI = "ipfs://QmLive" + std::to_string(t);
    }
    s.wallets.push_back(artist);
  });
  cacheImages();
  controller->start();

  library = makeLibrary(state);
  library->show();
  popover = makePopover();
  popover->show();
  settings = makeSettings(settingsTab);
  settings->show();
  settle();

  Uuid exhibition{};
  const std::string six = work(6);  // the sync below takes it away
  const auto page = [](SidebarItem item, std::optional<FormatFilter> format = std::nullopt) {
    return std::function<std::pair<SidebarItem, std::optional<FormatFilter>>()>(
        [item, format] { return std::pair(item, format); });
  };
  struct Row {
    const char* name;
    // The page the library window shows, with a format criterion or none.
    std::function<std::pair<SidebarItem, std::optional<FormatFilter>>()> page;
    std::function<void()> act;
  };
  AppModel& m = *model;
  const auto ids = [this](std::initializer_list<int> tokens) {
    IdSet out;
    for (int t : tokens) out.insert(work(t));
    return out;
  };
  const std::vector<Row> rows = {
      {"works join My Selection", page(SidebarItem::onDesktop(), FormatFilter::landscape),
       [&] { m.toggleMySelection(ids({1, 4})); }},
      {"a work hidden", page(SidebarItem::all()), [&] { m.setHidden(ids({5}), true); }},
      {"the selection joins My Selection from the bar or the keys", page(SidebarItem::all()),
       [&] { m.toggleMySelection(state.sharedSelection()); }},
      {"the selection leaves My Selection from the bar or the keys", page(SidebarItem::all()),
       [&] { m.toggleMySelection(state.sharedSelection()); }},
      {"a hidden work joins My Selection", page(SidebarItem::all()), [&] { m.toggleMySelection(ids({5})); }},
      {"a hidden work leaves My Selection", page(SidebarItem::onDesktop(), FormatFilter::landscape),
       [&] { m.toggleMySelection(ids({5})); }},
      {"a work shown again", page(SidebarItem::hidden()), [&] { m.setHidden(ids({5}), false); }},
      {"a collection hidden", page(SidebarItem::all()), [&] { m.hideCollection(artwork(6)); }},
      {"the collection shown again", page(SidebarItem::hidden()), [&] { m.setHidden(ids({6}), false); }},
      {"a work's framing", page(SidebarItem::all()), [&] { m.setFraming(work(1), Framing::fill); }},
      {"a work turned", page(SidebarItem::all(), FormatFilter::landscape), [&] { m.setRotation(work(1), 1); }},
      {"a work turned back", page(SidebarItem::all(), FormatFilter::landscape), [&] { m.setRotation(work(1), 0); }},
      {"a work animated", page(SidebarItem::all()), [&] { m.setAnimated(artwork(2), true); }},
      {"rotation order", page(SidebarItem::all()),
       [&] { m.setSetting(&AppSettings::rotationOrder, PlaybackOrder::sequential); }},
      {"rotation interval", page(SidebarItem::all()), [&] { m.setSetting(&AppSettings::rotationInterval, 150.0); }},
      {"only works that fit", page(SidebarItem::all()), [&] { m.setSetting(&AppSettings::onlyFitsScreen, true); }},
      {"wall label mode", page(SidebarItem::all()),
       [&] { m.setSetting(&AppSettings::cartelMode, CartelMode::always); }},
      {"same work on all displays", page(SidebarItem::all()),
       [&] { m.setSetting(&AppSettings::sameArtworkOnAllScreens, true); }},
      {"open at login", page(SidebarItem::all()),
       [&] {
         QSignalSpy status(login.get(), &LoginItem::statusChanged);
         login->set(true);
         EXPECT_TRUE(status.wait(5000));
       }},
      {"live policy Static", page(SidebarItem::all()),
       [&] { m.setSetting(&AppSettings::animation, AnimationPolicy::never); }},
      {"live policy Selected Artworks", page(SidebarItem::all()),
       [&] { m.setSetting(&AppSettings::animation, AnimationPolicy::selected); }},
      {"live policy Animate All", page(SidebarItem::all()),
       [&] { m.setSetting(&AppSettings::animation, AnimationPolicy::all); }},
      {"screen saver delay", page(SidebarItem::all()), [&] { m.setSetting(&AppSettings::screenSaverDelay, 300.0); }},
      {"frame", page(SidebarItem::all()), [&] { m.setSetting(&AppSettings::frame, FrameStyle::naturalOak); }},
      {"wall label style", page(SidebarItem::all()),
       [&] { m.setSetting(&AppSettings::cartelStyle, CartelStyle::museum); }},
      {"a series measured as it is first shown", page(SidebarItem::all()),
       [&] { m.formats().profile(artwork(4), true, [](std::optional<RenderProfile>) {}); }},
      {"the analysis under way, one series measured", page(SidebarItem::all()),
       [&] {
         holdProbes = true;
         m.formats().analyzeCollection();
         answerProbes(1);
       }},
      {"the analysis asked to stop", page(SidebarItem::all()), [&] { m.formats().setAnalysisStopRequested(true); }},
      {"the analysis stopped", page(SidebarItem::all(), FormatFilter::landscape), [&] { holdProbes = false; }},
      {"a series to be measured again", page(SidebarItem::all(), FormatFilter::landscape),
       [&] {
         holdProbes = true;
         m.formats().remeasure(artwork(1));
       }},
      {"the series measured again", page(SidebarItem::all(), FormatFilter::landscape), [&] { holdProbes = false; }},
      {"formats learnt from thumbnails", page(SidebarItem::all(), FormatFilter::landscape),
       [&] { m.formats().measureFormats(); }},
      {"an exhibition made", page(SidebarItem::all()),
       [&] { exhibition = m.newExhibition({work(1), work(2), work(3)}); }},
      {"the exhibition shown", page(SidebarItem::onDesktop()), [&] { m.setActiveExhibition(exhibition); }},
      {"works added to the exhibition on show", page(SidebarItem::all()),
       [&] { m.editExhibitions(AppModel::ExhibitionEdit::add({work(4), work(5)}, exhibition)); }},
      {"works leave the exhibition on show",
       [&] { return std::pair(SidebarItem::exhibition(exhibition), std::optional(FormatFilter::landscape)); },
       [&] { m.editExhibitions(AppModel::ExhibitionEdit::remove({work(2)}, exhibition)); }},
      {"a work moved in the exhibition", [&] { return std::pair(SidebarItem::exhibition(exhibition), std::nullopt); },
       [&] { m.editExhibitions(AppModel::ExhibitionEdit::move({work(5)}, exhibition, work(1))); }},
      {"the exhibition renamed", page(SidebarItem::all()),
       [&] { m.editExhibitions(AppModel::ExhibitionEdit::rename(exhibition, "Night Hang")); }},
      {"the exhibition taken off the desktop", page(SidebarItem::all()), [&] { m.setActiveExhibition({}); }},
      {"a notice", page(SidebarItem::all()), [&] { m.setNotice("Mine didn't sync completely: offline"); }},
      {"the notice dismissed", page(SidebarItem::all()), [&] { m.setNotice(std::nullopt); }},
      {"a work shown on the desktop", page(SidebarItem::recent()), [&] { controller->show(artwork(3)); }},
      {"a display added", page(SidebarItem::all()), [&] { m.addDisplays({"B"}, "A"); }},
      {"a display's framing", page(SidebarItem::all()), [&] { m.setDisplayFraming("A", Framing::fill); }},
      {"a wallet added", page(SidebarItem::all()),
       [&] {
         holds(tezosAddress('b'), {"7", "8"});
         Completion added;
         m.walletSync().addWallet(tezosAddress('b'), WalletRole::collector,
                                  added.callback<WalletSync::AddWalletOutcome>());
         ASSERT_TRUE(added.wait());
       }},
      {"a shape learnt", page(SidebarItem::all(), FormatFilter::square),
       [&] {
         QSignalSpy changed(&m, &AppModel::libraryChanged);
         // A work of the new wallet, whose picture nothing has read yet.
         const auto unknown = std::find_if(m.state().artworks.begin(), m.state().artworks.end(),
                                           [](const auto& entry) { return !entry.second.aspectRatio; });
         ASSERT_NE(unknown, m.state().artworks.end());
         m.formats().noteRatio(unknown->second, QImage(40, 40, QImage::Format_RGB32));
         EXPECT_TRUE(changed.wait(5000));
       }},
      {"a wallet synced", page(SidebarItem::onDesktop()),
       [&] {
         holds(tezosAddress('a'), {"1", "2", "3", "4", "5", "9"});
         sync(mine.id);
       }},
      {"every wallet synced", page(SidebarItem::all()),
       [&] {
         Completion done;
         m.walletSync().syncAll(done.callback<>());
         ASSERT_TRUE(done.wait());
       }},
      {"a gone work joins My Selection", page(SidebarItem::all()),
       [&] { m.toggleMySelection(IdSet{six}); }},
      {"a collection contract added", page(SidebarItem::manageWallets()),
       [&] {
         Completion done;
         m.walletSync().addCollectionContract("0x" + std::string(40, 'c'), artist.id, done.callback<>());
         ASSERT_TRUE(done.wait());
       }},
      {"the collection contract removed", page(SidebarItem::wallet(artist.id)),
       [&] {
         Completion done;
         m.walletSync().removeCollectionContract("0x" + std::string(40, 'c'), artist.id, done.callback<>());
         ASSERT_TRUE(done.wait());
       }},
      {"a wallet removed", page(SidebarItem::all()),
       [&] {
         for (const auto& w : m.state().wallets) {
           if (w.label != "Mine") m.removeWallet(w.id);
         }
       }},
      {"the exhibition deleted", [&] { return std::pair(SidebarItem::exhibition(exhibition), std::nullopt); },
       [&] { m.editExhibitions(AppModel::ExhibitionEdit::erase(exhibition)); }},
      {"a picture fetched", page(SidebarItem::all()),
       [&] {
         server.on("GET", "/ipfs/QmFetched", testsupport::CannedResponse::text(std::string(20'000, 'x')));
         EXPECT_EQ(m.media().fetcher().fetch("ipfs://QmFetched", 5).data.size(), 20'000u);
       }},
      // Last: the desktop finds no pictures on disk after these.
      {"the cache pruned after a sync", page(SidebarItem::all()),
       [&] {
         m.media().cache().setLimitBytes(1);
         Completion done;
         m.walletSync().syncAll(done.callback<>());
         ASSERT_TRUE(done.wait());
         QThreadPool::globalInstance()->waitForDone();  // the prune it started
       }},
      {"the media cache cleared", page(SidebarItem::all()), [&] { settings->general()->storageRow()->clear(); }},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const auto [item, format] = row.page();
    if (state.sidebar() != item) state.setSidebar(item);
    LibraryFilter filter = library->filter();
    filter.format = format;
    library->setFilter(filter);
    // Two listed works selected, the first focused: the bar and the inspector show.
    const auto* grid = library->findChild<LibraryGrid*>();
    if (grid && !grid->items().empty()) {
      IdSet picked;
      for (std::size_t i = 0; i < std::min<std::size_t>(2, grid->items().size()); ++i) picked.insert(grid->items()[i]);
      state.setSelection(picked);
      state.setFocused(grid->items().front());
    }
    settle();
    row.act();
    settle();
    expectFresh(row.name);
  }
}

}  // namespace
}  // namespace tavolune
