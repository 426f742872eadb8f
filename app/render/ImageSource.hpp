#pragma once

#include <QByteArray>

#include <chrono>
#include <stop_token>
#include <string>

namespace tavolune {

// Bytes of one media URI and the MIME type they came with.
struct FetchedMedia {
  QByteArray data;
  std::string mime;
};

// Where the image pipeline gets media bytes from: the content fetcher in the
// application, a fake or a folder in tests. fetch() blocks, may be called
// from several threads at once, and throws on any failure (including the
// time-out and a stop request).
class ImageSource {
 public:
  virtual ~ImageSource() = default;
  virtual FetchedMedia fetch(const std::string& uri, std::chrono::milliseconds timeout, std::stop_token stop) = 0;
};

}  // namespace tavolune
