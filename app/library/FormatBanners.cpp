#include "app/library/FormatBanners.hpp"

#include "app/components/Divider.hpp"
#include "app/components/RollingCountLabel.hpp"
#include "app/model/AppModel.hpp"
#include "app/style/Motion.hpp"
#include "app/style/Symbols.hpp"
#include "app/style/Theme.hpp"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace tavolune {
namespace {

// The accent "aspectratio" badge: 28 points square on a faint accent tile.
QLabel* badge(QWidget* parent) {
  auto* l = new QLabel(parent);
  l->setFixedSize(28, 28);
  l->setAlignment(Qt::AlignCenter);
  QColor tile = Theme::accent();
  tile.setAlphaF(0.14);
  l->setStyleSheet(QStringLiteral("QLabel { background: %1; border-radius: 7px; }").arg(tile.name(QColor::HexArgb)));
  l->setPixmap(Symbols::tinted("aspectratio", {15, 15}, Theme::accent(), parent->devicePixelRatioF()));
  return l;
}

QLabel* secondary(QWidget* parent, const QFont& font) {
  auto* l = new QLabel(parent);
  l->setTextFormat(Qt::PlainText);
  l->setFont(font);
  l->setForegroundRole(QPalette::PlaceholderText);
  return l;
}

void setProgress(QProgressBar* bar, const SeriesFormats::Progress& p) {
  // A total of 0 measures against 1, never divides by zero.
  bar->setRange(0, int(std::min<std::size_t>(std::max<std::size_t>(p.total, 1), INT_MAX)));
  bar->setValue(int(std::min<std::size_t>(p.done, std::size_t(bar->maximum()))));
}

}  // namespace

AnalyzeBanner::AnalyzeBanner(AppModel& model, QWidget* parent) : QWidget(parent), model_(model) {
  setAutoFillBackground(true);
  setFont(Theme::callout());
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->setSpacing(0);
  auto* row = new QHBoxLayout;
  row->setContentsMargins(20, 9, 20, 9);
  row->setSpacing(12);
  row->addWidget(badge(this));

  offer_ = new QWidget(this);
  auto* offerRow = new QHBoxLayout(offer_);
  offerRow->setContentsMargins(0, 0, 0, 0);
  offerRow->setSpacing(12);
  auto* texts = new QVBoxLayout;
  texts->setSpacing(1);
  auto* title = new QLabel(QStringLiteral("Fit artworks to your screen"), offer_);
  QFont medium = title->font();
  medium.setWeight(QFont::Medium);
  title->setFont(medium);
  // Its digits roll when the number of series changes.
  count_ = new RollingCountLabel(QStringLiteral(" generative series not measured yet"), offer_);
  count_->setFont(Theme::caption());
  count_->setForegroundRole(QPalette::PlaceholderText);
  texts->addWidget(title);
  texts->addWidget(count_);
  auto* textBox = new QWidget(offer_);
  textBox->setLayout(texts);
  textBox->setToolTip(QStringLiteral("Measured series fill the screen when responsive, or sit on a mat in their own "
                                     "background colour. Tavolune also measures a few on its own while your computer "
                                     "is idle and plugged in."));
  offerRow->addWidget(textBox, 1);
  auto* notNow = new QPushButton(QStringLiteral("Not Now"), offer_);
  notNow->setFlat(true);
  auto* analyse = new QPushButton(QStringLiteral("Analyze Collection"), offer_);
  analyse->setDefault(true);
  offerRow->addWidget(notNow);
  offerRow->addWidget(analyse);
  row->addWidget(offer_, 1);

  progress_ = new QWidget(this);
  auto* progressRow = new QHBoxLayout(progress_);
  progressRow->setContentsMargins(0, 0, 0, 0);
  progressRow->setSpacing(12);
  bar_ = new QProgressBar(progress_);
  bar_->setFixedWidth(120);
  bar_->setTextVisible(false);
  progressText_ = secondary(progress_, Theme::monospacedDigits(font()));
  stop_ = new QPushButton(QStringLiteral("Stop"), progress_);
  stop_->setToolTip(QStringLiteral("The series measured so far are kept"));
  progressRow->addWidget(bar_);
  progressRow->addWidget(progressText_, 1);
  progressRow->addWidget(stop_);
  row->addWidget(progress_, 1);
  outer->addLayout(row);
  outer->addWidget(new Divider(this));

  connect(notNow, &QPushButton::clicked, this, &AnalyzeBanner::notNow);
  connect(analyse, &QPushButton::clicked, this, [this] { model_.formats().analyzeCollection(); });
  connect(stop_, &QPushButton::clicked, this, [this] { model_.formats().setAnalysisStopRequested(true); });
  connect(&model_, &AppModel::pendingSeriesCountChanged, this, &AnalyzeBanner::refresh);
  connect(&model_.formats(), &SeriesFormats::analysisProgressChanged, this, &AnalyzeBanner::refresh);
  connect(&model_.formats(), &SeriesFormats::analysisStopRequestedChanged, this, &AnalyzeBanner::refresh);
  refresh();
}

