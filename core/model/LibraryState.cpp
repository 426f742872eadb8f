#include "model/LibraryState.hpp"

#include "text/Text.hpp"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <thread>
#include <map>

namespace tavolune {

using json::Json;

LibraryState::LegacyPlaylist LibraryState::LegacyPlaylist::fromJson(const Json& j) {
  json::expectObject(j);
  return {json::required<std::vector<std::string>>(j, "artworkIDs")};
}

Json LibraryState::LegacyPlaylist::toJson() const {
  Json j = Json::object();
  json::put(j, "artworkIDs", artworkIDs);
  return j;
}

namespace {

using Ownerships = std::unordered_map<Uuid, Holdings>;

// Entries appended without the key search of operator[], which would make
// large maps quadratic. The keys come from a map, so they are distinct.
void appendMember(Json& obj, std::string key, Json value) {
  auto& members = static_cast<Json::object_t::Container&>(obj.get_ref<Json::object_t&>());
  members.emplace_back(std::move(key), std::move(value));
}

template <class T>
Json encodeMap(const std::unordered_map<std::string, T>& map) {
  Json obj = Json::object();
  static_cast<Json::object_t::Container&>(obj.get_ref<Json::object_t&>()).reserve(map.size());
  for (const auto& [k, v] : map) appendMember(obj, k, json::encode(v));
  return obj;
}

// Decoded entries of the members that the parser streams rather than keeps
// in the tree: maps that may hold one entry per work.
struct Streamed {
  std::unordered_map<std::string, Artwork> artworks;
  std::unordered_map<std::string, bool> spamOverrides;
  std::unordered_map<std::string, Framing> preferredFraming;
  std::unordered_map<std::string, std::int64_t> rotations;
  std::unordered_map<std::string, RenderProfile> renderProfiles;
  std::unordered_map<std::string, ScreenConfig> screens;
  std::vector<Holdings> holdings;  // the ownership objects, in array order
  // member -> entry -> why it failed. A later entry with the same key
  // replaces an earlier one, as in the tree, so its failure goes with it.
  std::unordered_map<std::string, std::map<std::string, std::string>> failures;

