#include "app/shell/QuitSignals.hpp"

#include <QSocketNotifier>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <array>
#include <cerrno>

namespace tavolune {
namespace {

constexpr std::array<int, 3> quitSignals{SIGTERM, SIGINT, SIGHUP};

int pipeFds[2] = {-1, -1};
struct sigaction previous[quitSignals.size()];

void onQuitSignal(int signo) {
  const int savedErrno = errno;
  const unsigned char byte = static_cast<unsigned char>(signo);
  // A full pipe already holds enough wake-ups; the byte may be dropped.
  [[maybe_unused]] const ssize_t written = ::write(pipeFds[1], &byte, 1);
  errno = savedErrno;
}

}  // namespace

QuitSignals::QuitSignals(QObject* parent) : QObject(parent) {
  if (pipeFds[0] >= 0) return;  // another instance owns the signals
  if (::pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0) {
    pipeFds[0] = pipeFds[1] = -1;
    return;
  }
  notifier_ = new QSocketNotifier(pipeFds[0], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &QuitSignals::drain);

  struct sigaction action {};
  action.sa_handler = onQuitSignal;
  action.sa_flags = SA_RESTART;
  ::sigemptyset(&action.sa_mask);
  active_ = true;
  for (std::size_t i = 0; i < quitSignals.size(); ++i) {
    if (::sigaction(quitSignals[i], &action, &previous[i]) != 0) active_ = false;
  }
}

QuitSignals::~QuitSignals() {
  if (!notifier_) return;
  for (std::size_t i = 0; i < quitSignals.size(); ++i) ::sigaction(quitSignals[i], &previous[i], nullptr);
  delete notifier_;
  ::close(pipeFds[0]);
  ::close(pipeFds[1]);
  pipeFds[0] = pipeFds[1] = -1;
}

void QuitSignals::drain() {
  unsigned char bytes[16];
  ssize_t n = 0;
  while ((n = ::read(pipeFds[0], bytes, sizeof bytes)) > 0) {
    for (ssize_t i = 0; i < n; ++i) emit quitRequested(bytes[i]);
  }
}

}  // namespace tavolune
