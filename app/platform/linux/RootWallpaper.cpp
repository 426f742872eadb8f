#include "app/platform/linux/RootWallpaper.hpp"

#include "app/platform/linux/Xcb.hpp"
#include "app/platform/linux/XcbSharedUpload.hpp"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>

namespace tavolune {
namespace {

template <class T>
using Reply = std::unique_ptr<T, decltype(&std::free)>;

// The top-level windows of the root: the window manager's client list where
// there is one, else the root's children.
std::vector<xcb_window_t> topLevels(xcb_connection_t* c, xcb_window_t root) {
  auto clients = xcb::cardinals(c, root, xcb::atom(c, "_NET_CLIENT_LIST"));
  if (!clients.empty()) return {clients.begin(), clients.end()};
  Reply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(c, xcb_query_tree(c, root), nullptr), &std::free);
  if (!tree) return {};
  const auto* children = xcb_query_tree_children(tree.get());
  return {children, children + xcb_query_tree_children_length(tree.get())};
}

// A mapped desktop-type window of another process over any piece: it hides
// whatever the root shows.
std::optional<QString> coveringDesktopWindow(xcb_connection_t* c, xcb_window_t root,
                                             const std::vector<SpannedPiece>& pieces) {
  const xcb_atom_t type = xcb::atom(c, "_NET_WM_WINDOW_TYPE");
  const xcb_atom_t desktop = xcb::atom(c, "_NET_WM_WINDOW_TYPE_DESKTOP");
  const xcb_atom_t pid = xcb::atom(c, "_NET_WM_PID");
  for (xcb_window_t w : topLevels(c, root)) {
    const auto types = xcb::cardinals(c, w, type);
    if (std::find(types.begin(), types.end(), desktop) == types.end()) continue;
    if (xcb::cardinal(c, w, pid) == static_cast<std::uint32_t>(getpid())) continue;
    Reply<xcb_get_window_attributes_reply_t> attributes(
        xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, w), nullptr), &std::free);
    if (!attributes || attributes->map_state != XCB_MAP_STATE_VIEWABLE) continue;
    Reply<xcb_get_geometry_reply_t> geometry(xcb_get_geometry_reply(c, xcb_get_geometry(c, w), nullptr), &std::free);
    Reply<xcb_translate_coordinates_reply_t> at(
        xcb_translate_coordinates_reply(c, xcb_translate_coordinates(c, w, root, 0, 0), nullptr), &std::free);
    if (!geometry || !at) continue;
    const QRect area(at->dst_x, at->dst_y, geometry->width, geometry->height);
    for (const auto& p : pieces) {
      if (area.intersects(p.geometry)) {
        return QStringLiteral("a desktop window of another program (0x%1) covers the root window")
            .arg(w, 0, 16);
      }
    }
  }
  return std::nullopt;
}

// Sends the image in strips of about a quarter megabyte. The server reads
// a request whole before it draws it: strips of many megabytes have it grow
// (and drop again) an input buffer that large and leave it idle meanwhile,
// where small ones keep it drawing while the rest is sent.
void upload(xcb_connection_t* c, xcb_pixmap_t pixmap, xcb_gcontext_t gc, const QImage& image, QPoint at) {
  constexpr std::uint32_t stripBytes = 256 * 1024;
  const std::uint32_t maxBytes = std::min(stripBytes, xcb_get_maximum_request_length(c) * 4 - 64);
  const auto stride = static_cast<std::uint32_t>(image.bytesPerLine());
  const int rowsPerStrip = std::max<int>(1, static_cast<int>(maxBytes / stride));
  for (int y = 0; y < image.height(); y += rowsPerStrip) {
    const int rows = std::min(rowsPerStrip, image.height() - y);
    xcb_put_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, pixmap, gc, static_cast<std::uint16_t>(image.width()),
                  static_cast<std::uint16_t>(rows), static_cast<std::int16_t>(at.x()),
                  static_cast<std::int16_t>(at.y() + y), 0, 24, stride * rows, image.constScanLine(y));
  }
}