  void throwIfFailed(const std::string& member) const {
    auto it = failures.find(member);
    if (it != failures.end() && !it->second.empty()) {
      throw json::DecodeError("\"" + it->second.begin()->first + "\": " + it->second.begin()->second);
    }
  }
};

// [id, holdings, id, holdings, ...]; ids in either letter case.
Ownerships decodeOwnerships(const Json& j, std::vector<Holdings>* streamed) {
  if (!j.is_array()) json::fail("an array", j);
  if (j.size() % 2 != 0) throw json::DecodeError("odd number of elements");
  Ownerships out;
  out.reserve(j.size() / 2);
  std::size_t nextStreamed = 0;
  auto holdingsAt = [&](const Json& e) -> Holdings {
    if (!streamed) return json::decode<Holdings>(e);
    if (!e.is_object()) json::fail("an object", e);
    return std::move((*streamed)[nextStreamed++]);
  };
  for (std::size_t i = 0; i < j.size(); i += 2) {
    if (streamed && j[i].is_object()) ++nextStreamed;  // fails below; keeps the count aligned
    auto id = json::decode<Uuid>(j[i]);
    out[id] = holdingsAt(j[i + 1]);
  }
  return out;
}

Json encodeOwnerships(const Ownerships& ownerships) {
  // Sorted by wallet id so that equal states write equal files.
  std::vector<const Ownerships::value_type*> entries;
  entries.reserve(ownerships.size());
  for (const auto& entry : ownerships) entries.push_back(&entry);
  std::sort(entries.begin(), entries.end(), [](auto* a, auto* b) { return a->first < b->first; });
  Json a = Json::array();
  for (const auto* entry : entries) {
    a.push_back(json::encode(entry->first));
    a.push_back(encodeMap(entry->second));
  }
  return a;
}

template <class T>
T decodeMember(const Json& value, std::string_view key) {
  try {
    return json::decode<T>(value);
  } catch (const json::DecodeError& e) {
    throw json::DecodeError("\"" + std::string(key) + "\": " + e.what());
  }
}

[[noreturn]] void rethrowIn(std::string_view key, const json::DecodeError& e) {
  throw json::DecodeError("\"" + std::string(key) + "\": " + e.what());
}

// A member whose entries were streamed: the tree keeps an emptied object.
// Gives whether the streamed value applies; throws when it is malformed.
template <class Map>
bool takeStreamed(const Json& j, std::string_view key, Map& field, Map& streamedMap, const Streamed& streamed) {
  const Json* m = json::member(j, key);
  if (!m || m->is_null()) return false;
  if (!m->is_object()) json::fail("an object", *m);
  streamed.throwIfFailed(std::string(key));
  field = std::move(streamedMap);
  return true;
}

// The strict group: absent or null gives the default; anything unreadable
// rejects the whole library.
template <class T>
void strictMember(const Json& j, std::string_view key, T& field) {
  const Json* m = json::member(j, key);
  if (!m || m->is_null()) return;
  field = decodeMember<T>(*m, key);
}

template <class Map>
void strictMap(const Json& j, std::string_view key, Map& field, Streamed* streamed, Map Streamed::*slot) {
  if (!streamed) return strictMember(j, key, field);
  try {
    takeStreamed(j, key, field, streamed->*slot, *streamed);
  } catch (const json::DecodeError& e) {
    rethrowIn(key, e);
  }
}

// The lenient group: anything unreadable gives the default.
template <class T>
void lenientMember(const Json& j, std::string_view key, T& field) {
  if (auto v = json::lenient<T>(j, key)) field = std::move(*v);
}

template <class Map>
void lenientMap(const Json& j, std::string_view key, Map& field, Streamed* streamed, Map Streamed::*slot) {
  if (!streamed) return lenientMember(j, key, field);
  try {
    takeStreamed(j, key, field, streamed->*slot, *streamed);
  } catch (const json::DecodeError&) {
    field = Map();
  }
}

LibraryState decodeState(const Json& j, Streamed* streamed) {
  json::expectObject(j);
  LibraryState s;
  strictMember(j, "wallets", s.wallets);
  strictMap(j, "artworks", s.artworks, streamed, &Streamed::artworks);
  if (const Json* m = json::member(j, "ownerships"); m && !m->is_null()) {
    try {
      if (streamed) streamed->throwIfFailed("ownerships");
      s.ownerships = decodeOwnerships(*m, streamed ? &streamed->holdings : nullptr);
    } catch (const json::DecodeError& e) {
      rethrowIn("ownerships", e);
    }
  }
  strictMember(j, "hiddenArtworks", s.hiddenArtworks);
  strictMember(j, "hiddenCollections", s.hiddenCollections);
  strictMap(j, "spamOverrides", s.spamOverrides, streamed, &Streamed::spamOverrides);
  if (auto selection = json::lenient<ArtworkIDSet>(j, "onDesktop")) {
    s.onDesktop = std::move(*selection);
  } else if (auto playlists = json::lenient<std::vector<LibraryState::LegacyPlaylist>>(j, "playlists")) {
    for (const auto& playlist : *playlists) s.onDesktop.insert(playlist.artworkIDs.begin(), playlist.artworkIDs.end());
  }
  strictMap(j, "screens", s.screens, streamed, &Streamed::screens);
  lenientMember(j, "settings", s.settings);
  strictMap(j, "preferredFraming", s.preferredFraming, streamed, &Streamed::preferredFraming);
  lenientMap(j, "rotations", s.rotations, streamed, &Streamed::rotations);
  lenientMember(j, "recentlyShown", s.recentlyShown);
  lenientMap(j, "renderProfiles", s.renderProfiles, streamed, &Streamed::renderProfiles);
  lenientMember(j, "animatedArtworks", s.animatedArtworks);
  lenientMember(j, "exhibitions", s.exhibitions);
  s.activeExhibition = json::lenient<Uuid>(j, "activeExhibition");
  strictMember(j, "schemaVersion", s.schemaVersion);
  return s;
}

// Feeds the entries of the streamed members to their decoders while the
// parser runs, and drops them from the tree.
class StreamingDecoder {
 public:
  using Event = Json::parse_event_t;

