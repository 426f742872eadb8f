#pragma once

#include "core/model/LibraryState.hpp"

#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>

namespace tavolune {

// Loads and saves "library.json". Operations run one at a time.
class LibraryStore {
 public:
  // partWritten, if given, runs inside each save with the new file half
  // written (see files::AtomicWrite).
  explicit LibraryStore(std::filesystem::path url, std::function<void()> partWritten = {})
      : url_(std::move(url)), partWritten_(std::move(partWritten)) {}

  // TavolunePaths::data() / "library.json".
  static std::filesystem::path defaultURL();

  const std::filesystem::path& url() const { return url_; }

  // Never fails: a missing, unreadable or rejected file gives the empty
  // library. A rejected or unreadable file is kept: the next save first
  // moves it aside (see rejectedBackupName).
  LibraryState load();

  // Atomic: a temporary file in the same folder is written and flushed,
  // renamed over the old file, and the folder is flushed, so a crash leaves
  // either the old or the new file whole. Throws std::system_error (or a
  // filesystem error) and leaves the old file as it was.
  void save(const LibraryState& state);

  // Where the last save moved a rejected file, if it did.
  std::optional<std::filesystem::path> lastRejectedBackup() const;

  // "library.rejected-20240501T120000Z.json" beside the file; a "-2", "-3"...
  // is added before the extension when that name is taken.
  static std::filesystem::path rejectedBackupName(const std::filesystem::path& url, Date at);

 private:
  void moveRejectedAside();

  const std::filesystem::path url_;
  const std::function<void()> partWritten_;
  mutable std::mutex mutex_;
  bool rejectedOnDisk_ = false;  // the file at url_ was refused by the last load
  std::optional<std::filesystem::path> lastRejectedBackup_;
};

}  // namespace tavolune
