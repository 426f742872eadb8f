#pragma once
// The one writer of the library file. Thread-safe; load() and save() return
// at once, flush() blocks until everything handed over is on disk.
//
// It keeps its own copy of the library on its thread. The model hands it
// each edit as a patch, which the writer replays on its copy before it
// writes, so a save never copies the library on the caller's thread. Jobs
// run in the order given and saves that pile up are written once, so the
// newest state is always the last one on disk.

#include "core/model/LibraryState.hpp"

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace tavolune {

class LibraryWriter {
 public:
  // An edit of the library. It runs twice, on the model's state and later
  // on the writer's copy, so it may depend only on the state it is given and
  // on what it captured by value.
  using Patch = std::function<void(LibraryState&)>;
  using Load = std::function<LibraryState()>;
  using Save = std::function<void(const LibraryState&)>;  // throws on failure

  LibraryWriter(Load load, Save save);
  // Writes what was handed over, then stops the thread.
  ~LibraryWriter();
  LibraryWriter(const LibraryWriter&) = delete;
  LibraryWriter& operator=(const LibraryWriter&) = delete;

  // Reads the library and keeps it; done gets a copy, on the writer's thread.
  void load(std::function<void(LibraryState)> done);
  // Replays the patches and writes the file; then calls written (on the
  // writer's thread) whether the write succeeded or not. Failures are
  // dropped: the next save writes the then current state.
  void save(std::vector<Patch> patches, std::function<void()> written = {});
  // Replays the patches without writing (the next save writes them) and
  // hands the writer's copy to read, on the writer's thread: questions about
  // the whole library are answered there, off the caller's thread.
  void read(std::vector<Patch> patches, std::function<void(const LibraryState&)> read);
  // Blocks until every job handed over has finished.
  void flush();

  // Completed and failed writes so far.
  std::size_t writes() const;
  std::size_t failures() const;

 private:
  struct Job {
    std::function<void(LibraryState)> loaded;  // a load when set
    std::vector<Patch> patches;
    std::function<void()> written;
    std::function<void(const LibraryState&)> read;  // a read when set
  };
  void run();

  const Load load_;
  const Save save_;
  LibraryState mirror_;  // touched only on the writer's thread

  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable idle_;
  std::deque<Job> jobs_;
  bool busy_ = false;
  bool stopping_ = false;
  std::size_t writes_ = 0;
  std::size_t failures_ = 0;
  std::thread thread_;
};

}  // namespace tavolune
