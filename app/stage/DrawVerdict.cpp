#include "app/stage/DrawVerdict.hpp"

#include "app/render/WallpaperComposer.hpp"

#include <QPainter>
#include <QStringList>

#include <algorithm>
#include <cmath>

namespace tavolune {

namespace {

// A computed CSS colour: "rgb(r, g, b)" or "rgba(r, g, b, a)".
std::optional<QColor> computedColour(QStringView text) {
  const qsizetype open = text.indexOf(u'('), close = text.lastIndexOf(u')');
  if (open < 0 || close < open || !(text.startsWith(u"rgb(") || text.startsWith(u"rgba("))) return std::nullopt;
  const auto parts = text.mid(open + 1, close - open - 1).split(u',');
  if (parts.size() != 3 && parts.size() != 4) return std::nullopt;
  double v[4] = {0, 0, 0, 1};
  for (qsizetype i = 0; i < parts.size(); ++i) {
    bool ok = false;
    v[i] = parts[i].trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(v[i])) return std::nullopt;
  }
  const auto channel = [](double c) { return int(std::lround(std::clamp(c, 0.0, 255.0))); };
  return QColor(channel(v[0]), channel(v[1]), channel(v[2]), channel(v[3] * 255));
}

QColor over(const QColor& top, const QColor& below) {
  const double a = top.alphaF();
  const auto mix = [a](int t, int b) { return int(std::lround(t * a + b * (1 - a))); };
  return QColor(mix(top.red(), below.red()), mix(top.green(), below.green()), mix(top.blue(), below.blue()));
}

bool nearColour(QRgb p, const QColor& c) {
  return std::abs(c.red() - qRed(p)) <= DrawVerdict::tolerance &&
         std::abs(c.green() - qGreen(p)) <= DrawVerdict::tolerance &&
         std::abs(c.blue() - qBlue(p)) <= DrawVerdict::tolerance;
}

// On the line from a to b, within the tolerance.
bool between(QRgb p, const QColor& a, const QColor& b) {
  const int from[3] = {a.red(), a.green(), a.blue()}, to[3] = {b.red(), b.green(), b.blue()};
  const int at[3] = {qRed(p), qGreen(p), qBlue(p)};
  int widest = 0;
  for (int i = 1; i < 3; ++i) {
    if (std::abs(to[i] - from[i]) > std::abs(to[widest] - from[widest])) widest = i;
  }
  if (to[widest] == from[widest]) return false;
  const double t = std::clamp(double(at[widest] - from[widest]) / (to[widest] - from[widest]), 0.0, 1.0);
  for (int i = 0; i < 3; ++i) {
    if (std::abs(from[i] + t * (to[i] - from[i]) - at[i]) > DrawVerdict::tolerance) return false;
  }
  return true;
}

// Whole numbers parted by commas, as many as asked for.
std::optional<std::vector<int>> numbers(QStringView text, qsizetype count) {
  const auto parts = text.split(u',');
  if (parts.size() != count) return std::nullopt;
  std::vector<int> out;
  for (const QStringView part : parts) {
    bool ok = false;
    out.push_back(part.trimmed().toInt(&ok));
    // Far beyond any window, and out of reach of sums that overflow.
    if (!ok || std::abs(out.back()) > 1'000'000) return std::nullopt;
  }
  return out;
}

}  // namespace

std::optional<DrawVerdict::Report> DrawVerdict::Report::parse(QStringView text) {
  const auto sections = text.split(u'|');
  if (sections.size() < 2) return std::nullopt;
  Report report;
  for (const QStringView colour : sections[0].split(u';', Qt::SkipEmptyParts)) {
    if (auto c = computedColour(colour.trimmed()); c && c->alpha() > 0) report.ground.push_back(*c);
  }
  const std::pair<const char16_t*, bool Report::*> flags[] = {
      {u"top", &Report::top},         {u"opaque", &Report::opaque}, {u"patterned", &Report::patterned},
      {u"draws", &Report::draws},     {u"boxes", &Report::boxes},   {u"shown", &Report::shown},
      {u"holds2d", &Report::holds2D}, {u"loading", &Report::loading}};
  for (const QStringView word : sections[1].split(u' ', Qt::SkipEmptyParts)) {
    for (const auto& [name, flag] : flags) {
      if (word == name) report.*flag = true;
    }
  }
  if (sections.size() > 2) {
    if (const auto size = numbers(sections[2], 2)) report.view = QSize((*size)[0], (*size)[1]);
  }
  if (sections.size() > 3) {
    for (const QStringView mark : sections[3].split(u';', Qt::SkipEmptyParts)) {
      if (const auto n = numbers(mark, 4); n && (*n)[2] > 0 && (*n)[3] > 0) {
        report.marks.emplace_back((*n)[0], (*n)[1], (*n)[2], (*n)[3]);
      }
    }
  }
  return report;
}

