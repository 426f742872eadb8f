#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <sys/types.h>

// Whole-file reads and atomic replacement, shared by every store that keeps
// a file: a reader sees either the old file or the new one, whole.
namespace tavolune::files {

// Owns a file descriptor and closes it.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor();
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }
  int release();

 private:
  int fd_;
};

enum class ReadResult { ok, missing, unreadable };

// The whole regular file; with touch, its modification time becomes now.
ReadResult readWhole(const std::filesystem::path& path, std::string& out, bool touch = false);
// The regular file open at fd, from where it stands to its end.
ReadResult readWhole(int fd, std::string& out);

struct AtomicWrite {
  mode_t mode = 0644;
  // Flushes the file and its folder to disk, so a crash cannot leave an
  // empty or half-written file behind the new name.
  bool durable = true;
  // Called after the new file is complete, just before it replaces the old.
  std::function<void()> beforeReplace{};
  // Called once half of the bytes are in the temporary file: where a test
  // ends the writer to see an interrupted write.
  std::function<void()> partWritten{};
};

// Temporary files are named with this prefix beside the target.
std::string temporaryPrefix(const std::filesystem::path& target);

// Writes bytes to a temporary file beside target and renames it over
// target. Throws std::system_error; on failure the old file is untouched and
// no temporary file is left.
void writeAtomically(const std::filesystem::path& target, std::string_view bytes, const AtomicWrite& options = {});

// Deletes temporary files that an interrupted write left beside target.
void removeStaleTemporaries(const std::filesystem::path& target);

// create_directories, but each folder it creates is 0700: the data folder
// names the user's wallets. Folders that exist keep their mode. Throws
// std::filesystem::filesystem_error.
void createPrivateDirectories(const std::filesystem::path& dir);
void createPrivateDirectories(const std::filesystem::path& dir, std::error_code& error);

// createPrivateDirectories, and the folder itself narrowed to 0700 when it
// is the user's own and an earlier build left it open to others: for the
// folders whose files say what the user collects.
void createPrivateFolder(const std::filesystem::path& dir, std::error_code& error);

}  // namespace tavolune::files
