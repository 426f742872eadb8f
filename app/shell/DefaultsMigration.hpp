#pragma once
// Carries the library's tile size over from the settings of the program's
// former name ("Morvane") when ours have none. GUI thread only; blocks
// briefly (reads and writes the settings files).

#include <QSettings>

namespace tavolune::DefaultsMigration {

inline constexpr const char* tileSizeKey = "libraryTileSize";
inline constexpr const char* formerName = "Morvane";

// Copies the former value as it is when `current` lacks the key and
// `former` holds it; never changes `former`. True when something was copied.
bool migrateTileSize(QSettings& current, const QSettings& former);

// The same on the user's settings: ours ("Tavolune") and the former
// program's (organisation and application "Morvane").
bool migrateTileSize();

}  // namespace tavolune::DefaultsMigration
