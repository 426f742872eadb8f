#pragma once
// The series the user asked to measure again from an inspector, keyed by
// series rather than by the row that asked: every row of the series (any
// edition, a row rebuilt after the inspector moved on) shows the same
// progress, and the end of a measurement is noted even when no row is left.
// One per app model, owned by it. GUI thread only.

#include "core/model/Artwork.hpp"

#include <QObject>

#include <string>
#include <unordered_set>

namespace tavolune {

class AppModel;

class SeriesMeasuring final : public QObject {
  Q_OBJECT
 public:
  // The model's own, made on first use.
  static SeriesMeasuring& of(AppModel& model);

  bool isMeasuring(const std::string& seriesKey) const { return measuring_.contains(seriesKey); }
  // Drops the series' profile and measures it again; nothing when that
  // series is being measured already.
  void remeasure(const Artwork& artwork);

 signals:
  // A series started or finished measuring.
  void changed(const QString& seriesKey);

 private:
  explicit SeriesMeasuring(AppModel& model);
  void finished(const std::string& seriesKey);

  AppModel& model_;
  std::unordered_set<std::string> measuring_;
};

}  // namespace tavolune
