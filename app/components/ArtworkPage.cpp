#include "app/components/ArtworkPage.hpp"

#include "app/qt/Convert.hpp"
#include "core/base/Url.hpp"

namespace tavolune {

std::optional<QUrl> artworkPage(const std::optional<std::string>& externalURL) {
  if (!externalURL) return std::nullopt;
  const auto parsed = Url::parse(*externalURL);
  if (!parsed || !parsed->hasAuthority() || parsed->host().empty()) return std::nullopt;
  const std::string scheme = parsed->scheme();
  if (scheme != "http" && scheme != "https") return std::nullopt;
  const QUrl url(qt::str(parsed->string()), QUrl::StrictMode);
  if (!url.isValid()) return std::nullopt;
  return url;
}

}  // namespace tavolune
