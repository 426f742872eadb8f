#include "persistence/LibraryStore.hpp"

#include "persistence/TavolunePaths.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>
#include <system_error>

namespace tavolune {

namespace fs = std::filesystem;

namespace {

[[noreturn]] void throwErrno(const std::string& what) { throw std::system_error(errno, std::generic_category(), what); }

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }
  int release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

enum class ReadResult { ok, missing, unreadable };

ReadResult readWholeFile(const fs::path& path, std::string& out) {
  FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) return errno == ENOENT ? ReadResult::missing : ReadResult::unreadable;
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return ReadResult::unreadable;
  out.clear();
  out.resize(static_cast<std::size_t>(st.st_size));
  std::size_t filled = 0;
  for (;;) {
    if (filled == out.size()) out.resize(out.size() + 65536);  // the file may have grown
    ssize_t n = ::read(fd.get(), out.data() + filled, out.size() - filled);
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

void writeAll(int fd, const std::string& bytes, const fs::path& path) {
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

std::string temporaryPrefix(const fs::path& url) { return "." + url.filename().string() + ".tmp-"; }

void fsyncDirectory(const fs::path& dir) {
  FileDescriptor fd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd.get() < 0) throwErrno("cannot open folder " + dir.string());
  if (::fsync(fd.get()) != 0) throwErrno("cannot flush folder " + dir.string());
}

// Temporary files of saves that a crash interrupted.
void removeStaleTemporaries(const fs::path& url) {
  std::error_code ec;
  const std::string prefix = temporaryPrefix(url);
  for (fs::directory_iterator it(url.parent_path().empty() ? fs::path(".") : url.parent_path(), ec), end;
       !ec && it != end; it.increment(ec)) {
    if (it->path().filename().string().starts_with(prefix)) fs::remove(it->path(), ec);
  }
}

// rename() that refuses to replace an existing file.
bool renameNoReplace(const fs::path& from, const fs::path& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno == EEXIST) return false;
  if (errno != EINVAL && errno != ENOSYS) throwErrno("cannot move " + from.string() + " aside");
  // Folders that do not support the flag: a hard link cannot replace either.
  if (::link(from.c_str(), to.c_str()) != 0) {
    if (errno == EEXIST) return false;
    throwErrno("cannot move " + from.string() + " aside");
  }
  ::unlink(from.c_str());
  return true;
}

}  // namespace

fs::path LibraryStore::defaultURL() { return TavolunePaths::data() / "library.json"; }

fs::path LibraryStore::rejectedBackupName(const fs::path& url, Date at) {
  std::string stamp = iso8601::format(at);  // 2024-05-01T12:00:00Z
  std::erase(stamp, '-');
  std::erase(stamp, ':');
  return url.parent_path() / (url.stem().string() + ".rejected-" + stamp + url.extension().string());
}

LibraryState LibraryStore::load() {
  std::lock_guard lock(mutex_);
  removeStaleTemporaries(url_);
  std::string bytes;
  switch (readWholeFile(url_, bytes)) {
    case ReadResult::missing: rejectedOnDisk_ = false; return LibraryState();
    case ReadResult::unreadable: rejectedOnDisk_ = true; return LibraryState();
    case ReadResult::ok: break;
  }
  try {
    LibraryState state = LibraryState::decode(bytes);
    rejectedOnDisk_ = false;
    return state;
  } catch (const std::exception&) {
    rejectedOnDisk_ = true;
    return LibraryState();
  }
}

void LibraryStore::moveRejectedAside() {
  std::error_code ec;
  if (!fs::exists(fs::symlink_status(url_, ec))) {
    rejectedOnDisk_ = false;
    return;
  }
  const fs::path base = rejectedBackupName(url_, now());
  for (int n = 1;; ++n) {
    fs::path candidate = base;
    if (n > 1) {
      candidate = base.parent_path() /
                  (base.stem().string() + "-" + std::to_string(n) + base.extension().string());
    }
    if (renameNoReplace(url_, candidate)) {
      lastRejectedBackup_ = candidate;
      break;
    }
  }
  rejectedOnDisk_ = false;
}

void LibraryStore::save(const LibraryState& state) {
  std::lock_guard lock(mutex_);
  const fs::path dir = url_.parent_path().empty() ? fs::path(".") : url_.parent_path();
  fs::create_directories(dir);  // throws filesystem_error
  const std::string bytes = state.encode();

  std::string pattern = (dir / temporaryPrefix(url_)).string() + "XXXXXX";
  FileDescriptor fd(::mkostemp(pattern.data(), O_CLOEXEC));
  if (fd.get() < 0) throwErrno("cannot create a temporary file in " + dir.string());
  const fs::path temporary = pattern;
  try {
    if (::fchmod(fd.get(), 0644) != 0) throwErrno("cannot set the mode of " + temporary.string());
    writeAll(fd.get(), bytes, temporary);
    if (::fsync(fd.get()) != 0) throwErrno("cannot flush " + temporary.string());
    if (::close(fd.release()) != 0) throwErrno("cannot close " + temporary.string());
    // The file this store refused must not disappear under the new one.
    if (rejectedOnDisk_) moveRejectedAside();
    if (::rename(temporary.c_str(), url_.c_str()) != 0) throwErrno("cannot replace " + url_.string());
  } catch (...) {
    ::unlink(temporary.c_str());
    throw;
  }
  fsyncDirectory(dir);
}

std::optional<fs::path> LibraryStore::lastRejectedBackup() const {
  std::lock_guard lock(mutex_);
  return lastRejectedBackup_;
}

}  // namespace tavolune
