#include "app/components/FormSection.hpp"
#include "app/components/LimitedText.hpp"
#include "app/library/ArtistContracts.hpp"
#include "app/library/WalletList.hpp"
#include "app/library/WalletRow.hpp"
#include "app/library/WalletsPage.hpp"
#include "app/style/Symbols.hpp"
#include "tests/app/library/LibraryRig.hpp"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

namespace tavolune {
namespace {

using testsupport::hold;
using testsupport::work;

class WalletsPageTest : public testsupport::LibraryRig {
 protected:
  std::unique_ptr<WalletsPage> openPage() {
    auto page = std::make_unique<WalletsPage>(*model, [this] {
      ++fieldsBuilt;
      return new QLineEdit;
    });
    page->resize(700, 600);
    page->show();
    return page;
  }
  static Wallet make(WalletRole role, ChainFamily family, std::string label) {
    Wallet w = testsupport::wallet(role);
    w.family = family;
    w.label = std::move(label);
    return w;
  }
  int fieldsBuilt = 0;
};

TEST_F(WalletsPageTest, NoWalletsThenTheFirstMovesTheAddSectionBelow) {
  auto page = openPage();
  EXPECT_TRUE(page->addSectionOnTop());
  EXPECT_TRUE(page->noWallets().isVisible());
  EXPECT_FALSE(page->refreshAll().isVisible());
  EXPECT_FALSE(page->showsSpinner());
  EXPECT_EQ(fieldsBuilt, 1);
  const FormSection* top = page->addSection();

  const Wallet w = make(WalletRole::collector, ChainFamily::evm, "First");
  change([w](LibraryState& s) { s.wallets.push_back(w); });
  EXPECT_FALSE(page->addSectionOnTop());
  EXPECT_NE(page->addSection(), top);  // a fresh field in its new place
  EXPECT_EQ(fieldsBuilt, 2);
  EXPECT_GT(page->addSection()->y(), page->list().mapTo(page->addSection()->parentWidget(), QPoint()).y());
  EXPECT_FALSE(page->noWallets().isVisible());
  EXPECT_TRUE(page->refreshAll().isVisible());
  EXPECT_EQ(page->list().rowCount(), 1u);
}

TEST_F(WalletsPageTest, SubtitlesAndUncheckedChains) {
  const Date now = clock;
  Wallet plain = make(WalletRole::collector, ChainFamily::evm, "Plain");
  plain.address = "0x1234567890abcdef1234567890abcdef12345678";
  Wallet one = plain;
  one.id = Uuid::random();
  one.lastSync = now - std::chrono::hours(3);
  Wallet failed = plain;
  failed.id = Uuid::random();
  failed.lastSync = now - std::chrono::hours(30);
  failed.lastError = "<i>Tezos</i>: HTTP 500 & more";
  failed.uncheckedChains = std::vector<Chain>{Chain::base, Chain::optimism, Chain::polygon};
  LibraryState s;
  s.wallets = {plain, one, failed};
  s.ownerships[one.id] = {{"a", 1}};
  s.ownerships[failed.id] = {{"a", 1}, {"b", 2}};

  struct Row {
    const char* name;
    const Wallet& wallet;
    QString subtitle;
  };
  const Row rows[] = {
      {"never synced", plain, "0x1234\u20265678 \u00b7 0 artworks"},
      {"one work", one, "0x1234\u20265678 \u00b7 1 artwork \u00b7 synced 3 hours ago"},
      {"failed", failed, "0x1234\u20265678 \u00b7 2 artworks \u00b7 synced yesterday \u00b7 <i>Tezos</i>: HTTP 500 & more"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(WalletList::subtitle(row.wallet, s, now), row.subtitle) << row.name;
  }
  EXPECT_EQ(WalletList::uncheckedLine(failed), "Not checked: Base, Optimism, and Polygon (their explorer blocks apps)");
  EXPECT_EQ(WalletList::uncheckedLine(plain), "");
  Wallet emptyList = plain;
  emptyList.uncheckedChains = std::vector<Chain>{};
  EXPECT_EQ(WalletList::uncheckedLine(emptyList), "");

  // On the page: error text shown verbatim, never as markup.
  Wallet recent = plain;
  recent.id = Uuid::random();
  recent.lastSync = now - std::chrono::seconds(30);
  Wallet cut = failed;
  cut.id = Uuid::random();
  cut.lastError = "Ethereum: the indexer answered HTTP 502 Bad Gateway " + std::string(400, 'x');
  change([failed, recent, cut](LibraryState& st) { st.wallets = {failed, recent, cut}; });
  auto page = openPage();
  WalletRow* row = page->list().row(failed.id);
  ASSERT_NE(row, nullptr);
  EXPECT_EQ(row->subtitle().textFormat(), Qt::PlainText);
  EXPECT_TRUE(row->subtitle().text().endsWith("<i>Tezos</i>: HTTP 500 & more"));
  EXPECT_TRUE(row->unchecked().isVisible());
  EXPECT_EQ(row->label().textFormat(), Qt::PlainText);

  // A long error: the facts lead, cut after two lines (LimitedText's own
  // test reads the ellipsis); as painted, both lines from the top.
  WalletRow& cutRow = *page->list().row(cut.id);
  const QFontMetrics metrics(cutRow.subtitle().font());
  EXPECT_TRUE(QTest::qWaitFor([&] { return cutRow.subtitle().height() >= 2 * metrics.lineSpacing(); }, 5000));
  const QString shown = cutRow.subtitle().text();
  EXPECT_TRUE(shown.startsWith("0x1234\u20265678 \u00b7 0 artworks \u00b7 synced yesterday \u00b7 Eth") &&
              shown.endsWith(QChar(0x2026)))
      << shown.toStdString();
  const QImage shot = cutRow.grab().toImage();
  const QRect area(cutRow.subtitle().mapTo(&cutRow, QPoint()), cutRow.subtitle().size());
  std::vector<int> lineTops;  // the first inked row of each line
  for (int y = area.top(), inked = false; y <= area.bottom(); ++y) {
    bool ink = false;
    for (int x = area.left(); x <= area.right() && !ink; ++x) ink = qRed(shot.pixel(x, y)) - qBlue(shot.pixel(x, y)) > 90;
    if (ink && !inked) lineTops.push_back(y);
    inked = ink;
  }
  ASSERT_EQ(lineTops.size(), 2u);
  EXPECT_LT(lineTops[0] - area.top(), metrics.ascent()) << "from the top";
  EXPECT_NEAR(lineTops[1] - lineTops[0], metrics.lineSpacing(), 2) << "two whole lines";

  // The times move on with the model's clock while shown, waking when the soonest reads otherwise.
  const QTimer& ticker = page->list().ticker();
  EXPECT_TRUE(page->list().row(recent.id)->subtitle().fullText().endsWith("synced 30 seconds ago"));
  EXPECT_TRUE(ticker.isActive());
  clock = now + std::chrono::seconds(150);
  QSignalSpy woke(&ticker, &QTimer::timeout);
  ASSERT_TRUE(woke.wait(5000));
  EXPECT_TRUE(page->list().row(recent.id)->subtitle().fullText().endsWith("synced 3 minutes ago"));
  EXPECT_TRUE(ticker.isActive());
  EXPECT_NEAR(ticker.interval(), 60'000, 1'000);  // at 4 minutes, not each second
  page->hide();
  EXPECT_FALSE(ticker.isActive());
}

TEST_F(WalletsPageTest, ContractEditorOnlyForArtistEVMWalletsAndTypingSurvivesChanges) {
  const Wallet evmArtist = make(WalletRole::artist, ChainFamily::evm, "Painter");
  const Wallet tezArtist = make(WalletRole::artist, ChainFamily::tezos, "Tez Painter");
  const Wallet collector = make(WalletRole::collector, ChainFamily::evm, "Keeper");
  change([=](LibraryState& s) { s.wallets = {evmArtist, tezArtist, collector}; });
  auto page = openPage();
  WalletRow* painter = page->list().row(evmArtist.id);
  ASSERT_NE(painter, nullptr);
  ASSERT_NE(painter->contracts(), nullptr);
  EXPECT_TRUE(painter->showsArtistBadge());
  EXPECT_EQ(page->list().row(tezArtist.id)->contracts(), nullptr);
  EXPECT_TRUE(page->list().row(tezArtist.id)->showsArtistBadge());
  EXPECT_EQ(page->list().row(collector.id)->contracts(), nullptr);
  EXPECT_FALSE(page->list().row(collector.id)->showsArtistBadge());

  ArtistContracts& editor = *painter->contracts();
  EXPECT_FALSE(editor.addButton().isEnabled());
  QTest::keyClicks(&editor.field(), "0xAbC");
  EXPECT_TRUE(editor.addButton().isEnabled());

  // Library changes (a sync ending, another wallet's edit) keep the row and the text.
  change([id = evmArtist.id](LibraryState& s) {
    for (auto& w : s.wallets) {
      if (w.id == id) {
        w.lastSync = Date{};
        w.discoveredSeries = std::vector<std::string>{"Rings", "Waves"};
      }
    }
    s.ownerships[id]["x"] = 1;
  });
  EXPECT_EQ(page->list().row(evmArtist.id), painter);
  EXPECT_EQ(painter->contracts(), &editor);
  EXPECT_EQ(editor.field().text(), "0xAbC");
  EXPECT_TRUE(editor.discovered().isVisible());
  EXPECT_EQ(editor.discovered().text(), "Found automatically: Rings and Waves");
  const QImage symbol = Symbols::tinted("sparkle.magnifyingglass", {12, 12},
                                        editor.palette().color(QPalette::PlaceholderText), editor.devicePixelRatioF())
                            .toImage();
  bool symbolShown = false;
  for (auto* l : editor.discovered().parentWidget()->findChildren<QLabel*>()) {
    symbolShown |= l->isVisible() && l->pixmap().toImage() == symbol;
  }
  EXPECT_TRUE(symbolShown) << "the series found come with their symbol";

  // "Add" empties the field at once; an invalid contract only sets the notice.
  QTest::keyClicks(&editor.field(), " ");
  editor.addButton().click();
  EXPECT_EQ(editor.field().text(), "");
  EXPECT_EQ(model->notice(), WalletSync::invalidContractNotice);
  EXPECT_TRUE(editor.contracts().empty());

  const std::string contract = "0x" + std::string(40, 'a');
  QTest::keyClicks(&editor.field(), QString::fromStdString("  BASE:0X" + std::string(40, 'A')));
  editor.addButton().click();
  EXPECT_EQ(editor.contracts(), std::vector<std::string>{"base:" + contract});
}

TEST_F(WalletsPageTest, RefreshShowsProgressAndARemovedWalletStaysRemovedAfterItsSync) {
  holds(testsupport::tezosAddress('r'), {"1", "2"});
  latencyMs = 400;
  const Wallet w = addTezos('r', "Slow");
  const Wallet other = addTezos('o', "Other");
  auto page = openPage();
  WalletRow* row = page->list().row(w.id);
  ASSERT_NE(row, nullptr);
  QSignalSpy syncing(&model->walletSync(), &WalletSync::syncingWalletsChanged);
  row->refreshButton().click();
  EXPECT_TRUE(row->isSyncing());
  EXPECT_FALSE(row->refreshButton().isVisible());
  EXPECT_TRUE(page->showsSpinner());
  EXPECT_FALSE(page->refreshAll().isVisible());
  EXPECT_FALSE(page->list().row(other.id)->isSyncing());

  const int changesBefore = libraryChangedCalls();
  row->removeButton().click();  // while its sync runs
  deliverChanges(*model);
  EXPECT_EQ(page->list().row(w.id), nullptr);
  EXPECT_EQ(libraryChangedCalls(), changesBefore + 1);
  EXPECT_TRUE(page->showsSpinner());  // that sync still runs
  while (!model->walletSync().syncingWallets().empty()) ASSERT_TRUE(syncing.wait(15000));

  EXPECT_EQ(model->state().wallets.size(), 1u);
  EXPECT_EQ(model->state().wallets[0].id, other.id);
  EXPECT_FALSE(model->state().ownerships.contains(w.id));
  EXPECT_EQ(page->list().row(w.id), nullptr);
  EXPECT_FALSE(page->showsSpinner());
  EXPECT_TRUE(page->refreshAll().isVisible());
}

}  // namespace
}  // namespace tavolune
