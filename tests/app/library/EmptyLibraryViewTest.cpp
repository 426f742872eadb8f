#include "app/library/EmptyLibraryView.hpp"

#include "app/components/AddWalletField.hpp"
#include "app/library/ArtistContracts.hpp"
#include "app/library/LibraryPages.hpp"
#include "app/model/AppModel.hpp"
#include "tests/app/library/GridRig.hpp"

namespace tavolune {
namespace {

using S = EmptyLibraryView::Situation;

TEST(EmptyLibraryViewSituation, TheFirstThatAppliesWins) {
  struct Case {
    bool syncing, filtered, artist, hint, wallets;
    S want;
  };
  const std::vector<Case> cases = {
      {true, false, false, false, true, S::reading},        // a first wallet being read
      {true, true, false, false, true, S::noResults},       // a search during a sync
      {true, false, true, true, true, S::reading},
      {false, true, true, false, true, S::artistWallet},    // the artist case beats the search
      {false, true, false, true, true, S::noResults},
      {false, false, false, true, true, S::sectionHint},
      {false, false, false, false, true, S::noArtworks},
      {false, false, false, false, false, S::noWallet},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(EmptyLibraryView::situation(c.syncing, c.filtered, c.artist, c.hint, c.wallets), c.want)
        << c.syncing << c.filtered << c.artist << c.hint << c.wallets;
  }
}

class EmptyLibraryViewTest : public testsupport::GridRig {};

TEST_F(EmptyLibraryViewTest, TextsAndControlsOfEachCase) {
  EmptyLibraryView view(*model);
  view.update(false, std::nullopt, std::nullopt, {});
  EXPECT_EQ(view.title(), "Your Collection Will Appear Here");
  EXPECT_EQ(view.description(), "Add a wallet to start.");
  auto* field = qobject_cast<AddWalletField*>(view.control());
  ASSERT_NE(field, nullptr);
  EXPECT_LE(field->maximumWidth(), EmptyLibraryView::controlMaxWidth);
  field->setInput("0xabc");
  view.update(false, std::nullopt, std::nullopt, {});
  EXPECT_EQ(view.control(), field) << "kept, with its text";
  EXPECT_EQ(field->input(), "0xabc");

  const auto hint = LibraryPages::emptyHint(SidebarItem::onDesktop());
  ASSERT_TRUE(hint);
  view.update(false, hint, std::nullopt, {});
  EXPECT_EQ(view.title(), "Nothing Here Yet");
  EXPECT_EQ(view.description(), *hint);
  EXPECT_EQ(view.control(), nullptr);

  Wallet artist = testsupport::wallet(WalletRole::artist);
  change([artist](LibraryState& s) { s.wallets.push_back(artist); });
  view.update(true, std::nullopt, artist, "x");
  EXPECT_EQ(view.title(), "Your works will appear here");
  EXPECT_EQ(view.description(), "Tavolune looks for series signed with your name.");
  EXPECT_NE(qobject_cast<ArtistContracts*>(view.control()), nullptr);

  view.update(false, std::nullopt, std::nullopt, {});
  EXPECT_EQ(view.title(), "No Artworks");
  EXPECT_TRUE(view.description().isEmpty());
  EXPECT_EQ(view.control(), nullptr);
}

TEST_F(EmptyLibraryViewTest, TheGridHandsOverItsArtistWalletAndFilteredFlag) {
  auto window = openGrid();
  Wallet evmArtist = testsupport::wallet(WalletRole::artist);
  Wallet tezosArtist = Wallet::make(Uuid::random(), "t", "tz1", "tz1", std::nullopt, ChainFamily::tezos,
                                    std::nullopt, WalletRole::artist);
  Wallet withContracts = testsupport::wallet(WalletRole::artist);
  withContracts.collectionContracts = std::vector<std::string>{"0x" + std::string(40, 'a')};
  Wallet collector = testsupport::wallet();
  change([=](LibraryState& s) { s.wallets = {evmArtist, tezosArtist, withContracts, collector}; });

  struct Case {
    const Wallet* wallet;
    bool handed;
  };
  for (const Case& c : {Case{&evmArtist, true}, Case{&tezosArtist, false}, Case{&withContracts, false},
                        Case{&collector, false}}) {
    state.setSidebar(SidebarItem::wallet(c.wallet->id));
    EXPECT_EQ(grid->artistWalletWithoutContracts().has_value(), c.handed) << c.wallet->label;
    EXPECT_EQ(grid->emptyView().current() == S::artistWallet, c.handed);
  }
  state.setSidebar(SidebarItem::hidden());
  EXPECT_FALSE(grid->filtered()) << "the sidebar's own criteria do not count";
  LibraryFilter f = window->filter();
  f.chain = Chain::base;
  window->setFilter(f);
  EXPECT_TRUE(grid->filtered());
  EXPECT_EQ(grid->emptyView().current(), S::noResults);
}

}  // namespace
}  // namespace tavolune
