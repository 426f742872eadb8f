#include "core/media/ContentFetcher.hpp"

#include "core/base/TavoluneError.hpp"
#include "core/media/CacheKeys.hpp"
#include "core/media/Gzip.hpp"
#include "tests/support/Errors.hpp"
#include "tests/support/LoopbackServer.hpp"
#include "tests/support/ScopedProxyEnvironment.hpp"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <zlib.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <latch>
#include <optional>
#include <random>
#include <stop_token>
#include <string>
#include <thread>

namespace tavolune {
namespace {

namespace fs = std::filesystem;
using testsupport::CannedResponse;
using testsupport::LoopbackServer;
using testsupport::tavoluneErrorOf;

constexpr std::string_view cid = "QmYwAPJzv5CZsnA625s3Xf2nemtYgPpHdWEz79ojWnPbdG";

// A port nothing listens on: bound, then closed. Named as an outside host
// while it lives, so that the failure is the closed port's.
class DeadPort {
 public:
  DeadPort() {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    port_ = ntohs(address.sin_port);
    HTTPClient::allowLocalServer("127.0.0.1", port_);
  }
  ~DeadPort() { HTTPClient::forgetLocalServer("127.0.0.1", port_); }
  DeadPort(const DeadPort&) = delete;
  DeadPort& operator=(const DeadPort&) = delete;
  std::string baseURL() const { return "http://127.0.0.1:" + std::to_string(port_); }

 private:
  int port_ = 0;
};

// What openLocal gives, read whole.
MediaContent readLocal(const ContentFetcher& f, const Url& url, ByteBudget* budget = nullptr,
                       ByteBudget* downloads = nullptr) {
  auto file = f.openLocal(url, {}, budget, downloads);
  if (file.fd < 0) return MediaContent{std::move(file.bytes), std::move(file.mime)};
  Bytes bytes(std::size_t(file.size), '\0');
  const ssize_t n = ::pread(file.fd, bytes.data(), bytes.size(), 0);
  ::close(file.fd);
  bytes.resize(n < 0 ? 0 : std::size_t(n));
  return MediaContent{std::move(bytes), std::move(file.mime)};
}

// Answers every connection with one fixed raw HTTP response, for answers
// the loopback server cannot give (no Content-Type at all).
class RawServer {
 public:
  explicit RawServer(std::string response) : response_(std::move(response)) {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(fd_, 8);
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    HTTPClient::allowLocalServer("127.0.0.1", port_);
    thread_ = std::thread([this] {
      while (true) {
        int client = ::accept(fd_, nullptr, nullptr);
        if (client < 0) return;
        std::string request;
        char buffer[1024];
        while (request.find("\r\n\r\n") == std::string::npos) {
          auto n = ::read(client, buffer, sizeof buffer);
          if (n <= 0) break;
          request.append(buffer, static_cast<std::size_t>(n));
        }
        (void)!::write(client, response_.data(), response_.size());
        ::close(client);
      }
    });
  }
  ~RawServer() {
    HTTPClient::forgetLocalServer("127.0.0.1", port_);
    ::shutdown(fd_, SHUT_RDWR);
    ::close(fd_);
    thread_.join();
  }
  std::string baseURL() const { return "http://127.0.0.1:" + std::to_string(port_); }

 private:
  std::string response_;
  int fd_ = -1;
  int port_ = 0;
  std::thread thread_;
};

class ContentFetcherTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device rd;
    dir = fs::temp_directory_path() / ("tavolune-fetch-" + std::to_string(rd()) + std::to_string(rd()));
    cache = std::make_shared<MediaCache>(dir, std::int64_t{1} << 30);
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir, ec);
  }
  ContentFetcher fetcher(std::vector<std::string> gateways) {
    return ContentFetcher(HTTPClient(), cache, std::move(gateways),
                          std::make_shared<OnchfsResolver>(HTTPClient(), tzkt.baseURL()));
  }

  fs::path dir;
  std::shared_ptr<MediaCache> cache;
  DeadPort dead;
  LoopbackServer first;
  LoopbackServer second;
  LoopbackServer tzkt;
};

