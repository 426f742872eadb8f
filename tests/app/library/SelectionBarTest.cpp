#include "app/library/SelectionBar.hpp"

#include "app/components/Spinner.hpp"
#include "app/library/LibraryWindowState.hpp"
#include "app/model/AppModel.hpp"
#include "tests/app/library/GridRig.hpp"
#include "tests/app/render/TestImages.hpp"

#include <QLabel>
#include <QToolButton>

namespace tavolune {
namespace {

using testsupport::numbered;

class SelectionBarTest : public testsupport::GridRig {
 protected:
  std::unique_ptr<SelectionBar> makeBar(ExhibitionHooks hooks = {}) {
    auto s = services();
    auto bar = std::make_unique<SelectionBar>(*model, state, s.desktop, std::move(hooks));
    bar->fitTo(2000);
    bar->show();
    return bar;
  }
};

TEST_F(SelectionBarTest, LabelsFollowTheSelection) {
  fill(4);
  change([](LibraryState& s) {
    s.hiddenArtworks.insert(numbered(3).id);
    s.hiddenArtworks.insert(numbered(4).id);
    s.onDesktop.insert(numbered(1).id);
  });
  auto bar = makeBar();
  struct Case {
    const char* name;
    IdSet selection;
    QString count, hide, mySelection;
    bool showNow;
  };
  const std::string gone = "ethereum:0xc0ffee:77";
  const std::vector<Case> cases = {
      {"one visible work in My Selection", selected({1}), "1 selected", "Hide", "Remove from My Selection", true},
      {"a hidden and a visible work", selected({1, 3}), "2 selected", "Hide", "Add to My Selection", false},
      {"all hidden", selected({3, 4}), "2 selected", "Unhide", "Add to My Selection", false},
      {"a lost work alone", {gone}, "1 selected", "Hide", "Add to My Selection", false},
      {"a hidden work and a lost one", {gone, numbered(3).id}, "2 selected", "Hide", "Add to My Selection", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    state.setSelection(c.selection);
    EXPECT_EQ(bar->countLabel().text(), c.count);
    EXPECT_EQ(bar->hideButton().text(), c.hide);
    EXPECT_EQ(bar->mySelectionButton().text(), c.mySelection);
    EXPECT_EQ(bar->mySelectionButton().toolTip(), c.mySelection);
    EXPECT_EQ(bar->showNowButton().isVisible(), c.showNow);
    EXPECT_FALSE(bar->preparing().isVisible());
  }
  state.setSelection(selected({3}));
  EXPECT_EQ(bar->hideButton().toolTip(), "Show these artworks again");
  state.setSelection(selected({1}));
  EXPECT_EQ(bar->hideButton().toolTip(), "Hide from the library and the desktop (see Hidden Artworks)");
}

TEST_F(SelectionBarTest, ActionsEditTheLibraryAndTheSelection) {
  fill(3);
  change([](LibraryState& s) { s.onDesktop.insert(numbered(1).id); });
  auto bar = makeBar();

  // My Selection: a partial selection becomes whole, then leaves; the bar stays.
  state.setSelection(selected({1, 2}));
  state.setFocused(id(2));
  int calls = libraryChangedCalls();
  bar->mySelectionButton().click();
  EXPECT_EQ(asIds(model->state().onDesktop), selected({1, 2}));
  EXPECT_EQ(libraryChangedCalls(), calls + 1);
  EXPECT_EQ(bar->mySelectionButton().text(), "Remove from My Selection");
  bar->mySelectionButton().click();
  EXPECT_TRUE(model->state().onDesktop.empty());
  EXPECT_EQ(state.selection(), selected({1, 2}));
  EXPECT_EQ(libraryChangedCalls(), calls + 2);
  EXPECT_EQ(bar->mySelectionButton().text(), "Add to My Selection");

  // Show Now puts the single work on the desktop; a spinner while it is prepared.
  state.setSelection(selected({3}));
  bar->showNowButton().click();
  EXPECT_EQ(shown, std::vector<std::string>{id(3)});
  setPreparing({id(3)});
  EXPECT_TRUE(bar->preparing().isVisible());
  EXPECT_FALSE(bar->showNowButton().isVisible());
  EXPECT_TRUE(bar->preparingText().isVisible());
  EXPECT_EQ(bar->preparing().toolTip(), "Computing the render at your screen's size");
  setPreparing({});
  EXPECT_TRUE(bar->showNowButton().isVisible());

  // Hide ends the selection; Unhide brings works back.
  calls = libraryChangedCalls();
  bar->hideButton().click();
  EXPECT_TRUE(model->state().hiddenArtworks.contains(id(3)));
  EXPECT_TRUE(state.selection().empty());
  EXPECT_FALSE(state.focused().has_value());
  EXPECT_EQ(libraryChangedCalls(), calls + 1);
  state.setSelection(selected({3}));
  bar->hideButton().click();
  EXPECT_TRUE(model->state().hiddenArtworks.empty());

  // Clear, also by Escape.
  state.setSelection(selected({1}));
  state.setFocused(id(1));
  bar->clearButton().click();
  EXPECT_TRUE(state.selection().empty());
  EXPECT_FALSE(state.focused().has_value());
  EXPECT_EQ(bar->clearButton().shortcut(), QKeySequence(Qt::Key_Escape));
  EXPECT_EQ(bar->clearButton().toolTip(), "Deselect");
}

TEST_F(SelectionBarTest, ANarrowWidthGivesTheIconOnlyFormWithEveryControl) {
  fill(2);
  int made = 0;
  ExhibitionHooks hooks;
  hooks.selectionButton = [&made](SelectionBar& bar) {
    ++made;
    auto* button = new QToolButton(&bar);
    button->setText(QStringLiteral("Add to Exhibition"));
    return static_cast<QWidget*>(button);
  };
  auto bar = makeBar(hooks);
  EXPECT_EQ(made, 1);
  ASSERT_NE(bar->exhibitionButton(), nullptr);
  state.setSelection(selected({1}));
  setPreparing({id(1)});
  bar->fitTo(2000);
  EXPECT_FALSE(bar->isCompact());
  EXPECT_EQ(bar->hideButton().toolButtonStyle(), Qt::ToolButtonTextBesideIcon);
  const int wide = bar->width();

  bar->fitTo(wide - 40);
  EXPECT_TRUE(bar->isCompact());
  EXPECT_LT(bar->width(), wide);
  auto* exhibition = qobject_cast<QToolButton*>(bar->exhibitionButton());
  for (QToolButton* b : {&bar->hideButton(), &bar->mySelectionButton(), &bar->showNowButton(), exhibition})
    EXPECT_EQ(b->toolButtonStyle(), Qt::ToolButtonIconOnly) << b->text().toStdString();
  EXPECT_TRUE(bar->countLabel().isVisible());
  EXPECT_TRUE(bar->preparing().isVisible()) << "the spinner stays";
  EXPECT_FALSE(bar->preparingText().isVisible()) << "its text goes";

  bar->fitTo(2000);
  EXPECT_FALSE(bar->isCompact());
  EXPECT_TRUE(bar->preparingText().isVisible());
  EXPECT_EQ(exhibition->toolButtonStyle(), Qt::ToolButtonTextBesideIcon);
}

TEST_F(SelectionBarTest, MatchesReferencePictures) {
  fill(3);
  auto bar = makeBar();
  state.setSelection(selected({1}));
  bar->fitTo(2000);
  testing::expectReference(bar->grab().toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied),
                           "selection-bar-wide", 8, 60);
  state.setSelection(selected({1, 2}));
  bar->fitTo(2000);
  bar->fitTo(bar->width() - 20);
  ASSERT_TRUE(bar->isCompact());
  testing::expectReference(bar->grab().toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied),
                           "selection-bar-compact", 8, 60);
}

}  // namespace
}  // namespace tavolune
