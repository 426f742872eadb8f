// The popover's header: the work on the main display with its quick
// actions and live note, or the empty state; the sync warning; the notice.

#include "app/components/ArtworkImage.hpp"
#include "app/components/LimitedText.hpp"
#include "app/components/PlainText.hpp"
#include "app/desktop/DesktopController.hpp"
#include "app/library/LibraryWindowState.hpp"
#include "app/menubar/MenuBarContent.hpp"
#include "app/menubar/MenuBarTexts.hpp"
#include "app/menubar/NextChangeBar.hpp"
#include "app/menubar/OneLineLabel.hpp"
#include "app/menubar/PictureBlock.hpp"
#include "app/menubar/PillButton.hpp"
#include "app/menubar/PopoverPaint.hpp"
#include "app/menubar/TintedBox.hpp"
#include "app/model/AppModel.hpp"
#include "app/model/WindowManager.hpp"
#include "app/qt/Convert.hpp"
#include "app/style/Theme.hpp"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace tavolune {
namespace {

using Pill = MenuBarTexts::Pill;

QFont serif(int pixels) {
  QFont f(QStringLiteral("serif"));
  f.setStyleHint(QFont::Serif);
  f.setPixelSize(pixels);
  return f;
}

QLabel* symbolLabel(std::string_view symbol, int side, const QColor& color, QWidget* parent) {
  auto* icon = new QLabel(parent);
  icon->setPixmap(PopoverPaint::symbol(symbol, side, color, parent->devicePixelRatioF()));
  icon->setFixedSize(side, side);
  return icon;
}

QLabel* wrapping(QWidget* parent, const QFont& font) {
  auto* label = new QLabel(parent);
  label->setTextFormat(Qt::PlainText);
  label->setWordWrap(true);
  label->setFont(font);
  label->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Minimum);
  return label;
}

}  // namespace

QWidget* MenuBarContent::buildCurrentWork() {
  currentWork_ = new QWidget(this);
  auto* layout = new QVBoxLayout(currentWork_);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(10);

  image_ = new ArtworkImage(s_.images);
  bar_ = new NextChangeBar(s_.model, s_.desktop, s_.now);
  picture_ = new PictureBlock(image_, bar_, currentWork_);
  picture_->setObjectName(QStringLiteral("picture"));
  connect(picture_, &PictureBlock::clicked, this, [this] {
    if (!shownID_) return;
    const QString id = qt::str(*shownID_);
    closePopup();
    s_.windows.showLibrary(id);
  });
  layout->addWidget(picture_);

  auto* lines = new QVBoxLayout;
  lines->setSpacing(2);
  title_ = new OneLineLabel(currentWork_);
  title_->setObjectName(QStringLiteral("title"));
  title_->setFont(serif(17));
  artist_ = new OneLineLabel(currentWork_);
  artist_->setObjectName(QStringLiteral("artist"));
  artist_->setFont(PopoverPaint::font(12, QFont::Medium));
  details_ = new OneLineLabel(currentWork_);
  details_->setObjectName(QStringLiteral("details"));
  details_->setFont(PopoverPaint::font(11));
  PopoverPaint::setInk(details_, PopoverPaint::secondary(palette()));
  for (QLabel* l : {title_, artist_, details_}) lines->addWidget(l);
  layout->addLayout(lines);

  auto* pills = new QHBoxLayout;
  pills->setSpacing(8);
  static constexpr const char* names[] = {"pill.keep", "pill.hide", "pill.animate", "pill.restart"};
  for (int kind = 0; kind < 4; ++kind) {
    auto* pill = new PillButton(QString(), "star", false, QString(), currentWork_);
    pill->setObjectName(QString::fromLatin1(names[kind]));
    // Each action uses the flag the pill was drawn with.
    connect(pill, &PillButton::clicked, this, [this, pill, kind] { runPill(kind, pill->isActive()); });
    pills_.push_back(pill);
    pills->addWidget(pill);
  }
  pills->addStretch();
  layout->addLayout(pills);

  liveNote_ = new QWidget(currentWork_);
  liveNote_->setObjectName(QStringLiteral("liveNote"));
  auto* note = new QHBoxLayout(liveNote_);
  note->setContentsMargins(0, 0, 0, 0);
  note->setSpacing(6);
  note->addWidget(symbolLabel("pause.circle", 12, PopoverPaint::secondary(palette()), this), 0, Qt::AlignTop);
  liveNoteText_ = wrapping(liveNote_, PopoverPaint::font(11));
  PopoverPaint::setInk(liveNoteText_, PopoverPaint::secondary(palette()));
  note->addWidget(liveNoteText_, 1);
  layout->addWidget(liveNote_);
  return currentWork_;
}

