#pragma once
// The General tab: the rotation interval and order, the two rotation
// filters, open at login (the system's own registration, read back after
// every change, when the tab is shown and when the application becomes
// active again), the format analysis with its progress and Stop, and the
// cache row. GUI thread only.

#include "app/settings/SettingsServices.hpp"

#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;
class QStackedWidget;

namespace tavolune {

class FormSection;
class RowLabel;
class SegmentedPicker;
class StorageRow;
class Toggle;
class ValuePicker;

class GeneralSettings final : public QWidget {
  Q_OBJECT
 public:
  explicit GeneralSettings(const SettingsServices& services, QWidget* parent = nullptr);

  ValuePicker* intervalPicker() const { return interval_; }
  SegmentedPicker* orderPicker() const { return order_; }
  Toggle* fitsToggle() const { return fits_; }
  Toggle* sameToggle() const { return same_; }
  // The "Same Artwork on All Displays" row: shown only with two displays or more.
  QWidget* sameRow() const { return sameRow_; }
  QString rotationFooter() const;
  Toggle* loginToggle() const { return login_; }
  QWidget* approvalNote() const { return approval_; }
  RowLabel* formatsLabel() const { return formatsLabel_; }
  QPushButton* analyzeButton() const { return analyze_; }
  QWidget* progressRow() const { return progressRow_; }
  QProgressBar* progressBar() const { return progress_; }
  QLabel* progressText() const { return progressText_; }
  QPushButton* stopButton() const { return stop_; }
  StorageRow* storageRow() const { return storage_; }

  static QString selectionFooter(std::size_t selected);

  void load();
  void loadFormats();
  void loadLogin();
  void loadAnalysis();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  FormSection* rotationSection(QWidget* content);
  FormSection* loginSection(QWidget* content);
  FormSection* formatsSection(QWidget* content);

  SettingsServices services_;
  FormSection* rotation_ = nullptr;
  ValuePicker* interval_ = nullptr;
  SegmentedPicker* order_ = nullptr;
  Toggle* fits_ = nullptr;
  Toggle* same_ = nullptr;
  QWidget* sameRow_ = nullptr;
  Toggle* login_ = nullptr;
  QWidget* approval_ = nullptr;
  RowLabel* formatsLabel_ = nullptr;
  QStackedWidget* analysis_ = nullptr;
  QPushButton* analyze_ = nullptr;
  QWidget* progressRow_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QLabel* progressText_ = nullptr;
  QPushButton* stop_ = nullptr;
  StorageRow* storage_ = nullptr;
};

}  // namespace tavolune
