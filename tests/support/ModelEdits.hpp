#pragma once
// What tests need of the app model's edits: setting up a library in one
// edit of their own, reported to the views at once as a change of
// everything but the desktop's pool (views have no such operation); the
// desktop's turn to look again apart; and counting those turns.

#include "app/model/AppModel.hpp"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>

namespace tavolune {

void seedLibrary(AppModel& model, LibraryWriter::Patch patch);
// Failed stills expire and the desktop looks again, at once.
void seedDesktopChange(AppModel& model);

// The model reports a turn's edits after the turn: this delivers the report now.
inline void deliverChanges(AppModel& model) { QCoreApplication::sendPostedEvents(&model, QEvent::MetaCall); }

// Counts the reports that sent the desktop looking again; reading delivers
// this turn's report first.
class DesktopChanges {
 public:
  explicit DesktopChanges(AppModel& model) : model_(model) {
    QObject::connect(&model, &AppModel::libraryChanged, &context_, [this](const LibraryChange& change) {
      if (change.desktop) ++count_;
    });
  }
  int operator()() const {
    deliverChanges(model_);
    return count_;
  }
  void reset() {
    deliverChanges(model_);
    count_ = 0;
  }

 private:
  AppModel& model_;
  QObject context_;
  int count_ = 0;
};

}  // namespace tavolune
