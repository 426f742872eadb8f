#pragma once

#include "core/media/Bytes.hpp"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace tavolune {

// The on-disk store of fetched media. A key string maps to "<hash>.bin"
// with the bytes, "<hash>.mime" with the MIME type when one was given, and
// "<hash>.key" with the key string itself; the files form one entry. The
// hash is short and pages choose some keys, so an entry answers only for
// the key it was stored under, and a store never overwrites another key's
// entry (it is simply not cached). prune() enforces the byte limit,
// evicting least recently read entries first; a store that takes the
// folder past the limit prunes at once, on the storing thread, so the
// folder exceeds its limit by at most the one entry being stored.
//
// Thread-safe: store, prune and clear serialise on one lock; reads take
// none and rely on atomic replacement of whole files.
class MediaCache {
 public:
  // Creates the folder when missing (0700, its files 0600: they say what
  // the user collects) and narrows one an earlier build left open; a
  // failure here only makes later writes fail.
  // hash names the files; tests give one that collides.
  using Hash = std::string (*)(std::string_view);
  MediaCache(std::filesystem::path directory, std::int64_t limitBytes, Hash hash = &MediaCache::key);

  MediaCache(const MediaCache&) = delete;
  MediaCache& operator=(const MediaCache&) = delete;

  // The data directory's "Media" folder.
  static std::filesystem::path defaultDirectory();

  // 64-bit FNV-1a of the UTF-8 bytes as 16 lower-case hex digits.
  static std::string key(std::string_view s);

  const std::filesystem::path& directory() const { return directory_; }
  // Where the entry's file would lie; the disk is not consulted, so the file
  // there may belong to another key (contains() tells).
  std::filesystem::path fileURL(std::string_view s, std::string_view ext) const;

  std::int64_t limitBytes() const { return limitBytes_.load(); }
  void setLimitBytes(std::int64_t limit) { limitBytes_.store(limit); }

  bool contains(std::string_view s) const;
  // The stored bytes; a hit marks the whole entry as just used.
  std::optional<Bytes> data(std::string_view s) const;
  // The stored bytes' file opened for reading, marking the entry as just
  // used; -1 when absent. The caller closes it. Reads nothing, and a prune
  // meanwhile leaves the open file whole.
  int openFile(std::string_view s) const;
  // The stored MIME type as written; nothing when absent or not UTF-8.
  std::optional<std::string> mime(std::string_view s) const;

  // Replaces the bytes, and the type when one is given (without one an
  // older type of the same key stays), then prunes when over the limit.
  // Failures are ignored: the cache is best effort.
  void store(std::string_view bytes, std::string_view s, const std::optional<std::string>& mime);

  // Bytes of everything directly inside the folder.
  std::int64_t totalSize() const;

  // Over the limit: removes entries, oldest use first, until at most
  // floor(limit / 10) * 8 bytes remain.
  void prune();

  // Empties the folder (it stays in place).
  void clear();

 private:
  std::filesystem::path directory_;
  Hash hash_;
  void pruneLocked();
  // The entry's file with ext opened for reading when the entry is s's; -1
  // otherwise.
  int openOwned(std::string_view s, std::string_view ext) const;

  std::atomic<std::int64_t> limitBytes_;
  mutable std::mutex lock_;
  // What stores and prunes know the folder to hold; listed afresh on the
  // first store. Others may write there too, so it is only an estimate.
  std::optional<std::int64_t> knownSize_;
};

}  // namespace tavolune
