#include "app/components/AddWalletField.hpp"

#include "app/components/ArtworkImage.hpp"
#include "app/qt/Convert.hpp"
#include "app/style/Symbols.hpp"
#include "app/style/Theme.hpp"
#include "core/base/TavoluneError.hpp"
#include "core/network/AddressResolver.hpp"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QPainter>
#include <QPointer>
#include <QVBoxLayout>

namespace tavolune {

namespace {

// The small turning arc shown in the button while an add runs; it ticks
// only while shown.
class Spinner final : public QWidget {
 public:
  explicit Spinner(QWidget* parent) : QWidget(parent) {
    setFixedSize(14, 14);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    timer_.setInterval(80);
    connect(&timer_, &QTimer::timeout, this, [this] {
      angle_ = (angle_ + 30) % 360;
      update();
    });
  }

 protected:
  void showEvent(QShowEvent*) override { timer_.start(); }
  void hideEvent(QHideEvent*) override { timer_.stop(); }
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QPen pen(palette().buttonText().color(), 2);
    pen.setCapStyle(Qt::RoundCap);
    p.setPen(pen);
    p.drawArc(QRectF(rect()).adjusted(2, 2, -2, -2), -angle_ * 16, 270 * 16);
  }

 private:
  QTimer timer_;
  int angle_ = 0;
};

// "No wallet at hand? Try an example collection": one button, the lead in
// the text colour and the offer in the accent, clicked anywhere on it.
class ExampleLine final : public QAbstractButton {
 public:
  static constexpr const char* lead = "No wallet at hand? ";

  explicit ExampleLine(QWidget* parent) : QAbstractButton(parent) {
    setText(QString::fromUtf8(lead) + QObject::tr("Try an example collection"));
    setCursor(Qt::PointingHandCursor);
    // A click adds at once; the keyboard stays in the field.
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
  }
  QSize sizeHint() const override { return {fontMetrics().horizontalAdvance(text()) + 1, fontMetrics().height()}; }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    const QString head = QString::fromUtf8(lead);
    p.setPen(palette().color(QPalette::WindowText));
    p.drawText(rect(), Qt::AlignLeft | Qt::AlignVCenter, head);
    p.setPen(Theme::accent(palette()));
    p.drawText(rect().adjusted(fontMetrics().horizontalAdvance(head), 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
               text().mid(head.size()));
  }
};

QString capitalised(QString text) {
  if (!text.isEmpty()) text.replace(0, 1, text.left(1).toUpper());
  return text;
}

}  // namespace

const QString AddWalletField::artistWithoutSeries = QStringLiteral(
    "Added. On Ethereum, Tavolune couldn’t find your series yet: add their contracts on the Wallets page of the "
    "Library.");
const QString AddWalletField::slowNotice =
    QStringLiteral("Reading every chain, this can take up to a minute for large collections…");

AddWalletField::Adder AddWalletField::adderFor(AppModel& model) {
  return [&model](std::string text, WalletRole role, std::function<void(Outcome)> done) {
    model.walletSync().addWallet(std::move(text), role, std::move(done));
  };
}

AddWalletField::AddWalletField(Adder adder, std::optional<QString> example, std::function<void(std::size_t)> onAdded,
                               QWidget* parent)
    : QWidget(parent), adder_(std::move(adder)), example_(std::move(example)), onAdded_(std::move(onAdded)) {
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(spacing);

  // The segmented role choice, centred at its own size.
  collector_ = new QPushButton(tr("Artworks I Own"), this);
  artist_ = new QPushButton(tr("Artworks I Created"), this);
  auto* group = new QButtonGroup(this);
  for (auto* b : {collector_, artist_}) {
    b->setCheckable(true);
    b->setAccessibleDescription(tr("Show"));
    group->addButton(b);
  }
  collector_->setChecked(true);
  connect(collector_, &QPushButton::toggled, this, [this](bool on) {
    if (on) role_ = WalletRole::collector;
  });
  connect(artist_, &QPushButton::toggled, this, [this](bool on) {
    if (on) role_ = WalletRole::artist;
  });
  auto* roles = new QHBoxLayout;
  roles->setSpacing(0);
  roles->addStretch();
  roles->addWidget(collector_);
  roles->addWidget(artist_);
  roles->addStretch();
  column->addLayout(roles);

  auto* entry = new QHBoxLayout;
  entry->setSpacing(8);
  field_ = new QLineEdit(this);
  field_->setAccessibleName(tr("Wallet"));
  field_->setPlaceholderText(QStringLiteral("Address or name: 0x…, .eth, tz1…, .tez, bc1…"));
  field_->setMinimumHeight(30);
  connect(field_, &QLineEdit::textChanged, this, &AddWalletField::refresh);
  connect(field_, &QLineEdit::returnPressed, this, &AddWalletField::add);
  addButton_ = new QPushButton(tr("Add"), this);
  addButton_->setDefault(true);
  addButton_->setMinimumHeight(30);
  addButton_->setMinimumWidth(addButton_->sizeHint().width());
  connect(addButton_, &QPushButton::clicked, this, &AddWalletField::add);
  spinner_ = new Spinner(addButton_);
  spinner_->hide();
  entry->addWidget(field_, 1);
  entry->addWidget(addButton_);
  column->addLayout(entry);

  auto* status = new QHBoxLayout;
  status->setSpacing(4);
  statusIcon_ = new QLabel(this);
  statusLabel_ = new QLabel(this);
  statusLabel_->setWordWrap(true);
  exampleLink_ = new ExampleLine(this);
  for (QWidget* l : std::initializer_list<QWidget*>{statusIcon_, statusLabel_, exampleLink_}) l->setFont(Theme::caption());
  if (example_) {
    exampleLink_->setToolTip(tr("Shows %1, a public collection of digital art").arg(*example_));
    connect(exampleLink_, &QAbstractButton::clicked, this, [this] {
      field_->setText(*example_);
      add();
    });
  }
  status->addWidget(statusIcon_);
  status->addWidget(statusLabel_, 1);
  status->addWidget(exampleLink_, 1, Qt::AlignLeft | Qt::AlignVCenter);
  column->addLayout(status);

  slow_.setSingleShot(true);
  slow_.setInterval(int(slowNoticeAfter.count()));
  connect(&slow_, &QTimer::timeout, this, [this] {
    if (busy_) setMessage(slowNotice, false);
  });
  refresh();
}

