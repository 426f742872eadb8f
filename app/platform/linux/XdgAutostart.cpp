#include "app/platform/linux/XdgAutostart.hpp"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QString>

#include <cstdlib>
#include <stdexcept>
#include <string_view>

namespace tavolune {
namespace {

constexpr std::string_view reserved = " \t\n\"'\\><~|&;$*?#()`";

// "Hidden=true" or "X-GNOME-Autostart-enabled=false" switch an entry off.
bool switchedOff(const QByteArray& text) {
  for (const QByteArray& raw : text.split('\n')) {
    const QByteArray line = raw.trimmed();
    if (line == "Hidden=true" || line == "X-GNOME-Autostart-enabled=false") return true;
  }
  return false;
}

}  // namespace

XdgAutostart::XdgAutostart(std::string executable) : executable_(std::move(executable)) {}

std::filesystem::path XdgAutostart::entryPath() {
  std::filesystem::path config;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/') {
    config = xdg;
  } else {
    config = std::filesystem::path(QDir::homePath().toStdString()) / ".config";
  }
  return config / "autostart" / "tavolune.desktop";
}

std::string XdgAutostart::execValue(const std::string& program) {
  std::string argument;
  if (program.find_first_of(reserved) == std::string::npos) {
    argument = program;
  } else {
    argument = "\"";
    for (char c : program) {
      if (c == '"' || c == '`' || c == '$' || c == '\\') argument += '\\';
      argument += c;
    }
    argument += '"';
  }
  // Field codes start with "%"; then the value's own string escapes.
  std::string value;
  for (char c : argument) {
    switch (c) {
      case '%': value += "%%"; break;
      case '\\': value += "\\\\"; break;
      case '\n': value += "\\n"; break;
      case '\t': value += "\\t"; break;
      case '\r': value += "\\r"; break;
      default: value += c;
    }
  }
  return value;
}

std::string XdgAutostart::entryText() const {
  return "[Desktop Entry]\n"
         "Type=Application\n"
         "Name=Tavolune\n"
         "Comment=Hangs your collection on the desktop\n"
         "Exec=" + execValue(executable_) + "\n"
         "Terminal=false\n"
         "X-GNOME-Autostart-enabled=true\n";
}

LoginItemStatus XdgAutostart::status() const {
  if (executable_.empty()) return LoginItemStatus::notFound;
  QFile file(QString::fromStdString(entryPath().string()));
  if (!file.open(QIODevice::ReadOnly)) return LoginItemStatus::notRegistered;
  return switchedOff(file.readAll()) ? LoginItemStatus::notRegistered : LoginItemStatus::enabled;
}

void XdgAutostart::setEnabled(bool enabled) {
  const auto path = entryPath();
  const QString file = QString::fromStdString(path.string());
  if (!enabled) {
    if (QFile::exists(file) && !QFile::remove(file)) throw std::runtime_error("cannot remove " + path.string());
    return;
  }
  if (executable_.empty()) throw std::runtime_error("the program's own path is unknown");
  if (!QDir().mkpath(QString::fromStdString(path.parent_path().string()))) {
    throw std::runtime_error("cannot create " + path.parent_path().string());
  }
  QSaveFile out(file);
  const std::string text = entryText();
  if (!out.open(QIODevice::WriteOnly) || out.write(text.data(), static_cast<qint64>(text.size())) < 0 ||
      !out.commit()) {
    throw std::runtime_error(out.errorString().toStdString());
  }
}

}  // namespace tavolune
