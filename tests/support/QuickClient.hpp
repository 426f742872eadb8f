#pragma once

#include "core/base/Clock.hpp"
#include "core/base/TavoluneError.hpp"
#include "core/network/HTTPClient.hpp"
#include "core/network/URLSession.hpp"

#include <memory>
#include <stop_token>

namespace tavolune::testsupport {

// A client on its own connection cache whose 429 waits return at once (a
// stop request still ends them with CancellationError).
inline HTTPClient quickClient() {
  HTTPClient client(std::make_shared<URLSession>());
  client.clock = Clock(&Clock::systemNow, [](double, std::stop_token stop) {
    if (stop.stop_requested()) throw CancellationError();
  });
  return client;
}

}  // namespace tavolune::testsupport
