// Every picker writes once on the user's choice and never on a refresh;
// an unknown stored value shows blank; the rows that follow the displays,
// the login item and the analysis.

#include "app/model/SettingsState.hpp"
#include "app/settings/DisplaySettings.hpp"
#include "app/settings/FrameCard.hpp"
#include "app/settings/FramesSettings.hpp"
#include "app/settings/FramingCard.hpp"
#include "app/settings/GeneralSettings.hpp"
#include "app/settings/LabelStyleRow.hpp"
#include "app/settings/RowLabel.hpp"
#include "app/settings/ScreenSaverSettings.hpp"
#include "app/settings/SettingsControls.hpp"
#include "app/settings/SettingsView.hpp"
#include "tests/app/settings/SettingsRig.hpp"
#include "tests/support/ModelEdits.hpp"

#include <QAbstractButton>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

namespace tavolune {
namespace {

using testsupport::makeDisplay;
using testsupport::SettingsRig;

void pick(ValuePicker* picker, const QString& label) {
  const int index = picker->findText(label);
  ASSERT_GE(index, 0) << label.toStdString();
  picker->setCurrentIndex(index);
  emit picker->activated(index);  // what a choice from the list sends
}

TEST(SettingsPickers, EachChoiceWritesOnceAndTellsTheDesktopOnce) {
  struct Case {
    const char* name;
    std::function<void(SettingsView&)> choose;
    std::function<bool(const AppSettings&)> stored;
  };
  const std::vector<Case> cases{
      {"interval 1 week", [](SettingsView& v) { pick(v.general()->intervalPicker(), "1 week"); },
       [](const AppSettings& s) { return s.rotationInterval == 604800; }},
      {"order sequential", [](SettingsView& v) { v.general()->orderPicker()->button(1)->click(); },
       [](const AppSettings& s) { return s.rotationOrder == PlaybackOrder::sequential; }},
      {"only fitting works", [](SettingsView& v) { v.general()->fitsToggle()->click(); },
       [](const AppSettings& s) { return s.onlyFitsScreen; }},
      {"same on all displays", [](SettingsView& v) { v.general()->sameToggle()->click(); },
       [](const AppSettings& s) { return s.sameArtworkOnAllScreens; }},
      {"live policy", [](SettingsView& v) { pick(v.display()->livePicker(), "Animate All"); },
       [](const AppSettings& s) { return s.animation == AnimationPolicy::all; }},
      {"label mode", [](SettingsView& v) { pick(v.display()->labelPicker(), "Always"); },
       [](const AppSettings& s) { return s.cartelMode == CartelMode::always; }},
      {"label style", [](SettingsView& v) { pick(v.display()->labelStyleRow()->picker(), "Editorial"); },
       [](const AppSettings& s) { return s.cartelStyle == CartelStyle::editorial; }},
      {"frame style", [](SettingsView& v) { v.display()->frames()->cards()[3]->click(); },
       [](const AppSettings& s) { return s.frame == FrameStyle::naturalOak; }},
      {"same frame again", [](SettingsView& v) { v.display()->frames()->cards()[0]->click(); },
       [](const AppSettings& s) { return s.frame == FrameStyle::none; }},
      {"screen saver delay", [](SettingsView& v) { pick(v.screenSaver()->delayPicker(), "30 minutes"); },
       [](const AppSettings& s) { return s.screenSaverDelay == 1800; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SettingsRig rig;
    rig.connectDisplays({makeDisplay("a", 1, true), makeDisplay("b", 2, false)});
    SettingsState tab;
    SettingsView view(rig.services(), tab);
    QSignalSpy changes(rig.model.get(), &AppModel::libraryChanged);
    QSignalSpy saves(rig.model.get(), &AppModel::saved);
    c.choose(view);
    EXPECT_TRUE(c.stored(rig.model->state().settings));
    deliverChanges(*rig.model);
    EXPECT_EQ(changes.count(), 1);
    EXPECT_EQ((*rig.libraryChanges)(), 1);
    ASSERT_TRUE(saves.wait(5000));
    EXPECT_FALSE(saves.wait(100));  // and no second one
    EXPECT_EQ(saves.count(), 1);
  }
}

TEST(SettingsPickers, RefreshFromTheModelWritesNothing) {
  SettingsRig rig;
  rig.connectDisplays({makeDisplay("a", 1, true), makeDisplay("b", 2, false)});
  SettingsState tab;
  SettingsView view(rig.services(), tab);
  QSignalSpy changes(rig.model.get(), &AppModel::libraryChanged);
  seedLibrary(*rig.model, [](LibraryState& s) {
    s.settings.rotationInterval = 900;
    s.settings.rotationOrder = PlaybackOrder::sequential;
    s.settings.onlyFitsScreen = true;
    s.settings.sameArtworkOnAllScreens = true;
    s.settings.animation = AnimationPolicy::never;
    s.settings.cartelMode = CartelMode::never;
    s.settings.cartelStyle = CartelStyle::museum;
    s.settings.frame = FrameStyle::blackFloat;
    s.settings.screenSaverDelay = 300;
  });
  EXPECT_EQ(view.general()->intervalPicker()->currentText(), "15 minutes");
  EXPECT_EQ(view.general()->orderPicker()->value(), int(PlaybackOrder::sequential));
  EXPECT_TRUE(view.general()->fitsToggle()->isChecked());
  EXPECT_TRUE(view.general()->sameToggle()->isChecked());
  EXPECT_EQ(view.display()->livePicker()->currentText(), "Static");
  EXPECT_EQ(view.display()->liveLabel()->subtitle().toStdString(), explanation(AnimationPolicy::never));
  EXPECT_EQ(view.display()->labelPicker()->currentText(), "Never");
  EXPECT_EQ(view.display()->labelStyleRow()->picker()->currentText(), "Museum");
  EXPECT_TRUE(view.display()->frames()->cards()[2]->isSelected());
  EXPECT_EQ(view.screenSaver()->delayPicker()->currentText(), "5 minutes");

  deliverChanges(*rig.model);
  EXPECT_EQ(changes.count(), 1);  // the edit itself, nothing echoed
  EXPECT_EQ((*rig.libraryChanges)(), 0);
  QSignalSpy saves(rig.model.get(), &AppModel::saved);
  EXPECT_FALSE(saves.wait(200));
}

TEST(SettingsPickers, UnknownStoredValueShowsBlankAndStays) {
  SettingsRig rig;
  seedLibrary(*rig.model, [](LibraryState& s) {
    s.settings.rotationInterval = 1000;  // edited by hand in the file
    s.settings.screenSaverDelay = 45;
  });
  SettingsState tab;
  SettingsView view(rig.services(), tab);
  ValuePicker* interval = view.general()->intervalPicker();
  ValuePicker* delay = view.screenSaver()->delayPicker();
  EXPECT_EQ(interval->currentIndex(), -1);
  EXPECT_EQ(interval->currentText(), "");
  EXPECT_FALSE(interval->value());
  EXPECT_EQ(delay->currentIndex(), -1);

  // Another setting changes: still blank, still unwritten.
  view.general()->fitsToggle()->click();
  EXPECT_EQ(interval->currentIndex(), -1);
  EXPECT_EQ(rig.model->state().settings.rotationInterval, 1000);
  EXPECT_EQ(rig.model->state().settings.screenSaverDelay, 45);
  EXPECT_EQ((*rig.libraryChanges)(), 1);

  pick(interval, "1 hour");
  EXPECT_EQ(rig.model->state().settings.rotationInterval, 3600);
}

TEST(GeneralSettings, SameArtworkRowOnlyWithTwoDisplays) {
  SettingsRig rig;
  seedLibrary(*rig.model, [](LibraryState& s) { s.settings.sameArtworkOnAllScreens = true; });
  rig.connectDisplays({makeDisplay("a", 1, true)});
  SettingsState tab;
  SettingsView view(rig.services(), tab);
  view.show();
  EXPECT_FALSE(view.general()->sameRow()->isVisible());
  rig.connectDisplays({makeDisplay("a", 1, true), makeDisplay("b", 2, false)});
  EXPECT_TRUE(view.general()->sameRow()->isVisible());
  EXPECT_TRUE(view.general()->sameToggle()->isChecked());
  rig.connectDisplays({makeDisplay("a", 1, true)});
  EXPECT_FALSE(view.general()->sameRow()->isVisible());
  EXPECT_TRUE(rig.model->state().settings.sameArtworkOnAllScreens);
  EXPECT_EQ((*rig.libraryChanges)(), 0);
}

TEST(GeneralSettings, SelectionFooterAndMeasuredSeries) {
  EXPECT_EQ(GeneralSettings::selectionFooter(0),
            "Tavolune shows your whole collection. Add artworks to My Selection in the Library to narrow it down.");
  EXPECT_EQ(GeneralSettings::selectionFooter(1), "Tavolune shows the 1 artworks in My Selection.");
  SettingsRig rig;
  SettingsState tab;
  SettingsView view(rig.services(), tab);
  EXPECT_EQ(view.general()->formatsLabel()->subtitle(), "0 series measured");
  const Artwork a = rig.addWork("1");
  seedLibrary(*rig.model, [id = a.id](LibraryState& s) { s.onDesktop.insert(id); });
  EXPECT_EQ(view.general()->rotationFooter(), "Tavolune shows the 1 artworks in My Selection.");
}

TEST(GeneralSettings, RefusedLoginChangeSpringsBack) {
  SettingsRig rig;
  SettingsState tab;
  SettingsView view(rig.services(), tab);
  Toggle* login = view.general()->loginToggle();
  EXPECT_FALSE(login->isChecked());
  EXPECT_FALSE(view.general()->approvalNote()->isVisibleTo(&view));

  QSignalSpy status(rig.login.get(), &LoginItem::statusChanged);
  login->click();
  ASSERT_TRUE(status.wait(5000));
  EXPECT_TRUE(login->isChecked());
  EXPECT_EQ(rig.autostart.status(), LoginItemStatus::enabled);

  rig.autostart.refuse("read-only folder");
  login->click();
  EXPECT_FALSE(login->isChecked());  // the click itself
  ASSERT_TRUE(status.wait(5000));
  EXPECT_TRUE(login->isChecked());  // the real status, read back
  const auto lines = rig.log.lines();
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                          [](const std::string& l) { return l.find("Open at Login unavailable") != std::string::npos; }),
            1);
}

// An entry whose status the test sets.
class StatusOnly final : public AutostartService {
 public:
  explicit StatusOnly(LoginItemStatus status) : status_(status) {}
  LoginItemStatus status() const override { return status_; }
  void setEnabled(bool) override {}

