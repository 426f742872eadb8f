#pragma once
// Whether a file is a video container the player opens, by its first bytes:
// the media framework picks its elements by content, and a playlist saved
// under a video's name would have it fetch the addresses it lists. Pure
// functions; thread-safe; the file check reads a few bytes.

#include <filesystem>
#include <string_view>

namespace tavolune::videosignature {

// What a stage or poster frame says of anything else.
inline constexpr std::string_view notPlayable = "not a video the player can open";

// ISO base media (MP4, M4V, QuickTime) or EBML (WebM, Matroska).
bool isPlayable(std::string_view head);
bool isPlayableFile(const std::filesystem::path& file);

}  // namespace tavolune::videosignature
