#include "app/library/SelectionBar.hpp"

#include "app/components/AnyLabelStyle.hpp"
#include "app/components/FloatingBar.hpp"
#include "app/components/Spinner.hpp"
#include "app/library/LibraryEdits.hpp"
#include "app/library/LibraryWindowState.hpp"
#include "app/model/AppModel.hpp"
#include "app/style/Symbols.hpp"
#include "app/style/Theme.hpp"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>

#include <algorithm>

namespace tavolune {
namespace {

QToolButton* button(const char* symbol, const QString& title, QWidget* parent) {
  auto* b = new QToolButton(parent);
  b->setIcon(Symbols::icon(symbol));
  b->setText(title);
  b->setIconSize({16, 16});
  b->setFocusPolicy(Qt::NoFocus);  // the grid keeps the keyboard
  return b;
}

void setLabel(QToolButton& b, const char* symbol, const QString& title, const QString& help) {
  b.setIcon(Symbols::icon(symbol));
  b.setText(title);
  b.setToolTip(help);
}

}  // namespace

SelectionBar::SelectionBar(AppModel& model, LibraryWindowState& windowState, DesktopAccess desktop,
                           ExhibitionHooks hooks, QWidget* parent)
    : QWidget(parent), model_(model), windowState_(windowState), desktop_(std::move(desktop)) {
  auto* outer = new QHBoxLayout(this);
  // Room for the capsule's shadow.
  outer->setContentsMargins(outerPadding, 6, outerPadding, 14);
  capsule_ = new FloatingBar(this);
  outer->addWidget(capsule_);
  auto* row = new QHBoxLayout(capsule_);
  row->setContentsMargins(horizontalPadding, verticalPadding, horizontalPadding, verticalPadding);
  row->setSpacing(spacing);

  clear_ = button("xmark", QStringLiteral("Deselect"), capsule_);
  clear_->setToolButtonStyle(Qt::ToolButtonIconOnly);
  clear_->setAutoRaise(true);
  clear_->setToolTip(QStringLiteral("Deselect"));
  clear_->setShortcut(QKeySequence(Qt::Key_Escape));
  connect(clear_, &QToolButton::clicked, this, [this] {
    windowState_.setSelection({});
    windowState_.setFocused({});
  });
  row->addWidget(clear_);

  count_ = new QLabel(capsule_);
  count_->setTextFormat(Qt::PlainText);
  QFont callout = Theme::callout();
  callout.setWeight(QFont::Medium);
  count_->setFont(Theme::monospacedDigits(callout));
  count_->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
  row->addWidget(count_);

  auto* divider = new QFrame(capsule_);
  divider->setFrameShape(QFrame::VLine);
  divider->setFixedHeight(18);
  row->addWidget(divider);

  hide_ = button("eye.slash", QStringLiteral("Hide"), capsule_);
  connect(hide_, &QToolButton::clicked, this, &SelectionBar::hideOrUnhide);
  row->addWidget(hide_);

  preparing_ = new QWidget(capsule_);
  auto* preparingRow = new QHBoxLayout(preparing_);
  preparingRow->setContentsMargins(0, 0, 0, 0);
  preparingRow->setSpacing(6);
  spinner_ = new Spinner(Spinner::Size::small, preparing_);
  preparingRow->addWidget(spinner_);
  preparingText_ = new QLabel(QStringLiteral("Preparing\u2026"), preparing_);
  preparingText_->setForegroundRole(QPalette::PlaceholderText);
  preparingRow->addWidget(preparingText_);
  preparing_->setToolTip(QStringLiteral("Computing the render at your screen's size"));
  row->addWidget(preparing_);

  showNow_ = button("menubar.dock.rectangle", QStringLiteral("Show Now"), capsule_);
  showNow_->setToolTip(QStringLiteral("Show Now"));
  connect(showNow_, &QToolButton::clicked, this, &SelectionBar::showSingle);
  row->addWidget(showNow_);

  mySelection_ = button("plus.circle", QStringLiteral("Add to My Selection"), capsule_);
  // Bordered and prominent: the accent behind white.
  QPalette prominent = mySelection_->palette();
  prominent.setColor(QPalette::Button, Theme::accent(prominent));
  prominent.setColor(QPalette::ButtonText, Qt::white);
  mySelection_->setPalette(prominent);
  mySelection_->setAutoFillBackground(true);
  connect(mySelection_, &QToolButton::clicked, this, [this] {
    LibraryEdits::toggleMySelection(model_, windowState_.sharedSelection());
  });
  row->addWidget(mySelection_);

  if (hooks.selectionButton) {
    exhibitionButton_ = hooks.selectionButton(*this);
    if (exhibitionButton_) row->addWidget(exhibitionButton_);
  }

  connect(&windowState_, &LibraryWindowState::selectionChanged, this, &SelectionBar::refresh);
  connect(&model_, &AppModel::libraryChanged, this, [this](const LibraryChange& change) {
    if (const auto mine = mineAfter(change)) {
      allMine_ = *mine;
      showFlags();
    } else if (change.touchesAny(windowState_.selection())) {
      refresh();
    }
  });
  if (desktop_.watchPreparing) desktop_.watchPreparing(this, [this] { refresh(); });
  applyForm();
  refresh();
}

void SelectionBar::setExhibition(std::optional<Uuid> exhibition) {
  if (exhibition == exhibition_) return;
  exhibition_ = exhibition;
  emit exhibitionChanged();
}

std::vector<std::string> SelectionBar::selectedIds() const {
  const auto& s = windowState_.selection();
  std::vector<std::string> ids(s.begin(), s.end());
  std::sort(ids.begin(), ids.end());
  return ids;
}

std::optional<std::string> SelectionBar::single() const {
  const auto& s = windowState_.selection();
  if (s.size() != 1) return std::nullopt;
  std::string id(*s.begin());
  if (!model_.state().artworks.contains(id)) return std::nullopt;
  return id;
}

std::optional<bool> SelectionBar::mineAfter(const LibraryChange& change) const {
  // Whether a work is visible does not follow My Selection.
  if (change.everything || !change.artworks.empty() || !change.wallets.empty() || change.settings ||
      change.many.size() != 1) {
    return std::nullopt;
  }
  const LibraryChange::Many& m = change.many.front();
  if (m.aspects != LibraryChange::selection || m.ids != windowState_.sharedSelection()) return std::nullopt;
  return m.inMySelection;
}

void SelectionBar::refresh() {
  const LibraryState& state = model_.state();
  const auto& selection = windowState_.selection();
  count_->setText(QStringLiteral("%1 selected").arg(selection.size()));
  hides_ = LibraryEdits::hides(state, selection);
  allMine_ = LibraryEdits::allInMySelection(state, selection);

  const auto one = single();
  const bool preparing = one && desktop_.isPreparing && desktop_.isPreparing(*one);
  preparing_->setVisible(preparing);
  showNow_->setVisible(one && !preparing);
  showFlags();
}

void SelectionBar::showFlags() {
  if (hides_) {
    setLabel(*hide_, "eye.slash", QStringLiteral("Hide"),
             QStringLiteral("Hide from the library and the desktop (see Hidden Artworks)"));
  } else {
    setLabel(*hide_, "eye", QStringLiteral("Unhide"), QStringLiteral("Show these artworks again"));
  }
  if (allMine_) {
    setLabel(*mySelection_, "minus.circle", QStringLiteral("Remove from My Selection"),
             QStringLiteral("Remove from My Selection"));
  } else {
    setLabel(*mySelection_, "plus.circle", QStringLiteral("Add to My Selection"),
             QStringLiteral("Add to My Selection"));
  }
  emit layoutChanged();
}

void SelectionBar::hideOrUnhide() {
  LibraryEdits::apply(model_, LibraryEdits::hideTargets(model_.state(), windowState_.selection()));
  windowState_.setSelection({});
  windowState_.setFocused({});
}

void SelectionBar::showSingle() {
  const auto one = single();
  if (!one || !desktop_.show) return;
  desktop_.show(model_.state().artworks.at(*one));
}

void SelectionBar::applyForm() {
  const AnyLabelStyle style = compact_ ? AnyLabelStyle::iconOnly() : AnyLabelStyle::titleAndIcon();
  for (QToolButton* b : {hide_, showNow_, mySelection_}) style.apply(*b);
  if (auto* b = qobject_cast<QToolButton*>(exhibitionButton_)) style.apply(*b);
  preparingText_->setVisible(!compact_);
}

void SelectionBar::fitTo(int width) {
  // Sizes are read at once: the layout requests a form change posted are
  // handled first.
  auto wanted = [this] {
    for (QWidget* w : {static_cast<QWidget*>(preparing_), static_cast<QWidget*>(capsule_), static_cast<QWidget*>(this)}) {
      w->layout()->invalidate();
      w->layout()->activate();
    }
    return sizeHint();
  };
  compact_ = false;
  applyForm();
  compact_ = wanted().width() > width;
  if (compact_) applyForm();
  resize(wanted());
}

}  // namespace tavolune
