#include "core/media/OnchfsResolver.hpp"

#include "core/media/Gzip.hpp"
#include "core/media/OnchfsPath.hpp"
#include "core/model/MediaResolver.hpp"
#include "core/base/TavoluneError.hpp"
#include "core/network/URLMake.hpp"

#include <algorithm>
#include <unordered_set>

namespace tavolune {

namespace {

std::string lowercasedASCII(std::string_view s) {
  std::string out(s);
  std::transform(out.begin(), out.end(), out.begin(),
                 [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c); });
  return out;
}

Url requireURL(std::optional<Url> url, std::string_view what) {
  if (!url) throw TavoluneError::invalidInput("onchfs request " + std::string(what));
  return *url;
}

// A directory whose "index.html" leads back to itself would otherwise be
// walked for ever; real trees are far shallower than this.
constexpr std::size_t maxIndexHops = 32;

TavoluneError pastBudget() { return TavoluneError::decoding("onchfs file past its byte budget"); }

// The JSON answers move bytes as they arrive: each piece is taken from the
// draw before it is kept, and the first it cannot cover ends the answer.
template <class T>
T drawnJSON(const HTTPClient& http, const Url& url, double timeout, std::stop_token stop, BudgetDraw* draw) {
  if (!draw) return http.getJSON<T>(url, {}, timeout, stop);
  try {
    return http.getJSON<T>(url, {}, timeout, stop, [draw](std::size_t n) { return draw->take(n); });
  } catch (const TavoluneError&) {
    if (draw->ranShort()) throw pastBudget();
    throw;
  }
}

}  // namespace

OnchfsResolver::Key OnchfsResolver::Key::fromJSONValue(const JSONValue& v) {
  const auto* key = v.get("key");
  const auto* value = v.get("value");
  if (!v.isObject() || !key || !key->isString() || !value) throw json::DecodeError("big-map key without key or value");
  return Key{*key->stringValue(), *value};
}

OnchfsResolver::OnchfsResolver(HTTPClient http, std::string apiBase)
    : http_(std::move(http)), apiBase_(url::withoutTrailingSlash(std::move(apiBase))) {}

std::optional<OnchfsResolver::Inode> OnchfsResolver::parseInode(const JSONValue& value) {
  if (const auto* dir = value.get("directory"); dir && dir->isObject()) {
    Directory d;
    for (const auto& [name, target] : *dir->objectValue()) {
      if (auto hash = target.string()) d.entries.emplace(name, std::move(*hash));
    }
    return d;
  }
  if (const auto* file = value.get("file")) {
    File f;
    for (const auto& pointer : (*file)["chunk_pointers"].array()) {
      if (auto hash = pointer.string()) f.chunks.push_back(std::move(*hash));
    }
    return f;
  }
  return std::nullopt;
}

OnchfsResolver::Inode OnchfsResolver::inode(std::string_view hash, std::stop_token stop, BudgetDraw* draw) {
  const std::string key = lowercasedASCII(hash);
  {
    std::lock_guard guard(mutex_);
    if (auto it = inodeCache_.find(key); it != inodeCache_.end()) return it->second;
  }
  // Hashes come from pages and from chain data: only hex may reach a URL.
  if (!onchfs::isValidHash(key)) throw TavoluneError::notFound("onchfs " + std::string(hash));
  auto url =
      requireURL(Url::parse(apiBase_ + "/v1/bigmaps/" + std::to_string(inodesBigMap) + "/keys/" + key), "for an inode");
  auto entry = drawnJSON<Key>(http_, url, 30, stop, draw);
  auto inode = parseInode(entry.value);
  if (!inode) throw TavoluneError::decoding("inode onchfs " + key);
  std::lock_guard guard(mutex_);
  inodeCache_.insert_or_assign(key, *inode);
  return *inode;
}

