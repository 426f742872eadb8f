#include "core/model/ArtLayout.hpp"
#include "core/base/Hash.hpp"
#include "core/model/LayoutAnalyzer.hpp"
#include "core/model/LayoutSample.hpp"
#include "core/model/RGBColor.hpp"
#include "core/model/RenderProfile.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace tavolune {

using json::Json;

ArtLayout ArtLayout::fromJson(const Json& j) {
  json::expectObject(j);
  const Json* fixedValue = json::member(j, "fixed");
  const Json* responsiveValue = json::member(j, "responsive");
  const Json* unknownValue = json::member(j, "unknown");
  int count = (fixedValue ? 1 : 0) + (responsiveValue ? 1 : 0) + (unknownValue ? 1 : 0);
  if (count != 1) throw json::DecodeError("Invalid number of keys found, expected one.");
  if (fixedValue) {
    json::expectObject(*fixedValue);
    return fixed(json::required<double>(*fixedValue, "ratio"));
  }
  json::expectObject(responsiveValue ? *responsiveValue : *unknownValue);
  return responsiveValue ? responsive() : unknown();
}

Json ArtLayout::toJson() const {
  Json j = Json::object();
  switch (kind) {
    case Kind::fixed: {
      Json inner = Json::object();
      json::put(inner, "ratio", ratio);
      j["fixed"] = std::move(inner);
      break;
    }
    case Kind::responsive: j["responsive"] = Json::object(); break;
    case Kind::unknown: j["unknown"] = Json::object(); break;
  }
  return j;
}

RGBColor RGBColor::fromJson(const Json& j) {
  json::expectObject(j);
  return {json::required<double>(j, "r"), json::required<double>(j, "g"), json::required<double>(j, "b")};
}

Json RGBColor::toJson() const {
  Json j = Json::object();
  json::put(j, "r", r);
  json::put(j, "g", g);
  json::put(j, "b", b);
  return j;
}

RenderProfile RenderProfile::fromJson(const Json& j) {
  json::expectObject(j);
  RenderProfile p;
  p.layout = json::required<ArtLayout>(j, "layout");
  p.background = json::optional<RGBColor>(j, "background");
  p.measuredAt = json::required<Date>(j, "measuredAt");
  return p;
}

Json RenderProfile::toJson() const {
  Json j = Json::object();
  json::put(j, "layout", layout);
  json::put(j, "background", background);
  json::put(j, "measuredAt", measuredAt);
  return j;
}

LayoutSample LayoutSample::fromJson(const Json& j) {
  json::expectObject(j);
  LayoutSample s;
  s.vw = json::required<double>(j, "vw");
  s.vh = json::required<double>(j, "vh");
  s.w = json::required<double>(j, "w");
  s.h = json::required<double>(j, "h");
  s.bg = json::optional<std::string>(j, "bg");
  return s;
}

Json LayoutSample::toJson() const {
  Json j = Json::object();
  json::put(j, "vw", vw);
  json::put(j, "vh", vh);
  json::put(j, "w", w);
  json::put(j, "h", h);
  json::put(j, "bg", bg);
  return j;
}

namespace LayoutAnalyzer {

const std::string_view measureScript = R"JS((() => {
  const iw = window.innerWidth, ih = window.innerHeight;
  let best = null, bestArea = 0;
  for (const el of document.querySelectorAll("canvas,svg,img,video,iframe")) {
    const style = getComputedStyle(el);
    if (style.display === "none" || style.visibility === "hidden") continue;
    const r = el.getBoundingClientRect();
    const area = Math.min(r.width, iw) * Math.min(r.height, ih);
    if (area > bestArea) { best = r; bestArea = area; }
  }
  const root = document.documentElement;
  let bg = getComputedStyle(document.body || root).backgroundColor;
  if (!bg || bg === "rgba(0, 0, 0, 0)" || bg === "transparent") {
    bg = getComputedStyle(root).backgroundColor;
  }
  return JSON.stringify({
    vw: iw,
    vh: ih,
    w: best ? best.width : 0,
    h: best ? best.height : 0,
    bg: bg
  });
})())JS";