 private:
  LoginItemStatus status_;
};

TEST(GeneralSettings, LoginSwitchShowsTheSystemsStatus) {
  SettingsRig rig;
  for (const auto& [status, on, note] : std::vector<std::tuple<LoginItemStatus, bool, bool>>{
           {LoginItemStatus::requiresApproval, true, true},
           {LoginItemStatus::notFound, false, false},
           {LoginItemStatus::enabled, true, false}}) {
    StatusOnly entry(status);
    LoginItem login(entry, rig.log);
    QSignalSpy read(&login, &LoginItem::statusChanged);
    ASSERT_TRUE(read.wait(5000));
    GeneralSettings tab({.model = *rig.model, .desktop = *rig.controller, .login = login});
    EXPECT_EQ(tab.loginToggle()->isChecked(), on);
    EXPECT_EQ(tab.approvalNote()->isVisibleTo(&tab), note);
    // Showing the tab reads the status again.
    tab.show();
    ASSERT_TRUE(read.wait(5000));
  }
}

TEST(GeneralSettings, ComingBackToTheApplicationReadsTheLoginStatus) {
  SettingsRig rig;
  GeneralSettings tab(rig.services());
  EXPECT_FALSE(tab.loginToggle()->isChecked());
  rig.autostart.setEnabled(true);  // changed in the system's settings
  QSignalSpy read(rig.login.get(), &LoginItem::statusChanged);
  emit qApp->applicationStateChanged(Qt::ApplicationActive);
  ASSERT_TRUE(read.wait(5000));
  EXPECT_TRUE(tab.loginToggle()->isChecked());
}

TEST(GeneralSettings, AnalysisRowFollowsTheModel) {
  SettingsRig rig;
  SettingsState tab;
  SettingsView view(rig.services(), tab);
  view.show();
  GeneralSettings* g = view.general();
  EXPECT_TRUE(g->analyzeButton()->isVisible());
  EXPECT_FALSE(g->progressRow()->isVisible());

  // Nothing to measure: (0, 0) drawn against a total of 1, then the button again.
  bool sawEmpty = false;
  QObject::connect(&rig.model->formats(), &SeriesFormats::analysisProgressChanged, &view, [&] {
    if (!rig.model->formats().analysisProgress() || sawEmpty) return;
    sawEmpty = true;
    EXPECT_TRUE(g->progressRow()->isVisible());
    EXPECT_EQ(g->progressText()->text(), "0/0");
    EXPECT_EQ(g->progressBar()->maximum(), 1);
  });
  g->analyzeButton()->click();
  EXPECT_TRUE(sawEmpty);
  EXPECT_TRUE(g->analyzeButton()->isVisible());

  rig.addWork("g1", MediaKind::generative);
  rig.addWork("g2", MediaKind::generative);
  g->analyzeButton()->click();
  ASSERT_TRUE(rig.probes);
  EXPECT_TRUE(g->progressRow()->isVisible());
  EXPECT_EQ(g->progressText()->text(), "0/2");
  EXPECT_TRUE(g->stopButton()->isEnabled());
  g->stopButton()->click();
  EXPECT_FALSE(g->stopButton()->isEnabled());
  EXPECT_TRUE(rig.model->formats().analysisStopRequested());

  QSignalSpy progress(&rig.model->formats(), &SeriesFormats::analysisProgressChanged);
  rig.probes->answer(std::nullopt);
  while (rig.model->formats().analysisProgress() && progress.wait(5000)) {
  }
  EXPECT_TRUE(g->analyzeButton()->isVisible());
  EXPECT_TRUE(g->stopButton()->isEnabled());
}

}  // namespace
}  // namespace tavolune
