#include "core/network/URLSession.hpp"

#include <curl/curl.h>

#include <stdexcept>

namespace tavolune {
namespace {

void globalInit() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

void lockShared(CURL*, curl_lock_data data, curl_lock_access, void* self) {
  static_cast<URLSession*>(self)->lockData(static_cast<int>(data));
}

void unlockShared(CURL*, curl_lock_data data, void* self) {
  static_cast<URLSession*>(self)->unlockData(static_cast<int>(data));
}

}  // namespace

URLSession::URLSession() {
  static_assert(CURL_LOCK_DATA_LAST <= 16);
  globalInit();
  CURLSH* share = curl_share_init();
  if (!share) throw std::runtime_error("could not create a connection cache");
  curl_share_setopt(share, CURLSHOPT_LOCKFUNC, &lockShared);
  curl_share_setopt(share, CURLSHOPT_UNLOCKFUNC, &unlockShared);
  curl_share_setopt(share, CURLSHOPT_USERDATA, this);
  curl_share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_CONNECT);
  curl_share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
  curl_share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION);
  share_ = share;
}

URLSession::~URLSession() { curl_share_cleanup(static_cast<CURLSH*>(share_)); }

std::shared_ptr<URLSession> URLSession::shared() {
  static auto session = std::make_shared<URLSession>();
  return session;
}

}  // namespace tavolune
