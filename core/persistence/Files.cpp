#include "core/persistence/Files.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <utility>

namespace tavolune::files {

namespace fs = std::filesystem;

namespace {

[[noreturn]] void throwErrno(const std::string& what) { throw std::system_error(errno, std::generic_category(), what); }

void writeAll(int fd, std::string_view bytes, const fs::path& path) {
  std::size_t written = 0;
  while (written < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
    if (n < 0) {
      if (errno == EINTR) continue;
      throwErrno("cannot write " + path.string());
    }
    written += static_cast<std::size_t>(n);
  }
}

void fsyncDirectory(const fs::path& dir) {
  FileDescriptor fd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd.get() < 0) throwErrno("cannot open folder " + dir.string());
  if (::fsync(fd.get()) != 0) throwErrno("cannot flush folder " + dir.string());
}

fs::path folderOf(const fs::path& target) { return target.parent_path().empty() ? fs::path(".") : target.parent_path(); }

}  // namespace

FileDescriptor::~FileDescriptor() {
  if (fd_ >= 0) ::close(fd_);
}

int FileDescriptor::release() { return std::exchange(fd_, -1); }

ReadResult readWhole(const fs::path& path, std::string& out, bool touch) {
  FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) return errno == ENOENT ? ReadResult::missing : ReadResult::unreadable;
  const ReadResult read = readWhole(fd.get(), out);
  if (read == ReadResult::ok && touch) ::futimens(fd.get(), nullptr);
  return read;
}

ReadResult readWhole(int fd, std::string& out) {
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return ReadResult::unreadable;
  out.clear();
  // Spare room lets a parser that reads a little past the end use the text
  // where it lies.
  out.reserve(static_cast<std::size_t>(st.st_size) + 64);
  out.resize(static_cast<std::size_t>(st.st_size));
  std::size_t filled = 0;
  for (;;) {
    if (filled == out.size()) out.resize(out.size() + 65536);  // the file may have grown
    ssize_t n = ::read(fd, out.data() + filled, out.size() - filled);
    if (n < 0) {
      if (errno == EINTR) continue;
      return ReadResult::unreadable;
    }
    if (n == 0) break;
    filled += static_cast<std::size_t>(n);
  }
  out.resize(filled);
  return ReadResult::ok;
}

std::string temporaryPrefix(const fs::path& target) { return "." + target.filename().string() + ".tmp-"; }

void writeAtomically(const fs::path& target, std::string_view bytes, const AtomicWrite& options) {
  const fs::path dir = folderOf(target);
  std::string pattern = (dir / temporaryPrefix(target)).string() + "XXXXXX";
  FileDescriptor fd(::mkostemp(pattern.data(), O_CLOEXEC));
  if (fd.get() < 0) throwErrno("cannot create a temporary file in " + dir.string());
  const fs::path temporary = pattern;
  // Locked until it has replaced the target, so that a load elsewhere (another
  // store, another process) does not take it for a dead write's leftover.
  // The second descriptor keeps the lock past the checked close below.
  FileDescriptor held(::dup(fd.get()));
  try {
    if (held.get() < 0 || ::flock(held.get(), LOCK_EX) != 0) throwErrno("cannot lock " + temporary.string());
    if (::fchmod(fd.get(), options.mode) != 0) throwErrno("cannot set the mode of " + temporary.string());
    if (options.partWritten) {
      const std::size_t half = bytes.size() / 2;
      writeAll(fd.get(), bytes.substr(0, half), temporary);
      options.partWritten();
      writeAll(fd.get(), bytes.substr(half), temporary);
    } else {
      writeAll(fd.get(), bytes, temporary);
    }
    if (options.durable && ::fsync(fd.get()) != 0) throwErrno("cannot flush " + temporary.string());
    if (::close(fd.release()) != 0) throwErrno("cannot close " + temporary.string());
    if (options.beforeReplace) options.beforeReplace();
    if (::rename(temporary.c_str(), target.c_str()) != 0) throwErrno("cannot replace " + target.string());
  } catch (...) {
    ::unlink(temporary.c_str());
    throw;
  }
  if (options.durable) fsyncDirectory(dir);
}

void removeStaleTemporaries(const fs::path& target) {
  std::error_code ec;
  const std::string prefix = temporaryPrefix(target);
  for (fs::directory_iterator it(folderOf(target), ec), end; !ec && it != end; it.increment(ec)) {
    if (!it->path().filename().string().starts_with(prefix)) continue;
    // A write under way holds its lock; a dead writer's lock died with it.
    FileDescriptor fd(::open(it->path().c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
    if (fd.get() >= 0 && ::flock(fd.get(), LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) continue;
    std::error_code ignored;
    fs::remove(it->path(), ignored);
  }
}

void createPrivateDirectories(const fs::path& dir, std::error_code& error) {
  error.clear();
  if (dir.empty() || fs::is_directory(dir, error)) return;
  error.clear();
  const fs::path parent = dir.parent_path();
  if (!parent.empty() && parent != dir) {
    createPrivateDirectories(parent, error);
    if (error) return;
  }
  if (::mkdir(dir.c_str(), 0700) == 0 || errno == EEXIST) {
    if (!fs::is_directory(dir, error) && !error) error = std::make_error_code(std::errc::not_a_directory);
    return;
  }
  error = std::error_code(errno, std::generic_category());
}

void createPrivateFolder(const fs::path& dir, std::error_code& error) {
  createPrivateDirectories(dir, error);
  if (error) return;
  struct stat st {};
  if (::lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()) return;
  if ((st.st_mode & 077) != 0 && ::chmod(dir.c_str(), 0700) != 0) error = std::error_code(errno, std::generic_category());
}

void createPrivateDirectories(const fs::path& dir) {
  std::error_code error;
  createPrivateDirectories(dir, error);
  if (error) throw fs::filesystem_error("cannot create folder", dir, error);
}

}  // namespace tavolune::files
