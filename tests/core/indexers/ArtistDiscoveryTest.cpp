#include "core/indexers/ArtistDiscovery.hpp"

#include <gtest/gtest.h>


namespace tavolune {
namespace {

namespace AD = ArtistDiscovery;

constexpr const char* artBlocksContract = "0xa7d8d9ef8d8ce8992df33d8b8cf4aebabd5bd270";
constexpr const char* brightMomentsContract = "0x0a1bbd57033f57e7b6743621b79fcb9eb2ce3676";

Wallet wallet(std::string label, std::optional<std::string> resolvedName) {
  return Wallet::make(Uuid::random(), std::move(label), "input", "0xd8da6bf26964af9d7eed9e03e53415d37aa96045",
                      std::move(resolvedName), ChainFamily::evm);
}

OwnedArtwork work(std::string contract, std::string tokenId, std::optional<std::string> artist,
                  std::optional<std::string> collection, std::string title = "Untitled",
                  Chain chain = Chain::ethereum) {
  return {Artwork::make({.chain = chain,
                         .contract = std::move(contract),
                         .tokenId = std::move(tokenId),
                         .title = std::move(title),
                         .artist = std::move(artist),
                         .collection = std::move(collection)}),
          1};
}

TEST(ArtistDiscovery, NormalizeFoldsCaseAndDiacriticsAndDropsPunctuation) {
  EXPECT_EQ(AD::normalize("Éva-Maria K."), "evamariak");
  EXPECT_EQ(AD::normalize("ZOË"), "zoe");
  EXPECT_EQ(AD::normalize("Dmitri Cherniak"), "dmitricherniak");
  EXPECT_EQ(AD::normalize("tyler.xyz"), "tylerxyz");
  EXPECT_EQ(AD::normalize("Studio 42!"), "studio42");
  EXPECT_EQ(AD::normalize("🎨 anna ✨"), "anna");
  // Letters and numbers of any script stay.
  EXPECT_EQ(AD::normalize("山田 太郎"), "山田太郎");
  EXPECT_EQ(AD::normalize("Ωμέγα"), "ωμεγα");
  EXPECT_EQ(AD::normalize("٣ days"), "٣days");
  EXPECT_EQ(AD::normalize(""), "");
  EXPECT_EQ(AD::normalize(" - "), "");
}

TEST(ArtistDiscovery, NamesComeFromResolvedNameThenLabel) {
  // Same name twice: with and without the suffix.
  EXPECT_EQ(AD::names(wallet("alice", "alice.eth")), (std::vector<std::string>{"alice", "alice"}));
  EXPECT_EQ(AD::names(wallet("My Art Wallet", "Jane-Doe.eth")), (std::vector<std::string>{"janedoe", "myartwallet"}));
  // The whole of a .base.eth ending goes, not just its last label.
  EXPECT_EQ(AD::names(wallet("x", "bob.base.eth")), (std::vector<std::string>{"bob"}));
  EXPECT_EQ(AD::names(wallet("carol.tez", std::nullopt)), (std::vector<std::string>{"carol"}));
  // The suffix test is case-sensitive: a capital ending stays part of the name.
  EXPECT_EQ(AD::names(wallet("x", "CAROL.ETH")), (std::vector<std::string>{"caroleth"}));
  // Only one ending is removed.
  EXPECT_EQ(AD::names(wallet("x", "dave.eth.eth")), (std::vector<std::string>{"daveeth"}));
}

TEST(ArtistDiscovery, ShortNamesAndAddressesDropOut) {
  // A label that is the shortened address, with no resolved name: no names.
  auto w = wallet(shortAddress("0xd8da6bf26964af9d7eed9e03e53415d37aa96045"), std::nullopt);
  EXPECT_TRUE(AD::names(w).empty());
  EXPECT_TRUE(AD::names(wallet("0XABCDEF", std::nullopt)).empty());
  // Fewer than 3 characters after normalising.
  EXPECT_TRUE(AD::names(wallet("a.b", "ab.eth")).empty());
  // Three user-perceived characters are enough, even when they take more bytes.
  EXPECT_EQ(AD::names(wallet("Zoë", std::nullopt)), (std::vector<std::string>{"zoe"}));
  EXPECT_EQ(AD::names(wallet("山田太", std::nullopt)), (std::vector<std::string>{"山田太"}));
  // With no names nothing is signed and no series are found.
  auto none = AD::names(w);
  EXPECT_FALSE(AD::isSigned("0xd8da…6045", none));
  EXPECT_TRUE(AD::series({work("0xabc", "1", "0xd8da…6045", "Set")}, none).empty());
}

TEST(ArtistDiscovery, CreditsSplitAtEveryJoiner) {
  const std::vector<std::string> bob{"bob"};
  for (const char* credit : {"Alice & Bob", "Alice x Bob", "Alice and Bob", "Alice/Bob", "Alice × Bob", "Alice + Bob",
                             "Alice, Bob", "Bob", "  BÖB  ", "Carol x Alice and Bob & Dan"}) {
    EXPECT_TRUE(AD::isSigned(credit, bob)) << credit;
  }
  EXPECT_TRUE(AD::isSigned("Alice & Bob", {"alice"}));
  // The word splits are case-sensitive: a capital X or AND does not split.
  EXPECT_FALSE(AD::isSigned("Alice X Bob", bob));
  EXPECT_TRUE(AD::isSigned("Alice X Bob", {"alicexbob"}));
  EXPECT_FALSE(AD::isSigned("Alice AND Bob", bob));
  // " x " needs its spaces.
  EXPECT_FALSE(AD::isSigned("Alicex Bob", bob));
  EXPECT_FALSE(AD::isSigned("Bobby", bob));
  EXPECT_TRUE(AD::isSigned("Éva-Maria K.", {"evamariak"}));
}

TEST(ArtistDiscovery, SignatureNeedsACreditAndNames) {
  EXPECT_FALSE(AD::isSigned(std::nullopt, {"bob"}));
  EXPECT_FALSE(AD::isSigned("Bob", {}));
  EXPECT_FALSE(AD::isSigned("", {"bob"}));
  // Names are used as given, not normalised again.
  EXPECT_FALSE(AD::isSigned("Bob", {"Bob"}));
}

TEST(ArtistDiscovery, ProjectNumbersOnPlatformContracts) {
  const std::vector<std::string> names{"snowfro"};
  std::string upperAB = "0x" + std::string("A7D8D9EF8D8CE8992DF33D8B8CF4AEBABD5BD270");
  auto found = AD::series(
      {
          work(upperAB, "78000001", "Snowfro", "Fidenza", "Fidenza #1"),
          work(artBlocksContract, "78000500", "Snowfro", "Fidenza Again", "Fidenza #500"),
          work(artBlocksContract, "79000000", "Snowfro", "Chromie Squiggle"),
          work(artBlocksContract, "not-a-number", "Snowfro", "Lost"),
          work(artBlocksContract, "", "Snowfro", "Lost"),
          work(artBlocksContract, "99999999999999999999", "Snowfro", "Lost"),
          work(artBlocksContract, "+-5", "Snowfro", "Lost"),
          work(brightMomentsContract, "+3000007", "Snowfro", "Berlin"),
          work(brightMomentsContract, "-5", "Snowfro", "Negative"),
          work(artBlocksContract, "12000000", "Someone Else", "Other"),
      },
      names);
  std::vector<AD::Series> expected{
      {Chain::ethereum, brightMomentsContract, 3, "Berlin"},
      {Chain::ethereum, artBlocksContract, 79, "Chromie Squiggle"},
      {Chain::ethereum, artBlocksContract, 78, "Fidenza"},
      {Chain::ethereum, brightMomentsContract, 0, "Negative"},
  };
  EXPECT_EQ(found, expected);
}

TEST(ArtistDiscovery, OrdinaryContractsAreOneSeriesEach) {
  const std::vector<std::string> names{"anna"};
  auto found = AD::series(
      {
          work("0xAAA", "1", "Anna", std::nullopt, "Solo Piece"),
          work("0xaaa", "2", "anna", "Named Later", "Second"),
          work("0xBBB", "abc", "Anna & Ben", "Collab Set"),
          work("0xbbb", "1", "Anna", "Collab Set", "x", Chain::base),
          work("0xccc", "1", "Ben", "Not Hers"),
      },
      names);
  std::vector<AD::Series> expected{
      {Chain::ethereum, "0xbbb", std::nullopt, "Collab Set"},
      {Chain::base, "0xbbb", std::nullopt, "Collab Set"},
      {Chain::ethereum, "0xaaa", std::nullopt, "Solo Piece"},
  };
  EXPECT_EQ(found, expected);
  EXPECT_TRUE(AD::series({}, names).empty());
}

TEST(ArtistDiscovery, SeriesSortLikeAFileManagerAndStably) {
  const std::vector<std::string> names{"anna"};
  auto found = AD::series(
      {
          work("0x5", "1", "Anna", "Series 10"),
          work("0x4", "1", "Anna", "series 2"),
          work("0x3", "1", "Anna", "Échos"),
          work("0x2", "1", "Anna", "Same"),
          work("0x1", "1", "Anna", "Same"),
          work("0x0", "1", "Anna", "apple"),
      },
      names);
  std::vector<std::string> order;
  std::vector<std::string> contracts;
  for (const auto& s : found) {
    order.push_back(s.name);
    contracts.push_back(s.contract);
  }
  EXPECT_EQ(order, (std::vector<std::string>{"apple", "Échos", "Same", "Same", "series 2", "Series 10"}));
  // Equal names keep the order in which they were found.
  EXPECT_EQ(contracts[2], "0x2");
  EXPECT_EQ(contracts[3], "0x1");
}

}  // namespace
}  // namespace tavolune
