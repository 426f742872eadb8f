#include "app/platform/linux/LinuxPowerSources.hpp"

#include "app/platform/linux/DBusPropertyWatch.hpp"
#include "app/platform/linux/SysfsThermal.hpp"

#include <QDir>
#include <QFileSystemWatcher>

namespace tavolune {

namespace {
const QString powerSaver = QStringLiteral("power-saver");
}

LinuxPowerSources::LinuxPowerSources(QDBusConnection systemBus, Options options, QObject* parent)
    : PowerSources(parent), options_(std::move(options)), jobs_(this, options_.pool) {
  if (options_.desktop.isEmpty()) options_.desktop = qEnvironmentVariable("XDG_CURRENT_DESKTOP");
  if (options_.kdeglobals.isEmpty()) {
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty()) config = QDir::homePath() + QStringLiteral("/.config");
    options_.kdeglobals = config + QStringLiteral("/kdeglobals");
  }

  onBattery_ = new DBusPropertyWatch(systemBus, QStringLiteral("org.freedesktop.UPower"),
                                     QStringLiteral("/org/freedesktop/UPower"), QStringLiteral("org.freedesktop.UPower"),
                                     QStringLiteral("OnBattery"), this);
  profile_ = new DBusPropertyWatch(systemBus, QStringLiteral("org.freedesktop.UPower.PowerProfiles"),
                                   QStringLiteral("/org/freedesktop/UPower/PowerProfiles"),
                                   QStringLiteral("org.freedesktop.UPower.PowerProfiles"),
                                   QStringLiteral("ActiveProfile"), this);
  legacyProfile_ = new DBusPropertyWatch(systemBus, QStringLiteral("net.hadess.PowerProfiles"),
                                         QStringLiteral("/net/hadess/PowerProfiles"),
                                         QStringLiteral("net.hadess.PowerProfiles"), QStringLiteral("ActiveProfile"), this);
  for (auto* watch : {onBattery_, profile_, legacyProfile_}) {
    connect(watch, &DBusPropertyWatch::valueChanged, this, &PowerSources::readingsChanged);
    watch->start();
  }

  animationSource_ = animationSourceFor(options_.desktop);
  switch (animationSource_) {
    case AnimationSource::gnome:
      gnome_ = new GnomeAnimationSetting(this);
      connect(gnome_, &GnomeAnimationSetting::changed, this, &PowerSources::readingsChanged);
      break;
    case AnimationSource::kde: {
      kdeReduce_ = kdeReducesMotion(options_.kdeglobals);
      // KDE rewrites the file (a new inode): watch the folder as well.
      auto* watcher = new QFileSystemWatcher(this);
      watcher->addPath(QFileInfo(options_.kdeglobals).absolutePath());
      if (QFile::exists(options_.kdeglobals)) watcher->addPath(options_.kdeglobals);
      auto reread = [this, watcher] {
        if (QFile::exists(options_.kdeglobals) && !watcher->files().contains(options_.kdeglobals)) {
          watcher->addPath(options_.kdeglobals);
        }
        kdeReduce_ = kdeReducesMotion(options_.kdeglobals);
        emit readingsChanged();
      };
      connect(watcher, &QFileSystemWatcher::fileChanged, this, reread);
      connect(watcher, &QFileSystemWatcher::directoryChanged, this, reread);
      break;
    }
    case AnimationSource::xsettings:
      xsettings_ = std::make_shared<XSettingsReader>(options_.x11Display);
      break;
  }
  refresh();
}

LinuxPowerSources::~LinuxPowerSources() { jobs_.stop(); }

PowerReadings LinuxPowerSources::readings() const {
  PowerReadings r;
  r.onBattery = onBattery_->value().toBool();
  r.lowPower = profile_->value().toString() == powerSaver || legacyProfile_->value().toString() == powerSaver;
  r.thermalSerious = slow_.thermal;
  switch (animationSource_) {
    case AnimationSource::gnome: r.reduceMotion = gnome_->reduceMotion(); break;
    case AnimationSource::kde: r.reduceMotion = kdeReduce_; break;
    case AnimationSource::xsettings: r.reduceMotion = slow_.xsettingsAnimations == false; break;
  }
  return r;
}

void LinuxPowerSources::refresh() {
  // One read at a time; a read counts as done once its answer has landed.
  if (reading_) return;
  reading_ = true;
  jobs_.run(
      [root = options_.thermalRoot, xsettings = xsettings_] {
        Slow slow;
        slow.thermal = thermalPressure(root);
        if (xsettings) slow.xsettingsAnimations = xsettings->enableAnimations();
        return slow;
      },
      [this](Slow slow) { landed(slow); });
}

void LinuxPowerSources::landed(Slow slow) {
  reading_ = false;
  slow_ = slow;
  emit readingsChanged();
}

}  // namespace tavolune
