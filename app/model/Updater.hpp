#pragma once
// The update check: reads the appcast feed named at build time, finds its
// newest version and tells whether it is newer than this one, with the
// https page where it can be had. Nothing is installed. GUI thread only.

#include "app/platform/UpdateFeed.hpp"

#include <QObject>
#include <QString>
#include <QUrl>

#include <optional>

namespace tavolune {

struct UpdateOffer {
  QString version;
  QUrl page;
  friend bool operator==(const UpdateOffer&, const UpdateOffer&) = default;
};

class Updater final : public QObject {
  Q_OBJECT

 public:
  // The feed service must outlive the updater.
  Updater(UpdateFeed& feed, QString feedURL, QString currentVersion, QObject* parent = nullptr);
  // With the feed and version of this build.
  explicit Updater(UpdateFeed& feed, QObject* parent = nullptr);

  // Only an https feed is offered at all.
  bool isAvailable() const;
  // Ends in updateAvailable, upToDate or checkFailed.
  void checkForUpdates();
  // Opens the offer's page in the browser; only https pages.
  static bool openPage(const UpdateOffer& offer);

  // The newest item of an appcast: its version ("sparkle:shortVersionString",
  // else "sparkle:version", as an element or on the enclosure) and its
  // "link". Throws std::runtime_error with a short reason.
  static UpdateOffer newestItem(const QByteArray& appcast);
  // By numeric segments: "1.10" > "1.9", "2" == "2.0"; <0, 0, >0.
  static int compareVersions(const QString& a, const QString& b);

 signals:
  void updateAvailable(const tavolune::UpdateOffer& offer);
  void upToDate();
  void checkFailed(const QString& reason);

 private:
  void evaluate(const QByteArray& appcast);

  UpdateFeed& feed_;
  const QString feedURL_;
  const QString currentVersion_;
};

}  // namespace tavolune
