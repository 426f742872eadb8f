#pragma once
// The contract editor under an artist wallet of the EVM family: the series
// found automatically, the wallet's collection contracts with a remove
// button each, and a field to add one. The field's text survives every
// update of the wallet (a sync ending, a contract added). GUI thread only.

#include "core/model/Wallet.hpp"

#include <QWidget>

#include <string>
#include <vector>

class QLabel;
class QLineEdit;
class QPushButton;
class QVBoxLayout;

namespace tavolune {

class AppModel;

class ArtistContracts final : public QWidget {
  Q_OBJECT
 public:
  ArtistContracts(AppModel& model, const Wallet& wallet, QWidget* parent = nullptr);

  // Shows the wallet's current series and contracts; the field is kept.
  void setWallet(const Wallet& wallet);

  QLineEdit& field() const { return *input_; }
  QPushButton& addButton() const { return *add_; }
  QLabel& discovered() const { return *discovered_; }
  // The contracts listed, in order.
  const std::vector<std::string>& contracts() const { return contracts_; }

 private:
  void add();

  AppModel& model_;
  Uuid walletID_;
  QWidget* discoveredRow_;
  QLabel* discovered_;
  QVBoxLayout* list_;
  std::vector<std::string> contracts_;
  QLineEdit* input_;
  QPushButton* add_;
};

}  // namespace tavolune
