#include "app/style/Symbols.hpp"

#include <QCache>
#include <QImage>

#include <array>
#include <cmath>
#include <utility>

// Resources of a static library must be pulled in by name.
static void initResources() {
  Q_INIT_RESOURCE(style);
  Q_INIT_RESOURCE(shell);
}

namespace tavolune::Symbols {
namespace {

constexpr std::array<Entry, 65> entries{{
    {"arrow.clockwise", "view-refresh", "arrow-clockwise"},
    {"arrow.counterclockwise", "edit-undo", "arrow-counterclockwise"},
    {"arrow.down.circle", "go-down", "arrow-down-circle"},
    {"arrow.triangle.2.circlepath", "view-refresh", "sync"},
    {"aspectratio", "zoom-fit-best", "aspectratio"},
    {"backward.fill", "media-skip-backward", "backward"},
    {"bitcoinsign.circle", "", "bitcoin"},
    {"bubble.left.and.text.bubble.right", "mail-message-new", "bubbles"},
    {"checkmark.circle", "", "check-circle"},
    {"checkmark.circle.fill", "emblem-default", "check-circle-fill"},
    {"clock", "preferences-system-time", "clock"},
    {"clock.arrow.circlepath", "document-open-recent", "clock-history"},
    {"display", "video-display", "display"},
    {"doc", "text-x-generic", "doc"},
    {"e.circle", "", "e-circle"},
    {"exclamationmark.triangle", "dialog-warning", "warning"},
    {"exclamationmark.triangle.fill", "dialog-warning", "warning-fill"},
    {"eye", "view-visible", "eye"},
    {"eye.slash", "view-hidden", "eye-slash"},
    {"figure.walk", "", "walk"},
    {"forward.fill", "media-skip-forward", "forward"},
    {"gearshape", "preferences-system", "gear"},
    {"info.circle", "dialog-information", "info-circle"},
    {"internaldrive", "drive-harddisk", "internaldrive"},
    {"line.3.horizontal.decrease", "view-filter", "filter"},
    {"line.3.horizontal.decrease.circle.fill", "view-filter", "filter-circle-fill"},
    {"lock.fill", "changes-prevent", "lock-fill"},
    {"menubar.dock.rectangle", "user-desktop", "desktop"},
    {"minus.circle", "list-remove", "minus-circle"},
    {"paintbrush.pointed", "", "brush"},
    {"pause.circle", "media-playback-pause", "pause-circle"},
    {"pause.fill", "media-playback-pause", "pause"},
    {"photo", "image-x-generic", "photo"},
    {"photo.artframe", "", "artframe"},
    {"play.circle", "media-playback-start", "play-circle"},
    {"play.circle.fill", "media-playback-start", "play-circle-fill"},
    {"play.fill", "media-playback-start", "play"},
    {"play.rectangle", "", "play-rectangle"},
    {"plus", "list-add", "plus"},
    {"plus.circle", "list-add", "plus-circle"},
    {"plus.circle.fill", "list-add", "plus-circle-fill"},
    {"power", "system-shutdown", "power"},
    {"rectangle.on.rectangle", "", "rects"},
    {"rectangle.on.rectangle.angled", "", "rects-angled"},
    {"rectangle.stack.badge.minus", "", "stack-minus"},
    {"rectangle.stack.badge.plus", "", "stack-plus"},
    {"rotate.left", "object-rotate-left", "rotate-left"},
    {"rotate.right", "object-rotate-right", "rotate-right"},
    {"ruler", "", "ruler"},
    {"shuffle", "media-playlist-shuffle", "shuffle"},
    {"sidebar.right", "", "sidebar-right"},
    {"sparkle.magnifyingglass", "edit-find", "find-sparkle"},
    {"sparkles", "", "sparkles"},
    {"sparkles.tv", "preferences-desktop-screensaver", "sparkles-tv"},
    {"square.grid.2x2", "view-grid", "grid"},
    {"square.stack.3d.up", "", "stack-3d"},
    {"star", "", "star"},
    {"star.fill", "starred", "star-fill"},
    {"stop.fill", "media-playback-stop", "stop"},
    {"t.circle", "", "t-circle"},
    {"text.below.photo", "", "text-below-photo"},
    {"textformat", "preferences-desktop-font", "textformat"},
    {"timer", "", "timer"},
    {"trash", "user-trash", "trash"},
    {"xmark", "window-close", "xmark"},
}};

const Entry* find(std::string_view symbol) {
  for (const auto& e : entries) {
    if (e.symbol == symbol) return &e;
  }
  return nullptr;
}

QString resourcePath(const Entry& e) {
  static const bool loaded = (initResources(), true);
  (void)loaded;
  return QStringLiteral(":/tavolune/symbols/") + QString::fromLatin1(e.fallback.data(), qsizetype(e.fallback.size())) +
         QStringLiteral(".svg");
}

}  // namespace

std::span<const Entry> table() { return entries; }

// Icons and tinted drawings are asked for on every paint of a row or
// button, and each new icon parses its drawing again: made once, kept for
// the life of the process (never destroyed, so never after Qt's own).
QIcon fallbackIcon(std::string_view symbol) {
  const Entry* e = find(symbol);
  if (!e) return {};
  static auto& made = *new std::array<QIcon, entries.size()>;
  QIcon& icon = made[std::size_t(e - entries.data())];
  if (icon.isNull()) icon = QIcon(resourcePath(*e));
  return icon;
}

QIcon icon(std::string_view symbol) {
  const Entry* e = find(symbol);
  if (!e) return {};
  if (e->themeName.empty()) return fallbackIcon(symbol);
  // A theme icon looks the theme up again when the theme changes.
  static auto& made = *new std::array<QIcon, entries.size()>;
  QIcon& icon = made[std::size_t(e - entries.data())];
  if (icon.isNull()) {
    icon = QIcon::fromTheme(QString::fromLatin1(e->themeName.data(), qsizetype(e->themeName.size())),
                            fallbackIcon(symbol));
  }
  return icon;
}

QPixmap tinted(std::string_view symbol, QSize size, const QColor& color, qreal devicePixelRatio) {
  const Entry* e = find(symbol);
  if (!e) return {};
  using Key = std::pair<quint64, quint64>;
  static QCache<Key, QImage> made(2048);  // KiB
  const Key key{(quint64(e - entries.data()) << 32) | (quint64(quint16(size.width())) << 16) | quint16(size.height()),
                (quint64(color.rgba()) << 32) | quint32(std::lround(devicePixelRatio * 100))};
  if (const QImage* image = made.object(key)) return QPixmap::fromImage(*image);
  const QIcon drawing = fallbackIcon(symbol);
  // The drawings are black ink with white cut-outs: ink takes the colour,
  // white becomes transparent.
  QImage image = drawing.pixmap(size, devicePixelRatio).toImage().convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < image.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < image.width(); ++x) {
      const QRgb p = line[x];
      const int ink = qAlpha(p) * (255 - qGray(p)) / 255;
      line[x] = qRgba(color.red(), color.green(), color.blue(), ink * color.alpha() / 255);
    }
  }
  image.convertTo(QImage::Format_ARGB32_Premultiplied);  // drawn as it is, copied without a conversion
  const QPixmap out = QPixmap::fromImage(image);
  const auto cost = std::max<qsizetype>(1, qsizetype(image.sizeInBytes() / 1024));
  made.insert(key, new QImage(std::move(image)), cost);
  return out;
}

QIcon applicationIcon() {
  static const bool loaded = (initResources(), true);
  (void)loaded;
  return QIcon::fromTheme(QStringLiteral("tavolune"), QIcon(QStringLiteral(":/tavolune/icons/tavolune.svg")));
}

}  // namespace tavolune::Symbols
