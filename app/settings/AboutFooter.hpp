#pragma once
// The bar under the settings tabs: the application icon, the name with the
// test badge, the version, and Check for Updates… (only with an update
// feed), Copy Diagnostics and Send Feedback… (only with a feedback
// repository). GUI thread only.

#include "app/settings/SettingsServices.hpp"

#include <QTimer>
#include <QWidget>

class QLabel;
class QPushButton;

namespace tavolune {

class AboutFooter final : public QWidget {
  Q_OBJECT
 public:
  static constexpr int copiedMilliseconds = 2000;

  AboutFooter(const SettingsServices& services, QWidget* parent = nullptr);

  bool copied() const { return copied_; }
  QLabel* versionLabel() const { return version_; }
  // Null when the build offers no such action.
  QPushButton* updateButton() const { return update_; }
  QPushButton* copyButton() const { return copy_; }
  QPushButton* feedbackButton() const { return feedback_; }

  void copyDiagnostics();
  void checkForUpdates();

 signals:
  // An update check ended with this text for the user.
  void updateCheckAnswered(const QString& text);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void setCopied(bool copied);

  SettingsServices services_;
  bool copied_ = false;
  QLabel* version_;
  QPushButton* update_ = nullptr;
  QPushButton* copy_;
  QPushButton* feedback_ = nullptr;
};

}  // namespace tavolune
