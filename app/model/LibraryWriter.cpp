#include "app/model/LibraryWriter.hpp"

#include <malloc.h>

namespace tavolune {

LibraryWriter::LibraryWriter(Load load, Save save)
    : load_(std::move(load)), save_(std::move(save)), thread_([this] { run(); }) {}

LibraryWriter::~LibraryWriter() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

void LibraryWriter::load(std::function<void(LibraryState)> done) {
  {
    std::lock_guard lock(mutex_);
    jobs_.push_back({std::move(done), {}, {}, {}});
  }
  wake_.notify_all();
}

void LibraryWriter::save(std::vector<Patch> patches, std::function<void()> written) {
  {
    std::lock_guard lock(mutex_);
    jobs_.push_back({{}, std::move(patches), std::move(written), {}});
  }
  wake_.notify_all();
}

void LibraryWriter::read(std::vector<Patch> patches, std::function<void(const LibraryState&)> read) {
  {
    std::lock_guard lock(mutex_);
    jobs_.push_back({{}, std::move(patches), {}, std::move(read)});
  }
  wake_.notify_all();
}

void LibraryWriter::flush() {
  std::unique_lock lock(mutex_);
  idle_.wait(lock, [this] { return jobs_.empty() && !busy_; });
}

std::size_t LibraryWriter::writes() const {
  std::lock_guard lock(mutex_);
  return writes_;
}

std::size_t LibraryWriter::failures() const {
  std::lock_guard lock(mutex_);
  return failures_;
}

namespace {

// Reading or writing the whole library leaves megabytes of freed scratch
// (the parsed document, the encoded text) in this thread's malloc arena,
// which glibc keeps for the process: hand it back to the system.
void releaseFreeMemory() { malloc_trim(0); }

}  // namespace

void LibraryWriter::run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
    if (jobs_.empty()) break;  // stopping, and everything is written

    if (jobs_.front().loaded) {
      Job job = std::move(jobs_.front());
      jobs_.pop_front();
      busy_ = true;
      lock.unlock();
      mirror_ = load_();
      job.loaded(mirror_);
      releaseFreeMemory();
      lock.lock();
    } else if (jobs_.front().read) {
      Job job = std::move(jobs_.front());
      jobs_.pop_front();
      busy_ = true;
      lock.unlock();
      for (const auto& patch : job.patches) patch(mirror_);
      job.read(mirror_);
      lock.lock();
    } else {
      // Every save queued up to the next load is written once.
      std::vector<Patch> patches;
      std::vector<std::function<void()>> callbacks;
      while (!jobs_.empty() && !jobs_.front().loaded && !jobs_.front().read) {
        for (auto& p : jobs_.front().patches) patches.push_back(std::move(p));
        if (jobs_.front().written) callbacks.push_back(std::move(jobs_.front().written));
        jobs_.pop_front();
      }
      busy_ = true;
      lock.unlock();
      for (const auto& patch : patches) patch(mirror_);
      bool written = true;
      try {
        save_(mirror_);
      } catch (...) {
        written = false;
      }
      for (const auto& callback : callbacks) callback();
      releaseFreeMemory();
      lock.lock();
      ++(written ? writes_ : failures_);
    }
    busy_ = false;
    if (jobs_.empty()) idle_.notify_all();
  }
  busy_ = false;
  idle_.notify_all();
}

}  // namespace tavolune