TEST_F(ContentFetcherTest, CacheComesFirst) {
  auto f = fetcher({dead.baseURL()});
  const std::string uri = "ipfs://" + std::string(cid) + "/art.png";
  cache->store("cached bytes", uri, "image/png");
  auto hit = f.fetch(uri, 5);
  EXPECT_EQ(hit.data, "cached bytes");
  EXPECT_EQ(hit.mime, "image/png");
  // Without a type file the type is plain bytes.
  cache->store("raw", "https://example.com/raw", std::nullopt);
  EXPECT_EQ(f.fetch("https://example.com/raw", 5).mime, "application/octet-stream");
  // The cache key is the URI exactly as given.
  EXPECT_THROW(f.fetch("ipfs://" + std::string(cid) + "/art.png%20", 5), TransportError);
}

TEST_F(ContentFetcherTest, GatewaysAreTriedInOrder) {
  const std::string path = "/ipfs/" + std::string(cid) + "/work.html";
  first.on("GET", path, CannedResponse::text("busy", 500));
  second.on("GET", path, CannedResponse{.body = "<html/>", .contentType = "text/html; charset=utf-8"});
  auto f = fetcher({first.baseURL(), second.baseURL()});
  const std::string uri = "ipfs://" + std::string(cid) + "/work.html";

  auto content = f.fetch(uri, 5);
  EXPECT_EQ(content.data, "<html/>");
  EXPECT_EQ(content.mime, "text/html");
  EXPECT_EQ(first.requestCount(), 1u);
  ASSERT_EQ(second.requestCount(), 1u);
  auto request = *second.lastRequest();
  EXPECT_EQ(request.header("Accept"), "*/*");
  EXPECT_TRUE(request.header("User-Agent").value_or("").starts_with("Tavolune/1.0"));
  // Stored under the URI: the next fetch needs no network.
  EXPECT_EQ(cache->mime(uri), "text/html");
  EXPECT_EQ(f.fetch(uri, 5).data, "<html/>");
  EXPECT_EQ(first.requestCount() + second.requestCount(), 2u);
}

TEST_F(ContentFetcherTest, FailuresFallThroughToTheLast) {
  const std::string path = "/ipfs/" + std::string(cid);
  first.on("GET", path, CannedResponse::empty(200));  // 200 with no body is a failure
  second.on("GET", path, CannedResponse::text("gone", 404));
  auto f = fetcher({first.baseURL(), second.baseURL()});
  auto error = tavoluneErrorOf([&] { f.fetch(std::string(cid), 5); });
  EXPECT_EQ(error, TavoluneError::http(404, second.url(path)));
  EXPECT_EQ(first.requestCount(), 1u);
  EXPECT_FALSE(cache->contains(std::string(cid)));  // failures are never cached

  // The empty 2xx answer as the last failure.
  auto reversed = fetcher({second.baseURL(), first.baseURL()});
  EXPECT_EQ(tavoluneErrorOf([&] { reversed.fetch(std::string(cid), 5); }), TavoluneError::http(200, first.url(path)));

  // A transport failure of the last candidate is passed on as it is.
  auto unreachable = fetcher({second.baseURL(), dead.baseURL()});
  try {
    unreachable.fetch(std::string(cid), 5);
    FAIL() << "expected a transport error";
  } catch (const TransportError& e) {
    EXPECT_EQ(e.group(), TransportError::Group::unreachable);
  }
}

// A token's folder can make a public gateway redirect anywhere.
TEST_F(ContentFetcherTest, AGatewayRedirectToThisMachineIsNotFollowed) {
  LoopbackServer local(LoopbackServer::Role::localService);
  local.otherwise([](const auto&) { return CannedResponse::text("local secret"); });
  first.otherwise([&](const auto& r) { return CannedResponse::redirect(local.url(r.path)); });
  auto f = fetcher({first.baseURL()});
  const std::string ipfs = "tavolune://local/ipfs/" + std::string(cid);
  const struct {
    const char* name;
    std::function<void()> fetch;
  } rows[] = {
      {"a still", [&] { f.fetch("ipfs://" + std::string(cid) + "/poster", 5); }},
      {"a live page's request", [&] { readLocal(f, *Url::parse(ipfs + "/probe")); }},
  };
  for (const auto& row : rows) {
    try {
      row.fetch();
      ADD_FAILURE() << row.name << ": fetched";
    } catch (const TransportError& e) {
      EXPECT_EQ(TavoluneError::plain(e), "the address is on this computer or its local network") << row.name;
    }
  }
  EXPECT_EQ(first.requestCount(), 2u);
  EXPECT_EQ(local.connectionsAccepted(), 0u);
  EXPECT_EQ(cache->totalSize(), 0);
}

