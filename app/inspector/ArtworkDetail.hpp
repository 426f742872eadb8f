#pragma once
// The library window's inspector pane for the focused work: the miniature
// of the main display (live on request for live works), the title block,
// the primary action and the My Selection toggle, "On the Desktop" (the
// work's framing, quarter turns, live setting and measured format), the
// description as plain text, and the facts with a link to the work's page
// (http and https only). Edits go through the app model, which tells the
// desktop. GUI thread only; nothing here blocks.

#include "app/components/ArtworkActions.hpp"
#include "app/components/LimitedText.hpp"
#include "app/inspector/InspectorServices.hpp"
#include "core/model/Artwork.hpp"
#include "core/model/DisplayChoices.hpp"

#include <QScrollArea>

#include <optional>
#include <vector>

class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QLabel;
class QPushButton;
class QToolButton;
class QVBoxLayout;

namespace tavolune {

class DesktopPreview;
class FormatInfo;
class InspectorSection;
class Spinner;

class ArtworkDetail final : public QScrollArea {
  Q_OBJECT
 public:
  static constexpr int padding = 20;
  static constexpr int spacing = 20;
  static constexpr int maxDescriptionLines = 10;

  ArtworkDetail(InspectorServices services, ArtworkActions actions, const Artwork& artwork,
                QWidget* parent = nullptr);

  // Another work starts as a still.
  void setArtwork(const Artwork& artwork);
  const Artwork& artwork() const { return artwork_; }

  bool isLive() const { return live_; }
  void setLive(bool live);
  // The framing the picker shows: the work's own, else the effective one.
  Framing shownFraming() const;
  Framing effectiveFraming() const;

  // --- parts, for the window and for tests ---
  DesktopPreview& preview() const { return *preview_; }
  QToolButton& playButton() const { return *play_; }
  QLabel& titleLabel() const { return *title_; }
  QLabel& artistLabel() const { return *artist_; }
  QLabel& detailsLabel() const { return *details_; }
  QPushButton& primaryButton() const { return *primary_; }
  QPushButton& selectionButton() const { return *selection_; }
  QAbstractButton& framingButton(Framing framing) const;
  QLabel& rotationLabel() const { return *rotation_; }
  QToolButton& rotateLeftButton() const { return *rotateLeft_; }
  QToolButton& rotateRightButton() const { return *rotateRight_; }
  QWidget& animateRow() const { return *animateRow_; }
  QCheckBox& animateToggle() const { return *animate_; }
  FormatInfo& formatInfo() const { return *format_; }
  InspectorSection& desktopSection() const { return *desktopSection_; }
  InspectorSection& aboutSection() const { return *aboutSection_; }
  QLabel& descriptionLabel() const { return *description_; }
  InspectorSection& infoSection() const { return *infoSection_; }
  // The value shown in the info row with that label; empty when absent.
  QString infoValue(const QString& label) const;
  QWidget& pageRow() const { return *pageRow_; }
  QPushButton& pageButton() const { return *page_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Built in this order, top to bottom.
  void buildHeader(QVBoxLayout& column);
  void buildActions(QVBoxLayout& column);
  void buildDesktopSection(QVBoxLayout& column);
  void buildAbout(QVBoxLayout& column);
  void buildInfo(QVBoxLayout& column);
  QWidget* info(const QString& label, bool mono);

  void refresh();
  void refreshPrimary();
  void refreshInfo();
  // Save, recount and tell the desktop, in that order.
  void toggleSelection();
  void chooseFraming(Framing framing);
  void rotate(int step);

  InspectorServices services_;
  ArtworkActions actions_;
  Artwork artwork_;
  bool live_ = false;

  DesktopPreview* preview_;
  QToolButton* play_;
  QLabel* title_;
  QLabel* artist_;
  QLabel* details_;
  QPushButton* primary_;
  Spinner* preparing_;
  QPushButton* selection_;
  InspectorSection* desktopSection_;
  QButtonGroup* framing_;
  QLabel* rotation_;
  QToolButton* rotateLeft_;
  QToolButton* rotateRight_;
  QWidget* animateRow_;
  QCheckBox* animate_;
  FormatInfo* format_;
  InspectorSection* aboutSection_;
  LimitedText* description_;
  InspectorSection* infoSection_;
  std::vector<std::pair<QString, QLabel*>> infoValues_;
  QWidget* pageRow_;
  QPushButton* page_;
};

}  // namespace tavolune
