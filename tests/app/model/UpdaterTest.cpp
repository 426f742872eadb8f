#include "app/model/Updater.hpp"
#include "app/platform/linux/NetworkUpdateFeed.hpp"
#include "tests/app/model/ModelHarness.hpp"

namespace tavolune {
namespace {

using testsupport::CannedResponse;
using testsupport::Completion;
using testsupport::LoopbackServer;

// The real transport, with the https feed's address swapped for the
// loopback server's (which speaks plain http).
class LoopbackFeed final : public UpdateFeed {
 public:
  explicit LoopbackFeed(const LoopbackServer& server) : server_(server) {}
  void fetch(const QUrl& url, QObject* context, std::function<void(Answer)> done) override {
    real_.fetch(QUrl(QString::fromStdString(server_.url(url.path().toStdString()))), context, std::move(done));
  }

 private:
  const LoopbackServer& server_;
  NetworkUpdateFeed real_;
};

std::string appcast(const std::string& items) {
  return R"(<?xml version="1.0"?><rss version="2.0" xmlns:sparkle="http://www.andymatuschak.org/xml-namespaces/sparkle"><channel><title>Tavolune</title>)" +
         items + "</channel></rss>";
}

std::string item(const std::string& version, const std::string& link) {
  return "<item><title>Version " + version + "</title><link>" + link +
         R"(</link><sparkle:version>99</sparkle:version><enclosure url="https://dl.example/t.tar.gz" sparkle:shortVersionString=")" +
         version + R"(" length="1" type="application/octet-stream"/></item>)";
}

TEST(Updater, ChecksTheFeedAgainstThisVersion) {
  LoopbackServer server;
  LoopbackFeed feed(server);
  server.on("GET", "/moved.xml", CannedResponse::redirect(server.url("/newer.xml")));
  struct Row {
    std::string path;
    CannedResponse answer;
    std::string outcome;
  };
  const std::vector<Row> rows{
      {"/newer.xml",
       CannedResponse::text(appcast(item("1.9.0", "https://example.org/1.9") + item("1.10.0", "https://example.org/1.10") +
                                    item("0.9", "https://example.org/0.9"))),
       "available 1.10.0 https://example.org/1.10"},
      {"/equal.xml", CannedResponse::text(appcast(item("1.9", "https://example.org/1.9"))), "up to date"},
      {"/malformed.xml", CannedResponse::text("<rss><channel><item>"), "failed: the update feed could not be read"},
      {"/empty.xml", CannedResponse::text(appcast("")), "failed: the update feed lists no version"},
      {"/oversized.xml", CannedResponse::text(std::string(UpdateFeed::maxBytes + 1, ' ')),
       "failed: the update feed is larger than 1 MiB"},
      {"/plain.xml", CannedResponse::text(appcast(item("2.0", "http://example.org/2.0"))),
       "failed: the page of version 2.0 is not https"},
      {"/moved.xml", CannedResponse::empty(200), "failed: the update feed moved to a page that is not https"},
  };
  for (const auto& row : rows) {
    if (row.path != "/moved.xml") server.on("GET", row.path, row.answer);
    Updater updater(feed, QString::fromStdString("https://updates.example" + row.path), "1.9.0");
    ASSERT_TRUE(updater.isAvailable());
    std::string outcome;
    Completion done;
    auto finished = done.callback();
    QObject::connect(&updater, &Updater::updateAvailable, [&](const UpdateOffer& o) {
      outcome = "available " + o.version.toStdString() + " " + o.page.toString().toStdString();
      finished();
    });
    QObject::connect(&updater, &Updater::upToDate, [&] {
      outcome = "up to date";
      finished();
    });
    QObject::connect(&updater, &Updater::checkFailed, [&](const QString& why) {
      outcome = "failed: " + why.toStdString();
      finished();
    });
    updater.checkForUpdates();
    ASSERT_TRUE(done.wait()) << row.path;
    EXPECT_EQ(outcome, row.outcome) << row.path;
  }
}

TEST(Updater, OnlyAnHttpsFeedIsOffered) {
  LoopbackServer server;
  LoopbackFeed feed(server);
  EXPECT_FALSE(Updater(feed, "http://updates.example/appcast.xml", "1.0").isAvailable());
  EXPECT_FALSE(Updater(feed, "", "1.0").isAvailable());
  EXPECT_TRUE(Updater(feed, "https://updates.example/appcast.xml", "1.0").isAvailable());
  EXPECT_FALSE(Updater::openPage({"2.0", QUrl("http://example.org/")}));
}

TEST(Updater, VersionsCompareByNumericSegments) {
  struct Row {
    const char* a;
    const char* b;
    int order;
  };
  for (const auto& row : {Row{"1.10", "1.9", 1}, Row{"2", "2.0.0", 0}, Row{"1.2.3", "1.2.4", -1},
                          Row{"0.1.0-beta", "0.1", 0}, Row{"10", "9.99", 1}}) {
    EXPECT_EQ(Updater::compareVersions(row.a, row.b), row.order) << row.a << " " << row.b;
  }
}

}  // namespace
}  // namespace tavolune
