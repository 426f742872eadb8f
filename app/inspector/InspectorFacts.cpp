#include "app/inspector/InspectorFacts.hpp"

#include "app/desktop/DesktopController.hpp"
#include "app/model/AppModel.hpp"
#include "core/base/Enum.hpp"

#include <QGuiApplication>
#include <QScreen>

namespace tavolune::inspector {

QString pageTitle(const QUrl& url) {
  return QStringLiteral("Open ") + (url.host().isEmpty() ? QStringLiteral("Page") : url.host());
}

int turned(int turns, int step) { return ((turns + step) % 4 + 4) % 4; }

QString rotationText(int turns) { return QStringLiteral("%1°").arg(turned(turns, 0) * 90); }

QString mediaName(MediaKind kind) {
  QString name = QString::fromUtf8(rawValue(kind).data(), qsizetype(rawValue(kind).size()));
  if (!name.isEmpty()) name[0] = name[0].toUpper();
  return name;
}

Framing effectiveFraming(const Placement& placement, Framing desktopFraming) {
  if (const auto* framed = placement.as<Placement::Framed>()) return framed->framing;
  if (placement.as<Placement::InFrame>()) return desktopFraming;
  return Framing::fill;
}

double aspectOf(std::optional<QSize> size) {
  if (!size || size->height() <= 0 || size->width() <= 0) return fallbackAspect;
  return double(size->width()) / double(size->height());
}

Framing desktopFraming(const DesktopController& desktop) {
  const auto key = desktop.mainKey();
  return key ? desktop.config(*key).framing : Framing::fit;
}

double mainScreenAspect(const DesktopController& desktop) {
  // The display the desktop hangs on; before it knows one, the system's.
  if (const auto key = desktop.mainKey()) {
    if (const auto display = desktop.display(*key)) return aspectOf(display->geometry.size());
  }
  const QScreen* screen = QGuiApplication::primaryScreen();
  return aspectOf(screen ? std::optional<QSize>(screen->geometry().size()) : std::nullopt);
}

void toggleInMySelection(AppModel& model, const std::string& artworkID) { model.toggleMySelection({artworkID}); }

}  // namespace tavolune::inspector
