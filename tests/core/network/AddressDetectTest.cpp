#include "core/network/AddressResolver.hpp"

#include <gtest/gtest.h>

#include <string>

namespace tavolune {
namespace {

using Form = AddressInput::Form;

constexpr const char* evm = "0xd8dA6BF26964aF9D7eEd9e03E53415D37aA96045";
constexpr const char* tz1 = "tz1VSUr8wwNhLAzempoch5d6hLRiTh8Cjcjb";
constexpr const char* kt1 = "KT1PWx2mnDueood7fEmfbBDKx1D9BAnnXitn";
constexpr const char* bech32 = "bc1qar0srrr7xfkvy5l643lydnw9re59gtzzwf5mdq";
constexpr const char* p2pkh = "1A1zP1eP5QGefi2DMPTfTL5SLmv7DivfNa";
constexpr const char* p2sh = "3J98t1WpEZ73CNmQviecrnyiWrnqRhWNLy";

std::optional<AddressInput> detect(const std::string& s) { return AddressResolver::detect(s); }

TEST(AddressDetect, RecognisesEveryFormWithItsFamilyAndHint) {
  struct Row {
    std::string text;
    AddressInput expected;
    ChainFamily family;
    bool needsResolution;
    std::string hint;
  };
  const Row rows[] = {
      {evm, AddressInput::evmAddress(evm), ChainFamily::evm, false,
       "Ethereum address (+ Base, Optimism, Arbitrum, Polygon)"},
      {"vitalik.eth", AddressInput::ensName("vitalik.eth"), ChainFamily::evm, true, "ENS name"},
      {tz1, AddressInput::tezosAddress(tz1), ChainFamily::tezos, false, "Tezos address"},
      {kt1, AddressInput::tezosAddress(kt1), ChainFamily::tezos, false, "Tezos address"},
      {"alice.tez", AddressInput::tezosDomain("alice.tez"), ChainFamily::tezos, true, "Tezos domain"},
      {bech32, AddressInput::bitcoinAddress(bech32), ChainFamily::bitcoin, false, "Bitcoin address (Ordinals)"},
      {p2pkh, AddressInput::bitcoinAddress(p2pkh), ChainFamily::bitcoin, false, "Bitcoin address (Ordinals)"},
      {p2sh, AddressInput::bitcoinAddress(p2sh), ChainFamily::bitcoin, false, "Bitcoin address (Ordinals)"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.text);
    auto got = detect(row.text);
    ASSERT_TRUE(got.has_value());
    EXPECT_EQ(*got, row.expected);
    EXPECT_EQ(got->family(), row.family);
    EXPECT_EQ(got->needsResolution(), row.needsResolution);
    EXPECT_EQ(got->hint(), row.hint);
  }
  // The other Tezos prefixes.
  for (std::string prefix : {"tz2", "tz3", "tz4"}) {
    auto text = prefix + std::string(tz1).substr(3);
    EXPECT_EQ(detect(text), AddressInput::tezosAddress(text)) << text;
  }
}

TEST(AddressDetect, TrimsWhiteSpaceAndLineBreaksAtBothEnds) {
  std::string upper = "0xD8DA6BF26964AF9D7EED9E03E53415D37AA96045";
  EXPECT_EQ(detect("   " + upper + "\n"), AddressInput::evmAddress(upper));
  EXPECT_EQ(detect("\t" + std::string(tz1) + "\r\n"), AddressInput::tezosAddress(tz1));
  // No-break space, ideographic space, line and paragraph separators.
  EXPECT_EQ(detect("\u00A0alice.tez\u3000"), AddressInput::tezosDomain("alice.tez"));
  EXPECT_EQ(detect("\u2028vitalik.eth\u2029"), AddressInput::ensName("vitalik.eth"));
  // White space inside the text is not trimmed and breaks the form.
  EXPECT_EQ(detect("0xd8dA6BF26964aF9D7eEd9e03E53415D37aA9 6045"), std::nullopt);
  EXPECT_EQ(detect("vitalik .eth"), std::nullopt);
}

TEST(AddressDetect, LetterCaseRules) {
  // Names are accepted in any case and carried in lower case.
  EXPECT_EQ(detect("Vitalik.ETH"), AddressInput::ensName("vitalik.eth"));
  EXPECT_EQ(detect("Studio.Base.Eth"), AddressInput::ensName("studio.base.eth"));
  EXPECT_EQ(detect("my-name.Sub.TEZ"), AddressInput::tezosDomain("my-name.sub.tez"));
  // Bech32 in capitals comes back lower case; legacy Bitcoin keeps its case.
  EXPECT_EQ(detect("BC1QAR0SRRR7XFKVY5L643LYDNW9RE59GTZZWF5MDQ"), AddressInput::bitcoinAddress(bech32));
  EXPECT_EQ(detect(p2pkh)->text, p2pkh);
  // Tezos addresses are case-sensitive: a capitalised prefix matches nothing.
  EXPECT_EQ(detect("TZ1VSUr8wwNhLAzempoch5d6hLRiTh8Cjcjb"), std::nullopt);
  EXPECT_EQ(detect("kt1PWx2mnDueood7fEmfbBDKx1D9BAnnXitn"), std::nullopt);
  // EVM hex of either case is kept as typed; the prefix itself must be "0x".
  std::string lower = "0xd8da6bf26964af9d7eed9e03e53415d37aa96045";
  EXPECT_EQ(detect(lower), AddressInput::evmAddress(lower));
  EXPECT_EQ(detect("0X" + lower.substr(2)), std::nullopt);
}

TEST(AddressDetect, NearMissesYieldNothing) {
  const std::string hex40 = std::string(evm).substr(2);
  const std::string misses[] = {
      "",
      "   \n\t ",
      "0x" + hex40.substr(1),                   // 39 digits
      "0x" + hex40 + "a",                       // 41 digits
      "0x" + hex40.substr(1) + "g",             // not hexadecimal
      "tz5VSUr8wwNhLAzempoch5d6hLRiTh8Cjcjb",   // unknown prefix
      "tz1VSUr8wwNhLAzempoch5d6hLRiTh8Cjcj",    // 32 letters
      "tz1VSUr8wwNhLAzempoch5d6hLRiTh8Cjcj0",   // 0 is not base-58
      "KT1PWx2mnDueood7fEmfbBDKx1D9BAnnXitnX",  // 34 letters
      ".eth",
      "eth",
      "alice..eth",
      "alice_bob.eth",
      "café.eth",
      "alice.eth.com",
      "alice.tez.eth.x",
      "alice.xtz",
      "bc1qar0srr",                                  // too short
      "bc1qar0srrr7xfkvy5l643lydnw9re59gtzzwf5mdb",  // b is not bech32
      "bc1" + std::string(88, 'q'),                  // too long
      "2A1zP1eP5QGefi2DMPTfTL5SLmv7DivfNa",          // wrong version digit
      "1A1zP1eP5QGefi2DMPTfTL5SLmv7DivfNl",          // l is not base-58
      "1A1zP1eP5QGefi2DMPTfTL5S",                    // 24 letters
      "3J98t1WpEZ73CNmQviecrnyiWrnqRhWNLyAB",        // 36 letters
      "hello world",
      "0xd8dA6BF26964aF9D7eEd9e03E53415D37aA96045\nx",
      std::string("0xd8dA6BF26964aF9D7eEd9e03E53415D37aA9604\xff", 43),
  };
  for (const auto& text : misses) {
    EXPECT_EQ(detect(text), std::nullopt) << "'" << text << "'";
  }
}

TEST(AddressDetect, BoundsOfTheVariableLengthForms) {
  // Bech32 takes 11 to 87 letters after "bc1"; legacy 25 to 34 after the digit.
  EXPECT_TRUE(detect("bc1" + std::string(11, 'q')).has_value());
  EXPECT_FALSE(detect("bc1" + std::string(10, 'q')).has_value());
  EXPECT_TRUE(detect("bc1" + std::string(87, 'q')).has_value());
  EXPECT_FALSE(detect("bc1" + std::string(88, 'q')).has_value());
  EXPECT_TRUE(detect("1" + std::string(25, 'z')).has_value());
  EXPECT_FALSE(detect("1" + std::string(24, 'z')).has_value());
  EXPECT_TRUE(detect("3" + std::string(34, 'z')).has_value());
  EXPECT_FALSE(detect("3" + std::string(35, 'z')).has_value());
}

}  // namespace
}  // namespace tavolune
