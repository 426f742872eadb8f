#include "app/library/ArtworkDrag.hpp"

#include "core/model/LibraryState.hpp"

#include <QMimeData>

#include <unordered_set>

namespace tavolune::ArtworkDrag {

std::unique_ptr<QMimeData> encode(const std::vector<std::string>& ids) {
  QByteArray bytes;
  for (const auto& id : ids) {
    if (!bytes.isEmpty()) bytes.append('\n');
    bytes.append(id.data(), qsizetype(id.size()));
  }
  auto data = std::make_unique<QMimeData>();
  data->setData(mimeType, bytes);
  return data;
}

bool isOurs(const QMimeData& data) { return data.hasFormat(mimeType); }

std::vector<std::string> decode(const QMimeData& data, const LibraryState& state) {
  std::vector<std::string> ids;
  if (!isOurs(data)) return ids;
  std::unordered_set<std::string> seen;
  for (const QByteArray& line : data.data(mimeType).split('\n')) {
    std::string id = line.toStdString();
    if (state.artworks.contains(id) && seen.insert(id).second) ids.push_back(std::move(id));
  }
  return ids;
}

}  // namespace tavolune::ArtworkDrag
