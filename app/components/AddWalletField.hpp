#pragma once
// The one control that adds a wallet to watch: the collector/artist choice,
// the address or name with "Add", and one status line (the last add's
// outcome, the kind of address recognised, "Unrecognized format" or the
// example link). Adding resolves and syncs through the app model, which
// keeps going when the field goes away; a result that arrives after that
// is dropped. GUI thread only.

#include "app/model/AppModel.hpp"
#include "core/model/Wallet.hpp"
#include "core/network/AddressInput.hpp"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <optional>
#include <string>

namespace tavolune {

class AddWalletField final : public QWidget {
  Q_OBJECT
 public:
  using Outcome = WalletSync::AddWalletOutcome;
  // Starts an add of the text as typed; done runs later on this thread.
  using Adder = std::function<void(std::string text, WalletRole role, std::function<void(Outcome)> done)>;

  static constexpr std::chrono::milliseconds slowNoticeAfter{6000};
  static constexpr int spacing = 10;

  // What the status line shows, the first that applies.
  enum class Status { message, hint, unrecognized, example, none };

  // The model's addWallet; the model must outlive the field.
  static Adder adderFor(AppModel& model);

  explicit AddWalletField(Adder adder, std::optional<QString> example = std::nullopt,
                          std::function<void(std::size_t)> onAdded = {}, QWidget* parent = nullptr);

  QString input() const { return field_->text(); }
  void setInput(const QString& text) { field_->setText(text); }
  bool busy() const { return busy_; }
  const std::optional<QString>& message() const { return message_; }
  bool isError() const { return isError_; }
  WalletRole role() const { return role_; }
  void setRole(WalletRole role);
  Status status() const;
  // The status line as read (without the symbol).
  QString statusText() const;

  void setSlowNoticeDelay(std::chrono::milliseconds delay) { slow_.setInterval(int(delay.count())); }

  // The line for a successful add of n works.
  static QString resultMessage(std::size_t n, WalletRole role, const std::optional<AddressInput>& detected);
  // The error's plain sentence, first letter uppercased.
  static QString errorMessage(std::exception_ptr error);
  static QString hint(AddressInput::Form form);

  QLineEdit* lineEdit() const { return field_; }
  QPushButton* addButton() const { return addButton_; }
  QPushButton* roleButton(WalletRole role) const { return role == WalletRole::artist ? artist_ : collector_; }
  QAbstractButton* exampleLink() const { return exampleLink_; }

  static const QString artistWithoutSeries;
  static const QString slowNotice;

 signals:
  // The outcome or progress line changed.
  void messageChanged();

 private:
  void add();
  void finished(std::uint64_t generation, const Outcome& outcome, const std::string& text);
  void setMessage(std::optional<QString> message, bool isError);
  void refresh();

  Adder adder_;
  std::optional<QString> example_;
  std::function<void(std::size_t)> onAdded_;
  bool busy_ = false;
  std::optional<QString> message_;
  bool isError_ = false;
  WalletRole role_ = WalletRole::collector;
  std::uint64_t generation_ = 0;

  QPushButton* collector_;
  QPushButton* artist_;
  QLineEdit* field_;
  QPushButton* addButton_;
  QWidget* spinner_;
  QLabel* statusIcon_;
  QLabel* statusLabel_;
  QAbstractButton* exampleLink_;
  QTimer slow_;
};

}  // namespace tavolune
