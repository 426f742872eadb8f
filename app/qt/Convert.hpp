#pragma once
// The one place where core values meet Qt's: text, ids and dates.
// Thread-safe (pure functions).

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <chrono>
#include <string>
#include <string_view>
#include <vector>

namespace tavolune::qt {

inline QString str(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }
inline std::string str(const QString& s) { return s.toStdString(); }

inline QStringList strings(const std::vector<std::string>& v) {
  QStringList out;
  out.reserve(static_cast<qsizetype>(v.size()));
  for (auto& s : v) out << str(s);
  return out;
}
inline std::vector<std::string> strings(const QStringList& v) {
  std::vector<std::string> out;
  out.reserve(static_cast<std::size_t>(v.size()));
  for (auto& s : v) out.push_back(str(s));
  return out;
}

inline QDateTime dateTime(std::chrono::system_clock::time_point t) {
  return QDateTime::fromMSecsSinceEpoch(
      std::chrono::duration_cast<std::chrono::milliseconds>(t.time_since_epoch()).count(), Qt::UTC);
}

}  // namespace tavolune::qt
