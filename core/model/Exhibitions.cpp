#include "core/model/LibraryState.hpp"

#include <algorithm>
#include <utility>

namespace tavolune {

Exhibition* LibraryState::exhibition(const Uuid& id) {
  // The caller may edit the exhibition through the pointer.
  touch();
  return const_cast<Exhibition*>(std::as_const(*this).exhibition(id));
}

const Exhibition* LibraryState::exhibition(const Uuid& id) const {
  auto it = std::find_if(exhibitions.begin(), exhibitions.end(), [&](const Exhibition& e) { return e.id == id; });
  return it == exhibitions.end() ? nullptr : &*it;
}

Uuid LibraryState::createExhibition(std::string title, const std::vector<std::string>& ids) {
  touch();
  Exhibition e;
  e.id = Uuid::random();
  e.title = std::move(title);
  exhibitions.push_back(std::move(e));
  const Uuid id = exhibitions.back().id;
  add(ids, id);
  return id;
}

void LibraryState::add(const std::vector<std::string>& ids, const Uuid& to) {
  Exhibition* e = exhibition(to);
  if (!e || ids.empty()) return;
  std::unordered_set<std::string> present(e->artworkIDs.begin(), e->artworkIDs.end());
  for (const auto& id : ids) {
    if (present.insert(id).second) e->artworkIDs.push_back(id);
  }
}

void LibraryState::remove(const ArtworkIDSet& ids, const Uuid& from) {
  Exhibition* e = exhibition(from);
  if (!e) return;
  std::erase_if(e->artworkIDs, [&](const std::string& id) { return ids.contains(id); });
}

void LibraryState::move(const std::vector<std::string>& ids, const Uuid& in, const std::optional<std::string>& before) {
  Exhibition* e = exhibition(in);
  if (!e) return;
  const ArtworkIDSet moving(ids.begin(), ids.end());
  const ArtworkIDSet present(e->artworkIDs.begin(), e->artworkIDs.end());
  std::vector<std::string> remaining;
  for (const auto& id : e->artworkIDs) {
    if (!moving.contains(id)) remaining.push_back(id);
  }
  auto at = remaining.end();
  if (before) at = std::find(remaining.begin(), remaining.end(), *before);
  // A drop that names a work twice still moves it once.
  std::vector<std::string> block;
  ArtworkIDSet placed;
  for (const auto& id : ids) {
    if (present.contains(id) && placed.insert(id).second) block.push_back(id);
  }
  remaining.insert(at, block.begin(), block.end());
  e->artworkIDs = std::move(remaining);
}

void LibraryState::deleteExhibition(const Uuid& id) {
  touch();
  std::erase_if(exhibitions, [&](const Exhibition& e) { return e.id == id; });
  if (activeExhibition == id) activeExhibition.reset();
}

const Exhibition* LibraryState::shownExhibition() const {
  if (!activeExhibition) return nullptr;
  const Exhibition* e = exhibition(*activeExhibition);
  if (!e) return nullptr;
  LibraryFilter filter;
  filter.exhibitionID = e->id;
  return matching(filter).empty() ? nullptr : e;
}

PlaybackOrder LibraryState::rotationOrder() const {
  return shownExhibition() ? PlaybackOrder::sequential : settings.rotationOrder;
}

}  // namespace tavolune
