#include "app/stage/NetworkRules.hpp"

#include "core/model/MediaResolver.hpp"
#include "core/base/Hosts.hpp"

#include <QUrl>

namespace tavolune {

const std::vector<std::string>& NetworkRules::allowedDomains() {
  static const std::vector<std::string> domains = [] {
    std::vector<std::string> all(hosts::liveArtHosts.begin(), hosts::liveArtHosts.end());
    for (std::string_view region : hosts::s3Regions) {
      const std::string r(region);
      all.push_back("s3." + r + ".amazonaws.com");
      all.push_back("s3-" + r + ".amazonaws.com");
      all.push_back("s3.dualstack." + r + ".amazonaws.com");
    }
    return all;
  }();
  return domains;
}

bool NetworkRules::isAllowedHost(std::string_view host) {
  if (!host.empty() && host.back() == '.') host.remove_suffix(1);  // "ipfs.io." names the same host
  for (std::string_view allowed : allowedDomains()) {
    if (host == allowed) return true;
    if (host.size() > allowed.size() && host.ends_with(allowed) && host[host.size() - allowed.size() - 1] == '.') {
      return true;
    }
  }
  return false;
}

bool NetworkRules::allows(const QUrl& url) {
  const QString scheme = url.scheme().toLower();
  if (scheme == QLatin1String(MediaResolver::scheme.data(), qsizetype(MediaResolver::scheme.size())) ||
      scheme == u"data" || scheme == u"blob" || scheme == u"about") {
    return true;
  }
  if (scheme == u"http" || scheme == u"https" || scheme == u"ws" || scheme == u"wss") {
    return isAllowedHost(url.host(QUrl::FullyEncoded).toLower().toStdString());
  }
  return false;
}

void NetworkRules::interceptRequest(QWebEngineUrlRequestInfo& info) {
  if (!allows(info.requestUrl())) info.block(true);
}

}  // namespace tavolune
