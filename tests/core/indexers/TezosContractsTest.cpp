#include "core/indexers/TezosContracts.hpp"
#include "core/indexers/TezosTokenText.hpp"

#include <gtest/gtest.h>

using namespace tavolune;
using TezosContracts::platform;

namespace {

const std::string fxContract = "KT1U6EHmNxJTkvaWJ4ThczG4FSDaHC21ssvi";
const std::string versum = "KT1LjmAdYQCLBjwv4S2oFkEzyHVkomAf5MrW";
const std::string hen = "KT1RJ6PbjHpwc3M5rw5s2Nbmefwbuwbdxton";
const std::string other = "KT1AbcDefGhiJklMnoPqrStuVwxYz0123456";

TEST(TezosContracts, PlatformRulesInOrder) {
  EXPECT_EQ(TezosContracts::fxhash().size(), 3u);
  // The fxhash contract wins over an editart path.
  EXPECT_EQ(platform(fxContract, "editart/x", std::nullopt, std::nullopt), Platform::fxhash);
  // Addresses compare exactly: a lower-cased fxhash contract is not one.
  EXPECT_EQ(platform("kt1u6ehmnxjtkvawj4thczg4fsdahc21ssvi", std::nullopt, std::nullopt, std::nullopt),
            Platform::generic);
  EXPECT_EQ(platform(other, std::nullopt, "ipfs://Qm/?fxhash=oo1&x=2", std::nullopt), Platform::fxhash);
  EXPECT_EQ(platform(other, "editart-series", std::nullopt, std::nullopt), Platform::editArt);
  EXPECT_EQ(platform(other, "my-editart", std::nullopt, std::nullopt), Platform::generic);
  EXPECT_EQ(platform(other, std::nullopt, "https://x/?m0=1", std::nullopt), Platform::editArt);
  EXPECT_EQ(platform(other, std::nullopt, "https://x/?a=1&m0=1", std::nullopt), Platform::editArt);
  EXPECT_EQ(platform(other, std::nullopt, "https://x/?am0=1", std::nullopt), Platform::generic);
  // m0 comes before the versum contract rule.
  EXPECT_EQ(platform(versum, std::nullopt, "https://x/?m0=3", std::nullopt), Platform::editArt);
  EXPECT_EQ(platform(versum, std::nullopt, "ipfs://Qm", "artist"), Platform::versum);
  EXPECT_EQ(platform(hen, std::nullopt, std::nullopt, "anything"), Platform::objkt);
  EXPECT_EQ(platform(hen, std::nullopt, std::nullopt, std::nullopt), Platform::objkt);
  for (const char* type : {"open", "artist", "open_edition", "generative", "open_generative"}) {
    EXPECT_EQ(platform(other, std::nullopt, std::nullopt, std::string(type)), Platform::objkt) << type;
  }
  EXPECT_EQ(platform(other, std::nullopt, std::nullopt, std::string("OPEN_EDITION")), Platform::generic);
  EXPECT_EQ(platform(other, std::nullopt, std::nullopt, std::string("")), Platform::generic);
  EXPECT_EQ(platform(other, std::nullopt, std::nullopt, std::nullopt), Platform::generic);
}

TEST(TezosContracts, HenInteractiveAddress) {
  EXPECT_EQ(TezosContracts::henInteractiveURI("ipfs://QmX", std::string("tz1C"), "tz1V"),
            "ipfs://QmX?viewer=tz1V&creator=tz1C");
  EXPECT_EQ(TezosContracts::henInteractiveURI("ipfs://QmX/?a=1", std::nullopt, "tz1V"), "ipfs://QmX/?a=1&viewer=tz1V");
  EXPECT_EQ(TezosContracts::henInteractiveURI("ipfs://QmX?viewer=tz1A", std::string("tz1C"), "tz1V"),
            "ipfs://QmX?viewer=tz1A");
  // Appended as given, without percent-encoding.
  EXPECT_EQ(TezosContracts::henInteractiveURI("x", std::nullopt, "a b&c"), "x?viewer=a b&c");
}

TEST(TezosTokenText, YearTitleAndNumbers) {
  EXPECT_EQ(TezosTokenText::year("2021-03-01T00:00:00Z"), 2021);
  EXPECT_EQ(TezosTokenText::year("2009"), 2009);
  EXPECT_EQ(TezosTokenText::year("2100-01-01"), 2100);
  EXPECT_EQ(TezosTokenText::year("2008-12-31"), std::nullopt);
  EXPECT_EQ(TezosTokenText::year("2101-01-01"), std::nullopt);
  EXPECT_EQ(TezosTokenText::year("202"), std::nullopt);
  EXPECT_EQ(TezosTokenText::year("20x1-01"), std::nullopt);
  EXPECT_EQ(TezosTokenText::year(std::nullopt), std::nullopt);

  EXPECT_EQ(TezosTokenText::title(std::string("  Dunes\t"), "C", "7"), "Dunes");
  EXPECT_EQ(TezosTokenText::title(std::string(" \t "), "C", "7"), "C #7");
  EXPECT_EQ(TezosTokenText::title(std::nullopt, "", "7"), " #7");

  EXPECT_EQ(TezosTokenText::decimalInteger("42"), 42);
  EXPECT_EQ(TezosTokenText::decimalInteger("-3"), -3);
  EXPECT_EQ(TezosTokenText::decimalInteger("1.5"), std::nullopt);
  EXPECT_EQ(TezosTokenText::decimalInteger(""), std::nullopt);
  EXPECT_EQ(TezosTokenText::decimalInteger("1234567890123456789012345"), std::nullopt);
  EXPECT_EQ(TezosTokenText::decimalInteger("-9223372036854775808"), INT64_MIN);
}

}  // namespace
