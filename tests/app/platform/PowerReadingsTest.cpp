#include "app/platform/linux/AnimationSettings.hpp"
#include "app/platform/linux/SysfsThermal.hpp"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

namespace tavolune {
namespace {

void write(const QString& path, const QByteArray& text) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(text);
}

TEST(SysfsThermal, PressureAtTheLowestSeriousTrip) {
  struct Trip {
    const char* type;
    const char* temp;
  };
  struct Case {
    const char* what;
    const char* temp;
    std::vector<Trip> trips;
    bool pressure;
  };
  const std::vector<Case> cases{
      {"below a passive trip", "60000", {{"passive", "80000"}}, false},
      {"at a passive trip", "80000", {{"passive", "80000"}}, true},
      {"above a hot trip", "95000", {{"hot", "90000"}}, true},
      {"critical is the lowest of several", "70000", {{"critical", "70000"}, {"hot", "90000"}}, true},
      {"active trips are fans, not pressure", "70000", {{"active", "50000"}}, false},
      {"a trip at 0 is unset", "30000", {{"passive", "0"}}, false},
      {"a negative trip is unset", "30000", {{"critical", "-273000"}}, false},
      {"an unreadable trip temperature", "30000", {{"passive", "n/a"}}, false},
      {"an unreadable zone", "", {{"passive", "1000"}}, false},
      {"no trips", "99000", {}, false},
  };
  for (auto& c : cases) {
    QTemporaryDir root;
    const QString zone = root.filePath(QStringLiteral("thermal_zone0/"));
    write(zone + QStringLiteral("temp"), c.temp);
    for (std::size_t i = 0; i < c.trips.size(); ++i) {
      write(zone + QStringLiteral("trip_point_%1_type").arg(i), QByteArray(c.trips[i].type) + '\n');
      write(zone + QStringLiteral("trip_point_%1_temp").arg(i), QByteArray(c.trips[i].temp) + '\n');
    }
    EXPECT_EQ(thermalPressure(root.path()), c.pressure) << c.what;
  }
  EXPECT_FALSE(thermalPressure(QStringLiteral("/nonexistent/thermal")));
}

TEST(AnimationSettings, KdeFactorZeroMeansReduce) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("kdeglobals"));
  EXPECT_FALSE(kdeReducesMotion(path)) << "no file";
  write(path, "[General]\nAnimationDurationFactor=0\n[KDE]\nLookAndFeelPackage=x\nAnimationDurationFactor=0\n");
  EXPECT_TRUE(kdeReducesMotion(path));
  write(path, "[KDE]\nAnimationDurationFactor=0.25\n");
  EXPECT_FALSE(kdeReducesMotion(path));
  write(path, "[General]\nAnimationDurationFactor=0\n");
  EXPECT_FALSE(kdeReducesMotion(path)) << "only the [KDE] group counts";
}

// An _XSETTINGS_SETTINGS blob in the given byte order.
QByteArray xsettings(bool bigEndian, bool withAnimations, quint32 enable) {
  QByteArray out;
  auto u16 = [&](quint16 v) {
    char b[2];
    bigEndian ? qToBigEndian(v, b) : qToLittleEndian(v, b);
    out.append(b, 2);
  };
  auto u32 = [&](quint32 v) {
    char b[4];
    bigEndian ? qToBigEndian(v, b) : qToLittleEndian(v, b);
    out.append(b, 4);
  };
  auto name = [&](uchar type, const QByteArray& n) {
    out.append(char(type)).append('\0');
    u16(quint16(n.size()));
    out.append(n).append(QByteArray((4 - n.size() % 4) % 4, '\0'));
    u32(0);  // serial
  };
  out.append(char(bigEndian ? 1 : 0)).append(QByteArray(3, '\0'));
  u32(7);
  u32(withAnimations ? 3 : 2);
  name(1, "Net/ThemeName");
  u32(5);
  out.append("Adwai").append(QByteArray(3, '\0'));
  name(2, "Gtk/Color");
  u16(1), u16(2), u16(3), u16(4);
  if (withAnimations) {
    name(0, "Gtk/EnableAnimations");
    u32(enable);
  }
  return out;
}

TEST(AnimationSettings, XSettingsEnableAnimations) {
  EXPECT_EQ(xsettingsEnableAnimations(xsettings(false, true, 0)), false);
  EXPECT_EQ(xsettingsEnableAnimations(xsettings(false, true, 1)), true);
  EXPECT_EQ(xsettingsEnableAnimations(xsettings(true, true, 0)), false);
  EXPECT_EQ(xsettingsEnableAnimations(xsettings(false, false, 0)), std::nullopt);
  const QByteArray cut = xsettings(false, true, 0);
  for (qsizetype n : {qsizetype(0), qsizetype(11), qsizetype(20), cut.size() - 3}) {
    EXPECT_EQ(xsettingsEnableAnimations(cut.left(n)), std::nullopt) << n;
  }
}

}  // namespace
}  // namespace tavolune
