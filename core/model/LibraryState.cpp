#include "core/model/LibraryState.hpp"

#include "core/base/FastJson.hpp"
#include "core/text/Text.hpp"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <map>

namespace tavolune {

using json::Json;

std::uint64_t LibraryState::Revision::next() noexcept {
  static std::atomic<std::uint64_t> last{0};
  return last.fetch_add(1, std::memory_order_relaxed) + 1;
}

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

// [id, holdings, id, holdings, ...]; ids in either letter case.
template <class N>
Ownerships decodeOwnerships(const N& j) {
  if (!json::isArray(j)) json::fail("an array", j);
  if (json::sizeOf(j) % 2 != 0) throw json::DecodeError("odd number of elements");
  Ownerships out;
  out.reserve(json::sizeOf(j) / 2);
  std::optional<Uuid> id;
  json::forEachElement(j, [&](const auto& e) {
    if (!id) {
      id = json::decode<Uuid>(e);
    } else {
      out.insert_or_assign(*id, json::decode<Holdings>(e));
      id.reset();
    }
  });
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

// The strict group: absent or null gives the default; anything unreadable
// rejects the whole library.
template <class T, class N>
void strictMember(const N& j, std::string_view key, T& field) {
  if (auto v = json::optional<T>(j, key)) field = std::move(*v);
}

// The lenient group: anything unreadable gives the default.
template <class T, class N>
void lenientMember(const N& j, std::string_view key, T& field) {
  if (auto v = json::lenient<T>(j, key)) field = std::move(*v);
}

template <class N>
LibraryState decodeState(const N& j) {
  json::expectObject(j);
  LibraryState s;
  strictMember(j, "wallets", s.wallets);
  strictMember(j, "artworks", s.artworks);
  if (auto m = json::member(j, "ownerships"); m && !json::isNull(*m)) {
    try {
      s.ownerships = decodeOwnerships(*m);
    } catch (const json::DecodeError& e) {
      throw json::DecodeError(std::string("\"ownerships\": ") + e.what());
    }
  }
  strictMember(j, "hiddenArtworks", s.hiddenArtworks);
  strictMember(j, "hiddenCollections", s.hiddenCollections);
  strictMember(j, "spamOverrides", s.spamOverrides);
  if (auto selection = json::lenient<ArtworkIDSet>(j, "onDesktop")) {
    s.onDesktop = std::move(*selection);
  } else if (auto playlists = json::lenient<std::vector<LibraryState::LegacyPlaylist>>(j, "playlists")) {
    for (const auto& playlist : *playlists) s.onDesktop.insert(playlist.artworkIDs.begin(), playlist.artworkIDs.end());
  }
  strictMember(j, "screens", s.screens);
  lenientMember(j, "settings", s.settings);
  strictMember(j, "preferredFraming", s.preferredFraming);
  lenientMember(j, "rotations", s.rotations);
  lenientMember(j, "recentlyShown", s.recentlyShown);
  lenientMember(j, "renderProfiles", s.renderProfiles);
  lenientMember(j, "animatedArtworks", s.animatedArtworks);
  lenientMember(j, "exhibitions", s.exhibitions);
  s.activeExhibition = json::lenient<Uuid>(j, "activeExhibition");
  strictMember(j, "schemaVersion", s.schemaVersion);
  return s;
}

}  // namespace

template <class N>
LibraryState LibraryState::fromJson(const N& j) {
  return decodeState(j);
}
template LibraryState LibraryState::fromJson(const json::Json&);
template LibraryState LibraryState::fromJson(const json::FastNode&);

LibraryState LibraryState::decode(std::string_view text) {
  // The fast reader takes nearly every file; the tree also reads integers
  // past 64 bits, so whatever the fast reader refuses goes to the tree.
  if (auto doc = json::FastDocument::parse(text)) return decodeState(doc->root());
  return decodeState(json::parseWhole(text));
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
    json::appendQuoted(out, s);
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