void fill(xcb_connection_t* c, xcb_pixmap_t pixmap, xcb_gcontext_t gc, const QRect& area, const QColor& colour) {
  const std::uint32_t pixel[] = {colour.rgb() & 0xFFFFFFu};
  xcb_change_gc(c, gc, XCB_GC_FOREGROUND, pixel);
  const xcb_rectangle_t rectangle{static_cast<std::int16_t>(area.x()), static_cast<std::int16_t>(area.y()),
                                  static_cast<std::uint16_t>(area.width()), static_cast<std::uint16_t>(area.height())};
  xcb_poly_fill_rectangle(c, pixmap, gc, 1, &rectangle);
}

// The server ignores the top byte: premultiplied pixels are the picture
// over black as they are, and need no conversion.
QImage serverPixels(const QImage& source) {
  const bool asIs = source.format() == QImage::Format_RGB32 || source.format() == QImage::Format_ARGB32_Premultiplied;
  return asIs || source.isNull() ? source : source.convertToFormat(QImage::Format_RGB32);
}

// One area of the root: its picture, exactly its size, or its colour alone.
struct Part {
  QRect area;
  QColor fill;
  QImage picture;
};

// Puts the parts on a new pixmap the size of the root, black where none
// lies, and announces it as the root's picture.
WallpaperBackend::Outcome show(xcb_connection_t* c, const xcb_screen_t* screen, const std::vector<Part>& parts,
                               std::uint32_t* set, RootWallpaper::Transfer* transfer) {
  const xcb_window_t root = screen->root;
  const QRect rootArea(0, 0, screen->width_in_pixels, screen->height_in_pixels);
  const xcb_atom_t rootPmap = xcb::atom(c, "_XROOTPMAP_ID");
  const xcb_atom_t esetroot = xcb::atom(c, "ESETROOT_PMAP_ID");

  const xcb_pixmap_t pixmap = xcb_generate_id(c);
  xcb_create_pixmap(c, screen->root_depth, pixmap, root, screen->width_in_pixels, screen->height_in_pixels);
  const xcb_gcontext_t gc = xcb_generate_id(c);
  xcb_create_gc(c, gc, pixmap, 0, nullptr);
  const bool covered = std::any_of(parts.begin(), parts.end(),
                                   [&](const Part& p) { return !p.picture.isNull() && p.area == rootArea; });
  if (!covered) fill(c, pixmap, gc, rootArea, Qt::black);
  std::vector<xcb::Placed> pictures;
  for (const auto& p : parts) {
    if (p.picture.isNull()) {
      fill(c, pixmap, gc, p.area, p.fill);
    } else {
      pictures.push_back({&p.picture, p.area.topLeft()});
    }
  }
  const bool shared = xcb::putShared(c, pixmap, gc, pictures);
  if (!shared) {
    for (const auto& [picture, at] : pictures) upload(c, pixmap, gc, *picture, at);
  }
  xcb_free_gc(c, gc);
  if (xcb_connection_has_error(c)) return QStringLiteral("the picture could not be sent to the X server");

  // The server keeps everything this connection made after it closes, so
  // the pixmap stays; the previous such pixmap is freed by ending its
  // creator's kept resources, as other root setters do.
  xcb_grab_server(c);
  const auto oldRoot = xcb::cardinal(c, root, rootPmap);
  const auto oldEset = xcb::cardinal(c, root, esetroot);
  if (oldRoot && oldEset && *oldRoot == *oldEset && *oldRoot != XCB_NONE) {
    xcb_discard_reply(c, xcb_kill_client_checked(c, *oldRoot).sequence);
  }
  xcb::setCardinals(c, root, rootPmap, XCB_ATOM_PIXMAP, {pixmap});
  xcb::setCardinals(c, root, esetroot, XCB_ATOM_PIXMAP, {pixmap});
  const std::uint32_t background[] = {pixmap};
  xcb_change_window_attributes(c, root, XCB_CW_BACK_PIXMAP, background);
  xcb_clear_area(c, 0, root, 0, 0, 0, 0);
  xcb_set_close_down_mode(c, XCB_CLOSE_DOWN_RETAIN_PERMANENT);
  xcb_ungrab_server(c);
  const auto confirmed = xcb::cardinal(c, root, rootPmap);
  if (xcb_connection_has_error(c) || confirmed != pixmap) {
    return QStringLiteral("the root window did not take the picture");
  }
  if (set) *set = pixmap;
  if (transfer) *transfer = shared ? RootWallpaper::Transfer::sharedMemory : RootWallpaper::Transfer::requests;
  return std::nullopt;
}

