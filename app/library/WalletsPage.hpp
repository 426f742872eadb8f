#pragma once
// The wallets page of the library window: one scrolling grouped form with
// the wallet section ("Your Wallets", "Refresh All" or a spinner while any
// wallet syncs, the rows) and the add section, above the list while there
// are no wallets and below it afterwards (a fresh field each time it
// moves). The add field is hosted; it is built elsewhere. GUI thread only.

#include <QWidget>

#include <functional>

class QLabel;
class QToolButton;
class QVBoxLayout;

namespace tavolune {

class AppModel;
class FormSection;
class Spinner;
class WalletList;

class WalletsPage final : public QWidget {
  Q_OBJECT
 public:
  WalletsPage(AppModel& model, std::function<QWidget*()> addWalletField, QWidget* parent = nullptr);

  // Where the add section stands now: above the wallet section when true.
  bool addSectionOnTop() const { return addOnTop_; }
  FormSection* addSection() const { return add_; }
  QLabel& noWallets() const { return *noWallets_; }
  WalletList& list() const { return *list_; }
  QToolButton& refreshAll() const { return *refreshAll_; }
  bool showsSpinner() const;

 private:
  void refresh();
  void placeAddSection(bool onTop);

  AppModel& model_;
  std::function<QWidget*()> addWalletField_;
  QVBoxLayout* column_;
  FormSection* wallets_;
  FormSection* add_ = nullptr;
  bool addOnTop_ = false;
  QLabel* noWallets_;
  WalletList* list_;
  QToolButton* refreshAll_;
  Spinner* spinner_;
};

}  // namespace tavolune
