#include "model/LibraryState.hpp"

#include <algorithm>

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

// [id, holdings, id, holdings, ...]; ids in either letter case.
Ownerships decodeOwnerships(const Json& j) {
  if (!j.is_array()) json::fail("an array", j);
  if (j.size() % 2 != 0) throw json::DecodeError("odd number of elements");
  Ownerships out;
  out.reserve(j.size() / 2);
  for (std::size_t i = 0; i < j.size(); i += 2) {
    auto id = json::decode<Uuid>(j[i]);
    out[id] = json::decode<Holdings>(j[i + 1]);
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
    a.push_back(json::encode(entry->second));
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

// The strict group: absent or null gives the default; anything unreadable
// rejects the whole library.
template <class T>
void strictMember(const Json& j, std::string_view key, T& field) {
  const Json* m = json::member(j, key);
  if (!m || m->is_null()) return;
  field = decodeMember<T>(*m, key);
}

template <class T>
void strictMember(const Json& j, std::string_view key, T& field, T (*decoder)(const Json&)) {
  const Json* m = json::member(j, key);
  if (!m || m->is_null()) return;
  try {
    field = decoder(*m);
  } catch (const json::DecodeError& e) {
    throw json::DecodeError("\"" + std::string(key) + "\": " + e.what());
  }
}

// The lenient group: anything unreadable gives the default.
template <class T>
void lenientMember(const Json& j, std::string_view key, T& field) {
  if (auto v = json::lenient<T>(j, key)) field = std::move(*v);
}

using StreamedArtworks = std::unordered_map<std::string, Artwork>;

LibraryState decodeState(const Json& j, StreamedArtworks* streamed) {
  json::expectObject(j);
  LibraryState s;
  strictMember(j, "wallets", s.wallets);
  if (streamed) {
    // The parser already decoded every artwork and left an empty object.
    const Json* m = json::member(j, "artworks");
    if (m && !m->is_null()) {
      if (!m->is_object()) throw json::DecodeError("\"artworks\": expected an object, found " + std::string(json::typeName(*m)));
      s.artworks = std::move(*streamed);
    }
  } else {
    strictMember(j, "artworks", s.artworks);
  }
  strictMember(j, "ownerships", s.ownerships, &decodeOwnerships);
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

LibraryState LibraryState::fromJson(const Json& j) { return decodeState(j, nullptr); }

LibraryState LibraryState::decode(std::string_view text) {
  using Event = Json::parse_event_t;
  StreamedArtworks streamed;
  std::string topKey;
  std::string artworkID;
  bool inArtworks = false;
  std::optional<std::string> artworkError;

  Json::parser_callback_t callback = [&](int depth, Event event, Json& parsed) -> bool {
    if (depth == 1) {
      if (event == Event::key) {
        topKey = parsed.get<std::string>();
      } else if (event == Event::object_start && topKey == "artworks") {
        inArtworks = true;
        streamed.clear();  // a repeated member replaces the earlier one
        artworkError.reset();
      } else if (event == Event::object_end && inArtworks) {
        inArtworks = false;
      }
      return true;
    }
    if (!inArtworks || depth != 2) return true;
    switch (event) {
      case Event::key: artworkID = parsed.get<std::string>(); return true;
      case Event::object_end:
        if (!artworkError) {
          try {
            streamed.insert_or_assign(artworkID, Artwork::fromJson(parsed));
          } catch (const json::DecodeError& e) {
            artworkError = "\"artworks\": \"" + artworkID + "\": " + e.what();
          }
        }
        return false;
      case Event::value:
      case Event::array_end:
        if (!artworkError) artworkError = "\"artworks\": \"" + artworkID + "\": expected an object";
        return false;
      default: return true;
    }
  };
  Json root = Json::parse(text.begin(), text.end(), callback);
  if (artworkError) throw json::DecodeError(*artworkError);
  return decodeState(root, &streamed);
}

Json LibraryState::toJson() const {
  Json j = Json::object();
  json::put(j, "wallets", wallets);
  json::put(j, "artworks", artworks);
  j["ownerships"] = encodeOwnerships(ownerships);
  json::put(j, "hiddenArtworks", hiddenArtworks);
  json::put(j, "hiddenCollections", hiddenCollections);
  json::put(j, "spamOverrides", spamOverrides);
  json::put(j, "onDesktop", onDesktop);
  json::put(j, "screens", screens);
  json::put(j, "settings", settings);
  json::put(j, "preferredFraming", preferredFraming);
  json::put(j, "rotations", rotations);
  json::put(j, "recentlyShown", recentlyShown);
  json::put(j, "renderProfiles", renderProfiles);
  json::put(j, "animatedArtworks", animatedArtworks);
  json::put(j, "exhibitions", exhibitions);
  json::put(j, "activeExhibition", activeExhibition);
  json::put(j, "schemaVersion", schemaVersion);
  return j;
}

std::string LibraryState::encode() const {
  // Invalid UTF-8 in a stored text is replaced rather than failing the save.
  return toJson().dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace tavolune