TEST_F(ContentFetcherTest, MimeTypeFromTheAnswerOrThePath) {
  // An answer without Content-Type takes the type of the file name.
  RawServer bare("HTTP/1.1 200 OK\r\nContent-Length: 4\r\nConnection: close\r\n\r\n\x89PNG");
  auto f = fetcher({bare.baseURL()});
  auto png = f.fetch("ipfs://" + std::string(cid) + "/a/image.png", 5);
  EXPECT_EQ(png.mime, "image/png");
  EXPECT_EQ(png.data, "\x89PNG");
  auto unknown = f.fetch("ipfs://" + std::string(cid) + "/a/blob", 5);
  EXPECT_EQ(unknown.mime, "application/octet-stream");

  // Parameters are dropped and the case is kept as received.
  first.on("GET", "/ipfs/" + std::string(cid) + "/odd",
           CannedResponse{.body = "x", .contentType = "Image/SVG+xml ;charset=utf-8"});
  EXPECT_EQ(fetcher({first.baseURL()}).fetch("ipfs://" + std::string(cid) + "/odd", 5).mime, "Image/SVG+xml");
}

TEST_F(ContentFetcherTest, DataURLsAndUnknownURIs) {
  auto f = fetcher({dead.baseURL()});
  auto page = f.fetch("data:text/html;base64,PGI+aGk8L2I+", 5);
  EXPECT_EQ(page.data, "<b>hi</b>");
  EXPECT_EQ(page.mime, "text/html");
  EXPECT_EQ(cache->totalSize(), 0);  // never cached
  EXPECT_EQ(tavoluneErrorOf([&] { f.fetch("data:image/png;base64,***", 5); }), TavoluneError::decoding("data: URL"));
  EXPECT_EQ(tavoluneErrorOf([&] { f.fetch("not a media uri", 5); }), TavoluneError::allProvidersFailed("no URL"));
  EXPECT_EQ(tavoluneErrorOf([&] { fetcher({}).fetch("ipfs://" + std::string(cid), 5); }),
            TavoluneError::allProvidersFailed("no URL"));
  // The program's own entries are no media URI's: token data naming them reads nothing.
  for (const std::string& own : {cachekeys::still("tezos:kt1:7", 640, 480), cachekeys::emptyStill("tezos:kt1:7"),
                                 cachekeys::pageFile("ipfs", cid, "clip.mp4"),
                                 cachekeys::pageFile("onchfs", std::string(64, 'e'), "main.js"),
                                 " \t" + cachekeys::still("tezos:kt1:7", 640, 480)}) {
    cache->store("own", own, "image/png");
    EXPECT_EQ(tavoluneErrorOf([&] { f.fetch(own, 5); }), TavoluneError::allProvidersFailed("no URL")) << own;
  }
}

TEST_F(ContentFetcherTest, OnchfsURIsGoThroughTheResolver) {
  const std::string file(64, 'a');
  const std::string chunk(64, 'c');
  tzkt.get("/v1/bigmaps/549145/keys/" + file,
           R"({"key":")" + file + R"(","value":{"file":{"chunk_pointers":[")" + chunk + R"("]}}})");
  tzkt.get("/v1/bigmaps/549144/keys", R"([{"key":")" + chunk + R"(","value":"3c703e"}])");
  auto f = fetcher({dead.baseURL()});
  const std::string uri = "onchfs://" + file + "?seed=1";
  auto content = f.fetch(uri, 5);
  EXPECT_EQ(content.data, "<p>");
  EXPECT_EQ(content.mime, "text/html");
  EXPECT_EQ(cache->data(uri), "<p>");

  EXPECT_EQ(tavoluneErrorOf([&] { f.fetch("onchfs://" + std::string(64, 'b'), 5); }).kind(), TavoluneError::Kind::http);
  EXPECT_FALSE(cache->contains("onchfs://" + std::string(64, 'b')));
}

