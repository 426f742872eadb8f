#pragma once
// What the artwork views need of the application to show stills: the image
// pipeline, the thread pool that may block on it, and where an aspect
// ratio learnt from a decoded still goes. Passed in by the owner, so the
// views never reach for the app model. GUI thread only.

#include "app/render/ImagePipeline.hpp"
#include "core/model/Artwork.hpp"

#include <QImage>
#include <QThreadPool>

#include <functional>

namespace tavolune {

// Called on the GUI thread with the artwork and a still decoded for it.
using RatioNoted = std::function<void(const Artwork&, const QImage&)>;

struct ImageServices {
  ImagePipeline& pipeline;  // outlives every view that uses it
  QThreadPool& pool;        // the application's bounded pool
  RatioNoted noteRatio;     // may be empty
};

}  // namespace tavolune