QWidget* MenuBarContent::buildEmptyState() {
  emptyState_ = new QWidget(this);
  auto* layout = new QVBoxLayout(emptyState_);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(8);
  auto* title = new QLabel(QStringLiteral("Tavolune"), emptyState_);
  title->setFont(serif(20));
  layout->addWidget(title);
  emptyText_ = wrapping(emptyState_, PopoverPaint::font(12));
  emptyText_->setObjectName(QStringLiteral("emptyText"));
  PopoverPaint::setInk(emptyText_, PopoverPaint::secondary(palette()));
  layout->addWidget(emptyText_);
  addWallet_ = new QPushButton(QStringLiteral("Add Wallet…"), emptyState_);
  addWallet_->setObjectName(QStringLiteral("addWallet"));
  addWallet_->setDefault(true);
  connect(addWallet_, &QPushButton::clicked, this, [this] {
    closePopup();
    s_.windows.showWelcome();
  });
  layout->addWidget(addWallet_, 0, Qt::AlignLeft);
  return emptyState_;
}

QWidget* MenuBarContent::buildWarning() {
  auto* box = new TintedBox(QColor(255, 149, 0, int(255 * 0.12)), true, this);
  box->setObjectName(QStringLiteral("syncWarning"));
  box->setToolTip(QStringLiteral("Open Wallets settings"));
  auto* layout = new QHBoxLayout(box);
  layout->setContentsMargins(10, 10, 10, 10);
  layout->setSpacing(8);
  layout->addWidget(symbolLabel("exclamationmark.triangle.fill", 14, QColor(255, 149, 0), box), 0, Qt::AlignTop);
  // At most three lines, however long the wallet's errors, the last ending in "…".
  warningText_ = new LimitedText(3, box);
  warningText_->setFont(Theme::caption());
  warningText_->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Minimum);
  layout->addWidget(warningText_, 1);
  connect(box, &TintedBox::clicked, this, [this] {
    LibraryWindowState::shared().setSidebar(SidebarItem::manageWallets());
    closePopup();
    s_.windows.showLibrary();
  });
  warning_ = box;
  return box;
}

QWidget* MenuBarContent::buildNotice() {
  auto* box = new TintedBox(PopoverPaint::withAlpha(Theme::accent(palette()), 0.12), false, this);
  box->setObjectName(QStringLiteral("notice"));
  auto* layout = new QHBoxLayout(box);
  layout->setContentsMargins(10, 10, 10, 10);
  layout->addWidget(symbolLabel("info.circle", 14, PopoverPaint::primary(palette()), box), 0, Qt::AlignTop);
  noticeText_ = wrapping(box, Theme::caption());
  noticeText_->setObjectName(QStringLiteral("noticeText"));
  layout->addWidget(noticeText_, 1);
  auto* dismiss = new QToolButton(box);
  dismiss->setObjectName(QStringLiteral("dismissNotice"));
  dismiss->setAutoRaise(true);
  dismiss->setIcon(QIcon(PopoverPaint::symbol("xmark", 12, PopoverPaint::primary(palette()), devicePixelRatioF())));
  dismiss->setToolTip(QStringLiteral("Dismiss"));
  connect(dismiss, &QToolButton::clicked, this, [this] { s_.model.setNotice(std::nullopt); });
  layout->addWidget(dismiss, 0, Qt::AlignTop);
  notice_ = box;
  return box;
}