TEST_F(ContentFetcherTest, LocalIPFSPaths) {
  const std::string base = "/ipfs/" + std::string(cid) + "/";
  first.on("GET", base + "index.html", CannedResponse::text("nope", 502));
  second.on("GET", base + "index.html", CannedResponse{.body = "<html/>", .contentType = "text/html"});
  second.on("GET", base + "lib/sketch.js", CannedResponse::text("draw()"));
  second.on("GET", base + "lib/shader v2.frag",
            CannedResponse{.body = "void main(){}", .contentType = "application/octet-stream"});
  second.on("GET", base + "data.json", CannedResponse{.body = "{}", .contentType = "text/plain; charset=utf-8"});
  auto f = fetcher({first.baseURL(), second.baseURL()});

  auto page = readLocal(f, *Url::parse("tavolune://local/ipfs/" + std::string(cid)));
  EXPECT_EQ(page.data, "<html/>");
  EXPECT_EQ(page.mime, "text/html");
  EXPECT_EQ(cache->mime("ipfs/" + std::string(cid) + "/"), "text/html");
  ASSERT_EQ(first.requestCount(), 1u);
  EXPECT_EQ(first.lastRequest()->path, base + "index.html");

  // Gateways that label scripts as plain text.
  auto script = readLocal(f, *Url::parse("tavolune://local/ipfs/" + std::string(cid) + "/lib/sketch.js"));
  EXPECT_EQ(script.mime, "application/javascript");
  auto json = readLocal(f, *Url::parse("tavolune://local/ipfs/" + std::string(cid) + "/data.json"));
  EXPECT_EQ(json.mime, "application/json");
  // Escapes reach the gateway and the key unchanged.
  auto shader = readLocal(f, *Url::parse("tavolune://local/ipfs/" + std::string(cid) + "/lib/shader%20v2.frag"));
  EXPECT_EQ(shader.data, "void main(){}");
  EXPECT_EQ(shader.mime, "text/plain");
  EXPECT_TRUE(cache->contains("ipfs/" + std::string(cid) + "/lib/shader%20v2.frag"));

  // Served from the cache the second time.
  auto before = first.requestCount() + second.requestCount();
  EXPECT_EQ(readLocal(f, *Url::parse("tavolune://local/ipfs/" + std::string(cid) + "/")).data, "<html/>");
  EXPECT_EQ(first.requestCount() + second.requestCount(), before);
}

TEST_F(ContentFetcherTest, LocalPathsOfOtherKinds) {
  auto f = fetcher({dead.baseURL()});
  auto only = *Url::parse("tavolune://local/ipfs");
  EXPECT_EQ(tavoluneErrorOf([&] { readLocal(f, only); }), TavoluneError::notFound(only.string()));
  auto other = *Url::parse("tavolune://local/arweave/abc/page.html");
  EXPECT_EQ(tavoluneErrorOf([&] { readLocal(f, other); }), TavoluneError::notFound(other.string()));
  // Another kind is refused even when the cache happens to hold its key.
  cache->store("cached", "arweave/abc/page.html", std::nullopt);
  EXPECT_EQ(tavoluneErrorOf([&] { readLocal(f, other); }), TavoluneError::notFound(other.string()));
  cache->store("cached", "ipfs/" + std::string(cid) + "/page.html", std::nullopt);
  auto hit = readLocal(f, *Url::parse("tavolune://local/ipfs/" + std::string(cid) + "/page.html"));
  EXPECT_EQ(hit.data, "cached");
  EXPECT_EQ(hit.mime, "text/html");  // from the path when there is no type file

  const std::string dirHash(64, 'd');
  const std::string fileHash(64, 'e');
  const std::string chunk(64, 'f');
  tzkt.get("/v1/bigmaps/549145/keys/" + dirHash,
           R"({"key":")" + dirHash + R"(","value":{"directory":{"main.js":")" + fileHash + R"("}}})");
  tzkt.get("/v1/bigmaps/549145/keys/" + fileHash,
           R"({"key":")" + fileHash + R"(","value":{"file":{"chunk_pointers":[")" + chunk + R"("]}}})");
  tzkt.get("/v1/bigmaps/549144/keys", R"([{"key":")" + chunk + R"(","value":"6f6b"}])");
  auto js = readLocal(f, *Url::parse("tavolune://local/onchfs/" + dirHash + "/main.js"));
  EXPECT_EQ(js.data, "ok");
  EXPECT_EQ(js.mime, "application/javascript");
  EXPECT_EQ(cache->mime("onchfs/" + dirHash + "/main.js"), "application/javascript");
  // A page cannot smuggle a path into the TzKT request through the hash.
  auto smuggled = *Url::parse("tavolune://local/onchfs/..%2F549144%2Fkeys/x");
  EXPECT_EQ(tavoluneErrorOf([&] { readLocal(f, smuggled); }).kind(), TavoluneError::Kind::notFound);
}

