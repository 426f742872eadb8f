#pragma once
// The "Cache" row: the media cache's size on disk, measured off the GUI
// thread when the row is shown and again after the cache changes while it
// is shown, and clearing after a confirmation. Results
// come back only while the row exists: a measurement or clearing that ends
// after the window closed is dropped. GUI thread only.

#include "app/model/MediaServices.hpp"
#include "app/qt/ResultMailbox.hpp"

#include <QWidget>

#include <cstdint>
#include <memory>
#include <optional>

class QLabel;
class QMessageBox;
class QPushButton;
class QThreadPool;

namespace tavolune {

class Spinner;

class StorageRow final : public QWidget {
  Q_OBJECT
 public:
  // The media services outlive the row; their cache and the pool outlive
  // every job the row starts.
  StorageRow(MediaServices& media, QThreadPool& pool, QWidget* parent = nullptr);
  ~StorageRow() override;

  // Bytes, or nothing until measured and while measure() or clear() runs;
  // a reading after a change keeps the last number until it lands.
  const std::optional<std::int64_t>& size() const { return size_; }
  // Measures again; the spinner shows until the answer lands.
  void measure();
  // Whether a reading is under way or due, the spinner shown or not.
  bool isMeasuring() const { return inFlight_ || again_; }
  // What Clear… asks; null when not showing.
  QMessageBox* confirmation() const { return confirmation_; }
  // The confirmed clearing: the spinner, the clearing, then a measurement.
  void clear();

  QPushButton* clearButton() const { return clear_; }
  QLabel* sizeLabel() const { return sizeLabel_; }
  Spinner* spinner() const { return spinner_; }
  // Where the row's jobs hand in their results; closed when the row goes.
  std::shared_ptr<const ResultMailbox> results() const { return mailbox_; }

  // The size in the system's file-size wording.
  static QString formatted(std::int64_t bytes);

 signals:
  // A measurement landed in the row.
  void measured(std::int64_t bytes);

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void ask();
  // A reading after a change: the shown size stays until the new one lands,
  // and changes during it make one more reading, not one each.
  void follow();
  void start(bool clearing);
  void display(std::optional<std::int64_t> size);

  MediaServices& media_;
  QThreadPool& pool_;
  std::optional<std::int64_t> size_;
  MediaServices::CacheFollowing following_;  // while shown
  bool inFlight_ = false;                    // the newest job has yet to land
  bool again_ = false;
  std::uint64_t generation_ = 0;  // the newest job wins
  QLabel* sizeLabel_;
  Spinner* spinner_;
  QPushButton* clear_;
  QMessageBox* confirmation_ = nullptr;
  std::shared_ptr<ResultMailbox> mailbox_ = ResultMailbox::to(this);
};

}  // namespace tavolune
