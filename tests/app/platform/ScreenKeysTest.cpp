#include "app/platform/linux/ScreenKeys.hpp"

#include <QRegularExpression>
#include <QUuid>

#include <gtest/gtest.h>

namespace tavolune {
namespace {

// A 128-byte EDID block: vendor "DEL", product 0x40f2, serial 12345, and
// optional name and serial-text descriptors.
QByteArray edid(const QByteArray& name = {}, const QByteArray& serialText = {}) {
  QByteArray e(128, '\0');
  e.replace(0, 8, QByteArray::fromHex("00ffffffffffff00"));
  const unsigned vendor = (('D' - 'A' + 1) << 10) | (('E' - 'A' + 1) << 5) | ('L' - 'A' + 1);
  e[8] = char(vendor >> 8);
  e[9] = char(vendor & 0xff);
  e[10] = char(0xf2);
  e[11] = char(0x40);
  e[12] = char(12345 & 0xff);
  e[13] = char(12345 >> 8);
  int at = 54;
  e[at] = 1;  // a detailed timing first, to be skipped
  at += 18;
  auto descriptor = [&](uchar tag, const QByteArray& text) {
    e[at + 3] = char(tag);
    QByteArray padded = (text + '\n').leftJustified(13, ' ');
    e.replace(at + 5, 13, padded);
    at += 18;
  };
  if (!name.isEmpty()) descriptor(0xfc, name);
  if (!serialText.isEmpty()) descriptor(0xff, serialText);
  return e;
}

TEST(Edid, ReadsVendorNameAndSerial) {
  auto plain = parseEdid(edid());
  ASSERT_TRUE(plain);
  EXPECT_EQ(plain->manufacturer, QStringLiteral("DEL"));
  EXPECT_EQ(plain->model, QStringLiteral("40F2"));
  EXPECT_EQ(plain->serial, QStringLiteral("12345"));
  EXPECT_TRUE(plain->name.isEmpty());

  auto named = parseEdid(edid("DELL U2720Q", "ABC123"));
  ASSERT_TRUE(named);
  EXPECT_EQ(named->model, QStringLiteral("DELL U2720Q"));
  EXPECT_EQ(named->name, QStringLiteral("DELL U2720Q"));
  EXPECT_EQ(named->serial, QStringLiteral("ABC123"));

  EXPECT_FALSE(parseEdid({}));
  EXPECT_FALSE(parseEdid(edid().left(100)));
  QByteArray badHeader = edid();
  badHeader[1] = 0;
  EXPECT_FALSE(parseEdid(badHeader));
}

TEST(ScreenKeys, UniqueStableUpperCaseKeys) {
  const auto dell = parseEdid(edid("DELL U2720Q", "ABC123"));
  const auto twinA = parseEdid(edid("TWIN"));
  const auto twinB = parseEdid(edid("TWIN"));
  const std::vector<KeyedDisplay> displays{
      {66, QStringLiteral("DP-1"), dell},       {67, QStringLiteral("DP-2"), twinA},
      {68, QStringLiteral("HDMI-1"), twinB},    {69, QStringLiteral("VIRTUAL"), std::nullopt},
      {70, QStringLiteral("eDP-1"), MonitorIdentity{}},
  };
  const auto keys = screenKeys(displays);
  ASSERT_EQ(keys.size(), 5u);
  const QRegularExpression uuid(QStringLiteral("^[0-9A-F]{8}-[0-9A-F]{4}-5[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}$"));
  for (int i : {0, 1, 2}) EXPECT_TRUE(uuid.match(keys[i]).hasMatch()) << keys[i].toStdString();
  EXPECT_NE(keys[1], keys[2]) << "identical monitors on different connectors";
  EXPECT_EQ(keys[3], QStringLiteral("display-69"));
  EXPECT_EQ(keys[4], QStringLiteral("display-70"));

  // The same monitor keeps its key wherever it is plugged in, when it is unique.
  const auto moved = screenKeys({{12, QStringLiteral("HDMI-2"), dell}});
  EXPECT_EQ(moved[0], keys[0]);
  // ...and a twin alone is keyed by its identity without its connector again,
  // wherever it is plugged in. Keys are stored, so the name they are built
  // from is pinned here.
  const QUuid keyNamespace(QStringLiteral("{6c1f3d52-9a4e-4b8f-a0d7-2e5b91c4f7a3}"));
  const QChar separator(0x1f);
  const QString twinIdentity = QStringLiteral("DEL") + separator + QStringLiteral("TWIN") + separator + "12345";
  const QString withoutConnector =
      QUuid::createUuidV5(keyNamespace, twinIdentity).toString(QUuid::WithoutBraces).toUpper();
  EXPECT_EQ(screenKeys({{12, QStringLiteral("DP-2"), twinA}})[0], withoutConnector);
  EXPECT_EQ(screenKeys({{13, QStringLiteral("HDMI-7"), twinB}})[0], withoutConnector);
  EXPECT_NE(keys[1], withoutConnector);
  EXPECT_NE(keys[2], withoutConnector);

  // Even a repeated number never gives two displays one key.
  const auto clash = screenKeys({{5, QStringLiteral("A"), std::nullopt}, {5, QStringLiteral("B"), std::nullopt}});
  EXPECT_NE(clash[0], clash[1]);
}

}  // namespace
}  // namespace tavolune
