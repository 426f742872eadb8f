#include "app/components/ThumbnailLoader.hpp"

#include "app/qt/Convert.hpp"

#include <algorithm>

namespace tavolune {
namespace {

using Clock = std::chrono::steady_clock;

}  // namespace

ThumbnailLoader::ThumbnailLoader(ImagePipeline& pipeline, RatioNoted noteRatio, Options options, QObject* parent)
    : QObject(parent), pipeline_(pipeline), noteRatio_(std::move(noteRatio)), options_(options) {
  options_.threads = std::max(1, options_.threads);
  // Room beside the slots for stopped jobs on their way out.
  if (pool().maxThreadCount() < 2 * options_.threads) pool().setMaxThreadCount(2 * options_.threads);
  expiry_.setSingleShot(true);
  expiry_.setTimerType(Qt::CoarseTimer);
  connect(&expiry_, &QTimer::timeout, this, &ThumbnailLoader::expireFailures);
  connect(&pipeline_, &ImagePipeline::failuresExpired, this, &ThumbnailLoader::retryFailed);
}

ThumbnailLoader::~ThumbnailLoader() {
  mailbox_->close();
  for (auto& [key, job] : jobs_) job.stop.request_stop();
}

QThreadPool& ThumbnailLoader::pool() {
  static QThreadPool* const shared = [] {
    auto* p = new QThreadPool;
    p->setObjectName(QStringLiteral("thumbnails"));
    ImageRequests::lendsThreads(p);
    return p;
  }();
  return *shared;
}

std::string ThumbnailLoader::key(const std::string& artworkID, int maxPixel) {
  return artworkID + "@" + std::to_string(maxPixel);
}

QImage ThumbnailLoader::cached(const Artwork& artwork, int maxPixel) const { return pipeline_.cached(artwork, maxPixel); }

ThumbnailLoader::Status ThumbnailLoader::status(const Artwork& artwork, int maxPixel) const {
  if (!cached(artwork, maxPixel).isNull()) return Status::ready;
  const std::string k = key(artwork.id, maxPixel);
  if (jobs_.contains(k)) return Status::loading;
  return failedRecently(k) ? Status::failed : Status::missing;
}

std::size_t ThumbnailLoader::queued() const {
  return std::size_t(std::count_if(jobs_.begin(), jobs_.end(), [](const auto& e) { return !e.second.started; }));
}

bool ThumbnailLoader::failedRecently(const std::string& k) const {
  const auto it = failures_.find(k);
  return it != failures_.end() && Clock::now() - it->second < options_.retryAfter;
}

void ThumbnailLoader::request(const Artwork& artwork, int maxPixel) {
  if (maxPixel <= 0) return;
  const std::string k = key(artwork.id, maxPixel);
  if (!jobs_.contains(k) && (!cached(artwork, maxPixel).isNull() || failedRecently(k))) return;
  enqueue(k, artwork, maxPixel);
}

ThumbnailLoader::Status ThumbnailLoader::ask(const Artwork& artwork, int maxPixel) {
  if (maxPixel <= 0) return Status::missing;
  const std::string k = key(artwork.id, maxPixel);
  if (!jobs_.contains(k) && failedRecently(k)) return Status::failed;
  enqueue(k, artwork, maxPixel);
  return Status::loading;
}

void ThumbnailLoader::enqueue(const std::string& k, const Artwork& artwork, int maxPixel) {
  if (const auto it = jobs_.find(k); it != jobs_.end()) {
    // Asked again while waiting: it moves to the front of the line.
    if (it->second.started) return;
    // Already the newest: nothing moves (a cell repainted frame after frame).
    if (queue_.empty() || queue_.back() != k) queue_.push_back(k);
  } else {
    jobs_.emplace(k, Job{artwork, maxPixel, ++nextID_, false, {}});
    queue_.push_back(k);
  }
  // Cancelled and repeated keys leave stale entries behind: drop them
  // before they outgrow the live ones.
  if (queue_.size() > 2 * jobs_.size() + 64) {
    std::deque<std::string> kept;
    std::unordered_set<std::string> seen;
    for (auto it = queue_.rbegin(); it != queue_.rend(); ++it) {
      const auto job = jobs_.find(*it);
      if (job != jobs_.end() && !job->second.started && seen.insert(*it).second) kept.push_front(*it);
    }
    queue_.swap(kept);
  }
  pump();
}

void ThumbnailLoader::cancel(const std::string& artworkID, int maxPixel) {
  const auto it = jobs_.find(key(artworkID, maxPixel));
  if (it == jobs_.end()) return;
  // A queued key stays in the queue until pump() skips it.
  const bool started = it->second.started;
  if (started) stopJob(it->second);
  jobs_.erase(it);
  if (started) pump();
}

void ThumbnailLoader::stopJob(const Job& job) {
  job.stop.request_stop();
  running_.erase(job.id);
}

void ThumbnailLoader::cancelAllExcept(const std::unordered_set<std::string>& keep) {
  dropJobs([&](const std::string& k, const Job&) { return !keep.contains(k); });
}

void ThumbnailLoader::cancelWhere(const std::function<bool(const std::string&)>& drop) {
  dropJobs([&](const std::string&, const Job& job) { return drop(job.artwork.id); });
}

template <class Drop>
void ThumbnailLoader::dropJobs(Drop drop) {
  // A queued key stays in the queue until pump() skips it.
  const std::size_t before = running_.size();
  std::erase_if(jobs_, [&](auto& entry) {
    if (!drop(entry.first, entry.second)) return false;
    if (entry.second.started) stopJob(entry.second);
    return true;
  });
  if (running_.size() < before) pump();
}

void ThumbnailLoader::pump() {
  while (int(running_.size()) < options_.threads && !queue_.empty()) {
    const std::string k = std::move(queue_.back());
    queue_.pop_back();
    const auto it = jobs_.find(k);
    if (it == jobs_.end() || it->second.started) continue;
    start(k, it->second);
  }
}

void ThumbnailLoader::start(const std::string& k, Job& job) {
  job.started = true;
  running_.insert(job.id);
  pool().start([pipeline = pipeline_.requests(), artwork = job.artwork, maxPixel = job.maxPixel, id = job.id, k,
               stop = job.stop.get_token(), mailbox = mailbox_, self = this] {
    QImage image = pipeline->image(artwork, maxPixel, true, stop);
    const bool stopped = stop.stop_requested();
    mailbox->post([self, k, id, artwork, image, stopped] { self->landed(k, id, artwork, image, stopped); });
  });
}

void ThumbnailLoader::landed(const std::string& k, std::uint64_t id, const Artwork& artwork, const QImage& image,
                             bool stopped) {
  running_.erase(id);
  const auto it = jobs_.find(k);
  const bool current = it != jobs_.end() && it->second.id == id;
  if (current) jobs_.erase(it);
  if (!image.isNull()) {
    // Also for a cancelled job that finished anyway: the decode is done
    // and cached, and its ratio is worth as much.
    failures_.erase(k);
    if (noteRatio_) noteRatio_(artwork, image);
    emit thumbnailChanged(qt::str(k));
  } else if (current && !stopped) {
    failures_[k] = Clock::now();
    if (!expiry_.isActive()) expiry_.start(int(options_.retryAfter.count()));
    emit thumbnailChanged(qt::str(k));
  }
  pump();
}

void ThumbnailLoader::expireFailures() {
  const auto now = Clock::now();
  std::vector<std::string> expired;
  auto next = Clock::time_point::max();
  for (auto it = failures_.begin(); it != failures_.end();) {
    if (now - it->second >= options_.retryAfter) {
      expired.push_back(it->first);
      it = failures_.erase(it);
    } else {
      next = std::min(next, it->second + options_.retryAfter);
      ++it;
    }
  }
  if (!failures_.empty()) {
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(next - now);
    expiry_.start(int(std::max<std::int64_t>(1, wait.count())));
  }
  for (const std::string& k : expired) emit thumbnailChanged(qt::str(k));
}

void ThumbnailLoader::retryFailed() {
  expiry_.stop();
  auto forgotten = std::exchange(failures_, {});
  for (const auto& [k, when] : forgotten) emit thumbnailChanged(qt::str(k));
}

}  // namespace tavolune
