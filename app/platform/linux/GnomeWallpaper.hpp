#pragma once
// Desktop picture on GNOME and its relatives (Ubuntu, Budgie, Cinnamon,
// MATE), through GIO settings run as `gsettings` processes. One picture spans
// every monitor: it is composed in root coordinates from each display's
// latest picture, written under a new name, and confirmed by reading the
// settings back from another process. GUI thread only; composing runs on the
// global thread pool and the processes run asynchronously.

#include "app/platform/WallpaperBackend.hpp"
#include "app/platform/linux/SpannedPicture.hpp"
#include "app/qt/PoolJobs.hpp"

#include <QStringList>

#include <optional>
#include <set>

namespace tavolune {

class GnomeWallpaper final : public WallpaperBackend {
  Q_OBJECT
 public:
  struct Schema {
    QString id;          // "org.gnome.desktop.background"
    QString pictureKey;  // "picture-uri", or MATE's "picture-filename"
    bool takesPath = false;
  };
  static Schema gnome();
  static Schema cinnamon();
  static Schema mate();

  GnomeWallpaper(SystemLog& log, QString folder, Schema schema, QObject* parent = nullptr);
  // Waits for a picture being composed.
  ~GnomeWallpaper() override;
  QString name() const override { return QStringLiteral("GNOME"); }

  // GVariant text of a string, and back (none when it is not one).
  static QString quoted(const QString& s);
  static std::optional<QString> unquoted(QString gvariantText);

 protected:
  void apply(const WallpaperRequest& request, Done finish) override;
  void read(const Display& display, int workspace, Shown finish) override;

 private:
  using Step = std::function<void(std::optional<QString> error, QString output)>;
  void run(const QStringList& args, Step then);
  void write(const QString& file, const QColor& fill, Done finish);
  void store(const std::vector<std::pair<QString, QString>>& settings, std::size_t index, Done finish);
  void confirm(const std::vector<std::pair<QString, QString>>& expected, std::size_t index, Done finish);
  void removeOlderThan(const QString& keep) const;

  QString folder_;
  Schema schema_;
  SpannedPicture spanned_;
  std::optional<std::set<QString>> keys_;
  PoolJobs jobs_{this};
};

}  // namespace tavolune