// Pages name these URLs themselves: only host "local", the two kinds, ids of
// their alphabet and paths that never climb reach the cache or a gateway.
TEST_F(ContentFetcherTest, LocalURLsThatAreRefused) {
  const std::string ipfs = "tavolune://local/ipfs/" + std::string(cid);
  const std::string hash(64, 'a');
  cache->store("secret", "ipfs/" + std::string(cid) + "/secret", std::nullopt);
  cache->store("secret", "ipfs/other/secret", std::nullopt);
  for (const std::string& text : std::vector<std::string>{
           "tavolune://elsewhere/ipfs/" + std::string(cid) + "/secret",
           "tavolune://local:8080/ipfs/" + std::string(cid) + "/secret",
           "https://local/ipfs/" + std::string(cid) + "/secret",
           ipfs + "/a/../secret",
           ipfs + "/a/%2e%2E/secret",
           ipfs + "/a%2F..%2Fsecret",
           ipfs + "/./secret",
           ipfs + "/..",
           ipfs + "/a\\..\\secret",
           ipfs + "/a%5c..%5csecret",
           ipfs + "/nul%00.html",
           "tavolune://local/ipfs/Qm-bad_id/secret",
           "tavolune://local/ipfs/%51m/secret",
           "tavolune://local/onchfs/" + hash.substr(0, 10) + "xyz/main.js",
       }) {
    auto url = Url::parse(text);
    ASSERT_TRUE(url) << text;
    EXPECT_EQ(tavoluneErrorOf([&] { readLocal(fetcher({first.baseURL()}), *url); }).kind(),
              TavoluneError::Kind::notFound)
        << text;
  }
  EXPECT_EQ(first.requestCount(), 0u);
  // Dots inside a name are ordinary.
  first.on("GET", "/ipfs/" + std::string(cid) + "/lib/p5..min.js", CannedResponse::text("ok"));
  EXPECT_EQ(readLocal(fetcher({first.baseURL()}), *Url::parse(ipfs + "/lib/p5..min.js")).data, "ok");
}

TEST_F(ContentFetcherTest, CancellationEndsTheWholeFetch) {
  const std::string path = "/ipfs/" + std::string(cid);
  first.on("GET", path, CannedResponse::text("slow").after(std::chrono::seconds(3)));
  second.on("GET", path, CannedResponse::text("fast"));
  auto f = fetcher({first.baseURL(), second.baseURL()});
  std::stop_source stop;
  std::thread canceller([&] {
    first.waitForRequests(1);
    stop.request_stop();
  });
  EXPECT_THROW(f.fetch(std::string(cid), 10, stop.get_token()), CancellationError);
  canceller.join();
  EXPECT_EQ(second.requestCount(), 0u);  // no further candidate once stopped
  EXPECT_FALSE(cache->contains(std::string(cid)));
}

