#pragma once
// Where each desktop keeps "animations off": GNOME's enable-animations key,
// KDE's AnimationDurationFactor, and the XSETTINGS value Gtk/EnableAnimations
// that the other X11 desktops publish. GUI thread only unless said otherwise.

#include <QByteArray>
#include <QObject>
#include <QString>

#include <optional>

namespace tavolune {

enum class AnimationSource { gnome, kde, xsettings };

// From an XDG_CURRENT_DESKTOP value; GNOME only where its schema is installed.
AnimationSource animationSourceFor(const QString& desktop);

// True when kdeglobals sets [KDE] AnimationDurationFactor to 0. Reads a small
// file; a missing file means animations on.
bool kdeReducesMotion(const QString& kdeglobalsPath);

// Gtk/EnableAnimations from an _XSETTINGS_SETTINGS property; nullopt when the
// data is malformed or lacks it. Thread-safe (pure).
std::optional<bool> xsettingsEnableAnimations(const QByteArray& data);

// Reads XSETTINGS from the X server. Blocks (two round trips); thread-safe
// for one caller at a time.
class XSettingsReader {
 public:
  explicit XSettingsReader(const QString& display);
  ~XSettingsReader();
  XSettingsReader(const XSettingsReader&) = delete;
  XSettingsReader& operator=(const XSettingsReader&) = delete;
  // nullopt: no settings manager, or it does not say.
  std::optional<bool> enableAnimations();

 private:
  struct Connection;
  Connection* x_;
};

// GNOME's org.gnome.desktop.interface enable-animations, followed by its
// change signal. Reads nothing (and stays false) without the schema.
class GnomeAnimationSetting final : public QObject {
  Q_OBJECT
 public:
  explicit GnomeAnimationSetting(QObject* parent = nullptr);
  ~GnomeAnimationSetting() override;
  bool reduceMotion() const { return reduce_; }

 signals:
  void changed(bool reduceMotion);

 private:
  void read();
  void* settings_ = nullptr;
  unsigned long handler_ = 0;
  bool reduce_ = false;
};

}  // namespace tavolune
