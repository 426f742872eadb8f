#pragma once
// The bus names of systemd-logind, which the session watch and the
// inhibitor check both ask. Constants only.

#include <QString>

namespace tavolune::login1 {

inline const QString service = QStringLiteral("org.freedesktop.login1");
inline const QString path = QStringLiteral("/org/freedesktop/login1");
inline const QString manager = QStringLiteral("org.freedesktop.login1.Manager");

}  // namespace tavolune::login1
