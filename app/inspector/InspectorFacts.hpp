#pragma once
// The small rules the inspector's views share: the work's page link, quarter
// turns and their text, display names, the framing a work gets without one
// of its own, and the main display's aspect and framing. Pure, except the
// two readers of the desktop controller; GUI thread only for those.

#include "core/model/Artwork.hpp"
#include "core/model/Placement.hpp"

#include <QSize>
#include <QString>
#include <QUrl>

#include <optional>
#include <string>

namespace tavolune {

class AppModel;
class DesktopController;

namespace inspector {

inline constexpr double fallbackAspect = 1.6;

// "Open " and the host, or "Open Page" when the URL has none.
QString pageTitle(const QUrl& url);

// Quarter turns after a step of +1 (right) or -1 (left), in 0...3.
int turned(int turns, int step);
// "0°", "90°", "180°" or "270°".
QString rotationText(int turns);

// "Generative", "Video", "Image" or "Other".
QString mediaName(MediaKind kind);

// The framing shown for a work without its own: the placement's framing;
// for a work in a frame, the display's framing; full bleed fills.
Framing effectiveFraming(const Placement& placement, Framing desktopFraming);

// Width over height; 1.6 for no size or a zero height.
double aspectOf(std::optional<QSize> size);

// The main display's framing (fit when no display is known) and aspect
// (1.6 when none is known).
Framing desktopFraming(const DesktopController& desktop);
double mainScreenAspect(const DesktopController& desktop);

// Adds the work to My Selection or takes it out, then saves, recounts and
// tells the desktop, in that order.
void toggleInMySelection(AppModel& model, const std::string& artworkID);

}  // namespace inspector
}  // namespace tavolune
