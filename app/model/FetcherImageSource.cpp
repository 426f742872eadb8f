#include "app/model/FetcherImageSource.hpp"

namespace tavolune {

FetchedMedia FetcherImageSource::fetch(const std::string& uri, std::chrono::milliseconds timeout,
                                       std::stop_token stop) {
  MediaContent content = fetcher_.fetch(uri, std::chrono::duration<double>(timeout).count(), std::move(stop));
  return {QByteArray(content.data.data(), static_cast<qsizetype>(content.data.size())), std::move(content.mime)};
}

}  // namespace tavolune
