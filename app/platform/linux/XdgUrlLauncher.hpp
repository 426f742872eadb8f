#pragma once
// Opens a URL with xdg-open (or another program taking one argument),
// started detached with the environment the program was given.

#include "app/platform/UrlLauncher.hpp"

namespace tavolune {

class XdgUrlLauncher final : public UrlLauncher {
 public:
  explicit XdgUrlLauncher(QString program = QStringLiteral("xdg-open"),
                          QStringList environment = givenEnvironment());
  bool open(const QUrl& url) override;

 private:
  QString program_;
  QStringList environment_;
};

}  // namespace tavolune
