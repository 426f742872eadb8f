#include "app/platform/linux/XdgUrlLauncher.hpp"

#include <QProcess>

namespace tavolune {

XdgUrlLauncher::XdgUrlLauncher(QString program, QStringList environment)
    : program_(std::move(program)), environment_(std::move(environment)) {}

bool XdgUrlLauncher::open(const QUrl& url) {
  if (!url.isValid()) return false;
  QProcess process;
  process.setProgram(program_);
  process.setArguments({url.isLocalFile() ? url.toLocalFile() : url.toString(QUrl::FullyEncoded)});
  process.setEnvironment(environment_);
  process.setStandardInputFile(QProcess::nullDevice());
  return process.startDetached();
}

}  // namespace tavolune