void AddWalletField::setRole(WalletRole role) { roleButton(role)->setChecked(true); }

AddWalletField::Status AddWalletField::status() const {
  if (message_) return Status::message;
  if (AddressResolver::detect(qt::str(input()))) return Status::hint;
  if (!input().isEmpty()) return Status::unrecognized;
  if (example_) return Status::example;
  return Status::none;
}

QString AddWalletField::statusText() const {
  switch (status()) {
    case Status::message: return *message_;
    case Status::hint: return hint(AddressResolver::detect(qt::str(input()))->form);
    case Status::unrecognized: return tr("Unrecognized format");
    case Status::example: return exampleLink_->text();
    case Status::none: break;
  }
  return {};
}

QString AddWalletField::hint(AddressInput::Form form) { return qt::str(AddressInput{form, {}}.hint()); }

QString AddWalletField::resultMessage(std::size_t n, WalletRole role, const std::optional<AddressInput>& detected) {
  if (n == 0) {
    const bool ethereum = detected && (detected->form == AddressInput::Form::evmAddress ||
                                       detected->form == AddressInput::Form::ensName);
    return role == WalletRole::artist && ethereum ? artistWithoutSeries : QStringLiteral("No artworks found yet.");
  }
  return QString::number(n) + (role == WalletRole::artist ? QStringLiteral(" created ") : QStringLiteral(" ")) +
         (n == 1 ? QStringLiteral("artwork") : QStringLiteral("artworks")) + QStringLiteral(" found");
}

QString AddWalletField::errorMessage(std::exception_ptr error) {
  return capitalised(qt::str(TavoluneError::plain(std::move(error))));
}

void AddWalletField::add() {
  const std::string text = qt::str(input());
  const auto detected = AddressResolver::detect(text);
  if (!detected || busy_) return;
  busy_ = true;
  setMessage(detected->needsResolution() ? tr("Resolving name…") : tr("Reading collection…"), false);
  slow_.start();
  const std::uint64_t generation = ++generation_;
  // The model may answer after this field is gone: then nothing lands.
  QPointer<AddWalletField> self(this);
  adder_(text, role_, [self, generation, text](Outcome outcome) {
    if (self) self->finished(generation, outcome, text);
  });
}

void AddWalletField::finished(std::uint64_t generation, const Outcome& outcome, const std::string& text) {
  if (generation != generation_ || !busy_) return;
  slow_.stop();
  if (outcome.error) {
    busy_ = false;
    setMessage(errorMessage(outcome.error), true);
    return;
  }
  setMessage(resultMessage(outcome.count, role_, AddressResolver::detect(text)), false);
  field_->clear();
  QPointer<AddWalletField> self(this);
  if (onAdded_) onAdded_(outcome.count);
  // The callback may have taken this field down.
  if (!self) return;
  busy_ = false;
  refresh();
}

void AddWalletField::setMessage(std::optional<QString> message, bool isError) {
  message_ = std::move(message);
  isError_ = isError;
  refresh();
  emit messageChanged();
}

void AddWalletField::refresh() {
  const bool recognised = AddressResolver::detect(qt::str(input())).has_value();
  collector_->setEnabled(!busy_);
  artist_->setEnabled(!busy_);
  field_->setEnabled(!busy_);
  addButton_->setEnabled(recognised && !busy_);
  addButton_->setText(busy_ ? QString() : tr("Add"));
  spinner_->setVisible(busy_);
  if (busy_) {
    spinner_->move((addButton_->width() - spinner_->width()) / 2, (addButton_->height() - spinner_->height()) / 2);
  }

  const Status now = status();
  const QColor secondary = ArtworkImage::secondaryColor(palette());
  QPalette p = statusLabel_->palette();
  p.setColor(QPalette::WindowText, now == Status::message && isError_ ? QColor(Qt::red) : secondary);
  statusLabel_->setPalette(p);
  statusIcon_->setVisible(now == Status::hint);
  if (now == Status::hint) {
    statusIcon_->setPixmap(Symbols::tinted("checkmark.circle", {12, 12}, secondary, devicePixelRatioF()));
  }
  statusLabel_->setVisible(now == Status::message || now == Status::hint || now == Status::unrecognized);
  statusLabel_->setText(now == Status::example || now == Status::none ? QString() : statusText());
  exampleLink_->setVisible(now == Status::example);
  QPalette lp = exampleLink_->palette();
  lp.setColor(QPalette::WindowText, secondary);
  exampleLink_->setPalette(lp);
}

}  // namespace tavolune
