#pragma once
// The first-run window's content ("welcome"): the header over the turning
// backdrop, one wallet to add, then the count with a mosaic of the
// collection, "Show on Desktop" and the login check box. GUI thread only.
//
// The desktop is reached through WelcomeDesktop, three calls the shell
// wires to the desktop controller, so the view holds no controller and its
// tests record the calls.

#include "app/components/AddWalletField.hpp"
#include "app/components/ImageServices.hpp"
#include "app/model/AppModel.hpp"
#include "app/model/LoginItem.hpp"
#include "app/model/WindowManager.hpp"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QWidget>

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QVBoxLayout;

namespace tavolune {

class GenerativeBackdrop;
class WalletPreviewMosaic;
class WelcomeHeader;

// What finishing needs of the desktop controller.
struct WelcomeDesktop {
  std::function<void(bool render)> refreshScreens;
  // The keys of the displays to act on; every display for no key.
  std::function<std::vector<std::string>(const std::optional<std::string>& key)> targetKeys;
  std::function<void(const std::string& key, bool forward)> advance;
};

class OnboardingView final : public QWidget {
  Q_OBJECT
 public:
  static const QString windowID;
  // A public collection, offered by the wallet field as an example.
  static const QString exampleWallet;
  static const QString readOnlyNote;

  // Everything must outlive the view.
  OnboardingView(AppModel& model, WelcomeDesktop desktop, LoginItem& login, WindowManager& windows,
                 ImageServices images, QWidget* parent = nullptr);

  // Builds the view for the "welcome" window each time that window opens.
  static void registerWindow(WindowManager& windows, AppModel& model, WelcomeDesktop desktop, LoginItem& login,
                             ImageServices images);

  const std::optional<std::size_t>& found() const { return found_; }
  bool compact() const { return found_ && *found_ > 0; }
  bool openAtLogin() const { return loginBox_ && loginBox_->isChecked(); }

  // Marks onboarding done, sets the login item, puts a first work on the
  // displays and closes the window.
  void finish();

  AddWalletField* walletField() const { return field_; }
  WalletPreviewMosaic* mosaic() const { return mosaic_; }
  QLabel* countLabel() const { return countLabel_; }
  QPushButton* showButton() const { return showButton_; }
  QCheckBox* loginBox() const { return loginBox_; }
  WelcomeHeader* headerView() const { return header_; }
  GenerativeBackdrop* backdrop() const { return backdrop_; }

  static QString countLine(std::size_t n);

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void header(bool compact);
  QWidget* entry();
  QWidget* result(std::size_t n);
  void setFound(std::size_t n);

  AppModel& model_;
  WelcomeDesktop desktop_;
  LoginItem& login_;
  WindowManager& windows_;
  ImageServices images_;
  std::optional<std::size_t> found_;

  GenerativeBackdrop* backdrop_;
  WelcomeHeader* header_;
  QVBoxLayout* blockLayout_ = nullptr;
  QWidget* block_ = nullptr;  // the entry or the result
  AddWalletField* field_ = nullptr;
  WalletPreviewMosaic* mosaic_ = nullptr;
  QLabel* countLabel_ = nullptr;
  QPushButton* showButton_ = nullptr;
  QCheckBox* loginBox_ = nullptr;
};

}  // namespace tavolune
