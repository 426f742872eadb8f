#include "app/menubar/MenuBarTexts.hpp"

#include "app/model/Diagnostics.hpp"
#include "app/qt/Convert.hpp"
#include "core/model/Rotation.hpp"

namespace tavolune::MenuBarTexts {

QString intervalText(double seconds) {
  for (const auto& choice : Rotation::intervals) {
    if (static_cast<double>(choice.seconds) == seconds) return qt::str(choice.label);
  }
  // An edited library file may hold any number: no conversion that overflows.
  return Diagnostics::wholeMinutes(seconds) + QStringLiteral(" minutes");
}

QString rotationSummary(const LibraryState& state, std::optional<std::size_t> poolCount) {
  QString pool;
  if (const Exhibition* shown = state.shownExhibition()) {
    pool = QStringLiteral("\u201C") + qt::str(shown->title) + QStringLiteral("\u201D (") +
           QString::number(poolCount ? *poolCount : state.desktopPoolCount()) + QStringLiteral(")");
  } else if (state.onDesktop.empty()) {
    pool = QStringLiteral("Whole collection");
  } else {
    pool = QStringLiteral("My Selection (") + QString::number(state.onDesktop.size()) + QStringLiteral(")");
  }
  return pool + QStringLiteral(", changes every ") + intervalText(state.settings.rotationInterval);
}

QString poolCountText(std::size_t count) { return QString::number(count) + QStringLiteral(" in rotation"); }

std::optional<QString> syncWarning(const std::vector<Wallet>& wallets) {
  const Wallet* first = nullptr;
  long long failing = 0;
  for (const auto& w : wallets) {
    if (!w.lastError) continue;
    if (!first) first = &w;
    ++failing;
  }
  if (failing == 0) return std::nullopt;
  if (failing == 1) {
    return qt::str(first->label) + QStringLiteral(" didn't sync completely: ") + qt::str(*first->lastError);
  }
  return QString::number(failing) + QStringLiteral(" wallets didn't sync completely.");
}

std::optional<QString> liveNote(const LibraryState& state, const Artwork& artwork, bool userPaused,
                                const std::optional<QString>& pauseReason) {
  if (!state.shouldAnimate(artwork)) return std::nullopt;
  if (!state.runsLive(artwork)) {
    return QStringLiteral("Turned artworks stay still: set Rotation back to 0° to see it move.");
  }
  if (userPaused) return QStringLiteral("Paused. Press play to see it move.");
  if (pauseReason) return QStringLiteral("Paused (") + *pauseReason + QStringLiteral("): it moves again when that ends.");
  return std::nullopt;
}

std::vector<Pill> pills(const LibraryState& state, const Artwork& artwork) {
  std::vector<Pill> out;
  const bool kept = state.onDesktop.contains(artwork.id);
  out.push_back({Pill::Kind::keep, kept ? QStringLiteral("Kept") : QStringLiteral("Keep"),
                 kept ? "star.fill" : "star", kept,
                 kept ? QStringLiteral("Remove from My Selection") : QStringLiteral("Add to My Selection")});
  out.push_back({Pill::Kind::hide, QStringLiteral("Hide"), "eye.slash", false,
                 QStringLiteral("Never show this artwork again (see Hidden Artworks); the next one comes right away")});
  if (artwork.isLive() && state.settings.animation == AnimationPolicy::selected) {
    const bool marked = state.animatedArtworks.contains(artwork.id);
    out.push_back({Pill::Kind::animate, QStringLiteral("Animate"), marked ? "play.circle.fill" : "play.circle", marked,
                   marked ? QStringLiteral("Show this artwork as a still image again")
                          : QStringLiteral("Run this artwork live on the desktop")});
  }
  if (state.runsLive(artwork)) {
    out.push_back({Pill::Kind::restart, QStringLiteral("Restart"), "arrow.counterclockwise", false,
                   QStringLiteral("Start the animation again from the beginning")});
  }
  return out;
}

QString shortcutHint(const QString& key) { return QStringLiteral("Ctrl+") + key; }

QString versionLine(const QString& version) {
  return QStringLiteral("Version ") + version + QStringLiteral(", for testing");
}

}  // namespace tavolune::MenuBarTexts
