// The stage's side of the verdict on a page refused WebGL: asks the page's
// frames for their reports, looks at the page, and plays or fails it.
#include "app/stage/ArtPage.hpp"
#include "app/stage/ArtRuntime.hpp"
#include "app/stage/ArtStageView.hpp"
#include "app/stage/TavoluneSchemeHandler.hpp"

#include <QWebEngineView>

namespace tavolune {

using Kind = ArtStageView::Status::Kind;

void ArtStageView::webGLRefused() {
  if (verdict_ != Verdict::unasked) return;
  verdict_ = Verdict::due;
  // A loading page is judged once it has loaded.
  if (status_.kind == Kind::playing) judgeDrawing();
}

void ArtStageView::judgeDrawing() {
  verdict_ = Verdict::judging;
  judge_.start(pageBackground());
  judging_.start();
  send(ArtRuntime::backdropScript());
  const std::uint64_t serial = ++judgeSerial_;
  QTimer::singleShot(LayoutProbe::Timings{}.lookInterval, this, [this, serial] { lookAtPage(serial); });
}

void ArtStageView::heardReport(const QString& text) {
  if (verdict_ != Verdict::judging) return;
  const auto report = DrawVerdict::Report::parse(text);
  if (!report) return;
  judge_.take(*report);
  // What the page draws with shows: it takes over now, not at the next look.
  if (report->draws) lookAtPage(judgeSerial_);
}

void ArtStageView::lookAtPage(std::uint64_t serial) {
  if (serial != judgeSerial_ || verdict_ != Verdict::judging || !webView_) return;
  if (status_.kind != Kind::loading && status_.kind != Kind::playing) return;
  // Looked at only while no report has settled it.
  const QImage shot = judge_.draws() ? QImage() : webView_->grab().toImage();
  const bool fetching = page()->schemeHandler().inFlight() > 0;
  switch (judge_.look(shot, judging_.elapsed(), fetching)) {
    case DrawVerdict::Call::fail:
      fail(QString::fromUtf8(cannotDrawMessage));
      return;
    case DrawVerdict::Call::play:
      verdict_ = Verdict::draws;
      if (status_.kind == Kind::loading) showLoaded(generation_);
      return;
    case DrawVerdict::Call::wait:
      break;
  }
  // The ground may change as the page goes on.
  send(ArtRuntime::backdropScript());
  QTimer::singleShot(LayoutProbe::Timings{}.lookInterval, this, [this, serial] { lookAtPage(serial); });
}

}  // namespace tavolune
