#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gmock/gmock.h>

#include "app/platform/linux/LinuxMachineInfo.hpp"

namespace tavolune {
namespace {

void put(const QTemporaryDir& root, const QString& relative, const QByteArray& content) {
  const QString path = root.filePath(relative);
  QDir().mkpath(QFileInfo(path).path());
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(content);
}

TEST(LinuxMachineInfo, ReadsDmiOsReleaseAndKernel) {
  QTemporaryDir root;
  put(root, "sys/class/dmi/id/sys_vendor", "LENOVO\n");
  put(root, "sys/class/dmi/id/product_name", "20XW0026GE\n");
  put(root, "proc/device-tree/model", QByteArray("Raspberry Pi 4\0", 15));
  put(root, "etc/os-release", "NAME=\"Debian GNU/Linux\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n");
  put(root, "proc/sys/kernel/ostype", "Linux\n");
  put(root, "proc/sys/kernel/osrelease", "6.1.0-18-amd64\n");
  LinuxMachineInfo info(root.path().toStdString());
  EXPECT_EQ(info.model(), "LENOVO 20XW0026GE");
  EXPECT_EQ(info.distribution(), "Debian GNU/Linux 12 (bookworm)");
  EXPECT_EQ(info.kernel(), "Linux 6.1.0-18-amd64");
}

TEST(LinuxMachineInfo, FallsBackToTheDeviceTreeAndNameVersion) {
  QTemporaryDir root;
  put(root, "sys/class/dmi/id/sys_vendor", "QEMU\n");
  put(root, "proc/device-tree/model", QByteArray("Raspberry Pi 4 Model B Rev 1.4\0", 31));
  put(root, "usr/lib/os-release", "NAME='Arch'\nVERSION=rolling\n");
  LinuxMachineInfo info(root.path().toStdString());
  EXPECT_EQ(info.model(), "Raspberry Pi 4 Model B Rev 1.4");
  EXPECT_EQ(info.distribution(), "Arch rolling");
  EXPECT_EQ(info.kernel(), "");

  QTemporaryDir empty;
  LinuxMachineInfo nothing(empty.path().toStdString());
  EXPECT_EQ(nothing.model(), "");
  EXPECT_EQ(nothing.distribution(), "");
}

}  // namespace
}  // namespace tavolune
