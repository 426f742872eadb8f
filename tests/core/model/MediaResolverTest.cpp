#include "core/model/MediaResolver.hpp"

#include <gtest/gtest.h>

namespace tavolune {
namespace {

const std::string kCid = "QmYwAPJzv5CZsnA625s3Xf2nemtYgPpHdWEz79ojWnPbdG";  // 46 characters

MediaRef::Ipfs ipfs(std::string_view uri) {
  auto ref = MediaResolver::parse(uri);
  EXPECT_TRUE(ref && ref->as<MediaRef::Ipfs>()) << uri;
  return ref && ref->as<MediaRef::Ipfs>() ? *ref->as<MediaRef::Ipfs>() : MediaRef::Ipfs{};
}

std::vector<std::string> texts(const std::vector<Url>& urls) {
  std::vector<std::string> out;
  for (auto& u : urls) out.push_back(u.string());
  return out;
}

TEST(MediaResolver, SplitRef) {
  auto r = MediaResolver::splitRef(kCid + "/a/b.html?x=1");
  ASSERT_TRUE(r);
  EXPECT_EQ(r->identifier, kCid);
  EXPECT_EQ(r->path, "a/b.html");
  EXPECT_EQ(r->query, "x=1");
  EXPECT_EQ(MediaResolver::splitRef(kCid + "/")->path, "");
  EXPECT_FALSE(MediaResolver::splitRef(kCid)->query);
  EXPECT_FALSE(MediaResolver::splitRef("/" + kCid));
}

TEST(MediaResolver, ParsesIpfsForms) {
  auto a = ipfs("  ipfs://ipfs/" + kCid + "/index.html?seed=3 \n");
  EXPECT_EQ(a.cid, kCid);
  EXPECT_EQ(a.path, "index.html");
  EXPECT_EQ(a.query, "seed=3");
  EXPECT_FALSE(ipfs("ipfs://" + kCid + "?").query);
  EXPECT_FALSE(MediaResolver::parse("ipfs://"));
  EXPECT_FALSE(MediaResolver::parse("ar://"));
  EXPECT_FALSE(MediaResolver::parse("ipfs:///x"));
  EXPECT_FALSE(MediaResolver::parse(std::optional<std::string>{}));
  EXPECT_FALSE(MediaResolver::parse(" \t\n"));

  auto bare = ipfs("bafybeigdyrzt/photo.jpg");
  EXPECT_EQ(bare.cid, "bafybeigdyrzt");
  EXPECT_EQ(bare.path, "photo.jpg");
  EXPECT_FALSE(MediaResolver::parse("BAFYBEIGDYRZT/photo.jpg"));

  auto ar = MediaResolver::parse("ar://abc/x.png?y=1");
  ASSERT_TRUE(ar && ar->as<MediaRef::Arweave>());
  EXPECT_EQ(ar->as<MediaRef::Arweave>()->path, "x.png");
  auto onchfs = MediaResolver::parse("onchfs://deadbeef");
  ASSERT_TRUE(onchfs && onchfs->as<MediaRef::Onchfs>());
  EXPECT_EQ(onchfs->as<MediaRef::Onchfs>()->hash, "deadbeef");
}

TEST(MediaResolver, ParsesWebAddresses) {
  auto gw = ipfs("https://gateway.example/ipfs/" + kCid + "/img.png?w=2");
  EXPECT_EQ(gw.path, "img.png");
  EXPECT_EQ(gw.query, "w=2");

  auto shortId = MediaResolver::parse("https://gateway.example/ipfs/" + kCid.substr(1));
  ASSERT_TRUE(shortId && shortId->as<MediaRef::Http>());
  auto artBlocks = MediaResolver::parse("https://generator.artblocks.io/ipfs/" + kCid);
  ASSERT_TRUE(artBlocks && artBlocks->as<MediaRef::Http>());

  auto plain = MediaResolver::parse("http://example.com/a.png");
  ASSERT_TRUE(plain && plain->as<MediaRef::Http>());
  EXPECT_EQ(plain->as<MediaRef::Http>()->url.string(), "https://example.com/a.png");
  auto upper = MediaResolver::parse("HTTPS://example.com/a.png");
  ASSERT_TRUE(upper && upper->as<MediaRef::Http>());
  EXPECT_FALSE(MediaResolver::parse("ftp://example.com/a.png"));
  EXPECT_FALSE(MediaResolver::parse("mailto:me@example.com"));
  EXPECT_FALSE(MediaResolver::parse("example.com/a.png"));

  auto movedRef = MediaResolver::parse("http://ArtBlocks-Mainnet.s3.amazonaws.com/78000000.png");
  ASSERT_TRUE(movedRef && movedRef->as<MediaRef::Http>());
  EXPECT_EQ(movedRef->as<MediaRef::Http>()->url.string(), "https://media.artblocks.io/78000000.png");

  // Existing escapes are kept, invalid characters are encoded once.
  auto spaced = MediaResolver::parse("https://example.com/my%20art/a b.png?q=a+b&x=1");
  ASSERT_TRUE(spaced && spaced->as<MediaRef::Http>());
  EXPECT_EQ(spaced->as<MediaRef::Http>()->url.string(), "https://example.com/my%20art/a%20b.png?q=a+b&x=1");

  auto data = MediaResolver::parse("data:text/html,<p>hi</p>");
  ASSERT_TRUE(data && data->as<MediaRef::Data>());
}

TEST(MediaResolver, HttpCandidates) {
  const auto& gateways = IPFSGateways::defaults();
  ASSERT_EQ(gateways.size(), 5u);
  auto all = texts(MediaResolver::httpCandidates("ipfs://" + kCid, gateways));
  ASSERT_EQ(all.size(), 5u);
  for (std::size_t i = 0; i < 5; ++i) EXPECT_EQ(all[i], gateways[i] + "/ipfs/" + kCid);
  EXPECT_EQ(texts(MediaResolver::httpCandidates("ipfs://" + kCid + "/a b.html?x=1", {"https://gw.test"})),
            std::vector<std::string>{"https://gw.test/ipfs/" + kCid + "/a%20b.html?x=1"});
  EXPECT_TRUE(MediaResolver::httpCandidates("ipfs://" + kCid, {}).empty());
  EXPECT_EQ(texts(MediaResolver::httpCandidates("onchfs://abc", gateways)),
            std::vector<std::string>{"tavolune://local/onchfs/abc/"});
  EXPECT_EQ(texts(MediaResolver::httpCandidates("ar://tx/p.png?v=1", gateways)),
            std::vector<std::string>{"https://arweave.net/tx/p.png?v=1"});
  EXPECT_EQ(texts(MediaResolver::httpCandidates("http://x.test/a", gateways)),
            std::vector<std::string>{"https://x.test/a"});
  EXPECT_TRUE(MediaResolver::httpCandidates("nonsense", gateways).empty());
}

TEST(MediaResolver, LiveURL) {
  EXPECT_EQ(MediaResolver::liveURL("ipfs://" + kCid)->string(), "tavolune://local/ipfs/" + kCid + "/");
  EXPECT_EQ(MediaResolver::liveURL("onchfs://abc/index.html?h=1")->string(),
            "tavolune://local/onchfs/abc/index.html?h=1");
  EXPECT_EQ(MediaResolver::liveURL("ar://tx")->string(), "https://arweave.net/tx");
  EXPECT_EQ(MediaResolver::liveURL("https://x.test/p?a=1")->string(), "https://x.test/p?a=1");
  EXPECT_FALSE(MediaResolver::liveURL(std::nullopt));
}

TEST(MediaResolver, ImageCandidates) {
  auto a = Artwork::make({.chain = Chain::ethereum, .contract = "0xABC", .tokenId = "5", .title = "t"});
  a.imageURI = "ipfs://" + kCid;
  a.thumbnailURI = "ipfs://" + kCid;
  EXPECT_EQ(MediaResolver::imageCandidates(a, false), std::vector<std::string>{"ipfs://" + kCid});

  a.thumbnailURI = "ipfs://" + std::string(MediaResolver::placeholderCID);
  EXPECT_EQ(MediaResolver::imageCandidates(a, true), std::vector<std::string>{"ipfs://" + kCid});

  a.imageURI = "https://i.seadn.io/x.png";
  a.thumbnailURI = "https://t.test/small.png";
  EXPECT_EQ(MediaResolver::imageCandidates(a, true),
            (std::vector<std::string>{"https://t.test/small.png", "https://i.seadn.io/x.png"}));
  a.platform = Platform::artBlocks;
  EXPECT_EQ(MediaResolver::imageCandidates(a, false).front(), "https://media-proxy.artblocks.io/0xabc/5.png");
  a.platform = Platform::generic;
  a.animationURI = "https://generator.artblocks.io/0xabc/5";
  EXPECT_EQ(MediaResolver::imageCandidates(a, false).size(), 3u);

  a.animationURI = "https://v.test/clip.mp4";
  a.mediaKind = MediaKind::video;
  EXPECT_EQ(MediaResolver::imageCandidates(a, false).back(), "https://v.test/clip.mp4");
}

TEST(MediaResolver, MimeTypes) {
  EXPECT_EQ(MediaResolver::mimeType("/a/SCENE.GLTF"), "model/gltf+json");
  EXPECT_EQ(MediaResolver::mimeType("index"), "application/octet-stream");
  EXPECT_EQ(MediaResolver::mimeType(""), "application/octet-stream");
  EXPECT_EQ(MediaResolver::mimeType("/dir.js/file"), "application/octet-stream");
  EXPECT_EQ(MediaResolver::mimeType("/shader.frag"), "text/plain");
  EXPECT_EQ(MediaResolver::mimeType("/page.htm/"), "text/html");
  EXPECT_EQ(MediaResolver::mimeType("lib.min.JS"), "application/javascript");
  EXPECT_TRUE(MediaResolver::isSquareCDN("https://i.seadn.io/a"));
  EXPECT_FALSE(MediaResolver::isSquareCDN(std::nullopt));
}

TEST(Url, ParsesAndRebuilds) {
  auto u = Url::parse("HTTPS://user@Example.com:8080/a%2Fb/c d?x=1&y=a/b#frag");
  ASSERT_TRUE(u);
  EXPECT_EQ(u->scheme(), "https");
  EXPECT_EQ(u->host(), "Example.com");
  EXPECT_EQ(u->port(), "8080");
  EXPECT_EQ(u->path(), "/a%2Fb/c%20d");
  EXPECT_EQ(u->decodedPath(), "/a/b/c d");
  EXPECT_EQ(u->query(), "x=1&y=a/b");
  EXPECT_EQ(u->fragment(), "frag");
  EXPECT_EQ(u->string(), "HTTPS://user@Example.com:8080/a%2Fb/c%20d?x=1&y=a/b#frag");
  EXPECT_EQ(Url::parse("https://x.test/100%")->path(), "/100%25");
  EXPECT_FALSE(Url::parse("https://bad host/"));
  EXPECT_FALSE(Url::parse("https://x.test:80a/"));
  EXPECT_FALSE(Url::parse("1http://x"));
  EXPECT_FALSE(Url::parse(""));
  EXPECT_EQ(url::percentEncode("a b/+"), "a%20b%2F%2B");
  EXPECT_EQ(url::percentDecode("a%20b%zz%2"), "a b%zz%2");
}

}  // namespace
}  // namespace tavolune
