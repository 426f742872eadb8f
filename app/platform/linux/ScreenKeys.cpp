#include "app/platform/linux/ScreenKeys.hpp"

#include <QSet>
#include <QUuid>

namespace tavolune {

namespace {

// The namespace of our name-based display UUIDs.
const QUuid keyNamespace(QStringLiteral("{6c1f3d52-9a4e-4b8f-a0d7-2e5b91c4f7a3}"));

QString descriptorText(const uchar* d) {
  QByteArray text(reinterpret_cast<const char*>(d + 5), 13);
  if (const qsizetype end = text.indexOf('\n'); end >= 0) text.truncate(end);
  return QString::fromLatin1(text).trimmed();
}

QString identityText(const MonitorIdentity& id) {
  return id.manufacturer + u'\x1f' + id.model + u'\x1f' + id.serial;
}

}  // namespace

std::optional<MonitorIdentity> parseEdid(const QByteArray& edid) {
  static const QByteArray header = QByteArray::fromHex("00ffffffffffff00");
  if (edid.size() < 128 || !edid.startsWith(header)) return std::nullopt;
  const auto* b = reinterpret_cast<const uchar*>(edid.constData());
  MonitorIdentity id;
  const unsigned vendor = (unsigned(b[8]) << 8) | b[9];
  for (int shift : {10, 5, 0}) {
    const unsigned letter = (vendor >> shift) & 0x1f;
    if (letter >= 1 && letter <= 26) id.manufacturer += QChar(u'A' + letter - 1);
  }
  const unsigned product = b[10] | (unsigned(b[11]) << 8);
  const quint32 serialNumber = b[12] | (quint32(b[13]) << 8) | (quint32(b[14]) << 16) | (quint32(b[15]) << 24);
  QString serialText;
  for (int at = 54; at <= 108; at += 18) {
    const uchar* d = b + at;
    if (d[0] != 0 || d[1] != 0 || d[2] != 0) continue;  // a timing, not a descriptor
    if (d[3] == 0xfc) id.name = descriptorText(d);
    if (d[3] == 0xff) serialText = descriptorText(d);
  }
  id.model = !id.name.isEmpty() ? id.name : QString::number(product, 16).toUpper();
  id.serial = !serialText.isEmpty() ? serialText : serialNumber ? QString::number(serialNumber) : QString();
  return id;
}

std::vector<QString> screenKeys(const std::vector<KeyedDisplay>& displays) {
  QHash<QString, int> sameIdentity;
  for (auto& d : displays) {
    if (d.identity && !d.identity->empty()) ++sameIdentity[identityText(*d.identity)];
  }
  std::vector<QString> keys;
  QSet<QString> taken;
  for (auto& d : displays) {
    QString key;
    if (d.identity && !d.identity->empty()) {
      QString text = identityText(*d.identity);
      // Two identical monitors (no serial, or a copied EDID) differ by where they are plugged in.
      if (sameIdentity.value(text) > 1) text += u'\x1f' + d.connector;
      key = QUuid::createUuidV5(keyNamespace, text).toString(QUuid::WithoutBraces).toUpper();
    } else {
      key = QStringLiteral("display-%1").arg(d.number);
    }
    // Never two displays under one key: they would share a window and a wallpaper file.
    const QString base = key;
    for (int n = 2; taken.contains(key); ++n) key = base + u'-' + QString::number(n);
    taken.insert(key);
    keys.push_back(key);
  }
  return keys;
}

}  // namespace tavolune