  explicit StreamingDecoder(Streamed& out) : out_(out) {}

  bool operator()(int depth, Event event, Json& parsed) {
    if (depth == 1) return topLevel(event, parsed);
    if (member_ == Member::none) return true;
    if (member_ == Member::ownerships) return ownerships(depth, event, parsed);
    if (depth != 2) return true;
    return isObjectMap() ? objectEntry(event, parsed) : primitiveEntry(event, parsed);
  }

 private:
  enum class Member { none, artworks, spamOverrides, preferredFraming, rotations, renderProfiles, screens, ownerships };

  bool topLevel(Event event, Json& parsed) {
    if (event == Event::key) {
      key_ = parsed.get<std::string>();
      return true;
    }
    if (event == Event::object_start || event == Event::array_start) {
      member_ = event == Event::array_start ? (key_ == "ownerships" ? Member::ownerships : Member::none)
                                            : memberNamed(key_);
      if (member_ != Member::none) reset();  // a repeated member replaces the earlier one
      return true;
    }
    if (event == Event::object_end || event == Event::array_end) member_ = Member::none;
    return true;
  }

  static Member memberNamed(const std::string& key) {
    if (key == "artworks") return Member::artworks;
    if (key == "spamOverrides") return Member::spamOverrides;
    if (key == "preferredFraming") return Member::preferredFraming;
    if (key == "rotations") return Member::rotations;
    if (key == "renderProfiles") return Member::renderProfiles;
    if (key == "screens") return Member::screens;
    return Member::none;
  }

  bool isObjectMap() const {
    return member_ == Member::artworks || member_ == Member::renderProfiles || member_ == Member::screens;
  }

  void reset() {
    out_.failures.erase(key_);
    switch (member_) {
      case Member::artworks: out_.artworks.clear(); break;
      case Member::spamOverrides: out_.spamOverrides.clear(); break;
      case Member::preferredFraming: out_.preferredFraming.clear(); break;
      case Member::rotations: out_.rotations.clear(); break;
      case Member::renderProfiles: out_.renderProfiles.clear(); break;
      case Member::screens: out_.screens.clear(); break;
      case Member::ownerships: out_.holdings.clear(); break;
      case Member::none: break;
    }
  }

  std::string entryName() const {
    if (member_ != Member::ownerships) return entry_;
    return std::to_string(out_.holdings.size() * 2 - 1) + "\": \"" + entry_;
  }
  void fail(const std::string& message) { out_.failures[key_][entryName()] = message; }
  void succeed() {
    if (auto it = out_.failures.find(key_); it != out_.failures.end()) it->second.erase(entryName());
  }

  // Values that are objects: the key stays so that the parser builds the
  // object, which is decoded and dropped when it ends.
  bool objectEntry(Event event, Json& parsed) {
    switch (event) {
      case Event::key: entry_ = parsed.get<std::string>(); return true;
      case Event::object_end:
        try {
          decodeObject(parsed);
          succeed();
        } catch (const json::DecodeError& e) {
          fail(e.what());
        }
        return false;
      case Event::value:
      case Event::array_end:
        fail(std::string("expected an object, found ") + std::string(json::typeName(parsed)));
        return false;
      default: return true;
    }
  }

  void decodeObject(const Json& parsed) {
    switch (member_) {
      case Member::artworks: out_.artworks.insert_or_assign(entry_, Artwork::fromJson(parsed)); break;
      case Member::renderProfiles: out_.renderProfiles.insert_or_assign(entry_, RenderProfile::fromJson(parsed)); break;
      case Member::screens: out_.screens.insert_or_assign(entry_, ScreenConfig::fromJson(parsed)); break;
      default: break;
    }
  }

