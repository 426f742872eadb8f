#pragma once
// One still desktop picture for one display: fetch and turn the work's image,
// compose it on the display, encode and write the JPEG. It owns copies of all
// it reads, so its steps run on a worker while the controller changes; each
// step gives up as soon as a newer render of the display begins. Made and
// read on the GUI thread; decode() and compose() block and run on a worker,
// one at a time.

#include "core/model/Artwork.hpp"
#include "core/model/Placement.hpp"

#include <QColor>
#include <QImage>
#include <QSize>
#include <QString>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>

namespace tavolune {

class ImageRequests;

// The steps of a still pass, as benchmarks time them and tests watch them.
enum class StillStage { decode, turn, compose, encode, write, set };

// Told after each step of a still pass, on the thread that ran it.
using StillStageWatch =
    std::function<void(const QString& key, std::uint64_t generation, StillStage, std::chrono::nanoseconds)>;

class StillPass {
 public:
  static constexpr int maxRenderSide = 6000;
  static constexpr double jpegQuality = 0.92;

  struct Request {
    Artwork work;
    Placement placement;
    QString key;
    std::uint64_t generation = 0;
    bool highQuality = false;
    QSize pixels;  // the display's
    double scale = 1;
    int turns = 0;
    std::optional<QColor> background;  // the series' own, when measured
    std::filesystem::path folder;      // where the picture is written
  };

  // The images come from the pipeline's requests, held as long as the pass.
  StillPass(Request request, std::shared_ptr<const std::atomic<std::uint64_t>> generation, std::stop_token stop,
            std::shared_ptr<ImageRequests> images, StillStageWatch watch = {});

  const Request& request() const { return request_; }
  // A newer render of the display began.
  bool stale() const { return generation_->load() != request_.generation; }

  // A rendered still of a generative work, when there is one: composed in
  // place of the decoded image.
  void setStill(QImage still) { still_ = std::move(still); }
  bool hasStill() const { return !still_.isNull(); }
  // Whether compose() has anything to work from.
  bool canCompose() const { return !still_.isNull() || (!request_.highQuality && !turned_.isNull()); }

  // Blocks: fetches and turns the image, and picks the matte.
  void decode();
  // Blocks: composes the picture, encodes and writes it. Frees the images.
  void compose();

  // After decode(): the turned image (null when none could be had) and the matte.
  const QImage& turned() const { return turned_; }
  // After decode(): the image was fetched but cannot be read (a broken file,
  // an SVG over its limits), unlike one that could not be fetched.
  bool undecodable() const { return undecodable_; }
  const QColor& matte() const { return matte_; }
  // After compose(): the file written, if it was, and its picture.
  bool written() const { return written_; }
  const std::filesystem::path& file() const { return file_; }
  QImage takePicture() { return std::exchange(picture_, QImage()); }

  // The pixel size a rendered still of the work is asked for.
  static QSize renderSize(const Placement& placement, QSize screenPixels, int turns);
  // "<key>-<16 hex>.jpg": the hashed text holds all that changes the picture.
  static std::string fileName(const QString& key, const std::string& artworkID, const Placement& placement, int turns,
                              bool highQuality, QSize pixelSize, const QColor& matte, bool fromRenderedStill);
  static QString colourText(const QColor& c) { return c.name(QColor::HexArgb); }

 private:
  template <class F>
  void timed(StillStage stage, F&& step);

  const Request request_;
  const std::shared_ptr<const std::atomic<std::uint64_t>> generation_;
  const std::stop_token stop_;
  const std::shared_ptr<ImageRequests> images_;
  const StillStageWatch watch_;
  QImage still_;   // the rendered still, unturned
  QImage turned_;  // the decoded image, turned
  QColor matte_;
  QImage picture_;  // what was written, handed to the back end
  std::filesystem::path file_;
  bool written_ = false;
  bool undecodable_ = false;
};

}  // namespace tavolune