Bytes OnchfsResolver::fetchChunks(const std::vector<std::string>& chunks, std::stop_token stop, BudgetDraw* draw) {
  Bytes out;
  const std::string base = apiBase_ + "/v1/bigmaps/" + std::to_string(chunksBigMap) + "/keys";
  for (std::size_t start = 0; start < chunks.size(); start += chunkBatchSize) {
    const std::size_t end = std::min(start + chunkBatchSize, chunks.size());
    std::vector<std::string> listed;
    std::unordered_set<std::string> seen;
    for (std::size_t i = start; i < end; ++i) {
      auto lower = lowercasedASCII(chunks[i]);
      // A hash that is not hex is never requested; it fails below as missing.
      if (onchfs::isValidHash(lower) && seen.insert(lower).second) listed.push_back(std::move(lower));
    }
    std::unordered_map<std::string, Bytes> found;
    const std::size_t before = draw ? draw->taken() : 0;
    if (!listed.empty()) {
      if (listed.size() == 1) listed.push_back(listed.front());
      std::string keys;
      for (const auto& h : listed) keys += (keys.empty() ? "" : ",") + h;
      auto url =
          requireURL(url::make(base, {{"key.in", keys}, {"select", "key,value"}, {"limit", "100"}}), "for chunks");
      for (auto& entry : drawnJSON<std::vector<Key>>(http_, url, 60, stop, draw)) {
        auto text = entry.value.string();
        if (!text) continue;
        if (auto bytes = hex::decode(*text)) found.insert_or_assign(lowercasedASCII(entry.key), std::move(*bytes));
      }
    }
    std::vector<const Bytes*> pieces;
    std::size_t added = 0;
    for (std::size_t i = start; i < end; ++i) {
      auto it = found.find(lowercasedASCII(chunks[i]));
      if (it == found.end()) throw TavoluneError::notFound("onchfs chunk " + chunks[i]);
      added += it->second.size();
      if (out.size() + added > maxFileBytes) {
        throw TavoluneError::decoding("onchfs file larger than " + std::to_string(maxFileBytes) + " bytes");
      }
      pieces.push_back(&it->second);
    }
    // A chunk listed twice moves once and is kept twice: what is kept past
    // what moved is taken too.
    if (draw) {
      const std::size_t moved = draw->taken() - before;
      if (added > moved && !draw->take(added - moved)) throw pastBudget();
    }
    for (const Bytes* piece : pieces) out += *piece;
  }
  return out;
}

MediaContent OnchfsResolver::file(std::string_view hash, std::string_view path, std::stop_token stop,
                                  BudgetDraw* draw) {
  const auto notFound = [&] {
    return TavoluneError::notFound("onchfs " + std::string(hash) + "/" + std::string(path));
  };
  if (!onchfs::isValidHash(hash)) throw notFound();
  Inode current = inode(hash, stop, draw);
  const auto names = onchfs::pathNames(path);
  std::string mimeName = names.empty() ? "index.html" : names.back();
  std::size_t next = 0;
  std::size_t indexHops = 0;
  while (const auto* dir = std::get_if<Directory>(&current)) {
    std::string name;
    if (next < names.size()) {
      name = names[next++];
    } else {
      if (++indexHops > maxIndexHops) throw notFound();
      name = "index.html";
    }
    auto it = dir->entries.find(name);
    if (it == dir->entries.end()) throw notFound();
    if (next == names.size()) mimeName = name;
    auto target = it->second;
    current = inode(target, stop, draw);
  }
  const auto& file = std::get<File>(current);
  if (next < names.size()) throw notFound();  // a file has no children
  Bytes bytes = fetchChunks(file.chunks, stop, draw);
  if (Gzip::isGzipped(bytes)) {
    // The chunks are paid for already; the draw covers what inflating adds.
    const std::size_t ceiling = std::min(maxFileBytes, Gzip::maxOutputBytes);
    std::size_t room = 0;
    auto inflated = Gzip::inflate(bytes, [&](std::size_t wanted) {
      wanted = std::min(wanted, ceiling);
      if (draw && wanted > bytes.size() + room) room += draw->takeUpTo(wanted - bytes.size() - room);
      return draw ? std::min(wanted, bytes.size() + room) : wanted;
    });
    if (inflated.pastRoom) {
      // Past the budget the room stays taken: the page went past it.
      if (draw && draw->ranShort()) throw pastBudget();
      if (draw) draw->giveBack(room);
      throw TavoluneError::decoding("onchfs file larger than " + std::to_string(ceiling) + " bytes");
    }
    std::size_t used = 0;
    if (inflated.bytes) {
      used = inflated.bytes->size() - std::min(inflated.bytes->size(), bytes.size());
      bytes = std::move(*inflated.bytes);
    }
    if (draw) draw->giveBack(room - std::min(room, used));
  }
  return MediaContent{std::move(bytes), MediaResolver::mimeType(mimeName)};
}

}  // namespace tavolune
