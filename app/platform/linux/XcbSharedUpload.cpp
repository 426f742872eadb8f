#include "app/platform/linux/XcbSharedUpload.hpp"

#include <xcb/shm.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>

namespace tavolune::xcb {
namespace {

// One growing buffer for the process: a root picture is uploaded at a time.
struct Memory {
  std::mutex lock;
  int fd = -1;
  void* data = nullptr;
  std::size_t size = 0;

  bool reserve(std::size_t bytes) {
    if (bytes <= size) return true;
    release();
    constexpr std::size_t step = std::size_t(1) << 20;
    const std::size_t rounded = (bytes + step - 1) / step * step;
    fd = memfd_create("tavolune-root-picture", MFD_CLOEXEC);
    if (fd < 0) return false;
    void* mapped = MAP_FAILED;
    if (ftruncate(fd, off_t(rounded)) == 0) {
      mapped = mmap(nullptr, rounded, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    }
    if (mapped == MAP_FAILED) {
      release();
      return false;
    }
    data = mapped;
    size = rounded;
    return true;
  }
  void release() {
    if (data) munmap(data, size);
    if (fd >= 0) close(fd);
    fd = -1;
    data = nullptr;
    size = 0;
  }
};

Memory& memory() {
  static Memory m;
  return m;
}

// File descriptors pass only over a local socket; MIT-SHM 1.2 takes them.
bool serverTakesMemory(xcb_connection_t* c) {
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  if (getsockname(xcb_get_file_descriptor(c), reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
      address.ss_family != AF_UNIX) {
    return false;
  }
  const auto* extension = xcb_get_extension_data(c, &xcb_shm_id);
  if (!extension || !extension->present) return false;
  std::unique_ptr<xcb_shm_query_version_reply_t, decltype(&std::free)> version(
      xcb_shm_query_version_reply(c, xcb_shm_query_version(c), nullptr), &std::free);
  return version && (version->major_version > 1 || (version->major_version == 1 && version->minor_version >= 2));
}

bool failed(xcb_connection_t* c, xcb_void_cookie_t cookie) {
  std::unique_ptr<xcb_generic_error_t, decltype(&std::free)> error(xcb_request_check(c, cookie), &std::free);
  return error != nullptr;
}

}  // namespace

bool putShared(xcb_connection_t* c, xcb_drawable_t drawable, xcb_gcontext_t gc, const std::vector<Placed>& images) {
  if (!serverTakesMemory(c)) return false;
  std::size_t bytes = 0;
  for (const auto& p : images) bytes += std::size_t(p.image->width()) * 4 * std::size_t(p.image->height());
  if (bytes == 0) return true;

  auto& m = memory();
  const std::lock_guard held(m.lock);
  if (!m.reserve(bytes)) return false;
  // The connection takes this descriptor and closes it once sent.
  const int passed = fcntl(m.fd, F_DUPFD_CLOEXEC, 0);
  if (passed < 0) return false;
  const xcb_shm_seg_t segment = xcb_generate_id(c);
  if (failed(c, xcb_shm_attach_fd_checked(c, segment, passed, 1))) return false;

  // Strips of a few megabytes: the server draws one while the next is copied.
  constexpr std::size_t stripBytes = std::size_t(4) << 20;
  std::vector<xcb_void_cookie_t> puts;
  std::size_t offset = 0;
  for (const auto& [image, at] : images) {
    const std::size_t row = std::size_t(image->width()) * 4;
    const int rowsPerStrip = int(std::max<std::size_t>(1, stripBytes / row));
    for (int y = 0; y < image->height(); y += rowsPerStrip) {
      const int rows = std::min(rowsPerStrip, image->height() - y);
      auto* target = static_cast<unsigned char*>(m.data) + offset;
      if (std::size_t(image->bytesPerLine()) == row) {
        std::memcpy(target, image->constScanLine(y), row * std::size_t(rows));
      } else {
        for (int r = 0; r < rows; ++r) std::memcpy(target + row * std::size_t(r), image->constScanLine(y + r), row);
      }
      const auto w = static_cast<std::uint16_t>(image->width()), h = static_cast<std::uint16_t>(rows);
      puts.push_back(xcb_shm_put_image_checked(c, drawable, gc, w, h, 0, 0, w, h, static_cast<std::int16_t>(at.x()),
                                               static_cast<std::int16_t>(at.y() + y), 24, XCB_IMAGE_FORMAT_Z_PIXMAP,
                                               0, segment, static_cast<std::uint32_t>(offset)));
      xcb_flush(c);
      offset += row * std::size_t(rows);
    }
  }
  bool ok = true;
  for (const auto& cookie : puts) ok = !failed(c, cookie) && ok;
  // Detached before the connection ends: a connection whose resources are
  // kept would keep the segment too. Checked, so the server has read every
  // picture before the next upload writes over the memory.
  ok = !failed(c, xcb_shm_detach_checked(c, segment)) && ok;
  return ok && !xcb_connection_has_error(c);
}

}  // namespace tavolune::xcb
