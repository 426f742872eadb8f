#include "app/platform/linux/LinuxMachineInfo.hpp"

#include "core/text/Text.hpp"

#include <fstream>
#include <iterator>
#include <sstream>

namespace tavolune {
namespace {

// sysfs and the device tree pad with line breaks and NULs.
std::string cleaned(std::string s) {
  for (auto& c : s) {
    if (c == '\0') c = ' ';
  }
  return text::trimWhitespaceAndNewlines(s);
}

// The value of KEY=... in an os-release file, unquoted.
std::string osReleaseValue(const std::string& file, std::string_view key) {
  std::istringstream lines(file);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.size() <= key.size() || line.compare(0, key.size(), key) != 0 || line[key.size()] != '=') continue;
    std::string value = cleaned(line.substr(key.size() + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
      value = value.substr(1, value.size() - 2);
    }
    return value;
  }
  return {};
}

}  // namespace

LinuxMachineInfo::LinuxMachineInfo(std::filesystem::path root) : root_(std::move(root)) {}

std::string LinuxMachineInfo::read(const char* relative) const {
  std::ifstream in(root_ / relative, std::ios::binary);
  if (!in) return {};
  std::string content;
  // Small files only: a bounded read keeps a strange path from stalling us.
  content.resize(64 * 1024);
  in.read(content.data(), std::streamsize(content.size()));
  content.resize(std::size_t(in.gcount()));
  return content;
}

std::string LinuxMachineInfo::kernel() const {
  std::string name = cleaned(read("proc/sys/kernel/ostype"));
  std::string release = cleaned(read("proc/sys/kernel/osrelease"));
  if (name.empty()) name = "Linux";
  return release.empty() ? std::string() : name + " " + release;
}

std::string LinuxMachineInfo::distribution() const {
  std::string file = read("etc/os-release");
  if (file.empty()) file = read("usr/lib/os-release");
  std::string pretty = osReleaseValue(file, "PRETTY_NAME");
  if (!pretty.empty()) return pretty;
  std::string name = osReleaseValue(file, "NAME");
  std::string version = osReleaseValue(file, "VERSION");
  return version.empty() ? name : name + " " + version;
}

std::string LinuxMachineInfo::model() const {
  std::string vendor = cleaned(read("sys/class/dmi/id/sys_vendor"));
  std::string product = cleaned(read("sys/class/dmi/id/product_name"));
  if (!product.empty()) {
    if (vendor.empty() || text::startsWith(product, vendor)) return product;
    return vendor + " " + product;
  }
  return cleaned(read("proc/device-tree/model"));
}

}  // namespace tavolune
