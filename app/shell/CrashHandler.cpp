#include "app/shell/CrashHandler.hpp"

#include "core/persistence/Files.hpp"

#include <dlfcn.h>
#include <execinfo.h>
#include <pthread.h>
#include <sys/mman.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <new>
#include <cerrno>
#include <cstring>
#include <filesystem>

namespace tavolune::CrashHandler {
namespace {

constexpr std::array<int, 7> fatalSignals{SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT, SIGTRAP, SIGSYS};

// Everything the handler needs is laid out before any crash: no allocation
// and no locale or stdio inside it.
char folder[4096];
char version[256];
alignas(16) char alternateStack[64 * 1024];

// A fixed-capacity text that only appends.
struct Text {
  char data[512];
  std::size_t size = 0;

  void add(const char* s) {
    while (*s && size + 1 < sizeof data) data[size++] = *s++;
    data[size] = '\0';
  }
  void addNumber(unsigned long long n, int width = 1) {
    char digits[24];
    int count = 0;
    do {
      digits[count++] = static_cast<char>('0' + n % 10);
      n /= 10;
    } while (n > 0 && count < 24);
    while (count < width && count < 24) digits[count++] = '0';
    while (count > 0 && size + 1 < sizeof data) data[size++] = digits[--count];
    data[size] = '\0';
  }
};

const char* signalName(int signo) {
  switch (signo) {
    case SIGSEGV: return "SIGSEGV";
    case SIGBUS: return "SIGBUS";
    case SIGILL: return "SIGILL";
    case SIGFPE: return "SIGFPE";
    case SIGABRT: return "SIGABRT";
    case SIGTRAP: return "SIGTRAP";
    case SIGSYS: return "SIGSYS";
    default: return "signal";
  }
}

// Days since 1970-01-01 to a civil date (Howard Hinnant's algorithm): plain
// arithmetic, safe in a signal handler where gmtime_r is not.
void civilFromDays(long long z, long long& y, unsigned& m, unsigned& d) {
  z += 719468;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  y = static_cast<long long>(yoe) + era * 400 + (m <= 2);
}

void writeAll(int fd, const char* s, std::size_t n) {
  while (n > 0) {
    const ssize_t written = ::write(fd, s, n);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return;
    s += written;
    n -= static_cast<std::size_t>(written);
  }
}

void writeReport(int signo, const siginfo_t* info) {
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  const long long seconds = now.tv_sec;
  long long year = 1970;
  unsigned month = 1, day = 1;
  civilFromDays(seconds >= 0 ? seconds / 86400 : (seconds - 86399) / 86400, year, month, day);
  const long long inDay = ((seconds % 86400) + 86400) % 86400;

  Text stamp;
  stamp.addNumber(static_cast<unsigned long long>(year > 0 ? year : 0), 4);
  stamp.add("-");
  stamp.addNumber(month, 2);
  stamp.add("-");
  stamp.addNumber(day, 2);
  stamp.add("-");
  stamp.addNumber(static_cast<unsigned long long>(inDay / 3600), 2);
  stamp.addNumber(static_cast<unsigned long long>(inDay / 60 % 60), 2);
  stamp.addNumber(static_cast<unsigned long long>(inDay % 60), 2);

  char path[sizeof folder + 128];
  std::size_t length = 0;
  for (const char* s = folder; *s && length + 1 < sizeof path; ++s) path[length++] = *s;
  Text name;
  name.add("/Tavolune-");
  name.add(stamp.data);
  name.add("-");
  name.addNumber(static_cast<unsigned long long>(::getpid()));
  name.add(".crash");
  for (const char* s = name.data; *s && length + 1 < sizeof path; ++s) path[length++] = *s;
  path[length] = '\0';

  const int fd = ::open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return;
  Text head;
  head.add("Tavolune ");
  head.add(version);
  head.add(" crashed\nSignal: ");
  head.addNumber(static_cast<unsigned long long>(signo));
  head.add(" (");
  head.add(signalName(signo));
  head.add(")\nCode: ");
  head.addNumber(static_cast<unsigned long long>(info ? info->si_code & 0xffff : 0));
  head.add("\nTime: ");
  head.add(stamp.data);
  head.add(" UTC\nProcess: ");
  head.addNumber(static_cast<unsigned long long>(::getpid()));
  head.add("\nBacktrace:\n");
  writeAll(fd, head.data, head.size);
  void* frames[64];
  const int count = ::backtrace(frames, 64);
  ::backtrace_symbols_fd(frames, count, fd);
  ::close(fd);
}

void onFatalSignal(int signo, siginfo_t* info, void*) {
  const int savedErrno = errno;
  writeReport(signo, info);
  errno = savedErrno;
  // Die of the same signal, with its default action (core dump, exit status).
  struct sigaction fallback {};
  fallback.sa_handler = SIG_DFL;
  ::sigemptyset(&fallback.sa_mask);
  ::sigaction(signo, &fallback, nullptr);
  ::raise(signo);
}

// Threads started after install() get an alternate stack of their own: a
// stack overflow on a worker must still find room for the handler.
std::atomic<bool> threadStacks{false};
constexpr std::size_t threadStackSize = 64 * 1024;

class ThreadSignalStack {
 public:
  ThreadSignalStack() {
    void* memory = ::mmap(nullptr, threadStackSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) return;
    stack_t stack{};
    stack.ss_sp = memory;
    stack.ss_size = threadStackSize;
    if (::sigaltstack(&stack, nullptr) != 0) {
      ::munmap(memory, threadStackSize);
      return;
    }
    memory_ = memory;
  }
  ~ThreadSignalStack() {
    if (!memory_) return;
    stack_t current{};
    // Only ours is taken down; whatever the thread set since stays.
    if (::sigaltstack(nullptr, &current) == 0 && current.ss_sp == memory_) {
      stack_t off{};
      off.ss_flags = SS_DISABLE;
      ::sigaltstack(&off, nullptr);
      ::munmap(memory_, threadStackSize);
    }
  }
  ThreadSignalStack(const ThreadSignalStack&) = delete;
  ThreadSignalStack& operator=(const ThreadSignalStack&) = delete;

