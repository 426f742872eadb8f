#include "core/persistence/TavolunePaths.hpp"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <system_error>
#include <vector>

namespace tavolune::TavolunePaths {

namespace fs = std::filesystem;

std::optional<std::string> processEnvironment(const char* name) {
  if (const char* v = std::getenv(name)) return std::string(v);
  return std::nullopt;
}

namespace {

std::optional<std::string> nonEmpty(const Environment& env, const char* name) {
  auto v = env(name);
  if (!v || v->empty()) return std::nullopt;
  return v;
}

std::optional<std::string> passwdHome(const char* user) {
  long size = sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
  passwd entry{};
  passwd* result = nullptr;
  int rc = user ? getpwnam_r(user, &entry, buffer.data(), buffer.size(), &result)
                : getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &result);
  if (rc != 0 || !result || !result->pw_dir || !*result->pw_dir) return std::nullopt;
  return std::string(result->pw_dir);
}

std::optional<std::string> home(const Environment& env) {
  if (auto h = nonEmpty(env, "HOME")) return h;
  return passwdHome(nullptr);
}

fs::path temporaryDirectory(const Environment& env) {
  if (auto t = nonEmpty(env, "TMPDIR")) return *t;
  return "/tmp";
}

}  // namespace

std::string expandTilde(const std::string& path, const Environment& env) {
  if (path.empty() || path.front() != '~') return path;
  auto slash = path.find('/');
  std::string user = path.substr(1, slash == std::string::npos ? std::string::npos : slash - 1);
  std::optional<std::string> base = user.empty() ? home(env) : passwdHome(user.c_str());
  if (!base) return path;
  std::string rest = slash == std::string::npos ? std::string() : path.substr(slash);
  while (base->size() > 1 && base->back() == '/') base->pop_back();
  return *base + rest;
}

fs::path appSupportLocation(const Environment& env) {
  // Relative values of XDG_DATA_HOME are invalid and ignored.
  if (auto xdg = nonEmpty(env, "XDG_DATA_HOME"); xdg && xdg->front() == '/') return fs::path(*xdg) / folderName;
  if (auto h = home(env)) return fs::path(*h) / ".local" / "share" / folderName;
  return temporaryDirectory(env) / folderName;
}

void moveFolderOfFormerName(const fs::path& newFolder, const fs::path& parent) {
  std::error_code ec;
  if (fs::exists(fs::symlink_status(newFolder, ec))) return;
  const fs::path former = parent / formerFolderName;
  if (!fs::exists(fs::symlink_status(former, ec))) return;
  fs::rename(former, newFolder, ec);  // a failed move is ignored: the new location is used regardless
}

fs::path resolveAppSupport(const Environment& env) {
  fs::path folder = appSupportLocation(env);
  moveFolderOfFormerName(folder, folder.parent_path());
  return folder;
}

fs::path resolveData(const Environment& env) {
  if (auto dir = nonEmpty(env, dataDirVariable)) return fs::path(expandTilde(*dir, env));
  return appSupport();
}

const fs::path& appSupport() {
  static const fs::path path = resolveAppSupport(processEnvironment);
  return path;
}

const fs::path& data() {
  static const fs::path path = resolveData(processEnvironment);
  return path;
}

}  // namespace tavolune::TavolunePaths