void DrawVerdict::start(const QColor& behind) {
  *this = DrawVerdict();
  behind_ = behind.toRgb();
}

void DrawVerdict::take(const Report& report) {
  reported_ = true;
  for (const QColor& c : report.ground) {
    if (std::find(ground_.begin(), ground_.end(), c) == ground_.end()) ground_.push_back(c);
  }
  if (report.top) {
    opaque_ = report.opaque;
    // The top frame answers first in each round: the marks start afresh.
    view_ = report.view;
    marks_.clear();
  }
  marks_.insert(marks_.end(), report.marks.begin(), report.marks.end());
  patterned_ = patterned_ || report.patterned;
  draws_ = draws_ || report.draws;
  boxes_ = boxes_ || report.boxes;
  shown_ = shown_ || report.shown;
  holds2D_ = holds2D_ || report.holds2D;
  loading_ = loading_ || report.loading;
}

std::vector<QColor> DrawVerdict::backdrops() const {
  std::vector<QColor> solid, shown;
  if (!opaque_) solid.push_back(behind_);
  for (const QColor& c : ground_) {
    if (c.alpha() == 255) solid.push_back(c);
  }
  shown = solid;
  // A translucent ground shows over whatever solid one lies beneath it.
  for (const QColor& c : ground_) {
    if (c.alpha() == 255) continue;
    for (const QColor& below : solid) shown.push_back(over(c, below));
  }
  return shown;
}

bool DrawVerdict::showsNothing(const QImage& shot, const std::vector<QColor>& backdrops,
                               const std::vector<QRect>& marks) {
  QImage rgb = shot.convertToFormat(QImage::Format_RGB32);
  const qint64 count = qint64(rgb.width()) * rgb.height();
  if (count == 0 || backdrops.empty()) return false;
  if (!marks.empty()) {
    // What is marked shows as ground.
    QPainter painter(&rgb);
    for (const QRect& mark : marks) painter.fillRect(mark, backdrops.front());
  }
  const auto isGround = [&](QRgb p) {
    for (std::size_t i = 0; i < backdrops.size(); ++i) {
      if (nearColour(p, backdrops[i])) return true;
      for (std::size_t j = i + 1; j < backdrops.size(); ++j) {
        if (between(p, backdrops[i], backdrops[j])) return true;
      }
    }
    return false;
  };
  qint64 strays = 0;
  QRgb last = 0;
  bool lastGround = false, any = false;
  for (int y = 0; y < rgb.height(); ++y) {
    const auto* row = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
    for (int x = 0; x < rgb.width(); ++x) {
      // Grounds come in runs: one test a run.
      if (!any || row[x] != last) {
        last = row[x];
        lastGround = isGround(last);
        any = true;
      }
      strays += lastGround ? 0 : 1;
    }
  }
  return strays * strayShare <= count;
}

std::vector<QRect> DrawVerdict::marksIn(QSize shot) const {
  if (view_.isEmpty()) return marks_;
  const double sx = double(shot.width()) / view_.width(), sy = double(shot.height()) / view_.height();
  std::vector<QRect> scaled;
  // Outward, whole pixels, kept to a range an int holds.
  const auto to = [](double v) { return int(std::clamp(v, -1e8, 1e8)); };
  for (const QRect& m : marks_) {
    scaled.emplace_back(QPoint(to(std::floor(m.left() * sx)), to(std::floor(m.top() * sy))),
                        QPoint(to(std::ceil((m.right() + 1) * sx)) - 1, to(std::ceil((m.bottom() + 1) * sy)) - 1));
  }
  return scaled;
}

DrawVerdict::Call DrawVerdict::look(const QImage& shot, qint64 elapsedMs, bool fetching) {
  if (draws()) return Call::play;
  const bool loading = std::exchange(loading_, false) || fetching;
  if (!shot.isNull()) {
    looked_ = true;
    const QImage small = shot.scaledToWidth(std::max(1, LayoutProbe::lookWidth));
    // Over a ground of images or gradients the pixels prove nothing.
    const bool blank = patterned_ || showsNothing(shot, backdrops(), marksIn(shot.size()));
    looks_.take(WallpaperComposer::thumbprint(small), blank);
    if (!blank) return Call::play;
  }
  if (elapsedMs >= settleMs && looks_.blankRun() >= 2 && !loading && !holds2D_) return Call::fail;
  // Never seen nor heard from: no proof that it cannot draw.
  if (elapsedMs >= maxMs) return looked_ || reported_ ? Call::fail : Call::play;
  return Call::wait;
}

}  // namespace tavolune
