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

// Open for the life of the process: a handler may run at any moment, also
// after the last instance is gone.
int pipeFds[2] = {-1, -1};
bool reporting = false;

void onQuitSignal(int signo) {
  const int savedErrno = errno;
  const unsigned char byte = static_cast<unsigned char>(signo);
  // A full pipe already holds enough wake-ups; the byte may be dropped.
  [[maybe_unused]] const ssize_t written = ::write(pipeFds[1], &byte, 1);
  errno = savedErrno;
}

}  // namespace

bool QuitSignals::catchSignals() {
  if (pipeFds[0] < 0 && ::pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0) {
    pipeFds[0] = pipeFds[1] = -1;
    return false;
  }
  struct sigaction action {};
  action.sa_handler = onQuitSignal;
  action.sa_flags = SA_RESTART;
  ::sigemptyset(&action.sa_mask);
  bool caught = true;
  for (const int signo : quitSignals) {
    if (::sigaction(signo, &action, nullptr) != 0) caught = false;
  }
  return caught;
}

QuitSignals::QuitSignals(QObject* parent) : QObject(parent) {
  if (reporting || !catchSignals()) return;
  reporting = true;
  notifier_ = new QSocketNotifier(pipeFds[0], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, [this] { drain(true); });
}

QuitSignals::~QuitSignals() {
  if (!notifier_) return;
  delete notifier_;
  // What comes from now on is for a later instance, if any.
  drain(false);
  reporting = false;
}

void QuitSignals::drain(bool report) {
  unsigned char bytes[16];
  ssize_t n = 0;
  while ((n = ::read(pipeFds[0], bytes, sizeof bytes)) > 0) {
    for (ssize_t i = 0; report && i < n; ++i) emit quitRequested(bytes[i]);
  }
}

}  // namespace tavolune