ArtLayout classify(const std::vector<LayoutSample>& samples) {
  std::vector<const LayoutSample*> kept;
  for (const auto& s : samples) {
    if (s.w > minimumElementSize && s.h > minimumElementSize) kept.push_back(&s);
  }
  if (kept.empty()) return ArtLayout::unknown();
  if (kept.size() == samples.size() && std::all_of(kept.begin(), kept.end(), [](const LayoutSample* s) {
        return s->w >= fillFraction * s->vw && s->h >= fillFraction * s->vh;
      })) {
    return ArtLayout::responsive();
  }
  std::vector<double> ratios;
  for (const auto* s : kept) ratios.push_back(s->w / s->h);
  std::sort(ratios.begin(), ratios.end());
  const double median = ratios[ratios.size() / 2];
  for (double r : ratios) {
    if (!(std::abs(r - median) / median < ratioAgreement)) return ArtLayout::responsive();
  }
  return ArtLayout::fixed(median);
}

RenderProfile profile(const std::vector<LayoutSample>& samples) {
  RenderProfile p;
  p.layout = classify(samples);
  for (const auto& s : samples) {
    if (auto c = parseCSSColor(s.bg)) {
      p.background = c;
      break;
    }
  }
  p.measuredAt = now();
  return p;
}

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

// A plain decimal number: optional sign, digits, optional fraction, optional exponent.
std::optional<double> decimalNumber(std::string_view s) {
  while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
  if (s.empty()) return std::nullopt;
  std::string_view body = s;
  if (body.front() == '+') body.remove_prefix(1);
  if (body.empty() || body.front() == '+') return std::nullopt;
  double value = 0;
  auto [end, ec] = std::from_chars(body.data(), body.data() + body.size(), value, std::chars_format::general);
  if (ec != std::errc() || end != body.data() + body.size() || !std::isfinite(value)) return std::nullopt;
  return value;
}

}  // namespace

std::optional<RGBColor> parseCSSColor(std::string_view text) {
  auto open = text.find('(');
  auto close = text.rfind(')');
  if (open == std::string_view::npos || close == std::string_view::npos || close < open) return std::nullopt;
  std::string_view inside = text.substr(open + 1, close - open - 1);
  std::vector<double> numbers;
  std::size_t start = 0;
  auto flush = [&](std::size_t end) {
    if (end > start) {
      if (auto n = decimalNumber(inside.substr(start, end - start))) numbers.push_back(*n);
    }
  };
  for (std::size_t i = 0; i < inside.size(); ++i) {
    char c = inside[i];
    if (c == ',' || c == ' ' || c == '/') {
      flush(i);
      start = i + 1;
    }
  }
  flush(inside.size());
  if (numbers.size() < 3) return std::nullopt;
  if (numbers.size() >= 4 && numbers[3] < minimumBackgroundAlpha) return std::nullopt;
  return RGBColor{numbers[0] / 255, numbers[1] / 255, numbers[2] / 255};
}

std::optional<RGBColor> parseCSSColor(const std::optional<std::string>& text) {
  if (!text) return std::nullopt;
  return parseCSSColor(std::string_view(*text));
}

Placement placement(const std::optional<ArtLayout>& layout, std::optional<double> fallbackRatio, double screenAspect,
                    std::optional<Framing> preferred) {
  if (layout && layout->isResponsive() && preferred != Framing::passePartout) return Placement::fullBleed();
  const double ratio = layout && layout->isFixed() ? layout->ratio : fallbackRatio.value_or(1.0);
  Framing framing;
  if (preferred) {
    framing = *preferred;
  } else {
    framing = std::abs(ratio - screenAspect) / screenAspect <= screenTolerance ? Framing::fill : Framing::passePartout;
  }
  return Placement::framed(ratio, framing);
}

}  // namespace LayoutAnalyzer
}  // namespace tavolune

std::size_t std::hash<tavolune::ArtLayout>::operator()(const tavolune::ArtLayout& l) const noexcept {
  return tavolune::hashFields(static_cast<int>(l.kind), l.isFixed() ? l.ratio : 0.0);
}

std::size_t std::hash<tavolune::RGBColor>::operator()(const tavolune::RGBColor& c) const noexcept {
  return tavolune::hashFields(c.r, c.g, c.b);
}

std::size_t std::hash<tavolune::RenderProfile>::operator()(const tavolune::RenderProfile& p) const noexcept {
  return tavolune::hashFields(p.layout, p.background, p.measuredAt.time_since_epoch().count());
}
