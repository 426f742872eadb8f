#include "core/persistence/LibraryStore.hpp"

#include "core/base/FastJson.hpp"
#include "core/persistence/Files.hpp"
#include "core/persistence/TavolunePaths.hpp"

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

// The library names the user's wallets and labels.
constexpr mode_t privateMode = 0600;

[[noreturn]] void throwErrno(const std::string& what) { throw std::system_error(errno, std::generic_category(), what); }

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
  files::removeStaleTemporaries(url_);
  std::string bytes;
  switch (files::readWhole(url_, bytes)) {
    case files::ReadResult::missing: rejectedOnDisk_ = false; return LibraryState();
    case files::ReadResult::unreadable: rejectedOnDisk_ = true; return LibraryState();
    case files::ReadResult::ok: break;
  }
  try {
    // Parsed where it was read, and let go before the state is built.
    std::optional<LibraryState> fast;
    if (auto doc = json::FastDocument::parseInPlace(bytes)) {
      bytes = std::string();
      fast = LibraryState::fromJson(doc->root());
    }
    // What the fast reader refused goes straight to the tree, not through
    // a second fast parse.
    LibraryState state = fast ? std::move(*fast) : LibraryState::fromJson(json::parseWhole(bytes));
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
      // An older program wrote it readable to all.
      ::chmod(candidate.c_str(), privateMode);
      lastRejectedBackup_ = candidate;
      break;
    }
  }
  rejectedOnDisk_ = false;
}

void LibraryStore::save(const LibraryState& state) {
  std::lock_guard lock(mutex_);
  const fs::path dir = url_.parent_path().empty() ? fs::path(".") : url_.parent_path();
  files::createPrivateDirectories(dir);  // throws filesystem_error
  // The file this store refused must not disappear under the new one.
  files::writeAtomically(url_, state.encode(),
                         {.mode = privateMode,
                          .beforeReplace = [this] {
                            if (rejectedOnDisk_) moveRejectedAside();
                          },
                          .partWritten = partWritten_});
}

std::optional<fs::path> LibraryStore::lastRejectedBackup() const {
  std::lock_guard lock(mutex_);
  return lastRejectedBackup_;
}

}  // namespace tavolune
