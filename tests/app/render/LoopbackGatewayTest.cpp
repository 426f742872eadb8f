#include "core/model/MediaResolver.hpp"
#include "app/render/ImagePipeline.hpp"
#include "core/network/HTTPClient.hpp"

#include "tests/app/render/TestImages.hpp"
#include "tests/support/fakes/FakeImageSource.hpp"

#include <QFile>

#include <httplib.h>

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>

namespace tavolune {
namespace {

using namespace tavolune::testing;
using testsupport::GatewayImageSource;

class LoopbackGateway : public ::testing::Test {
 protected:
  void SetUp() override {
    server_.Get(R"(/broken/.*)", [this](const httplib::Request&, httplib::Response& res) {
      ++hits_;
      res.status = 502;
    });
    server_.Get(R"(/ipfs/([^/]+)(/.*)?)", [this](const httplib::Request& req, httplib::Response& res) {
      ++hits_;
      const std::string cid = req.matches[1];
      if (cid == "QmArt") {
        res.set_content(
            R"(<svg xmlns="http://www.w3.org/2000/svg" width="100" height="50"><rect width="100" height="25" fill="#f00"/><rect y="25" width="100" height="25" fill="#00f"/></svg>)",
            "text/plain; charset=utf-8");
      } else if (cid == "QmClip") {
        QFile clip(QString::fromStdString(testData("clip.mp4")));
        clip.open(QIODevice::ReadOnly);
        res.set_content(clip.readAll().toStdString(), "video/mp4");
      } else {
        res.status = 404;
      }
    });
    port_ = server_.bind_to_any_port("127.0.0.1");
    ASSERT_GT(port_, 0);
    HTTPClient::allowLocalServer("127.0.0.1", port_);
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    while (!server_.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const std::string base = "http://127.0.0.1:" + std::to_string(port_);
    source_ = std::make_shared<GatewayImageSource>(std::vector<std::string>{base + "/broken", base});
  }
  void TearDown() override {
    HTTPClient::forgetLocalServer("127.0.0.1", port_);
    server_.stop();
    if (thread_.joinable()) thread_.join();
  }

  httplib::Server server_;
  std::thread thread_;
  int port_ = 0;
  std::atomic<int> hits_{0};
  std::shared_ptr<GatewayImageSource> source_;
};

TEST_F(LoopbackGateway, FirstCandidateFailsSecondAnswersThenMemoryServes) {
  ImagePipeline pipeline(source_);
  const Artwork work = Artwork::make({.chain = Chain::ethereum,
                                      .contract = "0xABC",
                                      .tokenId = "1",
                                      .title = "Bands",
                                      .imageURI = "ipfs://QmArt/art.svg",
                                      .thumbnailURI = "ipfs://QmMissing/thumb.png"});
  const QImage image = pipeline.image(work, 400, true);
  ASSERT_EQ(image.size(), QSize(400, 200));
  EXPECT_TRUE(colorNear(image, 200, 20, QColor(255, 0, 0), 1)) << "red band on top";
  EXPECT_TRUE(colorNear(image, 200, 180, QColor(0, 0, 255), 1));
  EXPECT_EQ(hits_.load(), 4) << "thumbnail on both gateways, then the image on both";

  const QImage again = pipeline.image(work, 400, false);
  EXPECT_EQ(again.cacheKey(), image.cacheKey());
  EXPECT_EQ(hits_.load(), 4) << "a cache hit fetches nothing";
}

TEST_F(LoopbackGateway, VideoWorksGetTheirPosterFrame) {
  ImagePipeline pipeline(source_);
  const Artwork work = Artwork::make({.chain = Chain::tezos,
                                      .contract = "KT1Clip",
                                      .tokenId = "3",
                                      .title = "Loop",
                                      .mediaKind = MediaKind::video,
                                      .animationURI = "ipfs://QmClip"});
  const QImage poster = pipeline.image(work, 64, false);
  ASSERT_EQ(poster.size(), QSize(64, 48));
  EXPECT_GT(poster.pixelColor(32, 24).green(), 150);
  EXPECT_LT(poster.pixelColor(32, 24).red(), 90);
}

}  // namespace
}  // namespace tavolune
