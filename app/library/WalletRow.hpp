#pragma once
// One wallet on the wallets page (see WalletList), with its contract editor
// when it is an artist wallet of the EVM family. GUI thread only.

#include "core/model/Wallet.hpp"

#include <QWidget>

class QLabel;
class QToolButton;

namespace tavolune {

class AppModel;
class ArtistContracts;
class LimitedText;
class SmallCaps;
class Spinner;

class WalletRow final : public QWidget {
  Q_OBJECT
 public:
  WalletRow(AppModel& model, const Wallet& wallet, QWidget* parent = nullptr);

  void setWallet(const Wallet& wallet, const QString& subtitle, bool syncing);

  QLabel& label() const { return *label_; }
  // At most two lines; fullText() is the whole subtitle.
  LimitedText& subtitle() const { return *subtitle_; }
  QLabel& unchecked() const { return *unchecked_; }
  QToolButton& refreshButton() const { return *refresh_; }
  QToolButton& removeButton() const { return *remove_; }
  bool isSyncing() const;
  bool showsArtistBadge() const;
  // The contract editor; null for collector wallets and other families.
  ArtistContracts* contracts() const { return contracts_; }

 private:
  void remove();

  AppModel& model_;
  Uuid id_;
  QLabel* label_;
  SmallCaps* artist_;
  LimitedText* subtitle_;
  QLabel* unchecked_;
  Spinner* spinner_;
  QToolButton* refresh_;
  QToolButton* remove_;
  ArtistContracts* contracts_ = nullptr;
};

}  // namespace tavolune
