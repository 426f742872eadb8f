#pragma once
// The small symbol that stands for a wallet in lists: a paintbrush for an
// artist wallet, else its chain family's symbol, in the family's chain
// colour or the secondary text colour. GUI thread only.

#include "core/model/Wallet.hpp"

#include <QColor>
#include <QPalette>
#include <QWidget>

#include <string_view>

namespace tavolune {

class WalletIcon final : public QWidget {
  Q_OBJECT
 public:
  static constexpr int side = 14;

  WalletIcon(const Wallet& wallet, bool colored, QWidget* parent = nullptr);

  const Wallet& wallet() const { return wallet_; }
  bool colored() const { return colored_; }

  static std::string_view symbol(const Wallet& wallet);
  // The family's main chain colour when colored, else the secondary text colour.
  static QColor color(const Wallet& wallet, bool colored, const QPalette& palette);
  static void paint(QPainter& painter, const QRect& area, const Wallet& wallet, bool colored,
                    const QPalette& palette);

  QSize sizeHint() const override { return {side, side}; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  const Wallet wallet_;
  const bool colored_;
};

}  // namespace tavolune
