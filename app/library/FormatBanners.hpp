#pragma once
// The two thin banners over the library grid about works of unknown shape:
// AnalyzeBanner offers to measure the generative series not measured yet
// (and shows the run, with Stop), and can be put off with "Not Now" until
// more such series turn up; UnknownFormats, shown while a format criterion
// filters the grid, counts the works that criterion leaves out for want of
// a known shape and offers to learn them from thumbnails. Neither edits the
// library; both follow the app model's published progress. GUI thread only.

#include "core/model/LibraryFilter.hpp"

#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;
class QToolButton;

namespace tavolune {

class AppModel;
class RollingCountLabel;
class LibraryState;

class AnalyzeBanner final : public QWidget {
  Q_OBJECT
 public:
  enum class Mode { hidden, offer, progress };
  static inline const QString dismissedKey = QStringLiteral("analyzeBannerDismissedAt");

  explicit AnalyzeBanner(AppModel& model, QWidget* parent = nullptr);

  static Mode mode(bool analysing, std::size_t pending, long long dismissedAt);
  Mode mode() const { return mode_; }
  // The count last put off with "Not Now"; -1 when never.
  static long long dismissedAt();
  void notNow();

 private:
  void refresh();

  AppModel& model_;
  Mode mode_ = Mode::hidden;
  QWidget* offer_;
  QWidget* progress_;
  RollingCountLabel* count_;
  QProgressBar* bar_;
  QLabel* progressText_;
  QPushButton* stop_;
};

class UnknownFormats final : public QWidget {
  Q_OBJECT
 public:
  UnknownFormats(AppModel& model, QWidget* parent = nullptr);

  // The works the rest of the filter lists whose shape is unknown.
  static std::size_t unknownCount(const LibraryState& state, LibraryFilter filter);
  void setFilter(const LibraryFilter& filter);
  QString text() const;

 private:
  void refresh();

  AppModel& model_;
  LibraryFilter filter_;
  QProgressBar* bar_;
  QLabel* text_;
  QToolButton* measure_;
};

}  // namespace tavolune
