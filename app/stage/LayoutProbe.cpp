#include "app/stage/LayoutProbe.hpp"

#include "app/render/WallpaperComposer.hpp"
#include "app/stage/ArtPage.hpp"
#include "app/stage/ArtRuntime.hpp"
#include "app/stage/TavoluneSchemeHandler.hpp"
#include "core/base/Json.hpp"
#include "core/model/LayoutAnalyzer.hpp"
#include "core/model/MediaResolver.hpp"

#include <QGuiApplication>
#include <QTimer>
#include <QWebEngineLoadingInfo>
#include <QWebEngineView>

#include <algorithm>
#include <cmath>

namespace tavolune {

using Ending = ProbeService::Ending;

LayoutProbe::LayoutProbe(ContentFetcher fetcher, Timings timings, QObject* parent)
    : QObject(parent), fetcher_(std::move(fetcher)), timings_(timings) {
  deadline_.setSingleShot(true);
  connect(&deadline_, &QTimer::timeout, this, &LayoutProbe::runOutOfTime);
}

LayoutProbe::~LayoutProbe() { teardown(); }

std::optional<QSize> LayoutProbe::pointSize(QSize pixelSize, double scale) {
  if (!std::isfinite(scale) || scale <= 0) return std::nullopt;
  const int w = pixelSize.width();
  const int h = pixelSize.height();
  if (w <= 0 || h <= 0 || w > maxPixelSide || h > maxPixelSide) return std::nullopt;
  // Halves away from zero.
  const double pw = std::round(w / scale);
  const double ph = std::round(h / scale);
  if (!(pw > minPointSide && ph > minPointSide) || pw > maxPixelSide || ph > maxPixelSide) return std::nullopt;
  return QSize(int(pw), int(ph));
}

std::chrono::milliseconds LayoutProbe::pageDeadline(bool still, double wait) const {
  using std::chrono::milliseconds;
  const milliseconds waited(std::llround((std::isfinite(wait) ? std::clamp(wait, 0.0, 3600.0) : 0) * 1000));
  const milliseconds waits = still ? std::max(waited, timings_.firstLook) + timings_.flagGrace : waited;
  return timings_.loadTimeout + waits + timings_.deadlineMargin;
}

bool LayoutProbe::Looks::take(std::vector<std::uint8_t> print, bool blank) {
  const bool agrees = !lastPrint_.empty() && WallpaperComposer::difference(lastPrint_, print) < settledDifference;
  blankRun_ = agrees && blank ? blankRun_ + 1 : 0;
  const bool settled = agrees && !blank;
  const bool twice = settled && settledOnce_;
  settledOnce_ = settled;
  lastPrint_ = std::move(print);
  return twice;
}

QImage LayoutProbe::look(QWebEngineView& view) {
  const QImage shot = view.grab().toImage();
  if (shot.isNull()) return {};
  return shot.scaledToWidth(std::max(1, int(lookWidth * view.devicePixelRatioF())));
}

ArtPage* LayoutProbe::page() const { return view_ ? static_cast<ArtPage*>(view_->page()) : nullptr; }

void LayoutProbe::after(std::chrono::milliseconds ms, std::function<void()> fn) {
  QTimer::singleShot(ms, this, [this, serial = serial_, fn = std::move(fn)] {
    if (serial == serial_) fn();
  });
}

void LayoutProbe::evaluate(const QString& script, std::function<void(const QVariant&)> fn) {
  ArtPage* p = page();
  if (!p) return;
  p->runJavaScript(script, [self = QPointer<LayoutProbe>(this), serial = serial_, fn = std::move(fn)](const QVariant& v) {
    if (self && serial == self->serial_) fn(v);
  });
}

// --- loading ---

void LayoutProbe::load(const QUrl& url, QSize widgetSize, double zoom, std::function<void(bool)> then) {
  teardown();
  const std::uint64_t serial = ++serial_;
  ++pagesLoaded_;
  crashed_ = false;

  view_ = new QWebEngineView();
  view_->setWindowFlags(Qt::Window | Qt::Tool | Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint |
                        Qt::WindowDoesNotAcceptFocus | Qt::WindowTransparentForInput | Qt::NoDropShadowWindowHint);
  view_->setAttribute(Qt::WA_ShowWithoutActivating);
  view_->setAttribute(Qt::WA_TransparentForMouseEvents);
  view_->setFocusPolicy(Qt::NoFocus);
  auto* p = ArtRuntime::configuration(fetcher_, view_);
  view_->setPage(p);
  p->setDownloadBudget(budget_);
  p->setZoomFactor(zoom);
  view_->setGeometry(offscreenOrigin, offscreenOrigin, widgetSize.width(), widgetSize.height());

  // A failed load also reports through loadingChanged; loadFinished(false)
  // comes as well for navigations the engine replaces on its own.
  connect(p, &QWebEnginePage::loadFinished, this, [this, serial](bool ok) {
      if (ok) complete(serial, true);
  });
  connect(p, &QWebEnginePage::loadingChanged, this, [this, serial](const QWebEngineLoadingInfo& info) {
    if (info.status() == QWebEngineLoadingInfo::LoadFailedStatus) complete(serial, false);
  });
  connect(p, &QWebEnginePage::renderProcessTerminated, this, [this, serial] {
      if (serial != serial_) return;
    crashed_ = true;
    complete(serial, false);
  });

  webGLRefused_ = false;
  p->onWebGLRefused = [this, serial] {
    if (serial == serial_) webGLRefused_ = true;
  };
  pending_ = serial;
  loaded_ = std::move(then);
  // This load's own time-out: a later load has another serial.
  QTimer::singleShot(timings_.loadTimeout, this, [this, serial] { loadTimedOut(serial); });
  deadline_.start();
  view_->show();
  p->loadArtwork(url);
}

void LayoutProbe::complete(std::uint64_t serial, bool ok) {
  if (serial != pending_ || serial != serial_) return;
  pending_ = 0;
  auto then = std::move(loaded_);
  loaded_ = nullptr;
  if (!ok) teardown();
  if (then) then(ok);
}

void LayoutProbe::loadTimedOut(std::uint64_t serial) {
  if (serial != pending_ || serial != serial_) return;
  // Waiting for nothing it asked for, the page itself hangs, as it will at
  // every viewport: the job ends. A slow gateway only fails this load.
  if (ArtPage* p = page(); p && p->schemeHandler().inFlight() == 0) return runOutOfTime();
  complete(serial, false);
}

void LayoutProbe::runOutOfTime() {
  if (!measured_ && !rendered_) return;
  ranOutOfTime_ = true;
  teardown();
  samples_.clear();
  if (measured_) return finishMeasure();
  finishStill(Ending::failed);
}

void LayoutProbe::teardown() {
  if (!view_) return;
  ++serial_;  // every step of this view is void now
  pending_ = 0;
  loaded_ = nullptr;
  if (ArtPage* p = page()) {
    p->disconnect(this);
    p->triggerAction(QWebEnginePage::Stop);
  }
  view_->hide();
  view_->deleteLater();
  view_ = nullptr;
}

// --- measuring ---

void LayoutProbe::measure(const Artwork& artwork, double settle, std::function<void(std::optional<RenderProfile>)> done) {
  auto answerNone = [this, done] {
    QTimer::singleShot(0, this, [done] { done(std::nullopt); });
  };
  const auto url = MediaResolver::liveURL(artwork.animationURI);
  if (used_ || artwork.mediaKind != MediaKind::generative || !url || ArtRuntime::sealFault()) return answerNone();
  url_ = QUrl::fromEncoded(QByteArray::fromStdString(url->string()));
  settle_ = std::isfinite(settle) && settle > 0 ? settle : 0;
  used_ = true;
  deadline_.setInterval(pageDeadline(false, settle_));
  samples_.clear();
  measured_ = std::move(done);
  measureViewport(0);
}

void LayoutProbe::measureViewport(std::size_t index) {
  if (index >= LayoutAnalyzer::probeViewports.size()) return finishMeasure();
  const auto [w, h] = LayoutAnalyzer::probeViewports[index];
  load(url_, QSize(w, h), 1.0, [this, index](bool ok) {
    if (!ok) return measureViewport(index + 1);
    after(std::chrono::milliseconds(std::llround(settle_ * 1000)), [this, index] {
      const auto& script = LayoutAnalyzer::measureScript;
      evaluate(QString::fromUtf8(script.data(), qsizetype(script.size())), [this, index](const QVariant& v) {
        // Anything but text, or text that is no sample, adds nothing.
        if (v.typeId() == QMetaType::QString) {
          try {
            samples_.push_back(LayoutSample::fromJson(json::parseWhole(v.toString().toStdString())));
          } catch (const std::exception&) {
          }
        }
        teardown();
        measureViewport(index + 1);
      });
    });
  });
}

void LayoutProbe::finishMeasure() {
  deadline_.stop();
  teardown();
  auto done = std::move(measured_);
  measured_ = nullptr;
  if (!done) return;
  if (samples_.empty()) return done(std::nullopt);
  done(LayoutAnalyzer::profile(samples_));
}

// --- stills ---

void LayoutProbe::renderStill(const Artwork& artwork, QSize pixelSize, double scale, double maxWait,
                              std::function<void(ProbeService::Still)> done) {
  const auto points = pointSize(pixelSize, scale);
  const auto url = MediaResolver::liveURL(artwork.animationURI);
  // While the seal is at fault no page runs, here as on the stage.
  if (used_ || !points || !url || ArtRuntime::sealFault()) {
    QTimer::singleShot(0, this, [done] { done({}); });
    return;
  }
  pixelSize_ = pixelSize;
  maxWait_ = std::isfinite(maxWait) ? maxWait : 0;
  used_ = true;
  deadline_.setInterval(pageDeadline(true, maxWait_));
  rendered_ = std::move(done);

  // The window gets the asked pixels and the zoom turns them into the
  // page's points, whatever the window's own pixel ratio.
  const double ratio = std::max(0.25, view_ ? view_->devicePixelRatioF() : qApp->devicePixelRatio());
  const QSize widget(std::max(1, int(std::lround(pixelSize.width() / ratio))),
                     std::max(1, int(std::lround(pixelSize.height() / ratio))));
  const double zoom = std::clamp(double(widget.width()) / points->width(), 0.25, 5.0);
  load(QUrl::fromEncoded(QByteArray::fromStdString(url->string())), widget, zoom, [this](bool ok) {
    if (!ok) return finishStill(Ending::failed);
    clock_.start();
    looks_ = {};
    after(timings_.firstLook, [this] { look(); });
  });
}

void LayoutProbe::look() {
  if (double(clock_.elapsed()) >= maxWait_ * 1000) {
    // Blank, unchanged and waiting for nothing: the page is blank. Anything
    // else still drawing or loading when the time is up is a time-out.
    const bool idle = page() && page()->schemeHandler().inFlight() == 0 && !crashed_;
    return finishStill(looks_.blankRun() >= 2 && idle ? Ending::settledBlank : Ending::timedOut);
  }
  evaluate(QStringLiteral("window.__tavoluneRendered === true"), [this](const QVariant& flag) {
    if (flag.typeId() == QMetaType::Bool && flag.toBool()) {
      after(timings_.flagGrace, [this] { finishStill(Ending::rendered); });
      return;
    }
    const QImage small = look(*view_);
    if (!small.isNull()) {
      auto print = WallpaperComposer::thumbprint(small);
      const bool blank = WallpaperComposer::looksEmpty(print);
      if (looks_.take(std::move(print), blank)) return finishStill(Ending::settled);
    }
    after(timings_.lookInterval, [this] { look(); });
  });
}

void LayoutProbe::finishStill(Ending ending) {
  ProbeService::Still still{{}, ending, webGLRefused_};
  if (view_ && ending != Ending::failed && !crashed_) {
    QImage image = view_->grab().toImage();
    // Exactly the asked size: a still is stored under its pixel size.
    if (!image.isNull() && image.size() != pixelSize_) {
      image = image.scaled(pixelSize_, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    image.setDevicePixelRatio(1);
    if (image.size() == pixelSize_) still.image = std::move(image);
  }
  if (still.image.isNull()) still.ending = Ending::failed;
  deadline_.stop();
  teardown();
  auto done = std::move(rendered_);
  rendered_ = nullptr;
  if (done) done(std::move(still));
}

}  // namespace tavolune
