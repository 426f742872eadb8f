#include "app/model/Diagnostics.hpp"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>

#include "app/platform/MachineInfo.hpp"
#include "app/qt/Convert.hpp"
#include "core/model/LibraryState.hpp"
#include "core/text/Phrases.hpp"

namespace tavolune::Diagnostics {
namespace {

const QString separator = QStringLiteral(" · ");

QString orUnknown(const QString& s) { return s.isEmpty() ? QStringLiteral("?") : s; }

QString systemLine(const SystemDescription& system) {
  QStringList os;
  if (!system.distribution.isEmpty()) os << system.distribution;
  if (!system.kernel.isEmpty()) os << system.kernel;
  if (os.isEmpty()) os << QStringLiteral("Linux");
  QStringList screens;
  for (const auto& d : system.displays) {
    // Logical size, as a user sets it; the scale truncated like the sizes.
    const double scale = d.scale > 0 ? d.scale : 1.0;
    screens << QStringLiteral("%1×%2@%3x")
                   .arg(static_cast<long long>(d.geometry.width() / scale))
                   .arg(static_cast<long long>(d.geometry.height() / scale))
                   .arg(static_cast<long long>(scale));
  }
  return os.join(separator) + separator + system.machine + separator + QString::number(system.displays.size()) +
         QStringLiteral(" display(s): ") + screens.join(QStringLiteral(", "));
}

QString familyWord(ChainFamily family) {
  switch (family) {
    case ChainFamily::evm: return QStringLiteral("evm");
    case ChainFamily::tezos: return QStringLiteral("tezos");
    case ChainFamily::bitcoin: return QStringLiteral("bitcoin");
  }
  return {};
}

QString holdings(const LibraryState& state, const Wallet& wallet) {
  std::map<Chain, qsizetype> perChain;
  if (auto it = state.ownerships.find(wallet.id); it != state.ownerships.end()) {
    for (const auto& [id, quantity] : it->second) {
      if (auto art = state.artworks.find(id); art != state.artworks.end()) ++perChain[art->second.chain];
    }
  }
  QStringList items;
  for (const auto& [chain, n] : perChain) items << qt::str(displayName(chain)) + QLatin1Char(' ') + QString::number(n);
  if (items.isEmpty()) return QStringLiteral("empty");
  std::sort(items.begin(), items.end());  // as text: "Base 3" before "Ethereum 12"
  return items.join(QStringLiteral(", "));
}

std::vector<QString> walletSecrets(const LibraryState& state) {
  std::vector<QString> secrets;
  for (const auto& w : state.wallets) {
    for (const std::string* s : {&w.label, &w.address, &w.input}) secrets.push_back(qt::str(*s));
    if (w.resolvedName) secrets.push_back(qt::str(*w.resolvedName));
    // Texts write long addresses shortened, too.
    secrets.push_back(qt::str(w.shortAddress()));
  }
  return secrets;
}

QString walletLine(const LibraryState& state, const Wallet& w, std::size_t number, Date now,
                   const std::vector<QString>& secrets) {
  QString line = QStringLiteral("Wallet %1: ").arg(number) + familyWord(w.family) + QLatin1Char(' ') +
                 (w.isArtist() ? QStringLiteral("artist") : QStringLiteral("collector")) + separator +
                 holdings(state, w);
  if (w.lastSync) line += separator + QStringLiteral("synced ") + relativeTime(*w.lastSync, now);
  if (w.uncheckedChains && !w.uncheckedChains->empty()) {
    QStringList names;
    for (Chain c : *w.uncheckedChains) names << qt::str(displayName(c));
    line += QStringLiteral(" · not checked: ") + names.join(QStringLiteral(", "));
  }
  if (w.lastError) line += QStringLiteral(" · error: ") + redacted(qt::str(*w.lastError), secrets);
  return line;
}

}  // namespace

QString version(const BuildInfo& build) {
  return orUnknown(build.shortVersion) + QStringLiteral(" (") + orUnknown(build.build) + QLatin1Char(')');
}

std::optional<QString> feedbackRepo(const BuildInfo& build) {
  if (!build.feedbackRepo.contains(QLatin1Char('/'))) return std::nullopt;
  return build.feedbackRepo;
}

SystemDescription describe(const MachineInfo& machine, const DisplaySource& displays) {
  return {qt::str(machine.distribution()), qt::str(machine.kernel()), qt::str(machine.model()),
          displays.displays()};
}

QString report(const BuildInfo& build, const SystemDescription& system, const LibraryState& state,
               const QString& desktopStatus, const QStringList& recentCrashes, Date now) {
  const auto secrets = walletSecrets(state);
  const auto& s = state.settings;
  QStringList lines;
  lines << QStringLiteral("Tavolune ") + version(build);
  lines << systemLine(system);
  lines << QStringLiteral("Library: %1 artworks · %2 visible, %3 in My Selection · %4 series measured")
               .arg(state.artworks.size())
               .arg(state.count(LibraryFilter{}))
               .arg(state.onDesktop.size())
               .arg(state.renderProfiles.size());
  lines << QStringLiteral("Settings: animation ") + qt::str(rawValue(s.animation)) + QStringLiteral(" · every ") +
               wholeMinutes(s.rotationInterval) + QStringLiteral(" min · ") + qt::str(rawValue(s.rotationOrder)) +
               QStringLiteral(" · fits screen ") + (s.onlyFitsScreen ? QStringLiteral("true") : QStringLiteral("false")) +
               QStringLiteral(" · screen saver ") + wholeMinutes(s.screenSaverDelay) + QStringLiteral(" min");
  lines << QStringLiteral("Desktop: ") + redacted(desktopStatus, secrets);
  for (std::size_t i = 0; i < state.wallets.size(); ++i) {
    lines << walletLine(state, state.wallets[i], i + 1, now, secrets);
  }
  if (!recentCrashes.isEmpty()) lines << QStringLiteral("Recent crashes: ") + recentCrashes.join(QStringLiteral(", "));
  return lines.join(QLatin1Char('\n'));
}

QString crashesFolder(const QString& dataFolder) { return QDir(dataFolder).filePath(QStringLiteral("Crashes")); }

QStringList recentCrashes(const QString& folder, const QDateTime& now) {
  const QDateTime cutoff = now.addSecs(-604800);
  QStringList names;
  const auto entries = QDir(folder).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
  for (const QFileInfo& entry : entries) {
    if (!entry.fileName().startsWith(QLatin1String("Tavolune"), Qt::CaseSensitive)) continue;
    const QDateTime changed = entry.lastModified();
    if (!changed.isValid() || changed <= cutoff) continue;
    names << entry.fileName();
  }
  std::sort(names.begin(), names.end());
  return names.mid(std::max<qsizetype>(0, names.size() - 5));
}

QString wholeMinutes(double seconds) {
  if (!std::isfinite(seconds)) return QStringLiteral("?");
  const double minutes = std::trunc(seconds / 60);
  // Only values inside the 64-bit range may be converted.
  if (std::fabs(minutes) < 9.2e18) return QString::number(static_cast<long long>(minutes));
  return QString::number(minutes, 'f', 0);
}

QString relativeTime(Date date, Date now, const std::string& locale, text::RelativeStyle style) {
  // Hand-edited dates can lie far apart: the difference is taken in floating
  // point, which cannot overflow.
  const double seconds = static_cast<double>(date.time_since_epoch().count()) -
                         static_cast<double>(now.time_since_epoch().count());
  return qt::str(text::relativeTime(seconds, locale, style));
}

}  // namespace tavolune::Diagnostics
