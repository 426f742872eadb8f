#include "core/media/MediaCache.hpp"

#include "core/persistence/Files.hpp"
#include "core/persistence/TavolunePaths.hpp"
#include "core/text/Text.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <limits>
#include <unordered_map>
#include <utility>
#include <vector>

namespace tavolune {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view binExt = "bin";
constexpr std::string_view mimeExt = "mime";
constexpr std::string_view keyExt = "key";

std::optional<Bytes> readAll(int fd) {
  std::string out;
  if (files::readWhole(fd, out) != files::ReadResult::ok) return std::nullopt;
  return out;
}

// A cache may lose an entry but never serve half of one; it need not
// survive a crash, so nothing is flushed to disk. What the user collects is
// theirs alone.
bool writeAtomically(const fs::path& target, std::string_view bytes) {
  try {
    files::writeAtomically(target, bytes, {.mode = 0600, .durable = false});
    return true;
  } catch (const std::system_error&) {
    return false;
  }
}

bool removed(const fs::path& path) { return ::unlink(path.c_str()) == 0 || errno == ENOENT; }

std::int64_t sizeOf(const fs::path& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) ? static_cast<std::int64_t>(st.st_size) : 0;
}

struct Listed {
  std::string name;
  std::int64_t size = 0;
  std::optional<struct timespec> modified;
};

// Every entry directly inside dir, hidden ones included; empty when the
// folder cannot be listed.
std::vector<Listed> list(const fs::path& dir) {
  std::vector<Listed> out;
  DIR* d = ::opendir(dir.c_str());
  if (!d) return out;
  const int dfd = ::dirfd(d);
  while (auto* e = ::readdir(d)) {
    std::string_view name = e->d_name;
    if (name == "." || name == "..") continue;
    Listed item{std::string(name), 0, std::nullopt};
    struct stat st {};
    if (::fstatat(dfd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0) {
      if (S_ISREG(st.st_mode)) item.size = static_cast<std::int64_t>(st.st_size);
      item.modified = st.st_mtim;
    }
    out.push_back(std::move(item));
  }
  ::closedir(d);
  return out;
}

// "<16 hex digits>.bin", ".mime" or ".key": the hash the file belongs to.
std::optional<std::string_view> entryKey(std::string_view name) {
  auto dot = name.find('.');
  if (dot != 16) return std::nullopt;
  auto ext = name.substr(dot + 1);
  if (ext != binExt && ext != mimeExt && ext != keyExt) return std::nullopt;
  auto stem = name.substr(0, dot);
  if (!hex::isDigits(stem)) return std::nullopt;
  return stem;
}

bool earlier(const std::optional<struct timespec>& a, const std::optional<struct timespec>& b) {
  if (!b) return false;
  if (!a) return true;
  return a->tv_sec != b->tv_sec ? a->tv_sec < b->tv_sec : a->tv_nsec < b->tv_nsec;
}

}  // namespace

fs::path MediaCache::defaultDirectory() { return TavolunePaths::data() / "Media"; }

MediaCache::MediaCache(fs::path directory, std::int64_t limitBytes, Hash hash)
    : directory_(std::move(directory)), hash_(hash), limitBytes_(limitBytes) {
  std::error_code ec;
  files::createPrivateFolder(directory_, ec);
}

std::string MediaCache::key(std::string_view s) {
  std::uint64_t h = 0xcbf29ce484222325ULL;
  for (unsigned char c : s) {
    h ^= c;
    h *= 0x100000001b3ULL;
  }
  char buf[17];
  std::snprintf(buf, sizeof buf, "%016" PRIx64, h);
  return std::string(buf, 16);
}

fs::path MediaCache::fileURL(std::string_view s, std::string_view ext) const {
  std::string name = hash_(s);
  name += '.';
  name += ext;
  return directory_ / name;
}

// Stores write the key file last and, taking the place of another key,
// remove it first: while the key file names s, the file at the path is s's.
// Opening the file before reading the key, and finding the same file at the
// path afterwards, proves the open file was s's throughout.
int MediaCache::openOwned(std::string_view s, std::string_view ext) const {
  const fs::path path = fileURL(s, ext);
  files::FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) return -1;
  struct stat opened {};
  if (::fstat(fd.get(), &opened) != 0 || !S_ISREG(opened.st_mode)) return -1;
  std::string owner;
  if (files::readWhole(fileURL(s, keyExt), owner) != files::ReadResult::ok || owner != s) return -1;
  struct stat there {};
  if (::stat(path.c_str(), &there) != 0 || there.st_ino != opened.st_ino || there.st_dev != opened.st_dev) return -1;
  return fd.release();
}

bool MediaCache::contains(std::string_view s) const {
  files::FileDescriptor fd(openOwned(s, binExt));
  return fd.get() >= 0;
}

