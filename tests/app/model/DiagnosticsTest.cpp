#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cmath>
#include <gmock/gmock.h>
#include <limits>

#include "app/model/Diagnostics.hpp"
#include "core/model/LibraryState.hpp"
#include "tests/support/LibraryFixtures.hpp"

namespace tavolune {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

const BuildInfo build{"1.4.0", "212", "tavolune/feedback"};
const Date now = Date(std::chrono::seconds(1'700'000'000));

Diagnostics::SystemDescription system() {
  Display main, side;
  main.geometry = QRect(0, 0, 2880, 1800);
  main.scale = 2.0;
  side.geometry = QRect(2880, 0, 1919, 1080);
  return {"Debian GNU/Linux 12 (bookworm)", "Linux 6.1.0", "LENOVO 20XW", {main, side}};
}

Artwork on(Chain chain, std::string token) {
  return Artwork::make({.chain = chain, .contract = "0xC0FFEE", .tokenId = std::move(token), .title = "t"});
}

TEST(Diagnostics, ReportWithoutWalletsHasFiveLines) {
  LibraryState state;
  state.settings.rotationInterval = 90;
  state.settings.screenSaverDelay = 0;
  const QString report = Diagnostics::report(build, system(), state, "Showing a still", {}, now);
  EXPECT_EQ(report.split('\n'), QStringList({
                                    "Tavolune 1.4.0 (212)",
                                    "Debian GNU/Linux 12 (bookworm) · Linux 6.1.0 · LENOVO 20XW · 2 display(s): "
                                    "1440×900@2x, 1919×1080@1x",
                                    "Library: 0 artworks · 0 visible, 0 in My Selection · 0 series measured",
                                    "Settings: animation selected · every 1 min · shuffle · fits screen false · "
                                    "screen saver 0 min",
                                    "Desktop: Showing a still",
                                }));
  const QString withCrash = Diagnostics::report(build, system(), state, "x", {"Tavolune-a.crash", "Tavolune-b.crash"}, now);
  EXPECT_EQ(withCrash.split('\n').size(), 6);
  EXPECT_TRUE(withCrash.endsWith("\nRecent crashes: Tavolune-a.crash, Tavolune-b.crash"));
  EXPECT_EQ(Diagnostics::version({}), "? (?)");
}

TEST(Diagnostics, WalletLines) {
  LibraryState state;
  auto collector = Wallet::make(Uuid::random(), "Main", "main.eth", "0x" + std::string(40, 'a'), "main.eth",
                                ChainFamily::evm);
  collector.lastSync = now - std::chrono::hours(3);
  collector.uncheckedChains = std::vector<Chain>{Chain::polygon, Chain::base};
  std::vector<Artwork> works;
  for (int i = 0; i < 12; ++i) works.push_back(on(Chain::ethereum, "e" + std::to_string(i)));
  for (int i = 0; i < 3; ++i) works.push_back(on(Chain::base, "b" + std::to_string(i)));
  state.wallets.push_back(collector);
  for (const auto& w : works) {
    state.artworks[w.id] = w;
    state.ownerships[collector.id][w.id] = 5;  // quantities do not count
  }
  auto artist = Wallet::make(Uuid::random(), "Studio", "tz1abc", "tz1abc", std::nullopt, ChainFamily::tezos,
                             std::nullopt, WalletRole::artist);
  artist.lastError = "";
  state.wallets.push_back(artist);
  state.ownerships[artist.id]["tezos:kt1gone:1"] = 1;  // no longer among the artworks

  const QStringList lines = Diagnostics::report(build, system(), state, "", {}, now).split('\n');
  ASSERT_EQ(lines.size(), 7);
  EXPECT_EQ(lines[5], "Wallet 1: evm collector · Base 3, Ethereum 12 · synced 3 hours ago · not checked: Polygon, Base");
  EXPECT_EQ(lines[6], "Wallet 2: tezos artist · empty · error: ");
}

TEST(Diagnostics, RedactsWalletsFromFreeTexts) {
  LibraryState state;
  const std::string evm = "0x52908400098527886E0F7030069857D2E4169EE7";
  auto w = Wallet::make(Uuid::random(), "Grandma's Vault", "vault.eth", evm, "vault.eth", ChainFamily::evm);
  w.lastError = "Grandma's Vault: OpenSea answered 500 for https://api.example/" + evm +
                "/nfts; also 0x5290…9ee7 and tz1VSUr8wwNhLAzempoch5d6hLRiTh8Cjcjb, see bc1qar0srrr7xfkvy5l643lydnw9re59gtzzwf5mdq.";
  state.wallets.push_back(w);
  const QString report =
      Diagnostics::report(build, system(), state, "Showing vault.eth's pick, from grandma's vault", {}, now);
  for (const char* secret : {"Grandma", "vault.eth", "0x5290", "9ee7", "tz1VSU", "bc1qar0"}) {
    EXPECT_THAT(report.toStdString(), Not(HasSubstr(secret))) << secret;
  }
  EXPECT_THAT(report.toStdString(), HasSubstr("error: [redacted]: OpenSea answered 500 for https://api.example/[redacted]/nfts"));
  EXPECT_THAT(report.toStdString(), HasSubstr("see [redacted]."));
  EXPECT_THAT(report.toStdString(), HasSubstr("Desktop: Showing [redacted]'s pick, from [redacted]"));

  // Whole words only: a short label does not shred the text around it.
  EXPECT_EQ(Diagnostics::redacted("Art fetched, artist unknown", {"art"}), "[redacted] fetched, artist unknown");
  EXPECT_EQ(Diagnostics::redacted("nothing here.", {"", "  "}), "nothing here.");
}

TEST(Diagnostics, WholeMinutes) {
  const std::vector<std::pair<double, QString>> cases{
      {90, "1"},
      {0, "0"},
      {3600, "60"},
      {-90, "-1"},
      {59.9, "0"},
      {std::numeric_limits<double>::quiet_NaN(), "?"},
      {std::numeric_limits<double>::infinity(), "?"},
      {-std::numeric_limits<double>::infinity(), "?"},
      {6e20, "10000000000000000000"},
  };
  for (const auto& [seconds, text] : cases) EXPECT_EQ(Diagnostics::wholeMinutes(seconds), text) << seconds;
  EXPECT_EQ(Diagnostics::wholeMinutes(1e300).size(), 299);
}

TEST(Diagnostics, RelativeTimes) {
  using namespace std::chrono;
  struct Row {
    Date date;
    const char* locale;
    const char* text;
  };
  const Row rows[] = {
      {now, "en_US", "0 seconds ago"},          {now - seconds(1), "en_US", "1 second ago"},
      {now - minutes(119), "en_US", "1 hour ago"}, {now - hours(30), "en_US", "1 day ago"},
      {now - days(15), "en_US", "2 weeks ago"},  {now + days(2), "en_US", "in 2 days"},
      {now - hours(3), "de", "vor 3 Stunden"},   {now - hours(30), "fr", "il y a 1 jour"},
  };
  for (const auto& row : rows) EXPECT_EQ(Diagnostics::relativeTime(row.date, now, row.locale), row.text) << row.locale;
  const Date far(seconds(std::numeric_limits<long long>::min()));
  EXPECT_THAT(Diagnostics::relativeTime(far, Date(seconds(std::numeric_limits<long long>::max())), "en_US").toStdString(),
              HasSubstr("years ago"));
}

TEST(Diagnostics, RecentCrashesAreTheLastFiveOfTheWeek) {
  QTemporaryDir dir;
  const QDateTime at = QDateTime::fromSecsSinceEpoch(1'700'000'000);
  auto make = [&](const QString& name, qint64 ageSeconds) {
    QFile f(dir.filePath(name));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("x");
    ASSERT_TRUE(f.setFileTime(at.addSecs(-ageSeconds), QFileDevice::FileModificationTime));
  };
  for (int i = 1; i <= 6; ++i) make(QString("Tavolune-2023-11-1%1.crash").arg(i), 3600 * i);
  make("Tavolune-0-exactly-a-week.crash", 604800);
  make("Tavolune-0-older.crash", 700000);
  make("tavolune-lower-case.crash", 60);
  make("Other.crash", 60);
  EXPECT_EQ(Diagnostics::recentCrashes(dir.path(), at),
            QStringList({"Tavolune-2023-11-12.crash", "Tavolune-2023-11-13.crash", "Tavolune-2023-11-14.crash",
                         "Tavolune-2023-11-15.crash", "Tavolune-2023-11-16.crash"}));
  EXPECT_TRUE(Diagnostics::recentCrashes(dir.filePath("missing"), at).isEmpty());
  EXPECT_EQ(Diagnostics::crashesFolder("/data/Tavolune"), "/data/Tavolune/Crashes");
}

}  // namespace
}  // namespace tavolune
