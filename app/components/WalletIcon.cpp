#include "app/components/WalletIcon.hpp"

#include "app/components/ArtworkImage.hpp"
#include "app/render/DevicePixels.hpp"
#include "app/style/Symbols.hpp"
#include "app/style/Theme.hpp"

#include <QPainter>

namespace tavolune {

namespace {

Chain mainChain(ChainFamily family) {
  switch (family) {
    case ChainFamily::evm: return Chain::ethereum;
    case ChainFamily::tezos: return Chain::tezos;
    case ChainFamily::bitcoin: return Chain::bitcoin;
  }
  return Chain::ethereum;
}

}  // namespace

WalletIcon::WalletIcon(const Wallet& wallet, bool colored, QWidget* parent)
    : QWidget(parent), wallet_(wallet), colored_(colored) {
  setFixedSize(side, side);
}

std::string_view WalletIcon::symbol(const Wallet& wallet) {
  if (wallet.isArtist()) return "paintbrush.pointed";
  switch (wallet.family) {
    case ChainFamily::evm: return "e.circle";
    case ChainFamily::tezos: return "t.circle";
    case ChainFamily::bitcoin: return "bitcoinsign.circle";
  }
  return "e.circle";
}

QColor WalletIcon::color(const Wallet& wallet, bool colored, const QPalette& palette) {
  return colored ? Theme::chainColor(mainChain(wallet.family)) : ArtworkImage::secondaryColor(palette);
}

void WalletIcon::paint(QPainter& painter, const QRect& area, const Wallet& wallet, bool colored,
                       const QPalette& palette) {
  const QPixmap pixmap = Symbols::tinted(symbol(wallet), area.size(), color(wallet, colored, palette),
                                         DevicePixels::ratio(painter));
  painter.drawPixmap(area, pixmap);
}

void WalletIcon::paintEvent(QPaintEvent*) {
  QPainter p(this);
  paint(p, rect(), wallet_, colored_, palette());
}

}  // namespace tavolune
