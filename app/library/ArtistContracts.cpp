#include "app/library/ArtistContracts.hpp"

#include "app/components/PlainText.hpp"
#include "app/model/AppModel.hpp"
#include "app/qt/Convert.hpp"
#include "app/style/Symbols.hpp"
#include "app/style/Theme.hpp"
#include "core/text/Phrases.hpp"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace tavolune {
namespace {

QFont mono(int pixels) {
  QFont f = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  f.setPixelSize(pixels);
  return f;
}

// One contract on one line, shortened in the middle when it does not fit.
class ContractText final : public QWidget {
 public:
  ContractText(QString text, QWidget* parent) : QWidget(parent), text_(std::move(text)) {
    setFont(mono(11));
    setMinimumWidth(60);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setFixedHeight(fontMetrics().height() + 2);
    setToolTip(plaintext::toolTip(text_));
  }
  QSize sizeHint() const override { return {fontMetrics().horizontalAdvance(text_), fontMetrics().height() + 2}; }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.drawText(rect(), Qt::AlignVCenter | Qt::AlignLeft,
               fontMetrics().elidedText(text_, Qt::ElideMiddle, width()));
  }

 private:
  QString text_;
};

QWidget* contractRow(AppModel& model, const Uuid& walletID, const std::string& contract, QWidget* parent) {
  auto* row = new QWidget(parent);
  auto* h = new QHBoxLayout(row);
  h->setContentsMargins(0, 0, 0, 0);
  auto* icon = new QLabel(row);
  icon->setPixmap(Symbols::tinted("square.stack.3d.up", {14, 14}, row->palette().color(QPalette::PlaceholderText),
                                  row->devicePixelRatioF()));
  h->addWidget(icon);
  h->addWidget(new ContractText(qt::str(contract), row), 1);
  auto* remove = new QToolButton(row);
  remove->setIcon(Symbols::icon("minus.circle"));
  remove->setAutoRaise(true);
  remove->setAccessibleName(QStringLiteral("Remove Contract"));
  QObject::connect(remove, &QToolButton::clicked, row,
                   [&model, walletID, contract] { model.walletSync().removeCollectionContract(contract, walletID); });
  h->addWidget(remove);
  return row;
}

}  // namespace

ArtistContracts::ArtistContracts(AppModel& model, const Wallet& wallet, QWidget* parent)
    : QWidget(parent), model_(model), walletID_(wallet.id) {
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(30, 0, 0, 6);
  column->setSpacing(6);

  // The series found, after their symbol.
  discoveredRow_ = new QWidget(this);
  auto* found = new QHBoxLayout(discoveredRow_);
  found->setContentsMargins(0, 0, 0, 0);
  auto* symbol = new QLabel(discoveredRow_);
  symbol->setPixmap(Symbols::tinted("sparkle.magnifyingglass", {12, 12}, palette().color(QPalette::PlaceholderText),
                                    devicePixelRatioF()));
  symbol->setAlignment(Qt::AlignTop);
  found->addWidget(symbol);
  discovered_ = new QLabel(discoveredRow_);
  discovered_->setTextFormat(Qt::PlainText);
  discovered_->setWordWrap(true);
  discovered_->setFont(Theme::caption());
  discovered_->setForegroundRole(QPalette::PlaceholderText);
  found->addWidget(discovered_, 1);
  discoveredRow_->setToolTip(QStringLiteral("Series signed with your name among the artworks this wallet owns"));
  column->addWidget(discoveredRow_);

  list_ = new QVBoxLayout;
  list_->setContentsMargins(0, 0, 0, 0);
  column->addLayout(list_);

  auto* addRow = new QHBoxLayout;
  input_ = new QLineEdit(this);
  input_->setPlaceholderText(QStringLiteral("Collection contract (0x\u2026 or base:0x\u2026)"));
  input_->setAccessibleName(QStringLiteral("Collection contract"));
  input_->setFont(mono(12));
  addRow->addWidget(input_, 1);
  add_ = new QPushButton(QStringLiteral("Add"), this);
  add_->setEnabled(false);
  addRow->addWidget(add_);
  column->addLayout(addRow);
  connect(input_, &QLineEdit::textChanged, this, [this](const QString& t) { add_->setEnabled(!t.isEmpty()); });
  connect(add_, &QPushButton::clicked, this, &ArtistContracts::add);

  auto* note = new QLabel(
      QStringLiteral("Tavolune finds your series from the artworks signed with your name that this wallet owns. "
                     "For any other series, add its contract."),
      this);
  note->setWordWrap(true);
  QFont small = Theme::caption();
  small.setPixelSize(10);
  note->setFont(small);
  note->setForegroundRole(QPalette::PlaceholderText);
  column->addWidget(note);

  setWallet(wallet);
}

void ArtistContracts::setWallet(const Wallet& wallet) {
  const auto& series = wallet.discoveredSeries;
  const bool found = series && !series->empty();
  discoveredRow_->setVisible(found);
  if (found) discovered_->setText(QStringLiteral("Found automatically: ") + qt::str(text::andList(*series)));

  std::vector<std::string> contracts = wallet.collectionContracts.value_or(std::vector<std::string>{});
  if (contracts == contracts_) return;
  contracts_ = std::move(contracts);
  while (auto* item = list_->takeAt(0)) {
    delete item->widget();
    delete item;
  }
  for (const auto& c : contracts_) {
    QWidget* row = contractRow(model_, walletID_, c, this);
    list_->addWidget(row);
    row->show();
  }
}

void ArtistContracts::add() {
  const std::string text = qt::str(input_->text());
  input_->clear();
  model_.walletSync().addCollectionContract(text, walletID_);
}

}  // namespace tavolune
