// The popover's rotation transport and live-policy picker, and its footer:
// the rotation summary and the status row.

#include "app/components/Spinner.hpp"
#include "app/desktop/DesktopController.hpp"
#include "app/menubar/MenuBarContent.hpp"
#include "app/menubar/MenuBarTexts.hpp"
#include "app/menubar/OneLineLabel.hpp"
#include "app/menubar/PopoverPaint.hpp"
#include "app/menubar/RoundButton.hpp"
#include "app/model/AppModel.hpp"
#include "app/qt/Convert.hpp"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace tavolune {
namespace {

constexpr AnimationPolicy allPolicies[] = {AnimationPolicy::never, AnimationPolicy::selected, AnimationPolicy::all};

QPixmap dot(const QColor& color, qreal dpr) {
  QPixmap pixmap(QSize(6, 6) * dpr);
  pixmap.setDevicePixelRatio(dpr);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  p.setBrush(color);
  p.drawEllipse(QRectF(0, 0, 6, 6));
  return pixmap;
}

}  // namespace

QWidget* MenuBarContent::buildControls() {
  controls_ = new QWidget(this);
  auto* layout = new QVBoxLayout(controls_);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(12);

  auto* transport = new QHBoxLayout;
  transport->setSpacing(14);
  previous_ = new RoundButton("backward.fill", false, QStringLiteral("Previous Artwork"), controls_);
  previous_->setObjectName(QStringLiteral("previous"));
  pause_ = new RoundButton("pause.fill", true, QStringLiteral("Pause Rotation"), controls_);
  pause_->setObjectName(QStringLiteral("pause"));
  next_ = new RoundButton("forward.fill", false, QStringLiteral("Next Artwork"), controls_);
  next_->setObjectName(QStringLiteral("next"));
  transport->addStretch();
  for (RoundButton* b : {previous_, pause_, next_}) transport->addWidget(b, 0, Qt::AlignVCenter);
  transport->addStretch();
  layout->addLayout(transport);
  connect(previous_, &RoundButton::clicked, this, [this] { step(false); });
  connect(next_, &RoundButton::clicked, this, [this] { step(true); });
  connect(pause_, &RoundButton::clicked, this, [this] {
    s_.desktop.setUserPaused(!s_.desktop.userPaused());
    s_.desktop.applyPower();
  });

  picker_ = new QWidget(controls_);
  picker_->setObjectName(QStringLiteral("animation"));
  picker_->setAccessibleName(QStringLiteral("Animation"));
  auto* segments = new QHBoxLayout(picker_);
  segments->setContentsMargins(0, 0, 0, 0);
  segments->setSpacing(0);
  policies_ = new QButtonGroup(picker_);
  policies_->setExclusive(true);
  for (AnimationPolicy policy : allPolicies) {
    auto* segment = new QPushButton(qt::str(label(policy)), picker_);
    segment->setObjectName(QStringLiteral("policy.") + qt::str(rawValue(policy)));
    segment->setCheckable(true);
    segment->setFont(PopoverPaint::font(12));
    segments->addWidget(segment);
    policies_->addButton(segment, int(policy));
  }
  connect(policies_, &QButtonGroup::idClicked, this, [this](int id) {
    const auto policy = AnimationPolicy(id);
    AppModel& model = s_.model;
    if (model.state().settings.animation == policy) return;
    model.setSetting(&AppSettings::animation, policy);
  });
  layout->addWidget(picker_);
  return controls_;
}

void MenuBarContent::step(bool forward) {
  std::vector<QString> keys;
  for (const auto& screen : s_.desktop.screens()) keys.push_back(screen.id);
  // With the same work on every display one advance already moves them all.
  if (s_.model.state().settings.sameArtworkOnAllScreens && !keys.empty()) {
    keys = {s_.desktop.mainKey().value_or(keys.front())};
  }
  for (const auto& key : keys) {
    if (forward) {
      s_.desktop.next(key);
    } else {
      s_.desktop.previous(key);
    }
  }
}

void MenuBarContent::refreshControls() {
  const bool loaded = s_.model.isLoaded();
  const bool paused = s_.desktop.userPaused();
  pause_->setSymbol(paused ? "play.fill" : "pause.fill",
                    paused ? QStringLiteral("Resume Rotation") : QStringLiteral("Pause Rotation"), playing_);
  for (QWidget* w : {static_cast<QWidget*>(previous_), static_cast<QWidget*>(pause_), static_cast<QWidget*>(next_),
                     picker_}) {
    w->setEnabled(loaded);
  }
  const AnimationPolicy policy = s_.model.state().settings.animation;
  if (QAbstractButton* segment = policies_->button(int(policy)); segment && !segment->isChecked()) {
    segment->setChecked(true);
  }
  picker_->setToolTip(qt::str(explanation(policy)));
}

QWidget* MenuBarContent::buildFooter() {
  auto* footer = new QWidget(this);
  auto* layout = new QVBoxLayout(footer);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(4);
  summary_ = new QLabel(footer);
  summary_->setObjectName(QStringLiteral("summary"));
  summary_->setTextFormat(Qt::PlainText);
  summary_->setWordWrap(true);
  summary_->setFont(PopoverPaint::font(11));
  PopoverPaint::setInk(summary_, PopoverPaint::secondary(palette()));
  layout->addWidget(summary_);

  auto* row = new QHBoxLayout;
  row->setSpacing(6);
  liveDot_ = new QLabel(footer);
  liveDot_->setObjectName(QStringLiteral("liveDot"));
  liveDot_->setFixedSize(6, 6);
  row->addWidget(liveDot_, 0, Qt::AlignVCenter);
  spinner_ = new Spinner(Spinner::Size::mini, footer);
  spinner_->setObjectName(QStringLiteral("spinner"));
  spinner_->hide();
  row->addWidget(spinner_, 0, Qt::AlignVCenter);
  status_ = new OneLineLabel(footer);
  status_->setObjectName(QStringLiteral("status"));
  status_->setFont(PopoverPaint::font(11));
  PopoverPaint::setInk(status_, PopoverPaint::secondary(palette()));
  row->addWidget(status_, 1);
  count_ = new QLabel(footer);
  count_->setObjectName(QStringLiteral("count"));
  count_->setFont(PopoverPaint::font(11));
  PopoverPaint::setInk(count_, PopoverPaint::tertiary(palette()));
  row->addWidget(count_);
  layout->addLayout(row);
  return footer;
}

void MenuBarContent::refreshFooter() {
  const LibraryState& state = s_.model.state();
  // Counted by the model off this thread; blank until its first count.
  const std::optional<std::size_t> inRotation = s_.model.desktopPoolCount();
  summary_->setText(MenuBarTexts::rotationSummary(state, inRotation));
  const bool playing = s_.desktop.isLivePlaying();
  if (dotPlaying_ != playing) {
    dotPlaying_ = playing;
    liveDot_->setPixmap(
        dot(playing ? QColor(52, 199, 89) : PopoverPaint::withAlpha(PopoverPaint::secondary(palette()), 0.5),
            devicePixelRatioF()));
  }
  spinner_->setVisible(!s_.desktop.preparing().empty());
  status_->setFullText(s_.statusLine ? s_.statusLine() : QString());
  count_->setText(inRotation ? MenuBarTexts::poolCountText(*inRotation) : QString());
}

}  // namespace tavolune
