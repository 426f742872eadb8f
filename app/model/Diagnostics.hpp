#pragma once
// The support report, the feedback link and the version text. The report
// itself is a pure function of its inputs; gathering them (machine files,
// the crash folder) blocks briefly and is done when the user asks for a
// report, never ahead of time. GUI thread only where noted.

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/model/BuildInfo.hpp"
#include "app/platform/DisplaySource.hpp"
#include "core/base/Date.hpp"
#include "core/text/Phrases.hpp"

namespace tavolune {

class MachineInfo;
struct LibraryState;

namespace Diagnostics {

// "1.4.0 (212)"; a missing part is "?".
QString version(const BuildInfo& build);
// The repository when it contains "/", else nothing (and no feedback link).
std::optional<QString> feedbackRepo(const BuildInfo& build);

// The computer and its displays, for the report's second line.
struct SystemDescription {
  QString distribution;  // "Debian GNU/Linux 12 (bookworm)"
  QString kernel;        // "Linux 6.1.0-18-amd64"
  QString machine;       // may be empty
  std::vector<Display> displays;
};
// Blocks briefly (MachineInfo reads files). GUI thread only (displays).
SystemDescription describe(const MachineInfo& machine, const DisplaySource& displays);

// The report: version, system, library, settings and desktop lines, one
// line per wallet and, when there are any, the recent crashes. Wallet
// labels, addresses, typed texts and names, and anything the address
// detector recognises, are redacted from the free texts (errors, the
// desktop status). `now` dates the wallets' last syncs.
QString report(const BuildInfo& build, const SystemDescription& system, const LibraryState& state,
               const QString& desktopStatus, const QStringList& recentCrashes, Date now);

// The crash reports folder of a data folder: "<data>/Crashes".
QString crashesFolder(const QString& dataFolder);
// The names of the last five crash reports (names beginning "Tavolune")
// changed within seven days before `now`, in ascending name order. An
// unreadable folder gives none. Blocks briefly (lists the folder).
QStringList recentCrashes(const QString& folder, const QDateTime& now);

// Whole minutes of an interval in seconds, truncated toward zero; an
// interval that is not a finite number prints "?" and one too large for
// 64 bits prints in full rather than overflowing.
QString wholeMinutes(double seconds);
// "3 hours ago", "in 2 days", "0 seconds ago", in the user's language (or
// the named locale); in the named style "yesterday", "tomorrow", "now".
QString relativeTime(Date date, Date now, const std::string& locale = {},
                     text::RelativeStyle style = text::RelativeStyle::numeric);
// Replaces each secret (whole-word, ignoring letter case) and each word the
// address detector recognises with "[redacted]".
QString redacted(const QString& text, const std::vector<QString>& secrets);

// The feedback form's address with the report attached, the report cut
// (at a line break where it can) so that the whole link stays under
// maxLinkLength. Nothing when the repository is missing or the address is
// not an https link to the code host.
inline constexpr qsizetype maxLinkLength = 8000;
std::optional<QUrl> feedbackURL(const BuildInfo& build, const QString& report);

// Opens the feedback link with `open` (the desktop's browser by default).
// False when there is no link. GUI thread only.
using UrlOpener = std::function<bool(const QUrl&)>;
bool sendFeedback(const BuildInfo& build, const QString& report, const UrlOpener& open = {});

}  // namespace Diagnostics
}  // namespace tavolune