TEST_F(ContentFetcherTest, OneDownloadIsCapped) {
  const std::string path = "/ipfs/" + std::string(cid) + "/big.bin";
  first.on("GET", path, CannedResponse{.body = std::string(4096, 'b'), .contentType = "application/octet-stream"});
  auto f = fetcher({first.baseURL()});
  f.maxDownloadBytes = 4095;
  auto error = tavoluneErrorOf([&] { f.fetch("ipfs://" + std::string(cid) + "/big.bin", 5); });
  EXPECT_EQ(error.kind(), TavoluneError::Kind::decoding);
  EXPECT_FALSE(cache->contains("ipfs://" + std::string(cid) + "/big.bin"));
  f.maxDownloadBytes = 4096;
  EXPECT_EQ(f.fetch("ipfs://" + std::string(cid) + "/big.bin", 5).data.size(), 4096u);
}

// A page's files are taken from its budgets, cache hits as well. A file
// that would pass what is left is cut off and stored nowhere; what it moved
// stays taken and the budget is spent, so nothing further moves.
TEST_F(ContentFetcherTest, LocalFilesAreTakenFromThePageBudgets) {
  const std::string base = "/ipfs/" + std::string(cid) + "/";
  const auto local = [](const std::string& path) { return *Url::parse("tavolune://local" + path); };
  cache->store(std::string(600, 'h'), "ipfs/" + std::string(cid) + "/hit.bin", std::nullopt);
  first.on("GET", base + "big.bin", CannedResponse{.body = std::string(800, 'b'), .contentType = "text/plain"});
  first.on("GET", base + "small.bin", CannedResponse{.body = std::string(300, 's'), .contentType = "text/plain"});
  auto f = fetcher({first.baseURL(), second.baseURL()});
  ByteBudget budget(1000), downloads(1000);
  EXPECT_EQ(readLocal(f, local(base + "hit.bin"), &budget, &downloads).data.size(), 600u);
  EXPECT_EQ(budget.left(), 400);
  EXPECT_EQ(downloads.left(), 1000);  // not downloaded
  EXPECT_EQ(readLocal(f, local(base + "small.bin"), &budget, &downloads).data, std::string(300, 's'));
  EXPECT_EQ(budget.left(), 100);
  EXPECT_EQ(downloads.left(), 700);
  auto error = tavoluneErrorOf([&] { readLocal(f, local(base + "big.bin"), &budget, &downloads); });
  EXPECT_EQ(error, TavoluneError::decoding("tavolune://local" + base + "big.bin: over the page's byte budget"));
  EXPECT_EQ(second.requestCount(), 0u);  // another gateway's copy would not fit either
  EXPECT_FALSE(cache->contains("ipfs/" + std::string(cid) + "/big.bin"));
  EXPECT_TRUE(budget.spent());
  const std::size_t asked = first.requestCount();
  EXPECT_EQ(tavoluneErrorOf([&] { readLocal(f, local(base + "next.bin"), &budget, &downloads); }).kind(),
            TavoluneError::Kind::decoding);
  EXPECT_EQ(first.requestCount(), asked);

  // An onchfs file is read no further than what is left, its inode's
  // answer taken too: its second batch of chunks is never asked for.
  const std::string fileHash(64, 'e');
  const std::string chunk(64, 'f');
  std::string pointers;
  for (int i = 0; i < 50; ++i) pointers += std::string(i ? "," : "") + "\"" + chunk + "\"";
  const std::string inode =
      R"({"key":")" + fileHash + R"(","value":{"file":{"chunk_pointers":[)" + pointers + "]}}}";
  tzkt.get("/v1/bigmaps/549145/keys/" + fileHash, inode);
  tzkt.get("/v1/bigmaps/549144/keys", R"([{"key":")" + chunk + R"(","value":"30313233343536373839"}])");
  ByteBudget onchfsBudget(std::int64_t(inode.size()) + 100);
  EXPECT_EQ(tavoluneErrorOf([&] { readLocal(f, local("/onchfs/" + fileHash + "/"), &onchfsBudget); }).kind(),
            TavoluneError::Kind::decoding);
  EXPECT_EQ(tzkt.requests("GET", "/v1/bigmaps/549144/keys").size(), 1u);
  EXPECT_TRUE(onchfsBudget.spent());
}