  // Values that are scalars: the key is refused, so nothing enters the tree,
  // and the value is decoded when it arrives.
  bool primitiveEntry(Event event, Json& parsed) {
    switch (event) {
      case Event::key: entry_ = parsed.get<std::string>(); return false;
      case Event::value:
        try {
          decodeScalar(parsed);
          succeed();
        } catch (const json::DecodeError& e) {
          fail(e.what());
        }
        return false;
      case Event::object_start:
      case Event::array_start:
        // The refused key keeps the parser from building this value.
        fail("expected a single value, found a structure");
        return false;
      default: return false;
    }
  }

  void decodeScalar(const Json& parsed) {
    switch (member_) {
      case Member::spamOverrides: out_.spamOverrides.insert_or_assign(entry_, json::decode<bool>(parsed)); break;
      case Member::preferredFraming:
        out_.preferredFraming.insert_or_assign(entry_, json::decode<Framing>(parsed));
        break;
      case Member::rotations: out_.rotations.insert_or_assign(entry_, json::decode<std::int64_t>(parsed)); break;
      default: break;
    }
  }

  // [id, {artwork id: quantity, ...}, ...]: the quantities are streamed.
  bool ownerships(int depth, Event event, Json& parsed) {
    if (depth == 2 && event == Event::object_start) {
      out_.holdings.emplace_back();
      return true;
    }
    if (depth != 3 || out_.holdings.empty()) return true;
    switch (event) {
      case Event::key: entry_ = parsed.get<std::string>(); return false;
      case Event::value:
        try {
          out_.holdings.back().insert_or_assign(entry_, json::decode<std::int64_t>(parsed));
          succeed();
        } catch (const json::DecodeError& e) {
          fail(e.what());
        }
        return false;
      case Event::object_start:
      case Event::array_start:
        fail("expected a quantity, found a structure");
        return false;
      default: return false;
    }
  }

  Streamed& out_;
  Member member_ = Member::none;
  std::string key_;
  std::string entry_;
};

}  // namespace

LibraryState LibraryState::fromJson(const Json& j) { return decodeState(j, nullptr); }

namespace {

LibraryState decodeSequentially(std::string_view text) {
  Streamed streamed;
  StreamingDecoder decoder(streamed);
  Json root = Json::parse(text.begin(), text.end(), std::ref(decoder));
  return decodeState(root, &streamed);
}

// Finds the byte ranges of the "artworks" entries without validating them,
// so that the entries can be decoded on several threads. Anything unusual
// (a repeated or escaped member name, a value that is not an object) makes
// it give up; the sequential reader then handles the file.
class ArtworksLocator {
 public:
  struct Entry {
    std::size_t keyBegin, keyEnd, valueBegin, valueEnd;
  };

  explicit ArtworksLocator(std::string_view text) : t_(text) {}

  // Entries, and the range of the whole "artworks" value, or nothing.
  bool locate(std::vector<Entry>& entries, std::size_t& valueBegin, std::size_t& valueEnd) {
    std::size_t p = skipSpace(0);
    if (p >= t_.size() || t_[p] != '{') return false;
    p = skipSpace(p + 1);
    bool found = false;
    while (p < t_.size() && t_[p] != '}') {
      std::size_t keyEnd = skipString(p);
      if (keyEnd == npos) return false;
      std::string_view key = t_.substr(p + 1, keyEnd - p - 2);
      if (key.find('\\') != std::string_view::npos) return false;
      p = skipSpace(keyEnd);
      if (p >= t_.size() || t_[p] != ':') return false;
      p = skipSpace(p + 1);
      std::size_t end = skipValue(p);
      if (end == npos) return false;
      if (key == "artworks") {
        if (found || t_[p] != '{' || !locateEntries(p, end, entries)) return false;
        found = true;
        valueBegin = p;
        valueEnd = end;
      }
      p = skipSpace(end);
      if (p < t_.size() && t_[p] == ',') p = skipSpace(p + 1);
    }
    return found;
  }

 private:
  static constexpr std::size_t npos = std::string_view::npos;

  std::size_t skipSpace(std::size_t p) const {
    while (p < t_.size() && (t_[p] == ' ' || t_[p] == '\t' || t_[p] == '\n' || t_[p] == '\r')) ++p;
    return p;
  }

