#pragma once
// Works dragged inside the library window travel as their ids under a MIME
// type of our own: text from other programs (a URL, a phrase) is never
// taken for artwork ids. GUI thread only.

#include <QString>

#include <memory>
#include <string>
#include <vector>

class QMimeData;

namespace tavolune {

class LibraryState;

namespace ArtworkDrag {

inline const QString mimeType = QStringLiteral("application/x-tavolune-artwork-ids");

std::unique_ptr<QMimeData> encode(const std::vector<std::string>& ids);
// The dragged ids that name works of the library, each once, in drag
// order; nothing for a foreign drag.
std::vector<std::string> decode(const QMimeData& data, const LibraryState& state);
bool isOurs(const QMimeData& data);

}  // namespace ArtworkDrag
}  // namespace tavolune