void MenuBarContent::refreshHeader(const std::optional<Artwork>& current) {
  const LibraryState& state = s_.model.state();
  const bool loaded = s_.model.isLoaded();

  if (playing_) {
    const bool hadWork = !currentWork_->isHidden();
    if (current && hadWork && shownID_ != current->id) {
      // The old picture leaves as the new one enters, scaled from 0.98 and faded.
      motion::leaveAsSnapshot(picture_, 0.98, workChange());
      motion::scaleFade(picture_, true, 0.98, workChange());
    } else if (current.has_value() != hadWork) {
      motion::leaveAsSnapshot(hadWork ? currentWork_ : emptyState_, hadWork ? 0.98 : 1, workChange());
      motion::scaleFade(current ? currentWork_ : emptyState_, true, current ? 0.98 : 1, workChange());
    }
  }
  currentWork_->setVisible(current.has_value());
  emptyState_->setVisible(!current);
  if (current) {
    if (shownID_ != current->id) {
      shownID_ = current->id;
      image_->setArtwork(*current, 900, ArtworkImage::ContentMode::fit);
    }
    const RenderProfile* profile = state.profile(*current);
    if (profile && profile->background) {
      const auto& c = *profile->background;
      picture_->setMatte(QColor::fromRgbF(float(c.r), float(c.g), float(c.b)));
    } else {
      picture_->setMatte(Theme::matte());
    }
    bar_->refresh();
    title_->setFullText(qt::str(current->title));
    artist_->setVisible(current->artist.has_value());
    artist_->setFullText(current->artist ? qt::str(*current->artist) : QString());
    details_->setFullText(qt::str(current->cartelDetails()));

    const auto pills = MenuBarTexts::pills(state, *current);
    for (int kind = 0; kind < int(pills_.size()); ++kind) {
      const auto it = std::find_if(pills.begin(), pills.end(), [kind](const Pill& p) { return int(p.kind) == kind; });
      PillButton* pill = pills_[std::size_t(kind)];
      pill->setVisible(it != pills.end());
      if (it != pills.end()) pill->set(it->title, it->symbol, it->active, it->help, playing_);
      pill->setEnabled(loaded);
    }
    const auto note =
        MenuBarTexts::liveNote(state, *current, s_.desktop.userPaused(), s_.desktop.power().pauseReason());
    liveNote_->setVisible(note.has_value());
    if (note) liveNoteText_->setText(*note);
  } else {
    shownID_.reset();
    emptyText_->setText(!loaded                 ? QStringLiteral("Loading the library…")
                        : state.wallets.empty() ? QStringLiteral("Add a wallet to hang your collection on your desktop.")
                                                : QStringLiteral("No artworks to show yet."));
    addWallet_->setVisible(loaded && state.wallets.empty());
  }

  const auto& notice = s_.model.notice();
  const auto warning = notice ? std::nullopt : MenuBarTexts::syncWarning(state.wallets);
  warning_->setVisible(warning.has_value());
  if (warning) warningText_->setFullText(*warning);
  notice_->setVisible(notice.has_value());
  if (notice) noticeText_->setText(qt::str(*notice));
}

void MenuBarContent::runPill(int kind, bool flag) {
  if (!shownID_) return;
  AppModel& model = s_.model;
  const auto it = model.state().artworks.find(*shownID_);
  if (it == model.state().artworks.end()) return;
  const Artwork work = it->second;  // the edits below may move the state's copy
  switch (Pill::Kind(kind)) {
    case Pill::Kind::keep:
      // The pill shows whether the work is kept: a toggle of the one work.
      if (flag == model.state().onDesktop.contains(work.id)) model.toggleMySelection({work.id});
      break;
    case Pill::Kind::hide:
      model.setHidden({work.id}, true);
      break;
    case Pill::Kind::animate:
      model.setAnimated(work, !flag);
      break;
    case Pill::Kind::restart:
      s_.desktop.restartLive();
      break;
  }
}

}  // namespace tavolune
