#pragma once

#include "core/media/ByteBudget.hpp"
#include "core/media/MediaContent.hpp"
#include "core/network/HTTPClient.hpp"
#include "core/network/JSONValue.hpp"

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <stop_token>
#include <string>
#include <string_view>
#include <unordered_map>
#include <variant>
#include <vector>

namespace tavolune {

// Rebuilds files of onchfs, the file system stored on the Tezos chain,
// from its two big maps (inodes and chunks) as the TzKT API serves them.
// Inodes are cached for the life of the process. Thread-safe; the cache
// lock is never held across a request.
class OnchfsResolver {
 public:
  static constexpr std::int64_t inodesBigMap = 549145;
  static constexpr std::int64_t chunksBigMap = 549144;
  static constexpr std::size_t chunkBatchSize = 40;

  struct Directory {
    std::map<std::string, std::string> entries;  // file name -> inode hash
    friend bool operator==(const Directory&, const Directory&) = default;
  };
  struct File {
    std::vector<std::string> chunks;  // chunk hashes, in order
    friend bool operator==(const File&, const File&) = default;
  };
  using Inode = std::variant<Directory, File>;

  // One big-map entry as the API returns it.
  struct Key {
    std::string key;
    JSONValue value;
    static Key fromJSONValue(const JSONValue& v);
  };

  // apiBase: scheme and host of the TzKT API, without a trailing slash.
  explicit OnchfsResolver(HTTPClient http, std::string apiBase);

  // The file `path` names below the inode `hash` ("" or a path ending at a
  // directory serves its "index.html"), typed by its file name. Gzip data
  // is inflated; data that does not inflate is served as it is. A file
  // larger than maxFileBytes, as read or as inflated, fails with a decoding
  // error; its chunks are read no further than that. With a draw, the
  // inode and chunk answers are taken from it as their bytes arrive, and
  // the inflated bytes beyond the chunks' before they are made: a file it
  // cannot cover fails as past its byte budget.
  MediaContent file(std::string_view hash, std::string_view path, std::stop_token stop = {},
                    BudgetDraw* draw = nullptr);
  // A cached inode moves nothing and takes nothing from the draw.
  Inode inode(std::string_view hash, std::stop_token stop = {}, BudgetDraw* draw = nullptr);
  // The concatenated bytes of the chunks, read in batches of 40; more than
  // maxFileBytes, or than the draw covers, fails before the next batch is
  // asked for. A chunk listed twice in a batch moves once: what is kept
  // past what moved is taken as well.
  Bytes fetchChunks(const std::vector<std::string>& chunks, std::stop_token stop = {},
                    BudgetDraw* draw = nullptr);

  // An inode value of the inodes big map; nothing when it is neither a
  // directory nor a file.
  static std::optional<Inode> parseInode(const JSONValue& value);

  // A file whose chunks add up to more fails with a decoding error.
  std::size_t maxFileBytes = mediaDownloadLimit;

 private:
  HTTPClient http_;
  std::string apiBase_;
  std::mutex mutex_;
  std::unordered_map<std::string, Inode> inodeCache_;  // by lower-cased hash
};

}  // namespace tavolune
