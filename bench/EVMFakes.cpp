#include "bench/EVMFakes.hpp"

#include "core/indexers/OpenSeaProvider.hpp"
#include "core/base/Json.hpp"

#include <algorithm>
#include <fstream>
#include <random>

namespace tavolune::bench {

using testsupport::CannedResponse;
using testsupport::RecordedRequest;
using J = json::Json;

void serveEVMChain(testsupport::LoopbackServer& server, Chain chain, int tokens, const std::string& explorerPrefix) {
  const std::string id(*OpenSeaProvider::identifier(chain));
  const int pages = (tokens + evmPageSize - 1) / evmPageSize;
  server.onRequest("GET", "/api/v2/chain/" + id + "/account/" + evmOwner + "/nfts", [=](const RecordedRequest& r) {
    int page = r.param("next") ? std::stoi(*r.param("next")) : 0;
    J nfts = J::array();
    for (int i = page * evmPageSize; i < std::min(tokens, (page + 1) * evmPageSize); ++i) {
      nfts.push_back({{"identifier", std::to_string(i)},
                      {"collection", "wallet-works"},
                      {"contract", evmContract},
                      {"name", "Work #" + std::to_string(i)},
                      {"image_url", "https://i.seadn.io/" + std::to_string(i) + ".png"},
                      {"metadata_url", "ipfs://QmMeta/" + std::to_string(i)},
                      {"opensea_url", "https://opensea.io/item/" + std::to_string(i)}});
    }
    J body{{"nfts", nfts}};
    if (page + 1 < pages) body["next"] = std::to_string(page + 1);
    return CannedResponse::json(body.dump());
  });
  for (int i = 0; i < tokens; ++i) {
    server.get(explorerPrefix + "/api/v2/tokens/" + evmContract + "/instances/" + std::to_string(i),
               J{{"id", std::to_string(i)},
                 {"token", {{"address_hash", evmContract}, {"name", "Wallet Works"}, {"reputation", "ok"}}},
                 {"value", "1"},
                 {"metadata",
                  {{"name", "Work #" + std::to_string(i)},
                   {"artist", "Ada"},
                   {"image", "ipfs://QmImage/" + std::to_string(i) + ".png"}}}}
                   .dump());
  }
}

void serveCollectionName(testsupport::LoopbackServer& server) {
  server.get("/api/v2/collections/wallet-works", R"({"collection":"wallet-works","name":"Wallet Works"})");
}

std::filesystem::path freshOpenSeaKeyFile() {
  std::random_device rd;
  const auto dir = std::filesystem::temp_directory_path() / ("tavolune-bench-" + std::to_string(rd()));
  std::filesystem::create_directories(dir);
  const auto keyFile = dir / "opensea-key.json";
  std::ofstream(keyFile) << R"({"api_key":"bench","expires_at":"2099-01-01T00:00:00Z"})";
  return keyFile;
}

}  // namespace tavolune::bench
