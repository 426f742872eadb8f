#include "app/onboarding/OnboardingView.hpp"

#include "app/onboarding/GenerativeBackdrop.hpp"
#include "app/onboarding/WalletPreviewMosaic.hpp"
#include "app/onboarding/WelcomeHeader.hpp"
#include "app/style/Symbols.hpp"
#include "app/style/Theme.hpp"

#include <QHBoxLayout>
#include <QPointer>
#include <QVBoxLayout>

namespace tavolune {

const QString OnboardingView::windowID = QStringLiteral("welcome");
const QString OnboardingView::exampleWallet = QStringLiteral("gallery.tez");
const QString OnboardingView::readOnlyNote = QStringLiteral(
    "Read-only: no wallet connection, no signature. Ethereum, Base, Tezos, Bitcoin Ordinals and more.");

namespace {

constexpr int padding = 36;

QLabel* textLabel(const QString& text, const QFont& font, bool secondary, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setFont(font);
  label->setAlignment(Qt::AlignCenter);
  label->setWordWrap(true);
  if (secondary) {
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, ArtworkImage::secondaryColor(p));
    label->setPalette(p);
  }
  return label;
}

}  // namespace

OnboardingView::OnboardingView(AppModel& model, WelcomeDesktop desktop, LoginItem& login, WindowManager& windows,
                               ImageServices images, QWidget* parent)
    : QWidget(parent),
      model_(model),
      desktop_(std::move(desktop)),
      login_(login),
      windows_(windows),
      images_(std::move(images)) {
  setFixedSize(600, 580);
  backdrop_ = new GenerativeBackdrop(this);
  backdrop_->lower();

  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(padding, padding, padding, padding);
  column->setSpacing(26);
  column->addStretch();
  column->addSpacing(6);
  header_ = new WelcomeHeader(this);
  column->addWidget(header_, 0, Qt::AlignHCenter);
  header(false);
  blockLayout_ = new QVBoxLayout;
  blockLayout_->setContentsMargins(0, 0, 0, 0);
  block_ = entry();
  blockLayout_->addWidget(block_, 0, Qt::AlignHCenter);
  column->addLayout(blockLayout_);
  column->addSpacing(6);
  column->addStretch();
}

void OnboardingView::registerWindow(WindowManager& windows, AppModel& model, WelcomeDesktop desktop,
                                    LoginItem& login, ImageServices images) {
  windows.registerContent(windowID, [&windows, &model, desktop, &login, images] {
    return new OnboardingView(model, desktop, login, windows, images);
  });
}

void OnboardingView::header(bool compact) { header_->setCompact(compact); }

QWidget* OnboardingView::entry() {
  auto* block = new QWidget(this);
  auto* column = new QVBoxLayout(block);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(14);
  QPointer<OnboardingView> self(this);
  field_ = new AddWalletField(AddWalletField::adderFor(model_), exampleWallet,
                              [self](std::size_t n) {
                                if (self) self->setFound(n);
                              },
                              block);
  field_->setMaximumWidth(440);
  field_->setMinimumWidth(440);
  column->addWidget(field_, 0, Qt::AlignHCenter);

  auto* note = new QWidget(block);
  auto* row = new QHBoxLayout(note);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(4);
  const QColor tertiary = [&] {
    QColor c = palette().color(QPalette::WindowText);
    c.setAlphaF(0.45f);
    return c;
  }();
  auto* lock = new QLabel(note);
  lock->setPixmap(Symbols::tinted("lock.fill", {11, 11}, tertiary, devicePixelRatioF()));
  lock->setAlignment(Qt::AlignTop);
  auto* text = textLabel(readOnlyNote, Theme::caption(), false, note);
  QPalette p = text->palette();
  p.setColor(QPalette::WindowText, tertiary);
  text->setPalette(p);
  row->addWidget(lock);
  row->addWidget(text, 1);
  // A wrapped label gets its height only from a fixed width.
  text->setFixedWidth(400);
  note->setMaximumWidth(420);
  column->addWidget(note, 0, Qt::AlignHCenter);
  return block;
}

