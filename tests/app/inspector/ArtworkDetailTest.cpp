// The inspector pane: its rows for each kind of work, the edits it makes
// through the model, the page link and the description as plain text.
#include "app/inspector/ArtworkDetail.hpp"
#include "app/inspector/DesktopPreview.hpp"
#include "app/inspector/FormatInfo.hpp"
#include "app/inspector/InspectorSection.hpp"
#include "tests/app/inspector/InspectorRig.hpp"
#include "tests/support/ModelEdits.hpp"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QMenu>
#include <QTest>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>

namespace tavolune {
namespace {

class ArtworkDetailTest : public testsupport::InspectorRig {
 protected:
  std::unique_ptr<ArtworkDetail> open(const Artwork& a, ArtworkActions actions = ArtworkActions::showNow({})) {
    if (!actions.primary) actions.primary = [this](const Artwork& w) { primaryRuns.push_back(w.id); };
    auto detail = std::make_unique<ArtworkDetail>(services(), std::move(actions), a);
    detail->resize(360, 900);
    detail->show();
    return detail;
  }
  std::vector<std::string> primaryRuns;
};

TEST_F(ArtworkDetailTest, RowsPerKind) {
  Artwork gif = kind("4", MediaKind::image, "https://media.test/4.gif");
  struct Case {
    Artwork work;
    bool live;
    bool format;
  };
  const Case cases[] = {{kind("1", MediaKind::image), false, false},
                        {kind("2", MediaKind::generative), true, true},
                        {kind("3", MediaKind::video), true, false},
                        {gif, true, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.work.id);
    own({c.work});
    auto detail = open(c.work);
    EXPECT_EQ(detail->playButton().isVisibleTo(detail.get()), c.live);
    EXPECT_EQ(detail->animateRow().isVisibleTo(detail.get()), c.live);
    EXPECT_EQ(detail->formatInfo().isVisibleTo(detail.get()), c.format);
    // Framing, rotation, and the live and format rows when present.
    EXPECT_EQ(detail->desktopSection().shownDividers(), 1 + int(c.live) + int(c.format));
    EXPECT_EQ(detail->titleLabel().text(), QString::fromStdString(c.work.title));
    EXPECT_EQ(detail->artistLabel().text(), "Ada");
    EXPECT_EQ(detail->infoValue(QStringLiteral("Chain")), "Ethereum");
    EXPECT_EQ(detail->infoValue(QStringLiteral("Contract")), QString::fromStdString(c.work.contract));
  }
  own({kind("2", MediaKind::generative)});
  EXPECT_EQ(open(kind("2", MediaKind::generative))->infoValue(QStringLiteral("Media")), "Generative");
}

// A contract address can be selected with the mouse or the keyboard, shows
// its selection and copies from its context menu.
TEST_F(ArtworkDetailTest, InfoValuesAreSelectableVisiblyAndCopied) {
  const Artwork a = kind("1", MediaKind::image);
  own({a});
  auto detail = open(a);
  const QString contract = QString::fromStdString(a.contract);
  QLabel* value = nullptr;
  for (auto* l : detail->findChildren<QLabel*>()) {
    if (l->text() == contract) value = l;
  }
  ASSERT_TRUE(value);
  EXPECT_TRUE(value->focusPolicy() & Qt::TabFocus) << "reached with the keyboard";

  detail->activateWindow();
  value->setFocus(Qt::TabFocusReason);
  ASSERT_TRUE(QTest::qWaitFor([&] { return value->hasFocus(); }, 5000));
  const QImage unselected = value->grab().toImage();
  QTest::keyClick(value, Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(value->selectedText(), contract);
  EXPECT_NE(value->grab().toImage(), unselected) << "the selection shows";

  value->setSelection(0, 0);
  value->clearFocus();
  QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, value->rect().center(), value->mapToGlobal(value->rect().center()));
  QApplication::sendEvent(value, &menuEvent);
  auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
  ASSERT_TRUE(menu);
  QAction* copy = nullptr;
  for (QAction* action : menu->actions()) {
    if (action->text() == QStringLiteral("Copy")) copy = action;
  }
  ASSERT_TRUE(copy);
  ASSERT_TRUE(copy->isEnabled());
  copy->trigger();
  menu->close();
  EXPECT_EQ(QGuiApplication::clipboard()->text(), contract);
}

TEST_F(ArtworkDetailTest, AboutShowsTenLinesTheLastEndingInAnEllipsis) {
  Artwork a = kind("1", MediaKind::image);
  std::string lines;
  for (int i = 1; i <= 30; ++i) lines += "Line " + std::to_string(i) + "\n";
  a.description = lines;
  own({a});
  auto detail = open(a);
  const QString shown = detail->descriptionLabel().text();
  EXPECT_TRUE(shown.startsWith("Line 1\nLine 2\n")) << shown.toStdString();
  EXPECT_TRUE(shown.endsWith(QStringLiteral("Line 10\u2026"))) << shown.toStdString();
  EXPECT_EQ(shown.count('\n'), 9);

  // One long paragraph: cut where the tenth line ends.
  const QString words = QStringLiteral("word ").repeated(400);
  const QString cut = LimitedText::limited(words, detail->font(), 200, 10);
  EXPECT_TRUE(cut.endsWith(QChar(0x2026)));
  EXPECT_LT(cut.size(), words.size());
  EXPECT_EQ(LimitedText::limited(cut.chopped(1), detail->font(), 200, 10), cut.chopped(1)) << "ten lines fit whole";
  EXPECT_EQ(LimitedText::limited(QStringLiteral("Short."), detail->font(), 200, 10), QStringLiteral("Short."));
}

TEST_F(ArtworkDetailTest, QuarterTurnsWrapAroundZero) {
  const Artwork a = kind("1", MediaKind::image);
  own({a});
  auto detail = open(a);
  EXPECT_EQ(detail->rotationLabel().text(), "0°");
  detail->rotateLeftButton().click();
  deliverChanges(*model);
  EXPECT_EQ(model->state().rotations.at(a.id), 3);
  EXPECT_EQ(detail->rotationLabel().text(), "270°");
  detail->rotateRightButton().click();
  deliverChanges(*model);
  // Back at zero the entry goes rather than storing 0.
  EXPECT_FALSE(model->state().rotations.contains(a.id));
  EXPECT_EQ(detail->rotationLabel().text(), "0°");
  detail->rotateRightButton().click();
  deliverChanges(*model);
  EXPECT_EQ(model->state().rotations.at(a.id), 1);
  EXPECT_EQ(libraryChangedCalls(), 3);  // once per edit
  QSignalSpy saved(model.get(), &AppModel::saved);
  ASSERT_TRUE(saved.wait(2000));
  EXPECT_EQ(onDisk().rotations.at(a.id), 1);
}

TEST_F(ArtworkDetailTest, MySelectionAndFraming) {
  const Artwork a = kind("1", MediaKind::image);
  own({a});
  auto detail = open(a);
  EXPECT_EQ(detail->selectionButton().text(), "Add to My Selection");
  detail->selectionButton().click();
  deliverChanges(*model);
  EXPECT_TRUE(model->state().onDesktop.contains(a.id));
  EXPECT_EQ(detail->selectionButton().text(), "In My Selection");
  detail->selectionButton().click();
  deliverChanges(*model);
  EXPECT_FALSE(model->state().onDesktop.contains(a.id));
  EXPECT_EQ(libraryChangedCalls(), 2);

  // No framing of its own: the main display's (fit) shows; choosing it stores it.
  desktop->setFraming(Framing::fit, testsupport::mainKey);
  EXPECT_EQ(detail->shownFraming(), Framing::fit);
  EXPECT_TRUE(detail->framingButton(Framing::fit).isChecked());
  detail->framingButton(Framing::fit).click();
  deliverChanges(*model);
  EXPECT_EQ(model->state().preferredFraming.at(a.id), Framing::fit);
  detail->framingButton(Framing::passePartout).click();
  deliverChanges(*model);
  EXPECT_EQ(model->state().preferredFraming.at(a.id), Framing::passePartout);
  EXPECT_TRUE(detail->framingButton(Framing::passePartout).isChecked());

  // A responsive series fills when the work has no framing of its own.
  Artwork g = kind("2", MediaKind::generative);
  own({g});
  seedLibrary(*model, [g](LibraryState& s) {
    s.renderProfiles[g.seriesKey()] = RenderProfile{ArtLayout::responsive(), std::nullopt, Date{}};
  });
  EXPECT_EQ(open(g)->shownFraming(), Framing::fill);
}

TEST_F(ArtworkDetailTest, PrimaryActionAndPreparing) {
  const Artwork a = kind("1", MediaKind::image);
  own({a});
  auto detail = open(a);
  EXPECT_EQ(detail->primaryButton().text(), "Show Now");
  detail->primaryButton().click();
  deliverChanges(*model);
  EXPECT_EQ(primaryRuns, std::vector<std::string>{a.id});
  desktop->beginPreparing(a.id);
  EXPECT_EQ(detail->primaryButton().text(), "Preparing…");
  EXPECT_FALSE(detail->primaryButton().isEnabled());
  EXPECT_FALSE(detail->primaryButton().toolTip().isEmpty());
  desktop->endPreparing(a.id);
  EXPECT_TRUE(detail->primaryButton().isEnabled());
  EXPECT_EQ(detail->primaryButton().text(), "Show Now");

  ArtworkActions none;
  none.primary = {};
  auto bare = std::make_unique<ArtworkDetail>(services(), none, a);
  bare->show();
  EXPECT_FALSE(bare->primaryButton().isVisibleTo(bare.get()));
  EXPECT_TRUE(bare->selectionButton().isVisibleTo(bare.get()));
}

TEST_F(ArtworkDetailTest, AnimateAndLive) {
  const Artwork a = kind("1", MediaKind::video);
  const Artwork b = kind("2", MediaKind::video);
  own({a, b});
  seedLibrary(*model, [](LibraryState& s) { s.settings.animation = AnimationPolicy::never; });
  auto detail = open(a);
  detail->animateToggle().click();
  deliverChanges(*model);
  EXPECT_TRUE(model->state().animatedArtworks.contains(a.id));
  EXPECT_EQ(model->state().settings.animation, AnimationPolicy::selected);

  detail->playButton().click();
  deliverChanges(*model);
  EXPECT_TRUE(detail->isLive());
  EXPECT_TRUE(detail->preview().isLive());
  EXPECT_EQ(detail->playButton().toolTip(), "Back to the Image");
  // Another work opens as a still.
  detail->setArtwork(b);
  EXPECT_FALSE(detail->isLive());
  EXPECT_FALSE(detail->preview().isLive());
  EXPECT_EQ(detail->playButton().toolTip(), "Play Live");
}

TEST_F(ArtworkDetailTest, NetworkTextStaysText) {
  Artwork a = kind("1", MediaKind::image);
  a.description = "<b>bold</b> <img src=\"https://tracker.test/p.png\"> &amp; <a href=\"x\">link</a>";
  a.externalURL = "javascript:alert(document.cookie)";
  own({a});
  auto detail = open(a);
  EXPECT_EQ(detail->descriptionLabel().textFormat(), Qt::PlainText);
  EXPECT_EQ(detail->descriptionLabel().text(), QString::fromStdString(*a.description));
  EXPECT_TRUE(detail->aboutSection().isVisibleTo(detail.get()));
  EXPECT_FALSE(detail->pageRow().isVisibleTo(detail.get()));

  // An empty description hides the section; a web page gets its link.
  seedLibrary(*model, [id = a.id](LibraryState& s) {
    s.artworks[id].description = "";
    s.artworks[id].externalURL = "https://objkt.com/tokens/KT1/1";
  });
  EXPECT_FALSE(detail->aboutSection().isVisibleTo(detail.get()));
  ASSERT_TRUE(detail->pageRow().isVisibleTo(detail.get()));
  EXPECT_EQ(detail->pageButton().text(), "Open objkt.com");
  detail->pageButton().click();
  deliverChanges(*model);
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0], QUrl(QStringLiteral("https://objkt.com/tokens/KT1/1")));
}

TEST_F(ArtworkDetailTest, MiniatureFollowsTheDesktop) {
  Artwork a = kind("1", MediaKind::image);
  a.aspectRatio = 1.0;
  own({a});
  auto detail = open(a);
  DesktopPreview& preview = detail->preview();
  // 1600 x 1000 main display: a 1.6 miniature.
  EXPECT_NEAR(double(preview.miniature().width()) / preview.miniature().height(), 1.6, 0.02);
  EXPECT_TRUE(preview.showsSpinner());  // no still yet
  desktop->setFraming(Framing::fill, testsupport::mainKey);
  EXPECT_EQ(preview.caption(), "Desktop preview · Fill");
  seedLibrary(*model, [](LibraryState& s) { s.settings.frame = FrameStyle::galleryWhite; });
  EXPECT_EQ(preview.caption(), "Desktop preview · Gallery White");
  EXPECT_EQ(preview.previewGeometry().frame, FrameStyle::galleryWhite);
}

}  // namespace
}  // namespace tavolune
