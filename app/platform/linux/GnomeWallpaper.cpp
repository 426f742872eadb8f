#include "app/platform/linux/GnomeWallpaper.hpp"

#include "app/render/WallpaperComposer.hpp"
#include "core/persistence/Files.hpp"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QTimer>
#include <QUrl>

namespace tavolune {
namespace {

constexpr int processTimeoutMs = 5000;

// Composes and writes the spanned picture; an error text or nothing.
std::optional<QString> writeSpanned(const std::vector<SpannedPiece>& pieces, const QString& path) {
  const QRect all = SpannedPicture::bounds(pieces);
  const QImage image = SpannedPicture::compose(pieces, QSize(all.right() + 1, all.bottom() + 1));
  if (image.isNull()) return QStringLiteral("the spanned picture could not be composed");
  const auto data = WallpaperComposer::jpegData(image, 0.92);
  if (!data) return QStringLiteral("the spanned picture could not be encoded");
  QSaveFile out(path);
  // The picture says what the user collects: theirs alone.
  if (!out.open(QIODevice::WriteOnly) || !out.setPermissions(QFile::ReadOwner | QFile::WriteOwner) ||
      out.write(*data) != data->size() || !out.commit()) {
    return QStringLiteral("the spanned picture could not be written to %1").arg(path);
  }
  return std::nullopt;
}

}  // namespace

GnomeWallpaper::Schema GnomeWallpaper::gnome() { return {"org.gnome.desktop.background", "picture-uri", false}; }
GnomeWallpaper::Schema GnomeWallpaper::cinnamon() {
  return {"org.cinnamon.desktop.background", "picture-uri", false};
}
GnomeWallpaper::Schema GnomeWallpaper::mate() { return {"org.mate.background", "picture-filename", true}; }

GnomeWallpaper::GnomeWallpaper(SystemLog& log, QString folder, Schema schema, QObject* parent)
    : WallpaperBackend(log, parent), folder_(std::move(folder)), schema_(std::move(schema)) {}

GnomeWallpaper::~GnomeWallpaper() { jobs_.stop(); }

QString GnomeWallpaper::quoted(const QString& s) {
  QString out = s;
  out.replace(QLatin1Char('\\'), QLatin1String("\\\\")).replace(QLatin1Char('\''), QLatin1String("\\'"));
  return QLatin1Char('\'') + out + QLatin1Char('\'');
}

std::optional<QString> GnomeWallpaper::unquoted(QString text) {
  text = text.trimmed();
  if (text.size() < 2) return std::nullopt;
  const QChar q = text.front();
  if ((q != QLatin1Char('\'') && q != QLatin1Char('"')) || text.back() != q) return std::nullopt;
  QString out;
  for (qsizetype i = 1; i + 1 < text.size(); ++i) {
    if (text[i] == QLatin1Char('\\') && i + 2 < text.size()) ++i;
    out += text[i];
  }
  return out;
}

void GnomeWallpaper::run(const QStringList& args, Step then) {
  auto* process = new QProcess(this);
  auto* timer = new QTimer(process);
  timer->setSingleShot(true);
  auto answered = std::make_shared<bool>(false);
  auto answer = [process, answered, then](std::optional<QString> error) {
    if (*answered) return;
    *answered = true;
    const QString output = QString::fromUtf8(process->readAllStandardOutput());
    process->deleteLater();
    then(std::move(error), output);
  };
  connect(timer, &QTimer::timeout, process, [process, answer] {
    process->kill();
    answer(QStringLiteral("gsettings did not answer in time"));
  });
  connect(process, &QProcess::errorOccurred, process, [answer](QProcess::ProcessError e) {
    if (e == QProcess::FailedToStart) answer(QStringLiteral("gsettings could not be started"));
  });
  connect(process, &QProcess::finished, process, [process, answer](int code, QProcess::ExitStatus status) {
    if (status != QProcess::NormalExit || code != 0) {
      const QString why = QString::fromUtf8(process->readAllStandardError()).trimmed();
      answer(why.isEmpty() ? QStringLiteral("gsettings failed") : why);
    } else {
      answer(std::nullopt);
    }
  });
  timer->start(processTimeoutMs);
  process->start(QStringLiteral("gsettings"), args);
}

void GnomeWallpaper::apply(const WallpaperRequest& request, Done done) {
  const auto pieces = spanned_.update(request);
  const QString path = QDir(folder_).filePath(SpannedPicture::fileName(pieces));
  const QColor fill = request.fill;
  Done finish = [this, path, done](Outcome outcome) {
    if (!outcome) spanned_.confirm(path);
    done(outcome);
  };
  std::error_code notMade;
  files::createPrivateFolder(folder_.toStdString(), notMade);
  if (notMade) {
    finish(QStringLiteral("the folder %1 could not be created").arg(folder_));
    return;
  }
  // The same name holds the same content: nothing to compose again.
  if (QFileInfo::exists(path)) {
    write(path, fill, std::move(finish));
    return;
  }
  jobs_.run([pieces, path] { return writeSpanned(pieces, path); },
            [this, path, fill, finish = std::move(finish)](std::optional<QString> error) {
              if (error) {
                finish(error);
              } else {
                write(path, fill, finish);
              }
            });
}

void GnomeWallpaper::read(const Display& display, int, Shown finish) {
  run({QStringLiteral("get"), schema_.id, schema_.pictureKey},
      [this, key = display.key, finish](std::optional<QString> error, const QString& output) {
        const auto value = error ? std::optional<QString>() : unquoted(output);
        QString path;
        if (value) path = schema_.takesPath ? *value : QUrl(*value).toLocalFile();
        if (path.isEmpty()) {
          finish(std::nullopt);
        } else if (spanned_.isConfirmed(path)) {
          // Our spanned picture: each display shows its own file in it.
          finish(spanned_.fileShown(path, key));
        } else {
          finish(path);
        }
      });
}

void GnomeWallpaper::write(const QString& file, const QColor& fill, Done finish) {
  auto withKeys = [this, file, fill, finish] {
    const QString picture = schema_.takesPath ? file : QUrl::fromLocalFile(file).toString(QUrl::FullyEncoded);
    std::vector<std::pair<QString, QString>> settings{{QStringLiteral("picture-options"), "'spanned'"}};
    if (keys_->contains(QStringLiteral("primary-color"))) {
      settings.emplace_back(QStringLiteral("primary-color"), quoted(fill.name(QColor::HexRgb)));
    }
    settings.emplace_back(schema_.pictureKey, quoted(picture));
    if (keys_->contains(QStringLiteral("picture-uri-dark"))) {
      settings.emplace_back(QStringLiteral("picture-uri-dark"), quoted(picture));
    }
    // Set one after another, then read every one back.
    store(settings, 0, [this, settings, file, finish](Outcome outcome) {
      if (outcome) {
        finish(outcome);
        return;
      }
      confirm(settings, 0, [this, file, finish](Outcome confirmed) {
        if (!confirmed) removeOlderThan(file);
        finish(confirmed);
      });
    });
  };
  if (keys_) {
    withKeys();
    return;
  }
  run({QStringLiteral("list-keys"), schema_.id},
      [this, withKeys, finish](std::optional<QString> error, const QString& output) {
        if (error) {
          finish(QStringLiteral("the settings schema %1 is not available (%2)").arg(schema_.id, *error));
          return;
        }
        std::set<QString> keys;
        for (const auto& k : output.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) keys.insert(k.trimmed());
        if (!keys.contains(schema_.pictureKey)) {
          finish(QStringLiteral("the settings schema %1 has no key %2").arg(schema_.id, schema_.pictureKey));
          return;
        }
        keys_ = std::move(keys);
        withKeys();
      });
}

void GnomeWallpaper::store(const std::vector<std::pair<QString, QString>>& settings, std::size_t index,
                           Done finish) {
  if (index == settings.size()) {
    finish(std::nullopt);
    return;
  }
  run({QStringLiteral("set"), schema_.id, settings[index].first, settings[index].second},
      [this, settings, index, finish](std::optional<QString> error, const QString&) {
        if (error) {
          finish(error);
        } else {
          store(settings, index + 1, finish);
        }
      });
}

void GnomeWallpaper::confirm(const std::vector<std::pair<QString, QString>>& expected, std::size_t index,
                             Done finish) {
  if (index == expected.size()) {
    finish(std::nullopt);
    return;
  }
  const auto& [key, value] = expected[index];
  run({QStringLiteral("get"), schema_.id, key},
      [this, expected, index, finish, key, value](std::optional<QString> error, const QString& output) {
        if (error) {
          finish(error);
          return;
        }
        // A write the settings store refused still "succeeds" in the writer's
        // memory; only another process shows what was stored.
        if (unquoted(output) != unquoted(value)) {
          finish(QStringLiteral("the setting %1 was not stored").arg(key));
          return;
        }
        confirm(expected, index + 1, finish);
      });
}

void GnomeWallpaper::removeOlderThan(const QString& keep) const {
  const QDir dir(folder_);
  const QString kept = QFileInfo(keep).fileName();
  for (const auto& name : dir.entryList({QStringLiteral("spanned-*.jpg")}, QDir::Files)) {
    if (name != kept) QFile::remove(dir.filePath(name));
  }
}

}  // namespace tavolune