  // The position after the string starting at p.
  std::size_t skipString(std::size_t p) const {
    if (p >= t_.size() || t_[p] != '"') return npos;
    for (++p; p < t_.size(); ++p) {
      if (t_[p] == '\\') {
        ++p;
      } else if (t_[p] == '"') {
        return p + 1;
      }
    }
    return npos;
  }

  // The position after the value starting at p (brackets balanced; the
  // parser checks everything else).
  std::size_t skipValue(std::size_t p) const {
    if (p >= t_.size()) return npos;
    if (t_[p] == '"') return skipString(p);
    if (t_[p] != '{' && t_[p] != '[') {
      while (p < t_.size() && t_[p] != ',' && t_[p] != '}' && t_[p] != ']') ++p;
      return p;
    }
    int depth = 0;
    for (; p < t_.size(); ++p) {
      char c = t_[p];
      if (c == '"') {
        p = skipString(p);
        if (p == npos) return npos;
        --p;
      } else if (c == '{' || c == '[') {
        ++depth;
      } else if (c == '}' || c == ']') {
        if (--depth == 0) return p + 1;
      }
    }
    return npos;
  }

  bool locateEntries(std::size_t begin, std::size_t end, std::vector<Entry>& entries) const {
    std::size_t p = skipSpace(begin + 1);
    while (p < end - 1) {
      std::size_t keyEnd = skipString(p);
      if (keyEnd == npos) return false;
      std::size_t v = skipSpace(keyEnd);
      if (v >= end || t_[v] != ':') return false;
      v = skipSpace(v + 1);
      if (v >= end || t_[v] != '{') return false;
      std::size_t valueEnd = skipValue(v);
      if (valueEnd == npos || valueEnd > end) return false;
      entries.push_back({p, keyEnd, v, valueEnd});
      p = skipSpace(valueEnd);
      if (p < end - 1) {
        if (t_[p] != ',') return false;
        p = skipSpace(p + 1);
      }
    }
    return true;
  }