 private:
  void* memory_ = nullptr;
};

struct ThreadStart {
  void* (*routine)(void*);
  void* argument;
};

void* startWithSignalStack(void* raw) {
  const ThreadStart start = *static_cast<ThreadStart*>(raw);
  delete static_cast<ThreadStart*>(raw);
  // Also taken down when the thread ends through pthread_exit (unwinding).
  ThreadSignalStack stack;
  return start.routine(start.argument);
}

bool copy(char* to, std::size_t capacity, const std::string& from) {
  if (from.size() + 1 > capacity) return false;
  std::memcpy(to, from.c_str(), from.size() + 1);
  return true;
}

}  // namespace

bool install(const std::string& crashesFolder, const std::string& versionText) {
  std::error_code error;
  files::createPrivateDirectories(crashesFolder, error);
  if (!std::filesystem::is_directory(crashesFolder, error)) return false;
  if (!copy(folder, sizeof folder, crashesFolder)) return false;
  if (!copy(version, sizeof version, versionText.substr(0, sizeof version - 1))) return false;

  // backtrace() loads its unwinder on first use, which allocates: do that now.
  void* warmUp[1];
  ::backtrace(warmUp, 1);

  stack_t stack{};
  stack.ss_sp = alternateStack;
  stack.ss_size = sizeof alternateStack;
  if (::sigaltstack(&stack, nullptr) != 0) return false;

  threadStacks.store(true);

  struct sigaction action {};
  action.sa_sigaction = onFatalSignal;
  action.sa_flags = SA_SIGINFO | SA_ONSTACK;
  ::sigemptyset(&action.sa_mask);
  bool ok = true;
  for (int signo : fatalSignals) ok = ::sigaction(signo, &action, nullptr) == 0 && ok;
  return ok;
}

}  // namespace tavolune::CrashHandler

// Every thread of the process starts here: ours (std::thread, QThreadPool,
// QtConcurrent) and those of the libraries we load. Defined in the program,
// it comes before the C library's in symbol lookup.
extern "C" __attribute__((visibility("default"))) int pthread_create(pthread_t* thread, const pthread_attr_t* attributes,
                                                                     void* (*routine)(void*), void* argument) {
  using Create = int (*)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);
  static const auto next = reinterpret_cast<Create>(::dlsym(RTLD_NEXT, "pthread_create"));
  if (!next) return EAGAIN;
  if (!tavolune::CrashHandler::threadStacks.load()) return next(thread, attributes, routine, argument);
  auto* start = new (std::nothrow) tavolune::CrashHandler::ThreadStart{routine, argument};
  if (!start) return EAGAIN;
  const int result = next(thread, attributes, &tavolune::CrashHandler::startWithSignalStack, start);
  if (result != 0) delete start;
  return result;
}
