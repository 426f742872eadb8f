#pragma once
// What the grid shows when nothing is listed, and why: wallets being read,
// an artist wallet that needs its collection contracts, a search or filter
// that matches nothing, a section's own hint, wallets without works, or no
// wallet at all. The artist case carries the contract editor and the last
// one the add-wallet field; both keep what the user typed while the view
// follows the library. GUI thread only.

#include "core/model/Wallet.hpp"

#include <QString>
#include <QWidget>

#include <optional>

class QLabel;
class QVBoxLayout;

namespace tavolune {

class AppModel;

class EmptyLibraryView final : public QWidget {
  Q_OBJECT
 public:
  enum class Situation { reading, artistWallet, noResults, sectionHint, noArtworks, noWallet };
  static constexpr int controlMaxWidth = 460;
  static constexpr int minimumHeight = 420;

  // The first that applies, in the order above.
  static Situation situation(bool syncing, bool filtered, bool artistWallet, bool hint, bool wallets);

  explicit EmptyLibraryView(AppModel& model, QWidget* parent = nullptr);

  // filtered: the user's own criteria narrow the view; search: the text
  // the no-results view names.
  void update(bool filtered, const std::optional<QString>& hint, const std::optional<Wallet>& artistWallet,
              const QString& search);

  Situation current() const { return situation_; }
  QString title() const;
  QString description() const;  // empty when none is shown
  QWidget* control() const { return control_; }

 private:
  AppModel& model_;
  Situation situation_ = Situation::noWallet;
  bool built_ = false;
  QLabel* icon_;
  QLabel* title_;
  QLabel* description_;
  QVBoxLayout* controlHolder_;
  QWidget* control_ = nullptr;
  std::optional<Uuid> controlWallet_;
};

}  // namespace tavolune