std::optional<Bytes> MediaCache::data(std::string_view s) const {
  files::FileDescriptor fd(openFile(s));
  if (fd.get() < 0) return std::nullopt;
  return readAll(fd.get());
}

int MediaCache::openFile(std::string_view s) const {
  const int fd = openOwned(s, binExt);
  if (fd < 0) return -1;
  ::futimens(fd, nullptr);
  // The type belongs to the same entry: keep its age in step so pruning
  // never leaves a much-used file without its type.
  ::utimensat(AT_FDCWD, fileURL(s, mimeExt).c_str(), nullptr, 0);
  return fd;
}

std::optional<std::string> MediaCache::mime(std::string_view s) const {
  files::FileDescriptor fd(openOwned(s, mimeExt));
  if (fd.get() < 0) return std::nullopt;
  auto bytes = readAll(fd.get());
  if (!bytes || !text::isValidUTF8(*bytes)) return std::nullopt;
  return bytes;
}

void MediaCache::store(std::string_view bytes, std::string_view s, const std::optional<std::string>& mime) {
  std::lock_guard guard(lock_);
  std::error_code ec;
  files::createPrivateDirectories(directory_, ec);  // the folder may have been removed under us
  if (!knownSize_) knownSize_ = totalSize();
  const fs::path bin = fileURL(s, binExt);
  const fs::path type = fileURL(s, mimeExt);
  const fs::path owner = fileURL(s, keyExt);
  const std::int64_t before = sizeOf(bin) + sizeOf(type) + sizeOf(owner);

  std::string current;
  const auto read = files::readWhole(owner, current);
  const bool own = read == files::ReadResult::ok && current == s;
  if (!own) {
    // Another key's whole entry stays; so does one whose owner can't be told.
    if (read == files::ReadResult::unreadable) return;
    if (read == files::ReadResult::ok && ::access(bin.c_str(), F_OK) == 0) return;
    // What is left is no one's: a key without bytes, an entry written before
    // entries named their key, or an interrupted store. The old type must
    // not pass for ours.
    if (!removed(owner) || !removed(type)) return;
  }
  const bool written = writeAtomically(bin, bytes);
  if (mime) writeAtomically(type, *mime);
  if (!own && written) writeAtomically(owner, s);
  *knownSize_ += sizeOf(bin) + sizeOf(type) + sizeOf(owner) - before;
  // A live page may store many files between the prunes at start and after
  // syncs; the folder must not grow past its limit meanwhile.
  if (*knownSize_ > limitBytes_.load()) pruneLocked();
}

std::int64_t MediaCache::totalSize() const {
  std::int64_t total = 0;
  for (const auto& item : list(directory_)) total += item.size;
  return total;
}

void MediaCache::prune() {
  std::lock_guard guard(lock_);
  pruneLocked();
}

void MediaCache::pruneLocked() {
  struct Entry {
    std::vector<std::string> names;
    std::int64_t size = 0;
    std::optional<struct timespec> modified;
    bool dated = false;  // at least one file's date was read
  };
  std::vector<Entry> entries;
  std::unordered_map<std::string, std::size_t> byKey;
  std::int64_t total = 0;
  for (auto& item : list(directory_)) {
    total += item.size;
    std::size_t index = entries.size();
    if (auto k = entryKey(item.name)) {
      auto [it, inserted] = byKey.try_emplace(std::string(*k), entries.size());
      index = it->second;
      if (inserted) entries.emplace_back();
    } else {
      entries.emplace_back();
    }
    auto& entry = entries[index];
    entry.size += item.size;
    // An entry is as recent as its most recently used file.
    if (item.modified && (!entry.dated || earlier(entry.modified, item.modified))) entry.modified = item.modified;
    entry.dated = entry.dated || item.modified.has_value();
    entry.names.push_back(std::move(item.name));
  }

  const std::int64_t limit = limitBytes_.load();
  knownSize_ = total;
  if (total <= limit) return;
  const std::int64_t target = limit / 10 * 8;

  std::stable_sort(entries.begin(), entries.end(),
                   [](const Entry& a, const Entry& b) { return earlier(a.modified, b.modified); });
  for (const auto& entry : entries) {
    if (total <= target) break;
    for (const auto& name : entry.names) {
      std::error_code ec;
      auto path = directory_ / name;
      if (::unlink(path.c_str()) != 0 && errno == EISDIR) fs::remove_all(path, ec);
    }
    // Counted as gone even when removal failed, so pruning always ends.
    total -= entry.size;
  }
  knownSize_ = total;
}

void MediaCache::clear() {
  std::lock_guard guard(lock_);
  knownSize_.reset();
  std::error_code ec;
  fs::remove_all(directory_, ec);
  files::createPrivateDirectories(directory_, ec);
}

}  // namespace tavolune