  std::string_view t_;
};

// Decodes the located artworks on up to eight threads; nothing when any
// entry fails (the sequential reader then gives the exact error).
std::optional<std::unordered_map<std::string, Artwork>> decodeArtworksInParallel(
    std::string_view text, const std::vector<ArtworksLocator::Entry>& entries) {
  const std::size_t threads =
      std::clamp<std::size_t>(std::min<std::size_t>(std::thread::hardware_concurrency(), entries.size() / 512), 1, 8);
  std::vector<std::unordered_map<std::string, Artwork>> parts(threads);
  std::atomic<bool> failed{false};
  auto work = [&](std::size_t part) {
    const std::size_t from = entries.size() * part / threads;
    const std::size_t to = entries.size() * (part + 1) / threads;
    auto& out = parts[part];
    out.reserve(to - from);
    try {
      for (std::size_t i = from; i < to && !failed; ++i) {
        const auto& e = entries[i];
        auto key = Json::parse(text.substr(e.keyBegin, e.keyEnd - e.keyBegin)).get<std::string>();
        auto value = Json::parse(text.substr(e.valueBegin, e.valueEnd - e.valueBegin));
        out.insert_or_assign(std::move(key), Artwork::fromJson(value));
      }
    } catch (const std::exception&) {
      failed = true;
    }
  };
  {
    std::vector<std::jthread> pool;
    for (std::size_t i = 1; i < threads; ++i) pool.emplace_back(work, i);
    work(0);
  }
  if (failed) return std::nullopt;
  // Nodes move over without copying; later entries win, as in the tree.
  auto& all = parts.front();
  all.reserve(entries.size());
  for (std::size_t i = 1; i < parts.size(); ++i) {
    all.merge(parts[i]);
    for (auto& [id, artwork] : parts[i]) all.insert_or_assign(id, std::move(artwork));
    parts[i] = {};
  }
  return std::move(all);
}

}  // namespace

LibraryState LibraryState::decode(std::string_view text) { return decode(text, 4 << 20); }

LibraryState LibraryState::decode(std::string_view text, std::size_t parallelFrom) {
  if (text.size() < parallelFrom) return decodeSequentially(text);
  std::vector<ArtworksLocator::Entry> entries;
  std::size_t begin = 0, end = 0;
  if (!ArtworksLocator(text).locate(entries, begin, end)) return decodeSequentially(text);
  auto artworks = decodeArtworksInParallel(text, entries);
  if (!artworks) return decodeSequentially(text);
  // The rest of the file, with an empty artworks object in place.
  std::string rest;
  rest.reserve(text.size() - (end - begin) + 2);
  rest.append(text.substr(0, begin)).append("{}").append(text.substr(end));
  try {
    Streamed streamed;
    StreamingDecoder decoder(streamed);
    Json root = Json::parse(rest, std::ref(decoder));
    streamed.artworks = std::move(*artworks);
    return decodeState(root, &streamed);
  } catch (const std::exception&) {
    return decodeSequentially(text);
  }
}

Json LibraryState::toJson() const {
  Json j = Json::object();
  json::put(j, "wallets", wallets);
  j["artworks"] = encodeMap(artworks);
  j["ownerships"] = encodeOwnerships(ownerships);
  json::put(j, "hiddenArtworks", hiddenArtworks);
  json::put(j, "hiddenCollections", hiddenCollections);
  j["spamOverrides"] = encodeMap(spamOverrides);
  json::put(j, "onDesktop", onDesktop);
  j["screens"] = encodeMap(screens);
  json::put(j, "settings", settings);
  j["preferredFraming"] = encodeMap(preferredFraming);
  j["rotations"] = encodeMap(rotations);
  json::put(j, "recentlyShown", recentlyShown);
  j["renderProfiles"] = encodeMap(renderProfiles);
  json::put(j, "animatedArtworks", animatedArtworks);
  json::put(j, "exhibitions", exhibitions);
  json::put(j, "activeExhibition", activeExhibition);
  json::put(j, "schemaVersion", schemaVersion);
  return j;
}

namespace {

// Writes the file text directly: the same bytes as toJson().dump(), without
// building the tree, which dominates the cost of a save.
class FileWriter {
 public:
  std::string out;

  void raw(std::string_view s) { out.append(s); }
  void raw(char c) { out.push_back(c); }

  void string(std::string_view s) {
    bool ascii = true;
    for (unsigned char c : s) {
      if (c >= 0x80) {
        ascii = false;
        break;
      }
    }
    if (!ascii && !text::isValidUTF8(s)) {
      // The tree writer replaces what is not UTF-8; stay byte-identical.
      out += Json(std::string(s)).dump(-1, ' ', false, Json::error_handler_t::replace);
      return;
    }
    out.push_back('"');
    std::size_t plain = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
      unsigned char c = static_cast<unsigned char>(s[i]);
      if (c >= 0x20 && c != '"' && c != '\\') continue;
      out.append(s.substr(plain, i - plain));
      plain = i + 1;
      switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default: {
          static constexpr char kHex[] = "0123456789abcdef";
          out += "\\u00";
          out.push_back(kHex[c >> 4]);
          out.push_back(kHex[c & 15]);
        }
      }
    }
    out.append(s.substr(plain));
    out.push_back('"');
  }