bool rootTakes32BitPixels(xcb_connection_t* c, const xcb_screen_t* screen) {
  if (screen->root_depth != 24) return false;
  auto it = xcb_setup_pixmap_formats_iterator(xcb_get_setup(c));
  for (; it.rem; xcb_format_next(&it)) {
    if (it.data->depth == 24) return it.data->bits_per_pixel == 32;
  }
  return false;
}

}  // namespace

RootWallpaper::RootWallpaper(SystemLog& log, QObject* parent) : WallpaperBackend(log, parent) {}

RootWallpaper::~RootWallpaper() { jobs_.stop(); }

void RootWallpaper::apply(const WallpaperRequest& request, Done finish) {
  const auto pieces = spanned_.update(request);
  jobs_.run(
      [pieces] {
        std::uint32_t pixmap = 0;
        Outcome outcome = setRoot(pieces, &pixmap);
        return std::pair(outcome, pixmap);
      },
      [this, finish](std::pair<Outcome, std::uint32_t> result) {
        if (!result.first) spanned_.confirm(QString::number(result.second));
        finish(result.first);
      });
}

void RootWallpaper::read(const Display& display, int, Shown finish) {
  jobs_.run([] { return rootPixmap(); },
            [this, key = display.key, finish](std::optional<std::uint32_t> pixmap) {
              finish(pixmap ? spanned_.fileShown(QString::number(*pixmap), key) : std::nullopt);
            });
}

std::optional<std::uint32_t> RootWallpaper::rootPixmap() {
  int number = 0;
  auto c = xcb::connect(&number);
  if (!c) return std::nullopt;
  const auto* screen = xcb::screenOf(c.get(), number);
  if (!screen) return std::nullopt;
  return xcb::cardinal(c.get(), screen->root, xcb::atom(c.get(), "_XROOTPMAP_ID"));
}

WallpaperBackend::Outcome RootWallpaper::setRoot(const std::vector<SpannedPiece>& pieces, std::uint32_t* pixmap,
                                                 Transfer* transfer) {
  int number = 0;
  auto owned = xcb::connect(&number);
  if (!owned) return QStringLiteral("the X display cannot be reached");
  xcb_connection_t* c = owned.get();
  const auto* screen = xcb::screenOf(c, number);
  if (!screen) return QStringLiteral("the X display has no screen %1").arg(number);
  if (auto covered = coveringDesktopWindow(c, screen->root, pieces)) return covered;
  if (!rootTakes32BitPixels(c, screen)) return QStringLiteral("the root window's depth is not supported");
  // Each display's picture goes where it lies: one picture of the whole
  // root put together first would cost as much again, and more to send.
  const QRect rootArea(0, 0, screen->width_in_pixels, screen->height_in_pixels);
  std::vector<Part> parts;
  for (const auto& p : pieces) {
    const QRect area = p.geometry.intersected(rootArea);
    if (area.isEmpty()) continue;
    auto [picture, source] = SpannedPicture::filling(p);
    if (!picture.isNull()) {
      const QRect shown = area.translated(source.topLeft() - p.geometry.topLeft());
      if (shown != picture.rect()) picture = picture.copy(shown);
    }
    parts.push_back({area, p.fill.isValid() ? p.fill : QColor(Qt::black), serverPixels(picture)});
  }
  return show(c, screen, parts, pixmap, transfer);
}

WallpaperBackend::Outcome RootWallpaper::setRootImage(const QImage& source, std::uint32_t* set, Transfer* transfer) {
  int number = 0;
  auto owned = xcb::connect(&number);
  if (!owned) return QStringLiteral("the X display cannot be reached");
  xcb_connection_t* c = owned.get();
  const auto* screen = xcb::screenOf(c, number);
  if (!screen) return QStringLiteral("the X display has no screen %1").arg(number);
  if (!rootTakes32BitPixels(c, screen)) return QStringLiteral("the root window's depth is not supported");
  const QRect rootArea(0, 0, screen->width_in_pixels, screen->height_in_pixels);
  const QImage image =
      serverPixels(source).scaled(rootArea.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  return show(c, screen, {{rootArea, Qt::black, image}}, set, transfer);
}

}  // namespace tavolune
