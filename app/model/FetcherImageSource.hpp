#pragma once
// The image pipeline's source of media bytes in the application: the
// content fetcher with its cache and gateways. Thread-safe; fetch() blocks.

#include "app/render/ImageSource.hpp"
#include "core/media/ContentFetcher.hpp"

namespace tavolune {

class FetcherImageSource final : public ImageSource {
 public:
  explicit FetcherImageSource(ContentFetcher fetcher) : fetcher_(std::move(fetcher)) {}
  FetchedMedia fetch(const std::string& uri, std::chrono::milliseconds timeout, std::stop_token stop) override;

 private:
  const ContentFetcher fetcher_;
};

}  // namespace tavolune
