#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

// Where the library file and the other data live.
namespace tavolune::TavolunePaths {

// Reads one environment variable; nothing when unset.
using Environment = std::function<std::optional<std::string>(const char* name)>;
std::optional<std::string> processEnvironment(const char* name);

inline constexpr const char* folderName = "Tavolune";
inline constexpr const char* formerFolderName = "Morvane";
inline constexpr const char* dataDirVariable = "TAVOLUNE_DATA_DIR";

// The application's folder in the user's data directory ($XDG_DATA_HOME, or
// ~/.local/share, else the temporary directory) + "Tavolune". Worked out once
// per process; the first time also moves the folder of the former name into
// place. Not created here.
const std::filesystem::path& appSupport();
// $TAVOLUNE_DATA_DIR (tilde expanded) when set and not empty, else
// appSupport(). Worked out once per process; not created here.
const std::filesystem::path& data();

// The uncached rules behind appSupport() and data().
std::filesystem::path appSupportLocation(const Environment& env);
std::filesystem::path resolveAppSupport(const Environment& env);  // with the folder move
std::filesystem::path resolveData(const Environment& env);

// Moves "Morvane" inside parent to newFolder unless something already
// exists at newFolder. Failures are ignored.
void moveFolderOfFormerName(const std::filesystem::path& newFolder, const std::filesystem::path& parent);

// "~" and "~/..." become the home directory, "~name/..." that user's.
std::string expandTilde(const std::string& path, const Environment& env);

}  // namespace tavolune::TavolunePaths