AnalyzeBanner::Mode AnalyzeBanner::mode(bool analysing, std::size_t pending, long long dismissedAt) {
  if (analysing) return Mode::progress;
  if (pending > 0 && dismissedAt < (long long)pending) return Mode::offer;
  return Mode::hidden;
}

long long AnalyzeBanner::dismissedAt() { return QSettings().value(dismissedKey, -1).toLongLong(); }

void AnalyzeBanner::notNow() {
  QSettings().setValue(dismissedKey, (long long)model_.pendingSeriesCount());
  refresh();
}

void AnalyzeBanner::refresh() {
  const auto& progress = model_.formats().analysisProgress();
  const Mode was = mode_;
  mode_ = mode(progress.has_value(), model_.pendingSeriesCount(), dismissedAt());
  // Comes down from the top edge fading in, and goes back up fading out,
  // in the grid's spring.
  const Curve move = Curve::springOf(0.25, 0.85);
  if ((was == Mode::hidden) != (mode_ == Mode::hidden)) {
    if (mode_ == Mode::hidden) {
      motion::leaveAsSnapshot(this, 1, move, QPointF(0, -height()));
    } else {
      setVisible(true);
      motion::scaleFade(this, true, 1, move, QPointF(0, -sizeHint().height()));
    }
  }
  setVisible(mode_ != Mode::hidden);
  offer_->setVisible(mode_ == Mode::offer);
  progress_->setVisible(mode_ == Mode::progress);
  count_->setCount((long long)model_.pendingSeriesCount());
  if (progress) {
    setProgress(bar_, *progress);
    const bool stopping = model_.formats().analysisStopRequested();
    progressText_->setText(stopping ? QStringLiteral("Stopping after this series\u2026")
                                    : QStringLiteral("Measuring artwork formats\u2026 %1 of %2 series")
                                          .arg(progress->done)
                                          .arg(progress->total));
    stop_->setEnabled(!stopping);
  }
}

UnknownFormats::UnknownFormats(AppModel& model, QWidget* parent) : QWidget(parent), model_(model) {
  setAutoFillBackground(true);
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(20, 8, 20, 8);
  row->setSpacing(8);
  auto* icon = new QLabel(this);
  icon->setPixmap(Symbols::tinted("aspectratio", {14, 14}, palette().color(QPalette::PlaceholderText), devicePixelRatioF()));
  row->addWidget(icon);
  bar_ = new QProgressBar(this);
  bar_->setFixedWidth(80);
  bar_->setTextVisible(false);
  row->addWidget(bar_);
  text_ = secondary(this, font());
  row->addWidget(text_);
  measure_ = new QToolButton(this);
  measure_->setText(QStringLiteral("Measure"));
  measure_->setAutoRaise(true);
  measure_->setToolTip(QStringLiteral("Reads each artwork's shape from its thumbnail"));
  QPalette link = measure_->palette();
  link.setColor(QPalette::ButtonText, Theme::accent());
  measure_->setPalette(link);
  row->addWidget(measure_);
  row->addStretch(1);
  connect(measure_, &QToolButton::clicked, this, [this] { model_.formats().measureFormats(); });
  connect(&model_.formats(), &SeriesFormats::formatProgressChanged, this, &UnknownFormats::refresh);
  connect(&model_, &AppModel::libraryChanged, this, [this](const LibraryChange& change) {
    // The works the rest of the filter lists, and their shapes.
    LibraryFilter listed = filter_;
    listed.format.reset();
    if (filter_.format && (change.mayRelist(listed) || change.anyArtwork(LibraryChange::format | LibraryChange::placement))) {
      refresh();
    }
  });
  refresh();
}

std::size_t UnknownFormats::unknownCount(const LibraryState& state, LibraryFilter filter) {
  filter.format.reset();
  std::size_t n = 0;
  for (const Artwork* a : state.artworksFor(filter)) n += state.shape(*a) ? 0 : 1;
  return n;
}

void UnknownFormats::setFilter(const LibraryFilter& filter) {
  filter_ = filter;
  refresh();
}

QString UnknownFormats::text() const { return text_->text(); }

void UnknownFormats::refresh() {
  // Counting walks the whole listing: only while the banner is shown.
  setVisible(filter_.format.has_value());
  if (!filter_.format) return;
  const auto& progress = model_.formats().formatProgress();
  bar_->setVisible(progress.has_value());
  if (progress) {
    setProgress(bar_, *progress);
    text_->setFont(Theme::monospacedDigits(Theme::caption()));
    text_->setText(QStringLiteral("Measuring %1/%2").arg(progress->done).arg(progress->total));
    measure_->hide();
    return;
  }
  text_->setFont(Theme::callout());
  const std::size_t n = unknownCount(model_.state(), filter_);
  text_->setText(n > 0 ? QString::number(n) + QStringLiteral(" artworks without a known format are left out.")
                       : QStringLiteral("Every artwork's format is known."));
  measure_->setVisible(n > 0);
}

}  // namespace tavolune