QString OnboardingView::countLine(std::size_t n) {
  return QString::number(n) + (n == 1 ? QStringLiteral(" artwork found") : QStringLiteral(" artworks found"));
}

QWidget* OnboardingView::result(std::size_t n) {
  auto* block = new QWidget(this);
  auto* column = new QVBoxLayout(block);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(18);

  QFont serif(QStringLiteral("serif"));
  serif.setStyleHint(QFont::Serif);
  serif.setPixelSize(24);
  countLabel_ = textLabel(countLine(n), serif, false, block);
  auto* counts = new QVBoxLayout;
  counts->setSpacing(4);
  counts->addWidget(countLabel_);
  counts->addWidget(textLabel(tr("They take turns on your desktop. Pick favourites any time in the Library."),
                              Theme::callout(), true, block));
  column->addLayout(counts);

  std::vector<Artwork> works;
  for (const Artwork* a : model_.visibleArtworks()) {
    if (works.size() == WalletPreviewMosaic::maxTiles) break;
    works.push_back(*a);
  }
  mosaic_ = new WalletPreviewMosaic(images_, works, block);
  column->addWidget(mosaic_, 0, Qt::AlignHCenter);

  auto* actions = new QVBoxLayout;
  actions->setSpacing(10);
  showButton_ = new QPushButton(tr("Show on Desktop"), block);
  showButton_->setMinimumWidth(220);
  showButton_->setMinimumHeight(32);
  showButton_->setDefault(true);
  showButton_->setAutoDefault(true);
  showButton_->setShortcut(Qt::Key_Return);
  connect(showButton_, &QPushButton::clicked, this, &OnboardingView::finish);
  loginBox_ = new QCheckBox(tr("Open Tavolune at login"), block);
  loginBox_->setChecked(true);
  loginBox_->setFont(Theme::callout());
  QPalette secondary = loginBox_->palette();
  secondary.setColor(QPalette::WindowText, ArtworkImage::secondaryColor(secondary));
  loginBox_->setPalette(secondary);
  actions->addWidget(showButton_, 0, Qt::AlignHCenter);
  actions->addWidget(loginBox_, 0, Qt::AlignHCenter);
  column->addLayout(actions);
  return block;
}

void OnboardingView::setFound(std::size_t n) {
  found_ = n;
  // No works: the field shows its own message and the entry stays.
  if (n == 0 || loginBox_) return;
  header(true);
  // The entry fades out; the result fades in rising from the bottom, in
  // the header's spring.
  const Curve step = Curve::springOf(0.5, 0.85);
  motion::leaveAsSnapshot(block_, 1, step);
  auto* next = result(n);
  blockLayout_->removeWidget(block_);
  blockLayout_->addWidget(next, 0, Qt::AlignHCenter);
  // The field that called this is still on the stack: let it unwind first.
  block_->hide();
  block_->deleteLater();
  field_ = nullptr;
  block_ = next;
  block_->show();
  motion::scaleFade(block_, true, 1, step, QPointF(0, height() / 2.0));
  showButton_->setFocus();
}

void OnboardingView::finish() {
  model_.setSetting(&AppSettings::hasCompletedOnboarding, true);
  login_.set(openAtLogin());
  if (desktop_.refreshScreens) desktop_.refreshScreens(true);
  std::vector<std::string> keys = desktop_.targetKeys ? desktop_.targetKeys(std::nullopt) : std::vector<std::string>{};
  // With the same work on every display, one advance already moves them all.
  if (model_.state().settings.sameArtworkOnAllScreens && keys.size() > 1) keys.resize(1);
  if (desktop_.advance) {
    for (const auto& key : keys) desktop_.advance(key, true);
  }
  windows_.close(windowID);
}

void OnboardingView::resizeEvent(QResizeEvent*) { backdrop_->setGeometry(rect()); }

}  // namespace tavolune
