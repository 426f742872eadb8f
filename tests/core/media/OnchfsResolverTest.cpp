#include "core/media/OnchfsResolver.hpp"

#include "core/media/Gzip.hpp"
#include "core/base/TavoluneError.hpp"
#include "tests/support/Errors.hpp"
#include "tests/support/LoopbackServer.hpp"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace tavolune {
namespace {

using testsupport::CannedResponse;
using testsupport::LoopbackServer;
using testsupport::RecordedRequest;
using testsupport::tavoluneErrorOf;

std::string hexOf(std::string_view bytes, bool upper = false) {
  const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

// 64 hex digits derived from a name, like the real content hashes.
std::string hashOf(std::string_view name) {
  std::uint64_t x = 0xcbf29ce484222325ULL;
  for (unsigned char c : name) x = (x ^ c) * 0x100000001b3ULL;
  std::string h;
  while (h.size() < 64) {
    // splitmix64: every output bit depends on every input bit
    std::uint64_t z = (x += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    z ^= z >> 31;
    for (int i = 0; i < 16; ++i) h += "0123456789abcdef"[(z >> (4 * i)) & 15];
  }
  return h;
}

std::string gzipped(const std::string& input) {
  z_stream z{};
  deflateInit2(&z, 9, Z_DEFLATED, MAX_WBITS + 16, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&z, input.size()), '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(input.data()));
  z.avail_in = static_cast<uInt>(input.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

// A TzKT look-alike serving the inode and chunk big maps.
class FakeTzKT {
 public:
  explicit FakeTzKT(LoopbackServer& server) : server_(server) {
    server_.onRequest("GET", "/v1/bigmaps/549144/keys", [this](const RecordedRequest& r) { return chunks(r); });
  }

  // Stores an inode value (JSON text) under hash.
  void inode(const std::string& hash, const std::string& valueJSON) {
    server_.get("/v1/bigmaps/549145/keys/" + hash, R"({"id":1,"active":true,"hash":"expru","key":")" + hash +
                                                       R"(","value":)" + valueJSON +
                                                       R"(,"firstLevel":1,"lastLevel":2,"updates":1})");
  }
  // A file inode of the given chunks; answers its hash.
  std::string file(const std::string& name, const std::vector<std::string>& chunkHashes) {
    std::string list;
    for (const auto& c : chunkHashes) list += (list.empty() ? "\"" : ",\"") + c + "\"";
    auto hash = hashOf(name);
    inode(hash, R"({"file":{"metadata":"0001","chunk_pointers":[)" + list + "]}}");
    return hash;
  }
  std::string directory(const std::string& name, const std::map<std::string, std::string>& entries) {
    std::string members;
    for (const auto& [n, h] : entries) members += (members.empty() ? "\"" : ",\"") + n + "\":\"" + h + "\"";
    auto hash = hashOf(name);
    inode(hash, R"({"directory":{)" + members + "}}");
    return hash;
  }
  // Stores bytes as a chunk; answers its hash.
  std::string chunk(const std::string& bytes, std::optional<std::string> hexValue = std::nullopt) {
    auto hash = hashOf("chunk:" + bytes);
    std::lock_guard guard(mutex_);
    chunks_[hash] = hexValue ? *hexValue : hexOf(bytes);
    return hash;
  }
  // A one-chunk file with these bytes.
  std::string fileWith(const std::string& name, const std::string& bytes) { return file(name, {chunk(bytes)}); }

  std::vector<RecordedRequest> chunkRequests() const { return server_.requests("GET", "/v1/bigmaps/549144/keys"); }
  std::size_t inodeRequests() const { return server_.requestCount() - chunkRequests().size(); }

 private:
  CannedResponse chunks(const RecordedRequest& r) {
    auto keys = r.param("key.in").value_or("");
    std::string body = "[";
    std::lock_guard guard(mutex_);
    std::size_t start = 0;
    while (start <= keys.size()) {
      auto comma = keys.find(',', start);
      auto key = keys.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
      if (auto it = chunks_.find(key); it != chunks_.end()) {
        body += (body.size() > 1 ? "," : "") + std::string(R"({"key":")") + key + R"(","value":")" + it->second + "\"}";
      }
      if (comma == std::string::npos) break;
      start = comma + 1;
    }
    return CannedResponse::json(body + "]");
  }

  LoopbackServer& server_;
  std::mutex mutex_;
  std::map<std::string, std::string> chunks_;
};

class OnchfsResolverTest : public ::testing::Test {
 protected:
  LoopbackServer server;
  FakeTzKT tzkt{server};
  OnchfsResolver resolver{HTTPClient(), server.baseURL()};
};

TEST_F(OnchfsResolverTest, SingleFileJoinsItsChunksInOrder) {
  auto a = tzkt.chunk("<html><body>");
  auto b = tzkt.chunk("art");
  auto root = tzkt.file("page", {a, b, a, tzkt.chunk("</body></html>")});
  auto content = resolver.file(root, "");
  EXPECT_EQ(content.data, "<html><body>art<html><body></body></html>");
  EXPECT_EQ(content.mime, "text/html");  // typed as its index.html

  auto requests = tzkt.chunkRequests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].param("select"), "key,value");
  EXPECT_EQ(requests[0].param("limit"), "100");
  auto keys = requests[0].param("key.in").value_or("");
  EXPECT_EQ(std::count(keys.begin(), keys.end(), ','), 2);  // the repeated chunk is asked for once
  EXPECT_EQ(requests[0].header("Accept"), "application/json");
}

TEST_F(OnchfsResolverTest, WalksDirectories) {
  auto index = tzkt.fileWith("index", "<html>index</html>");
  auto css = tzkt.fileWith("css", "body{}");
  auto script = tzkt.fileWith("script", "draw()");
  auto libIndex = tzkt.fileWith("lib-index", "<html>lib</html>");
  auto lib = tzkt.directory("lib", {{"my file.js", script}, {"index.html", libIndex}});
  auto assets = tzkt.directory("assets", {{"style.css", css}});
  auto root = tzkt.directory("root", {{"index.html", index}, {"style.css", css}, {"lib", lib}, {"assets", assets}});

  EXPECT_EQ(resolver.file(root, "").data, "<html>index</html>");
  EXPECT_EQ(resolver.file(root, "/").mime, "text/html");
  auto js = resolver.file(root, "/lib//my%20file.js");
  EXPECT_EQ(js.data, "draw()");
  EXPECT_EQ(js.mime, "application/javascript");
  auto style = resolver.file(root, "style.css");
  EXPECT_EQ(style.mime, "text/css");
  // A path ending at a directory serves its index.html, with or without "/".
  auto libPage = resolver.file(root, "lib/");
  EXPECT_EQ(libPage.data, "<html>lib</html>");
  EXPECT_EQ(libPage.mime, "text/html");
  EXPECT_EQ(resolver.file(root, "lib").data, "<html>lib</html>");

  EXPECT_EQ(tavoluneErrorOf([&] { resolver.file(root, "assets/"); }),
            TavoluneError::notFound("onchfs " + root + "/assets/"));
  EXPECT_EQ(tavoluneErrorOf([&] { resolver.file(root, "missing.js"); }),
            TavoluneError::notFound("onchfs " + root + "/missing.js"));
  EXPECT_EQ(tavoluneErrorOf([&] { resolver.file(root, "style.css/child"); }),
            TavoluneError::notFound("onchfs " + root + "/style.css/child"));
  // Names are compared exactly.
  EXPECT_EQ(tavoluneErrorOf([&] { resolver.file(root, "Style.css"); }),
            TavoluneError::notFound("onchfs " + root + "/Style.css"));
}

TEST_F(OnchfsResolverTest, InodesAreCachedByLowerCasedHash) {
  auto file = tzkt.fileWith("cached", "x");
  auto upper = file;
  std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
  resolver.file(file, "");
  auto before = tzkt.inodeRequests();
  EXPECT_EQ(before, 1u);
  EXPECT_EQ(resolver.file(upper, "").data, "x");
  EXPECT_TRUE(std::holds_alternative<OnchfsResolver::File>(resolver.inode(upper)));
  EXPECT_EQ(tzkt.inodeRequests(), before);
}

TEST_F(OnchfsResolverTest, ChunkBatchesOfForty) {
  for (std::size_t count : {40u, 41u, 81u}) {
    server.resetRecords();
    std::vector<std::string> hashes;
    std::string expected;
    for (std::size_t i = 0; i < count; ++i) {
      auto piece = "[" + std::to_string(count) + ":" + std::to_string(i) + "]";
      hashes.push_back(tzkt.chunk(piece));
      expected += piece;
    }
    EXPECT_EQ(resolver.fetchChunks(hashes), expected);
    auto requests = tzkt.chunkRequests();
    ASSERT_EQ(requests.size(), (count + 39) / 40) << count;
    auto first = requests[0].param("key.in").value_or("");
    EXPECT_EQ(std::count(first.begin(), first.end(), ','), 39);
    if (count % 40 == 1) {
      // A lone hash is listed twice.
      EXPECT_EQ(requests.back().param("key.in"), hashes.back() + "," + hashes.back());
    }
  }
  // A file is held in memory whole, so its size is bounded.
  resolver.maxFileBytes = 20;
  auto ten = tzkt.chunk("0123456789");
  EXPECT_EQ(resolver.fetchChunks({ten, ten}).size(), 20u);
  EXPECT_EQ(tavoluneErrorOf([&] { resolver.fetchChunks({ten, ten, ten}); }),
            TavoluneError::decoding("onchfs file larger than 20 bytes"));
  // A draw, such as what a page has left, takes the answers (hex: twice
  // the file and more), the inode's too, as they arrive, and ends the
  // reading at the first it cannot cover: nothing further is asked for.
  resolver.maxFileBytes = mediaDownloadLimit;
  std::vector<std::string> fifty;
  for (int i = 0; i < 50; ++i) fifty.push_back(tzkt.chunk("piece " + std::to_string(100 + i)));
  const std::string file = tzkt.file("fifty", fifty);
  ByteBudget enough(1 << 20);
  BudgetDraw exact(&enough, nullptr);
  EXPECT_EQ(resolver.file(file, "", {}, &exact).data.size(), 450u);
  EXPECT_GT(exact.taken(), 900u);
  for (const std::size_t left : {std::size_t(100), exact.taken() - 1}) {
    OnchfsResolver cold(HTTPClient(), server.baseURL());
    server.resetRecords();
    ByteBudget scant{std::int64_t(left)};
    BudgetDraw over(&scant, nullptr);
    EXPECT_EQ(tavoluneErrorOf([&] { cold.file(file, "", {}, &over); }),
              TavoluneError::decoding("onchfs file past its byte budget"));
    EXPECT_EQ(tzkt.chunkRequests().size(), left == 100 ? 0u : 2u) << left;
  }
  // A chunk listed twice moves once and is kept twice: both count.
  BudgetDraw twice(&enough, nullptr);
  EXPECT_EQ(resolver.fetchChunks(std::vector<std::string>(50, ten), {}, &twice).size(), 500u);
  EXPECT_GE(twice.taken(), 500u);

  server.resetRecords();
  EXPECT_EQ(resolver.fetchChunks({}), "");
  EXPECT_EQ(server.requestCount(), 0u);
}

TEST_F(OnchfsResolverTest, ChunkValuesAreHex) {
  auto prefixed = tzkt.chunk("AB", "0x4142");
  auto upper = tzkt.chunk("\xFF\xEE", "FFEE");
  EXPECT_EQ(resolver.fetchChunks({prefixed, upper}), "AB\xFF\xEE");

  auto odd = tzkt.chunk("odd", "abc");
  EXPECT_EQ(tavoluneErrorOf([&] { resolver.fetchChunks({prefixed, odd}); }),
            TavoluneError::notFound("onchfs chunk " + odd));
  auto notHex = tzkt.chunk("nothex", "zz");
  EXPECT_EQ(tavoluneErrorOf([&] { resolver.fetchChunks({notHex}); }),
            TavoluneError::notFound("onchfs chunk " + notHex));
  EXPECT_EQ(tavoluneErrorOf([&] { resolver.fetchChunks({hashOf("never stored")}); }),
            TavoluneError::notFound("onchfs chunk " + hashOf("never stored")));
  // A pointer that is not hex never reaches a request.
  server.resetRecords();
  EXPECT_EQ(tavoluneErrorOf([&] { resolver.fetchChunks({"ab,cd"}); }), TavoluneError::notFound("onchfs chunk ab,cd"));
  EXPECT_EQ(server.requestCount(), 0u);
}

TEST_F(OnchfsResolverTest, GzipFilesAreInflated) {
  const std::string page = "<html>" + std::string(5000, 'g') + "</html>";
  auto packed = gzipped(page);
  // Split across chunks as onchfs stores larger files.
  auto file = tzkt.file("packed", {tzkt.chunk(packed.substr(0, 10)), tzkt.chunk(packed.substr(10))});
  auto dir = tzkt.directory("packed-dir", {{"index.html", file}});
  auto content = resolver.file(dir, "");
  EXPECT_EQ(content.data, page);
  EXPECT_EQ(content.mime, "text/html");
  // A draw pays for the chunks' answers and for what inflating adds, no
  // more, whatever it had.
  ByteBudget ample(1 << 20);
  BudgetDraw measured(&ample, nullptr);
  resolver.file(dir, "", {}, &measured);
  const std::size_t need = (1 << 20) - std::size_t(ample.left());
  EXPECT_GT(need, page.size());
  for (std::size_t left : {need - 1, need, need + 100}) {
    ByteBudget budget{std::int64_t(left)};
    BudgetDraw draw(&budget, nullptr);
    if (left < need) {
      EXPECT_EQ(tavoluneErrorOf([&] { resolver.file(dir, "", {}, &draw); }),
                TavoluneError::decoding("onchfs file past its byte budget"));
    } else {
      EXPECT_EQ(resolver.file(dir, "", {}, &draw).data, page) << left;
      EXPECT_EQ(budget.left(), std::int64_t(left - need)) << left;
    }
  }

  // Gzip magic on data that does not inflate: served as stored.
  std::string fake = "\x1f\x8b\x08" + std::string(30, 'x');
  EXPECT_EQ(resolver.file(tzkt.fileWith("fake-gzip", fake), "").data, fake);
}

TEST_F(OnchfsResolverTest, EmptyFileNeedsNoChunkRequest) {
  auto empty = tzkt.file("empty", {});
  auto noPointers = tzkt.directory("dir", {{"a.txt", empty}});
  tzkt.inode(hashOf("bare"), R"({"file":{}})");
  EXPECT_EQ(resolver.file(noPointers, "a.txt").data, "");
  EXPECT_EQ(resolver.file(hashOf("bare"), "").data, "");
  EXPECT_TRUE(tzkt.chunkRequests().empty());
}

TEST_F(OnchfsResolverTest, BadHashesAndValuesFail) {
  // Hashes from a page must be hex before they go into a URL.
  for (std::string hash : {"", "../549144/keys", "abc?limit=1", "abc def", "0xabc"}) {
    EXPECT_EQ(tavoluneErrorOf([&] { resolver.file(hash, "index.html"); }),
              TavoluneError::notFound("onchfs " + hash + "/index.html"))
        << hash;
  }
  auto dir = tzkt.directory("evil", {{"a", "../../v1/accounts"}});
  EXPECT_EQ(tavoluneErrorOf([&] { resolver.file(dir, "a"); }), TavoluneError::notFound("onchfs ../../v1/accounts"));
  EXPECT_EQ(server.requestCount(), 1u);  // only the directory itself

  auto neither = hashOf("neither");
  tzkt.inode(neither, R"({"symlink":"x"})");
  EXPECT_EQ(tavoluneErrorOf([&] { resolver.file(neither, ""); }), TavoluneError::decoding("inode onchfs " + neither));

  // A directory whose index leads back to itself ends instead of looping.
  auto loop = hashOf("loop");
  tzkt.inode(loop, R"({"directory":{"index.html":")" + loop + "\"}}");
  EXPECT_EQ(tavoluneErrorOf([&] { resolver.file(loop, ""); }), TavoluneError::notFound("onchfs " + loop + "/"));
}

TEST_F(OnchfsResolverTest, ServiceFailuresPassThrough) {
  auto missing = hashOf("missing");
  server.get("/v1/bigmaps/549145/keys/" + missing, "{}", 500);
  auto error = tavoluneErrorOf([&] { resolver.file(missing, ""); });
  EXPECT_TRUE(error.isHTTP(500));
  // Nothing cached from a failure: the next call asks again.
  server.resetRecords();
  EXPECT_TRUE(tavoluneErrorOf([&] { resolver.file(missing, ""); }).isHTTP(500));
  EXPECT_EQ(server.requestCount(), 1u);
}

}  // namespace
}  // namespace tavolune
