// GIO declares struct members named "signals": include it before Qt's macro.
#include <gio/gio.h>

#include "app/platform/linux/AnimationSettings.hpp"

#include <QFile>
#include <QtEndian>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

namespace tavolune {

namespace {

const char* const gnomeSchema = "org.gnome.desktop.interface";
const char* const gnomeKey = "enable-animations";

bool gnomeSchemaInstalled() {
  GSettingsSchemaSource* source = g_settings_schema_source_get_default();
  if (!source) return false;
  GSettingsSchema* schema = g_settings_schema_source_lookup(source, gnomeSchema, TRUE);
  if (!schema) return false;
  const bool has = g_settings_schema_has_key(schema, gnomeKey);
  g_settings_schema_unref(schema);
  return has;
}

}  // namespace

AnimationSource animationSourceFor(const QString& desktop) {
  const QStringList names = desktop.toUpper().split(u':', Qt::SkipEmptyParts);
  if (names.contains(QStringLiteral("KDE"))) return AnimationSource::kde;
  for (const char* gnomeLike : {"GNOME", "UNITY", "BUDGIE", "PANTHEON", "UBUNTU"}) {
    if (names.contains(QLatin1String(gnomeLike)) && gnomeSchemaInstalled()) return AnimationSource::gnome;
  }
  return AnimationSource::xsettings;
}

bool kdeReducesMotion(const QString& kdeglobalsPath) {
  QFile file(kdeglobalsPath);
  if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return false;
  bool inKde = false;
  while (!file.atEnd()) {
    const QByteArray line = file.readLine().trimmed();
    if (line.startsWith('[')) {
      inKde = line == "[KDE]";
    } else if (inKde && line.startsWith("AnimationDurationFactor")) {
      const qsizetype eq = line.indexOf('=');
      if (eq < 0) continue;
      bool ok = false;
      const double factor = line.mid(eq + 1).trimmed().toDouble(&ok);
      return ok && factor == 0.0;
    }
  }
  return false;
}

std::optional<bool> xsettingsEnableAnimations(const QByteArray& data) {
  const auto* bytes = reinterpret_cast<const uchar*>(data.constData());
  const qsizetype size = data.size();
  if (size < 12) return std::nullopt;
  const bool big = bytes[0] == 1;
  auto u16 = [&](qsizetype at) { return big ? qFromBigEndian<quint16>(bytes + at) : qFromLittleEndian<quint16>(bytes + at); };
  auto u32 = [&](qsizetype at) { return big ? qFromBigEndian<quint32>(bytes + at) : qFromLittleEndian<quint32>(bytes + at); };
  auto pad4 = [](qsizetype n) { return (n + 3) & ~qsizetype(3); };
  const quint32 count = u32(8);
  qsizetype at = 12;
  for (quint32 i = 0; i < count; ++i) {
    if (at + 4 > size) return std::nullopt;
    const uchar type = bytes[at];
    const qsizetype nameLength = u16(at + 2);
    at += 4;
    if (at + pad4(nameLength) + 4 > size) return std::nullopt;
    const QByteArray name(data.constData() + at, nameLength);
    at += pad4(nameLength) + 4;  // name, then the last-change serial
    switch (type) {
      case 0:  // integer
        if (at + 4 > size) return std::nullopt;
        if (name == "Gtk/EnableAnimations") return u32(at) != 0;
        at += 4;
        break;
      case 1: {  // string
        if (at + 4 > size) return std::nullopt;
        const qsizetype length = u32(at);
        if (length > size) return std::nullopt;
        at += 4 + pad4(length);
        break;
      }
      case 2:  // colour: four 16-bit channels
        at += 8;
        break;
      default:
        return std::nullopt;
    }
  }
  return std::nullopt;
}

struct XSettingsReader::Connection {
  xcb_connection_t* c = nullptr;
  int screen = 0;
};

XSettingsReader::XSettingsReader(const QString& display) : x_(new Connection) {
  const QByteArray name = display.toLocal8Bit();
  x_->c = xcb_connect(name.isEmpty() ? nullptr : name.constData(), &x_->screen);
  if (xcb_connection_has_error(x_->c)) {
    xcb_disconnect(x_->c);
    x_->c = nullptr;
  }
}

XSettingsReader::~XSettingsReader() {
  if (x_->c) xcb_disconnect(x_->c);
  delete x_;
}

std::optional<bool> XSettingsReader::enableAnimations() {
  if (!x_->c) return std::nullopt;
  const QByteArray selectionName = "_XSETTINGS_S" + QByteArray::number(x_->screen);
  auto selectionCookie = xcb_intern_atom(x_->c, 0, static_cast<uint16_t>(selectionName.size()), selectionName.constData());
  auto settingsCookie = xcb_intern_atom(x_->c, 0, 19, "_XSETTINGS_SETTINGS");
  auto* selection = xcb_intern_atom_reply(x_->c, selectionCookie, nullptr);
  auto* settings = xcb_intern_atom_reply(x_->c, settingsCookie, nullptr);
  std::optional<bool> result;
  if (selection && settings) {
    auto* owner = xcb_get_selection_owner_reply(x_->c, xcb_get_selection_owner(x_->c, selection->atom), nullptr);
    if (owner && owner->owner != XCB_NONE) {
      auto* property = xcb_get_property_reply(
          x_->c, xcb_get_property(x_->c, 0, owner->owner, settings->atom, settings->atom, 0, 1u << 16), nullptr);
      if (property) {
        const int length = xcb_get_property_value_length(property);
        result = xsettingsEnableAnimations(
            QByteArray(static_cast<const char*>(xcb_get_property_value(property)), length));
      }
      std::free(property);
    }
    std::free(owner);
  }
  std::free(selection);
  std::free(settings);
  return result;
}

GnomeAnimationSetting::GnomeAnimationSetting(QObject* parent) : QObject(parent) {
  if (!gnomeSchemaInstalled()) return;
  auto* settings = g_settings_new(gnomeSchema);
  settings_ = settings;
  handler_ = g_signal_connect_swapped(settings, "changed::enable-animations",
                                      G_CALLBACK(+[](GnomeAnimationSetting* self) { self->read(); }), this);
  reduce_ = !g_settings_get_boolean(settings, gnomeKey);
}

GnomeAnimationSetting::~GnomeAnimationSetting() {
  if (!settings_) return;
  g_signal_handler_disconnect(settings_, handler_);
  g_object_unref(settings_);
}

void GnomeAnimationSetting::read() {
  reduce_ = !g_settings_get_boolean(static_cast<GSettings*>(settings_), gnomeKey);
  emit changed(reduce_);
}

}  // namespace tavolune
