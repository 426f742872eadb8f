#pragma once
// Fetches the update feed. GUI thread only; fetch() returns at once and the
// transfer runs off the GUI thread.

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QUrl>

#include <functional>

namespace tavolune {

class UpdateFeed {
 public:
  // The feed's bytes, or why there are none (error not empty).
  struct Answer {
    QByteArray body;
    QString error;
  };
  static constexpr qint64 maxBytes = 1 << 20;  // 1 MiB

  virtual ~UpdateFeed() = default;
  // A redirect away from https and a body over maxBytes fail. done runs on
  // the GUI thread, and not at all once context is gone.
  virtual void fetch(const QUrl& url, QObject* context, std::function<void(Answer)> done) = 0;
};

}  // namespace tavolune