  void integer(std::int64_t v) {
    char buf[24];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, end);
  }

  void tree(const Json& j) { out += j.dump(-1, ' ', false, Json::error_handler_t::replace); }

  // "key":
  void key(std::string_view k) {
    string(k);
    out.push_back(':');
  }
  // ,"key": after the first member of an object.
  void member(bool& first, std::string_view k) {
    if (!first) out.push_back(',');
    first = false;
    key(k);
  }

  void artwork(const Artwork& a) {
    bool first = true;
    auto text = [&](std::string_view k, const std::string& v) {
      member(first, k);
      string(v);
    };
    auto optionalText = [&](std::string_view k, const std::optional<std::string>& v) {
      if (v) text(k, *v);
    };
    auto optionalInteger = [&](std::string_view k, const std::optional<std::int64_t>& v) {
      if (!v) return;
      member(first, k);
      integer(*v);
    };
    raw('{');
    text("id", a.id);
    member(first, "chain");
    string(rawValue(a.chain));
    text("contract", a.contract);
    text("tokenId", a.tokenId);
    text("title", a.title);
    optionalText("artist", a.artist);
    optionalText("artistAddress", a.artistAddress);
    optionalText("collection", a.collection);
    member(first, "platform");
    string(rawValue(a.platform));
    member(first, "mediaKind");
    string(rawValue(a.mediaKind));
    optionalText("mime", a.mime);
    optionalText("imageURI", a.imageURI);
    optionalText("thumbnailURI", a.thumbnailURI);
    optionalText("animationURI", a.animationURI);
    optionalText("externalURL", a.externalURL);
    if (a.aspectRatio) {
      member(first, "aspectRatio");
      tree(json::encode(*a.aspectRatio));
    }
    optionalInteger("year", a.year);
    optionalText("editionNumber", a.editionNumber);
    optionalInteger("editionSize", a.editionSize);
    member(first, "isSpam");
    raw(a.isSpam ? "true" : "false");
    optionalText("description", a.description);
    raw('}');
  }

  template <class Set>
  void textArray(const Set& items) {
    raw('[');
    bool first = true;
    for (const auto& item : items) {
      if (!first) raw(',');
      first = false;
      string(item);
    }
    raw(']');
  }

  template <class Map, class F>
  void object(const Map& map, F&& value) {
    raw('{');
    bool first = true;
    for (const auto& [k, v] : map) {
      member(first, k);
      value(v);
    }
    raw('}');
  }
};

}  // namespace

std::string LibraryState::encode() const {
  FileWriter w;
  w.out.reserve(artworks.size() * 1200 + 4096);
  bool first = true;
  w.raw('{');
  w.member(first, "wallets");
  w.tree(json::encode(wallets));
  w.member(first, "artworks");
  w.object(artworks, [&](const Artwork& a) { w.artwork(a); });
  w.member(first, "ownerships");
  {
    // Sorted by wallet id, as encodeOwnerships does.
    std::vector<const Ownerships::value_type*> entries;
    for (const auto& entry : ownerships) entries.push_back(&entry);
    std::sort(entries.begin(), entries.end(), [](auto* a, auto* b) { return a->first < b->first; });
    w.raw('[');
    for (std::size_t i = 0; i < entries.size(); ++i) {
      if (i) w.raw(',');
      w.string(entries[i]->first.string());
      w.raw(',');
      w.object(entries[i]->second, [&](std::int64_t q) { w.integer(q); });
    }
    w.raw(']');
  }
  w.member(first, "hiddenArtworks");
  w.textArray(hiddenArtworks);
  w.member(first, "hiddenCollections");
  w.textArray(hiddenCollections);
  w.member(first, "spamOverrides");
  w.object(spamOverrides, [&](bool v) { w.raw(v ? "true" : "false"); });
  w.member(first, "onDesktop");
  w.textArray(onDesktop);
  w.member(first, "screens");
  w.object(screens, [&](const ScreenConfig& c) { w.tree(c.toJson()); });
  w.member(first, "settings");
  w.tree(settings.toJson());
  w.member(first, "preferredFraming");
  w.object(preferredFraming, [&](Framing f) { w.string(rawValue(f)); });
  w.member(first, "rotations");
  w.object(rotations, [&](std::int64_t r) { w.integer(r); });
  w.member(first, "recentlyShown");
  w.textArray(recentlyShown);
  w.member(first, "renderProfiles");
  w.object(renderProfiles, [&](const RenderProfile& p) { w.tree(p.toJson()); });
  w.member(first, "animatedArtworks");
  w.textArray(animatedArtworks);
  w.member(first, "exhibitions");
  w.tree(json::encode(exhibitions));
  if (activeExhibition) {
    w.member(first, "activeExhibition");
    w.string(activeExhibition->string());
  }
  w.member(first, "schemaVersion");
  w.integer(schemaVersion);
  w.raw('}');
  return std::move(w.out);
}

}  // namespace tavolune
