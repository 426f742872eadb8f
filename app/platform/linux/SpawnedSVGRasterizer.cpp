#include "app/platform/linux/SpawnedSVGRasterizer.hpp"

#include "app/render/SVGDrawing.hpp"

#include <QtGlobal>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/eventfd.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string_view>
#include <vector>

namespace tavolune {
namespace {

using Clock = std::chrono::steady_clock;
using Outcome = SVGRasterizer::Outcome;

struct Fd {
  int fd = -1;
  Fd() = default;
  explicit Fd(int f) : fd(f) {}
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  ~Fd() { reset(); }
  void reset() {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
};

// The decoder is killed and reaped however the drawing ends.
struct Child {
  pid_t pid = -1;
  bool reaped = false;
  int status = 0;
  ~Child() {
    if (pid <= 0 || reaped) return;
    ::kill(pid, SIGKILL);
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
  }
  void reap() {
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    reaped = true;
  }
};

// A write to a pipe whose reader died raises SIGPIPE, which would end the
// program: blocked on this thread while it writes, and any pending one
// taken before the mask goes back.
struct NoPipeSignal {
  sigset_t old{};
  NoPipeSignal() {
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, &old);
  }
  ~NoPipeSignal() {
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    const timespec none{0, 0};
    while (sigtimedwait(&pipe, nullptr, &none) > 0) {
    }
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
  }
};

bool makePipe(Fd& read, Fd& write) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return false;
  read.fd = fds[0];
  write.fd = fds[1];
  return true;
}

// Spawns the decoder on the given ends of its pipes: no environment, no
// descriptor but its input, output and an empty error stream, default
// signal handling.
pid_t spawnDecoder(const std::string& path, int input, int output) {
  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
  posix_spawn_file_actions_init(&actions);
  posix_spawnattr_init(&attributes);
  posix_spawn_file_actions_adddup2(&actions, input, STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, output, STDOUT_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
  sigset_t none, all;
  sigemptyset(&none);
  sigfillset(&all);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setsigdefault(&attributes, &all);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  std::string program = path;
  char* argv[] = {program.data(), nullptr};
  char* envp[] = {nullptr};
  pid_t pid = -1;
  if (posix_spawn(&pid, program.c_str(), &actions, &attributes, argv, envp) != 0) pid = -1;
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

bool limit(pid_t pid, decltype(RLIMIT_AS) resource, rlim_t soft, rlim_t hard) {
  const rlimit value{soft, hard};
  return ::prlimit(pid, resource, &value, nullptr) == 0;
}

QImage imageFrom(const std::vector<unsigned char>& answer, int maxPixel) {
  std::uint32_t size[2];
  if (answer.size() < sizeof size) return {};
  std::memcpy(size, answer.data(), sizeof size);
  const std::uint64_t w = size[0], h = size[1];
  if (w == 0 || h == 0 || std::max(w, h) > std::uint64_t(maxPixel) || answer.size() != sizeof size + w * h * 4) {
    return {};
  }
  QImage image(int(w), int(h), QImage::Format_ARGB32_Premultiplied);
  if (image.isNull()) return {};
  const unsigned char* rows = answer.data() + sizeof size;
  for (int y = 0; y < int(h); ++y) std::memcpy(image.scanLine(y), rows + std::size_t(y) * w * 4, w * 4);
  return image;
}

}  // namespace

SpawnedSVGRasterizer::SpawnedSVGRasterizer(std::string decoderPath)
    : decoderPath_(std::move(decoderPath)), present_(::access(decoderPath_.c_str(), X_OK) == 0) {
  if (!present_) qWarning("Tavolune: no SVG decoder at %s; SVG stills are not shown", decoderPath_.c_str());
}

std::string SpawnedSVGRasterizer::besideProgram(const std::string& programPath) {
  return (std::filesystem::path(programPath).parent_path() / decoderName).string();
}

SVGRasterizer::Result SpawnedSVGRasterizer::rasterize(const QByteArray& document, int maxPixel,
                                                       std::chrono::milliseconds timeLimit, std::stop_token stop) {
  if (!present_ || maxPixel <= 0 || maxPixel > svgdrawing::maxSide || document.isEmpty()) return {};
  if (stop.stop_requested()) return {Outcome::stopped, {}};
  const auto deadline = Clock::now() + timeLimit;

  Fd inRead, inWrite, outRead, outWrite;
  if (!makePipe(inRead, inWrite) || !makePipe(outRead, outWrite)) return {};
  Fd wake(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
  if (wake.fd < 0) return {};
  Child child;
  child.pid = spawnDecoder(decoderPath_, inRead.fd, outWrite.fd);
  if (child.pid <= 0) return {};
  inRead.reset();
  outWrite.reset();
  // Set before it has a byte to draw. It draws on one thread: the CPU limit
  // is a backstop behind the deadline, not the deadline itself.
  const auto seconds = std::chrono::ceil<std::chrono::seconds>(timeLimit).count();
  const rlim_t cpu = rlim_t(2 * seconds + 1);
  if (!limit(child.pid, RLIMIT_CORE, 0, 0) || !limit(child.pid, RLIMIT_AS, addressSpaceLimit, addressSpaceLimit) ||
      !limit(child.pid, RLIMIT_CPU, cpu, cpu + 1)) {
    return {};
  }
  // Readable when it exits (glibc's own declaration lacks C linkage in C++).
  Fd exited(int(::syscall(SYS_pidfd_open, child.pid, 0)));
  ::fcntl(inWrite.fd, F_SETFL, O_NONBLOCK);
  ::fcntl(outRead.fd, F_SETFL, O_NONBLOCK);
  std::stop_callback wakeOnStop(stop, [fd = wake.fd] {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(fd, &one, sizeof one);
  });

  const auto header = std::uint32_t(maxPixel);
  std::string_view pending[2] = {{reinterpret_cast<const char*>(&header), sizeof header},
                                 {document.constData(), std::size_t(document.size())}};
  int part = 0;
  const std::size_t most = 8 + std::size_t(maxPixel) * std::size_t(maxPixel) * 4;
  std::vector<unsigned char> answer;
  bool answered = false;  // the output reached its end
  NoPipeSignal noPipeSignal;
  while (!answered || (exited.fd >= 0 && !child.reaped)) {
    if (stop.stop_requested()) return {Outcome::stopped, {}};
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return {Outcome::overLimit, {}};
    pollfd fds[4];
    nfds_t count = 0;
    fds[count++] = {wake.fd, POLLIN, 0};
    const nfds_t writeAt = inWrite.fd >= 0 ? count : nfds_t(-1);
    if (inWrite.fd >= 0) fds[count++] = {inWrite.fd, POLLOUT, 0};
    const nfds_t readAt = !answered ? count : nfds_t(-1);
    if (!answered) fds[count++] = {outRead.fd, POLLIN, 0};
    const nfds_t exitAt = answered && exited.fd >= 0 ? count : nfds_t(-1);
    if (exitAt != nfds_t(-1)) fds[count++] = {exited.fd, POLLIN, 0};
    const int ready = ::poll(fds, count, int(std::min<long long>(left, 60'000)));
    if (ready < 0 && errno != EINTR) return {};
    if (ready <= 0) continue;
    if (writeAt != nfds_t(-1) && fds[writeAt].revents) {
      const ssize_t n = ::write(inWrite.fd, pending[part].data(), pending[part].size());
      if (n > 0) pending[part].remove_prefix(std::size_t(n));
      if (n < 0 && errno != EAGAIN && errno != EINTR) inWrite.reset();  // the decoder is gone
      while (inWrite.fd >= 0 && part < 2 && pending[part].empty()) ++part;
      if (part == 2) inWrite.reset();  // end of the document
    }
    if (readAt != nfds_t(-1) && fds[readAt].revents) {
      unsigned char chunk[65536];
      const ssize_t n = ::read(outRead.fd, chunk, sizeof chunk);
      if (n == 0) answered = true;
      if (n < 0 && errno != EAGAIN && errno != EINTR) return {};
      if (n > 0) {
        if (answer.size() + std::size_t(n) > most) return {};
        answer.insert(answer.end(), chunk, chunk + n);
      }
    }
    if (exitAt != nfds_t(-1) && fds[exitAt].revents) child.reap();
  }
  if (!child.reaped) child.reap();  // no pidfd: its output ended, so it is ending
  const int status = child.status;
  if (WIFSIGNALED(status)) return {Outcome::overLimit, {}};  // the CPU or memory limit, or a crash
  if (WIFEXITED(status) && WEXITSTATUS(status) == svgdrawing::outOfMemoryExitStatus) return {Outcome::overLimit, {}};
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return {};
  QImage image = imageFrom(answer, maxPixel);
  if (image.isNull()) return {};
  return {Outcome::drawn, std::move(image)};
}

}  // namespace tavolune
