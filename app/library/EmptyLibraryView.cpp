#include "app/library/EmptyLibraryView.hpp"

#include "app/components/AddWalletField.hpp"
#include "app/library/ArtistContracts.hpp"
#include "app/model/AppModel.hpp"
#include "app/style/Symbols.hpp"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace tavolune {
namespace {

struct Look {
  const char* symbol;
  QString title;
  QString description;
};

Look lookOf(EmptyLibraryView::Situation s, const std::optional<QString>& hint, const QString& search) {
  using S = EmptyLibraryView::Situation;
  switch (s) {
    case S::reading:
      return {"arrow.triangle.2.circlepath", QStringLiteral("Reading Wallets\u2026"),
              QStringLiteral("Your artworks appear as soon as the indexers answer.")};
    case S::artistWallet:
      return {"paintbrush.pointed", QStringLiteral("Your works will appear here"),
              QStringLiteral("Tavolune looks for series signed with your name.")};
    case S::noResults: {
      const QString trimmed = search.trimmed();
      return {"sparkle.magnifyingglass",
              trimmed.isEmpty() ? QStringLiteral("No Results")
                                : QStringLiteral("No Results for \u201C%1\u201D").arg(trimmed),
              QStringLiteral("Check the spelling or try a new search.")};
    }
    case S::sectionHint:
      return {"star", QStringLiteral("Nothing Here Yet"), hint.value_or(QString())};
    case S::noArtworks:
      return {"photo.artframe", QStringLiteral("No Artworks"), QString()};
    case S::noWallet:
      return {"photo.artframe", QStringLiteral("Your Collection Will Appear Here"),
              QStringLiteral("Add a wallet to start.")};
  }
  return {"photo.artframe", QString(), QString()};
}

}  // namespace

EmptyLibraryView::Situation EmptyLibraryView::situation(bool syncing, bool filtered, bool artistWallet, bool hint,
                                                        bool wallets) {
  if (syncing && !filtered) return Situation::reading;
  if (artistWallet) return Situation::artistWallet;
  if (filtered) return Situation::noResults;
  if (hint) return Situation::sectionHint;
  if (wallets) return Situation::noArtworks;
  return Situation::noWallet;
}

EmptyLibraryView::EmptyLibraryView(AppModel& model, QWidget* parent) : QWidget(parent), model_(model) {
  setMinimumHeight(minimumHeight);
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(28, 24, 28, 28);
  column->setSpacing(8);
  column->addStretch(1);
  icon_ = new QLabel(this);
  icon_->setAlignment(Qt::AlignCenter);
  column->addWidget(icon_);
  title_ = new QLabel(this);
  title_->setTextFormat(Qt::PlainText);
  title_->setAlignment(Qt::AlignCenter);
  QFont big = title_->font();
  big.setPointSizeF(big.pointSizeF() * 1.5);
  big.setWeight(QFont::Bold);
  title_->setFont(big);
  column->addWidget(title_);
  description_ = new QLabel(this);
  description_->setTextFormat(Qt::PlainText);
  description_->setAlignment(Qt::AlignCenter);
  description_->setWordWrap(true);
  description_->setMaximumWidth(controlMaxWidth);
  description_->setForegroundRole(QPalette::PlaceholderText);
  // Wrapped text centred by stretches, not by alignment: an aligned label
  // gets its narrow size hint and its second line is cut off.
  description_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
  auto* descriptionRow = new QHBoxLayout;
  descriptionRow->addStretch(1);
  descriptionRow->addWidget(description_, 100);
  descriptionRow->addStretch(1);
  column->addLayout(descriptionRow);
  controlHolder_ = new QVBoxLayout;
  controlHolder_->setContentsMargins(0, 8, 0, 0);
  column->addLayout(controlHolder_);
  column->addStretch(1);
}

void EmptyLibraryView::update(bool filtered, const std::optional<QString>& hint,
                              const std::optional<Wallet>& artistWallet, const QString& search) {
  const Situation s = situation(!model_.walletSync().syncingWallets().empty(), filtered, artistWallet.has_value(),
                                hint.has_value(), !model_.state().wallets.empty());
  const Look look = lookOf(s, hint, search);
  title_->setText(look.title);
  description_->setText(look.description);
  description_->setVisible(!look.description.isEmpty());
  if (!built_ || s != situation_) {
    const int side = 56;
    icon_->setPixmap(Symbols::tinted(look.symbol, {side, side}, palette().color(QPalette::PlaceholderText),
                                     devicePixelRatioF()));
  }

  // The control stays while its situation (and wallet) does, keeping its text.
  const std::optional<Uuid> wallet = artistWallet ? std::optional<Uuid>(artistWallet->id) : std::nullopt;
  const bool keep = built_ && s == situation_ && wallet == controlWallet_;
  built_ = true;
  situation_ = s;
  if (keep) {
    if (auto* contracts = qobject_cast<ArtistContracts*>(control_); contracts && artistWallet) {
      contracts->setWallet(*artistWallet);
    }
    return;
  }
  delete control_;
  control_ = nullptr;
  controlWallet_ = wallet;
  if (s == Situation::artistWallet) {
    control_ = new ArtistContracts(model_, *artistWallet, this);
  } else if (s == Situation::noWallet) {
    control_ = new AddWalletField(AddWalletField::adderFor(model_), std::nullopt, {}, this);
  }
  if (control_) {
    control_->setMaximumWidth(controlMaxWidth);
    controlHolder_->addWidget(control_, 0, Qt::AlignHCenter);
    control_->show();
  }
}

QString EmptyLibraryView::title() const { return title_->text(); }
QString EmptyLibraryView::description() const { return description_->isHidden() ? QString() : description_->text(); }

}  // namespace tavolune