// Downloads running at once take their bytes as they arrive: together they
// never pass the budget, and the one that would spends it, which cuts off
// the other too.
TEST_F(ContentFetcherTest, DownloadsAtOnceShareTheBudget) {
  const std::string base = "tavolune://local/ipfs/" + std::string(cid) + "/";
  // The slow one holds its second half until the fast one has ended.
  std::latch fastEnded(1);
  first.on("GET", "/ipfs/" + std::string(cid) + "/slow.bin",
           CannedResponse{.body = std::string(800, 's'),
                          .contentType = "application/octet-stream",  // not held back by compression
                          .chunkDelay = std::chrono::milliseconds(10),
                          .chunkSize = 25,
                          .beforeChunk = [&](std::size_t sent) {
                            if (sent >= 500) fastEnded.wait();
                          }});
  first.on("GET", "/ipfs/" + std::string(cid) + "/fast.bin",
           CannedResponse{.body = std::string(600, 'f'), .contentType = "text/plain"});
  auto f = fetcher({first.baseURL()});
  ByteBudget downloads(1000);
  std::atomic<bool> slowDone{false};
  std::optional<TavoluneError> slowError;
  std::thread slowFetch([&] {
    slowError = tavoluneErrorOf([&] { readLocal(f, *Url::parse(base + "slow.bin"), nullptr, &downloads); });
    slowDone = true;
  });
  // Half its bytes taken while it still runs.
  bool heldWhileRunning = false;
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!heldWhileRunning && !slowDone && std::chrono::steady_clock::now() < until) {
    heldWhileRunning = downloads.left() <= 500 && !slowDone;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  auto error = tavoluneErrorOf([&] { readLocal(f, *Url::parse(base + "fast.bin"), nullptr, &downloads); });
  fastEnded.count_down();
  slowFetch.join();
  EXPECT_TRUE(heldWhileRunning);
  EXPECT_EQ(error.kind(), TavoluneError::Kind::decoding);
  ASSERT_TRUE(slowError);
  EXPECT_EQ(slowError->kind(), TavoluneError::Kind::decoding);
  EXPECT_TRUE(downloads.spent());
  EXPECT_FALSE(cache->contains("ipfs/" + std::string(cid) + "/fast.bin"));
  EXPECT_FALSE(cache->contains("ipfs/" + std::string(cid) + "/slow.bin"));
}

std::string asHex(std::string_view bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    out += "0123456789abcdef"[c >> 4];
    out += "0123456789abcdef"[c & 15];
  }
  return out;
}

// Resident memory of this process, in bytes: now, or at its peak since the
// peak was last reset.
std::int64_t residentBytes(std::string_view field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.starts_with(field)) return std::stoll(line.substr(field.size())) * 1024;
  }
  return -1;
}

// Gzip of `mib` MiB of zeros at almost no cost: one compressed MiB ending on
// a full flush stands alone, so it can be repeated.
Bytes zeroBomb(std::size_t mib, std::uint32_t claimedSize) {
  z_stream z{};
  deflateInit2(&z, 9, Z_DEFLATED, -MAX_WBITS, 9, Z_DEFAULT_STRATEGY);
  std::string zeros(std::size_t{1} << 20, '\0');
  Bytes piece(deflateBound(&z, zeros.size()) + 64, '\0');
  z.next_in = reinterpret_cast<Bytef*>(zeros.data());
  z.avail_in = static_cast<uInt>(zeros.size());
  z.next_out = reinterpret_cast<Bytef*>(piece.data());
  z.avail_out = static_cast<uInt>(piece.size());
  deflate(&z, Z_FULL_FLUSH);
  piece.resize(z.total_out);
  deflateEnd(&z);
  Bytes out("\x1f\x8b\x08\0\0\0\0\0\0\x03", 10);
  for (std::size_t i = 0; i < mib; ++i) out += piece;
  out += std::string("\x03\0", 2);  // an empty final block
  out += std::string(4, '\0');       // the CRC is never checked
  for (int i = 0; i < 4; ++i) out += static_cast<char>(claimedSize >> (8 * i));
  return out;
}

