#include "app/components/AddWalletField.hpp"
#include "app/components/ArtworkImage.hpp"
#include "app/components/WalletIcon.hpp"
#include "app/style/Theme.hpp"
#include "core/base/TavoluneError.hpp"

#include <QPointer>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

namespace tavolune {
namespace {

using Status = AddWalletField::Status;

const std::string evm = "0x" + std::string(40, 'a');
const std::string tezos = "tz1VSUr8wwNhLAzempoch5d6hLRiTh8CjcAA";

// Holds each add until the test answers it.
struct LatchedAdder {
  struct Call {
    std::string text;
    WalletRole role;
    std::function<void(AddWalletField::Outcome)> done;
  };
  std::vector<Call> calls;
  AddWalletField::Adder adder() {
    return [this](std::string text, WalletRole role, std::function<void(AddWalletField::Outcome)> done) {
      calls.push_back({std::move(text), role, std::move(done)});
    };
  }
};

struct Rig {
  LatchedAdder model;
  std::vector<std::size_t> added;
  std::unique_ptr<AddWalletField> field;
  explicit Rig(std::optional<QString> example = std::nullopt) {
    field = std::make_unique<AddWalletField>(model.adder(), example, [this](std::size_t n) { added.push_back(n); });
    field->show();
  }
  void type(const std::string& text) { field->setInput(QString::fromStdString(text)); }
};

TEST(AddWalletField, StatusLineFollowsTheTextUntilAnAddSpeaks) {
  struct Row {
    std::optional<QString> example;
    std::string text;
    Status status;
    QString shown;
    bool canAdd;
  };
  const Row rows[] = {
      {std::nullopt, "", Status::none, "", false},
      {QStringLiteral("gallery.tez"), "", Status::example, "No wallet at hand? Try an example collection", false},
      {QStringLiteral("gallery.tez"), "   ", Status::unrecognized, "Unrecognized format", false},
      {std::nullopt, "not a wallet", Status::unrecognized, "Unrecognized format", false},
      {std::nullopt, "vitalik.eth", Status::hint, "ENS name", true},
      {std::nullopt, "  " + evm + " ", Status::hint, "Ethereum address (+ Base, Optimism, Arbitrum, Polygon)", true},
      {std::nullopt, tezos, Status::hint, "Tezos address", true},
      {std::nullopt, "gallery.tez", Status::hint, "Tezos domain", true},
  };
  for (const auto& row : rows) {
    Rig rig(row.example);
    rig.type(row.text);
    SCOPED_TRACE(row.text);
    EXPECT_EQ(rig.field->status(), row.status);
    EXPECT_EQ(rig.field->statusText(), row.shown);
    EXPECT_EQ(rig.field->exampleLink()->isVisible(), row.status == Status::example);
    EXPECT_EQ(rig.field->addButton()->isEnabled(), row.canAdd);
    // Return on text that cannot be added does nothing.
    QTest::keyClick(rig.field->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(rig.model.calls.size(), row.canAdd ? 1u : 0u);
  }
}

TEST(AddWalletField, ResultLinesByCountRoleAndForm) {
  struct Row {
    std::size_t n;
    WalletRole role;
    std::string text;
    QString message;
  };
  const Row rows[] = {
      {1, WalletRole::collector, tezos, "1 artwork found"},
      {12, WalletRole::artist, tezos, "12 created artworks found"},
      {0, WalletRole::collector, evm, "No artworks found yet."},
      {0, WalletRole::artist, tezos, "No artworks found yet."},
      {0, WalletRole::artist, evm, AddWalletField::artistWithoutSeries},
      {0, WalletRole::artist, "maker.eth", AddWalletField::artistWithoutSeries},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.text);
    Rig rig;
    rig.field->setRole(row.role);
    rig.type(row.text);
    QTest::mouseClick(rig.field->addButton(), Qt::LeftButton);
    ASSERT_EQ(rig.model.calls.size(), 1u);
    EXPECT_EQ(rig.model.calls[0].role, row.role);
    EXPECT_EQ(rig.model.calls[0].text, row.text);
    rig.model.calls[0].done({row.n, {}});
    EXPECT_EQ(rig.field->message(), row.message);
    EXPECT_FALSE(rig.field->isError());
    EXPECT_FALSE(rig.field->busy());
    EXPECT_EQ(rig.added, std::vector<std::size_t>{row.n});
    // The field empties, but the result stays instead of falling back.
    EXPECT_TRUE(rig.field->input().isEmpty());
    EXPECT_EQ(rig.field->status(), Status::message);
  }
  // The series message sends the user to a page that exists.
  EXPECT_FALSE(AddWalletField::artistWithoutSeries.contains("Settings"));
  EXPECT_TRUE(AddWalletField::artistWithoutSeries.contains("Wallets page of the Library"));
}

TEST(AddWalletField, AddingDisablesTheControlsAndNamesTheStep) {
  Rig rig;
  rig.type("maker.eth");
  QTest::keyClick(rig.field->lineEdit(), Qt::Key_Return);
  EXPECT_TRUE(rig.field->busy());
  EXPECT_EQ(rig.field->message(), QStringLiteral("Resolving name…"));
  EXPECT_FALSE(rig.field->lineEdit()->isEnabled());
  EXPECT_FALSE(rig.field->addButton()->isEnabled());
  EXPECT_FALSE(rig.field->roleButton(WalletRole::artist)->isEnabled());
  EXPECT_TRUE(rig.field->addButton()->text().isEmpty());  // the spinner instead

  Rig plain;
  plain.type(evm);
  QTest::mouseClick(plain.field->addButton(), Qt::LeftButton);
  EXPECT_EQ(plain.field->message(), QStringLiteral("Reading collection…"));
}

TEST(AddWalletField, ReturnTwiceAddsOnce) {
  Rig rig;
  rig.type(tezos);
  QTest::keyClick(rig.field->lineEdit(), Qt::Key_Return);
  QTest::keyClick(rig.field->lineEdit(), Qt::Key_Return);
  QTest::mouseClick(rig.field->addButton(), Qt::LeftButton);
  EXPECT_EQ(rig.model.calls.size(), 1u);
  rig.model.calls[0].done({3, {}});
  // A second add once the first ended goes through.
  rig.type(tezos);
  QTest::keyClick(rig.field->lineEdit(), Qt::Key_Return);
  EXPECT_EQ(rig.model.calls.size(), 2u);
}

TEST(AddWalletField, FailureIsCapitalisedRedAndKeepsTheText) {
  Rig rig;
  rig.type("unknown.tez");
  QTest::keyClick(rig.field->lineEdit(), Qt::Key_Return);
  rig.model.calls[0].done({0, std::make_exception_ptr(std::runtime_error("could not reach the name service"))});
  EXPECT_TRUE(rig.field->isError());
  EXPECT_EQ(rig.field->message(), QStringLiteral("Could not reach the name service"));
  EXPECT_EQ(rig.field->input(), QStringLiteral("unknown.tez"));
  EXPECT_TRUE(rig.added.empty());
  EXPECT_TRUE(rig.field->addButton()->isEnabled());
  EXPECT_EQ(AddWalletField::errorMessage(std::make_exception_ptr(std::runtime_error("été"))), QStringLiteral("Été"));
}

TEST(AddWalletField, SlowNoticeOnlyWhileTheAddRuns) {
  Rig rig;
  rig.field->setSlowNoticeDelay(std::chrono::milliseconds(30));
  rig.type(tezos);
  QTest::keyClick(rig.field->lineEdit(), Qt::Key_Return);
  QSignalSpy changed(rig.field.get(), &AddWalletField::messageChanged);
  ASSERT_TRUE(changed.wait(5000));
  EXPECT_EQ(rig.field->message(), AddWalletField::slowNotice);
  EXPECT_TRUE(rig.field->busy());
  rig.model.calls[0].done({2, {}});
  EXPECT_EQ(rig.field->message(), QStringLiteral("2 artworks found"));

  // An add that ends sooner never shows it, even after the delay.
  Rig quick;
  quick.field->setSlowNoticeDelay(std::chrono::milliseconds(30));
  quick.type(tezos);
  QTest::keyClick(quick.field->lineEdit(), Qt::Key_Return);
  quick.model.calls[0].done({1, {}});
  QTimer later;
  later.setSingleShot(true);
  QSignalSpy fired(&later, &QTimer::timeout);
  later.start(80);
  ASSERT_TRUE(fired.wait(2000));
  EXPECT_EQ(quick.field->message(), QStringLiteral("1 artwork found"));
}

TEST(AddWalletField, ExampleLinkFillsAndAddsWithTheChosenRole) {
  Rig rig(QStringLiteral("gallery.tez"));
  rig.field->setRole(WalletRole::artist);
  EXPECT_EQ(rig.field->exampleLink()->toolTip(), QStringLiteral("Shows gallery.tez, a public collection of digital art"));
  // The whole line is the button: its first words add as well.
  QAbstractButton* line = rig.field->exampleLink();
  QTest::mouseClick(line, Qt::LeftButton, {}, QPoint(3, line->height() / 2));
  ASSERT_EQ(rig.model.calls.size(), 1u);
  EXPECT_EQ(rig.model.calls[0].text, "gallery.tez");
  EXPECT_EQ(rig.model.calls[0].role, WalletRole::artist);
}

TEST(AddWalletField, DestroyedMidAddReceivesNothing) {
  LatchedAdder model;
  int added = 0;
  auto field = std::make_unique<AddWalletField>(model.adder(), std::nullopt, [&](std::size_t) { ++added; });
  field->setInput(QString::fromStdString(tezos));
  QTest::keyClick(field->lineEdit(), Qt::Key_Return);
  field.reset();
  model.calls[0].done({5, {}});
  EXPECT_EQ(added, 0);

  // A callback that closes the field's window is safe too.
  auto* window = new QWidget;
  QPointer<QWidget> gone(window);
  auto* inner = new AddWalletField(model.adder(), std::nullopt, [&](std::size_t) { delete window; }, window);
  inner->setInput(QString::fromStdString(tezos));
  QTest::keyClick(inner->lineEdit(), Qt::Key_Return);
  model.calls[1].done({1, {}});
  EXPECT_TRUE(gone.isNull());
}

TEST(WalletIcon, SymbolAndColourByRoleAndFamily) {
  struct Row {
    ChainFamily family;
    WalletRole role;
    std::string_view symbol;
    Chain colour;
  };
  const Row rows[] = {
      {ChainFamily::evm, WalletRole::collector, "e.circle", Chain::ethereum},
      {ChainFamily::tezos, WalletRole::collector, "t.circle", Chain::tezos},
      {ChainFamily::bitcoin, WalletRole::collector, "bitcoinsign.circle", Chain::bitcoin},
      {ChainFamily::tezos, WalletRole::artist, "paintbrush.pointed", Chain::tezos},
  };
  const QPalette palette;
  for (const auto& row : rows) {
    const Wallet w = Wallet::make(Uuid::random(), "W", "a", "a", std::nullopt, row.family, std::nullopt, row.role);
    EXPECT_EQ(WalletIcon::symbol(w), row.symbol);
    EXPECT_EQ(WalletIcon::color(w, true, palette), Theme::chainColor(row.colour));
    EXPECT_EQ(WalletIcon::color(w, false, palette), ArtworkImage::secondaryColor(palette));
  }
}

}  // namespace
}  // namespace tavolune
