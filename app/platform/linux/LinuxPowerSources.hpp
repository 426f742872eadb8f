#pragma once
// PowerSources on UPower (OnBattery), power-profiles-daemon (ActiveProfile
// under both of its bus names), the sysfs thermal zones and the desktop's
// animation setting. GUI thread only. D-Bus values are read once
// asynchronously and then followed by signals; sysfs and XSETTINGS are read
// on a worker by refresh().

#include "app/platform/PowerSources.hpp"
#include "app/platform/linux/AnimationSettings.hpp"
#include "app/qt/PoolJobs.hpp"

#include <QDBusConnection>

#include <memory>

class QThreadPool;

namespace tavolune {

class DBusPropertyWatch;

class LinuxPowerSources final : public PowerSources {
  Q_OBJECT
 public:
  struct Options {
    QString thermalRoot = QStringLiteral("/sys/class/thermal");
    // XDG_CURRENT_DESKTOP when empty.
    QString desktop;
    // $XDG_CONFIG_HOME/kdeglobals when empty.
    QString kdeglobals;
    // $DISPLAY when empty.
    QString x11Display;
    // The global pool when null.
    QThreadPool* pool = nullptr;
  };

  LinuxPowerSources(QDBusConnection systemBus, Options options, QObject* parent = nullptr);
  // Waits for a read under way (a few file reads).
  ~LinuxPowerSources() override;

  PowerReadings readings() const override;
  void refresh() override;

 private:
  struct Slow {
    bool thermal = false;
    std::optional<bool> xsettingsAnimations;
  };
  void landed(Slow slow);

  Options options_;
  AnimationSource animationSource_;
  DBusPropertyWatch* onBattery_ = nullptr;
  DBusPropertyWatch* profile_ = nullptr;
  DBusPropertyWatch* legacyProfile_ = nullptr;
  GnomeAnimationSetting* gnome_ = nullptr;
  bool kdeReduce_ = false;
  Slow slow_;
  std::shared_ptr<XSettingsReader> xsettings_;
  bool reading_ = false;
  PoolJobs jobs_;
};

}  // namespace tavolune