// A gzip bomb served as an onchfs file fails as over the page's budget, and
// inflating it takes no more memory than the budget had left, whatever its
// trailer claims.
TEST_F(ContentFetcherTest, AnOnchfsBombInflatesNoFurtherThanTheBudget) {
  constexpr std::size_t bombMiB = 1024;
  constexpr std::int64_t budgetBytes = std::int64_t{8} << 20;
  auto f = fetcher({first.baseURL()});
  struct Row {
    const char* name;
    std::uint32_t claimedSize;
  };
  for (const Row& row : {Row{"honest trailer", std::uint32_t{bombMiB} << 20}, Row{"trailer claiming 1 KiB", 1024}}) {
    const Bytes bomb = zeroBomb(bombMiB, row.claimedSize);
    const std::string fileHash = asHex(std::string(32, row.name[0]));
    std::string pointers, entries;
    for (std::size_t at = 0, i = 0; at < bomb.size(); at += 32 << 10, ++i) {
      const std::string chunk = asHex(std::string(28, row.name[0]) + std::to_string(1000 + i));
      pointers += std::string(i ? "," : "") + "\"" + chunk + "\"";
      entries += std::string(i ? "," : "") + R"({"key":")" + chunk + R"(","value":")" +
                 asHex(bomb.substr(at, 32 << 10)) + "\"}";
    }
    tzkt.get("/v1/bigmaps/549145/keys/" + fileHash,
             R"({"key":")" + fileHash + R"(","value":{"file":{"chunk_pointers":[)" + pointers + "]}}}");
    tzkt.get("/v1/bigmaps/549144/keys", "[" + entries + "]");
    const auto url = *Url::parse("tavolune://local/onchfs/" + fileHash + "/");
    ByteBudget budget(budgetBytes);

    std::ofstream("/proc/self/clear_refs") << "5";  // the peak starts again from now
    const std::int64_t before = residentBytes("VmRSS:");
    auto error = tavoluneErrorOf([&] { readLocal(f, url, &budget); });
    const std::int64_t peak = residentBytes("VmHWM:");

    EXPECT_EQ(error, TavoluneError::decoding(url.string() + ": over the page's byte budget")) << row.name;
    EXPECT_TRUE(budget.spent()) << row.name;
    EXPECT_FALSE(cache->contains("onchfs/" + fileHash + "/")) << row.name;
    // The budget's worth of output and the chunks' answer, read, parsed and
    // decoded, with room for a sanitizer's own bookkeeping: far below the
    // bomb, and below what one file could inflate to before a budget bound it.
    EXPECT_LT(peak - before, std::int64_t(Gzip::maxOutputBytes) / 2) << row.name;
  }
}


TEST_F(ContentFetcherTest, BehindAProxyTheGatewaysAreAskedForByName) {
  // A gateway host that no resolver knows: behind the proxy only its name
  // may travel.
  const std::string own = "gateway.tavolune-test.invalid";
  const testsupport::OwnServiceStandIn standIn(own);
  LoopbackServer proxy(LoopbackServer::Role::localService);
  proxy.otherwise([](const testsupport::RecordedRequest& r) {
    if (r.method == "CONNECT") return CannedResponse::empty(200);
    return CannedResponse::text("via proxy " + r.path);
  });
  testsupport::ScopedProxyEnvironment environment({{"http_proxy", proxy.baseURL()}, {"https_proxy", proxy.baseURL()}});
  ContentFetcher f(HTTPClient(std::make_shared<URLSession>()), cache, {"http://" + own},
                   std::make_shared<OnchfsResolver>(HTTPClient(), tzkt.baseURL()));
  const std::string folder = "/ipfs/" + std::string(cid);

  EXPECT_EQ(f.fetch("ipfs://" + std::string(cid) + "/poster.png", 5).data, "via proxy " + folder + "/poster.png");
  EXPECT_EQ(readLocal(f, *Url::parse("tavolune://local" + folder + "/sketch.js")).data,
            "via proxy " + folder + "/sketch.js");
  EXPECT_FALSE(proxy.requests("CONNECT", own + ":80").empty());

  // Named by the token itself, the gateway's host is looked up here like
  // any other.
  auto refused = testsupport::transportErrorOf([&] { f.fetch("https://" + own + "/art.png", 5); });
  EXPECT_EQ(refused.group(), TransportError::Group::unreachable) << refused.what();
  EXPECT_TRUE(proxy.requests("CONNECT", own + ":443").empty());
}

}  // namespace
}  // namespace tavolune
