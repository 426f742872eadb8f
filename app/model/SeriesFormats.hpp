#pragma once
// The app model's formats and rendered stills: series measured through the
// probe queue (each once however many ask at once), the collection
// analysis, ratios from decoded images and from thumbnails in bulk,
// mattes, and stills of live works rendered once per work and pixel size
// and kept in the media cache. Every probe of the process waits in one
// queue, two at a time. GUI thread only; callbacks run on it, at once when
// the answer is known.

#include "app/model/LibraryEditor.hpp"
#include "app/model/ModelOptions.hpp"
#include "app/qt/ResultMailbox.hpp"
#include "core/model/Artwork.hpp"

#include <QColor>
#include <QImage>
#include <QObject>
#include <QSize>
#include <QSizeF>
#include <QTimer>

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace tavolune {

class MediaServices;

class SeriesFormats final : public QObject {
  Q_OBJECT

 public:
  struct Progress {
    std::size_t done = 0;
    std::size_t total = 0;
    friend bool operator==(const Progress&, const Progress&) = default;
  };
  static constexpr double measureSettleSeconds = 3.5;
  static constexpr double stillMaxWaitSeconds = 15;
  static constexpr std::size_t formatWindow = 8;  // thumbnails in flight
  static constexpr std::size_t formatBatch = 25;  // ratios per library write
  static constexpr int formatThumbnailPixels = 240;

  // Made by the app model, which outlives it.
  SeriesFormats(const ModelOptions& options, LibraryEditor& library, MediaServices& media, QObject* parent = nullptr);
  // Stops the thumbnail fetches and waits for them.
  ~SeriesFormats() override;

  // The stored profile of the work's series; otherwise, when asked to and
  // the work is generative, a measurement (joining one that runs); none
  // for a series whose probe ran out of time.
  void profile(const Artwork& artwork, bool measureIfNeeded, std::function<void(std::optional<RenderProfile>)> done);
  // Measures every unmeasured series in turn; done when finished or stopped.
  void analyzeCollection(std::function<void()> done = {});
  // Forgets the series' profile and measures it again.
  void remeasure(const Artwork& artwork, std::function<void()> done = {});
  // The ratio of a still decoded anyway, written 0.8 s after the last note.
  void noteRatio(const Artwork& artwork, const QImage& image);
  // Learns ratios from small thumbnails of the visible works of unknown format.
  void measureFormats(std::function<void()> done = {});
  // The series' own background, else the image's edge colour, else the default.
  QColor matte(const Artwork& artwork, const QImage& image = {}) const;
  // The still of a live work at a pixel size: from the media cache, else
  // (when asked to) rendered once by a probe and cached. A null image when
  // there is none; a size that is not finite, empty or huge gets none at once.
  void renderedStill(const Artwork& artwork, QSizeF pixelSize, double scale, bool computeIfMissing,
                     std::function<void(QImage)> done);
  // Stills kept decoded that fit on none of these displays (pixel sizes,
  // either way up) are let go: their display is gone.
  void dropKeptStillsBeyond(const std::vector<QSize>& displayPixels);

  // Media cache keys (cachekeys): "still:<id>:<w>x<h>" and "still-empty:<id>".
  static std::string stillKey(const std::string& artworkID, int width, int height);
  static std::string emptyStillKey(const std::string& artworkID);

  const std::optional<Progress>& analysisProgress() const { return analysisProgress_; }
  bool analysisStopRequested() const { return analysisStopRequested_; }
  // Set by the views; the analysis stops after the series under way.
  void setAnalysisStopRequested(bool requested);
  const std::optional<Progress>& formatProgress() const { return formatProgress_; }

 signals:
  void analysisProgressChanged();
  void analysisStopRequestedChanged();
  void formatProgressChanged();

 private:
  struct FormatRun;

  ProbeService& probes();
  void finishProbe(const std::string& seriesKey, std::optional<RenderProfile> profile);
  void analyzeNext(std::shared_ptr<std::vector<Artwork>> list, std::size_t next, std::function<void()> done);
  void finishAnalysis(std::function<void()> done);
  void flushRatios();
  // Writes the ratios; with onlyUnknown, only where a work has none.
  void writeRatios(std::unordered_map<std::string, double> ratios, bool onlyUnknown);
  // Every work of the series, changed in format.
  LibraryChange seriesChange(const std::string& seriesKey) const;
  void startFormatFetches();
  void formatFetched(const std::string& artworkID, std::optional<double> ratio);
  void renderStill(const Artwork& artwork, QSize pixels, double scale, const std::string& key);
  void finishRender(const std::string& key, QImage image);
  // Keeps the still decoded in the image pipeline's memory, within its
  // budget: a display's pre-rendered next still is shown without reading and
  // decoding its PNG again (tens of megabytes at 5K), as is a fast pass's
  // still in the high-quality pass after it; sizes nobody asks for any more
  // go first.
  void keepStill(const std::string& key, const QImage& image);
  static std::string keptKey(const std::string& stillKey);

  const ModelOptions options_;
  LibraryEditor& library_;
  MediaServices& media_;
  // Workers' results come back through it; closed first in the destructor.
  std::shared_ptr<ResultMailbox> mailbox_ = ResultMailbox::to(this);
  std::unique_ptr<ProbeService> probes_;  // created on first use
  // Series whose page hung a probe: not probed again this run, so that one
  // hung work cannot take a core at every idle measuring.
  std::unordered_set<std::string> ranOutOfTime_;
  std::unordered_map<std::string, std::vector<std::function<void(std::optional<RenderProfile>)>>> probing_;
  std::unordered_map<std::string, std::vector<std::function<void(QImage)>>> rendering_;
  std::optional<Progress> analysisProgress_;
  bool analysisStopRequested_ = false;
  std::unordered_map<std::string, double> pendingRatios_;
  QTimer ratioFlush_;
  std::optional<Progress> formatProgress_;
  std::shared_ptr<FormatRun> formatRun_;
  std::stop_source formatStop_;
};

}  // namespace tavolune
