#include "app/model/Updater.hpp"

#include "app/BuildInfo.hpp"
#include "app/platform/UrlLauncher.hpp"

#include <QStringList>
#include <QXmlStreamReader>

#include <stdexcept>

namespace tavolune {
namespace {

bool isHttps(const QUrl& url) { return url.isValid() && url.scheme() == QLatin1String("https") && !url.host().isEmpty(); }

// The leading digits of each dot-separated segment; none count as 0.
std::vector<long long> segments(const QString& version) {
  std::vector<long long> out;
  for (const QString& part : version.trimmed().split(QLatin1Char('.'))) {
    long long n = 0;
    for (QChar c : part) {
      if (!c.isDigit() || n > 1'000'000'000'000LL) break;
      n = n * 10 + c.digitValue();
    }
    out.push_back(n);
  }
  return out;
}

}  // namespace

Updater::Updater(UpdateFeed& feed, QString feedURL, QString currentVersion, QObject* parent)
    : QObject(parent), feed_(feed), feedURL_(std::move(feedURL)), currentVersion_(std::move(currentVersion)) {}

Updater::Updater(UpdateFeed& feed, QObject* parent)
    : Updater(feed, QString::fromUtf8(build_info::updateFeed), QString::fromUtf8(build_info::version), parent) {}

bool Updater::isAvailable() const { return feedURL_.startsWith(QLatin1String("https://")) && isHttps(QUrl(feedURL_)); }

void Updater::checkForUpdates() {
  if (!isAvailable()) {
    emit checkFailed(QStringLiteral("no update feed"));
    return;
  }
  feed_.fetch(QUrl(feedURL_), this, [this](UpdateFeed::Answer answer) {
    if (!answer.error.isEmpty()) {
      emit checkFailed(answer.error);
      return;
    }
    evaluate(answer.body);
  });
}

void Updater::evaluate(const QByteArray& appcast) {
  UpdateOffer newest;
  try {
    newest = newestItem(appcast);
  } catch (const std::exception& e) {
    emit checkFailed(QString::fromUtf8(e.what()));
    return;
  }
  if (compareVersions(newest.version, currentVersion_) <= 0) {
    emit upToDate();
    return;
  }
  if (!isHttps(newest.page)) {
    emit checkFailed(QStringLiteral("the page of version %1 is not https").arg(newest.version));
    return;
  }
  emit updateAvailable(newest);
}

bool Updater::openPage(const UpdateOffer& offer) { return isHttps(offer.page) && DesktopUrlRoute::openUrl(offer.page); }

UpdateOffer Updater::newestItem(const QByteArray& appcast) {
  QXmlStreamReader xml(appcast);
  std::optional<UpdateOffer> newest;
  UpdateOffer item;
  QString build;  // "sparkle:version", used when there is no short version
  bool inItem = false;
  while (!xml.atEnd()) {
    xml.readNext();
    const QStringView name = xml.qualifiedName();
    if (xml.isStartElement()) {
      if (name == QLatin1String("item")) {
        inItem = true;
        item = {};
        build.clear();
      } else if (!inItem) {
        continue;
      } else if (name == QLatin1String("sparkle:shortVersionString")) {
        item.version = xml.readElementText().trimmed();
      } else if (name == QLatin1String("sparkle:version")) {
        build = xml.readElementText().trimmed();
      } else if (name == QLatin1String("link")) {
        item.page = QUrl(xml.readElementText().trimmed());
      } else if (name == QLatin1String("enclosure")) {
        const auto attributes = xml.attributes();
        if (item.version.isEmpty()) item.version = attributes.value(QLatin1String("sparkle:shortVersionString")).toString();
        if (build.isEmpty()) build = attributes.value(QLatin1String("sparkle:version")).toString();
      }
    } else if (xml.isEndElement() && name == QLatin1String("item")) {
      inItem = false;
      if (item.version.isEmpty()) item.version = build;
      if (item.version.isEmpty()) continue;
      if (!newest || compareVersions(item.version, newest->version) > 0) newest = item;
    }
  }
  if (xml.hasError()) throw std::runtime_error("the update feed could not be read");
  if (!newest) throw std::runtime_error("the update feed lists no version");
  return *newest;
}

int Updater::compareVersions(const QString& a, const QString& b) {
  auto x = segments(a), y = segments(b);
  const std::size_t n = std::max(x.size(), y.size());
  x.resize(n, 0);
  y.resize(n, 0);
  for (std::size_t i = 0; i < n; ++i) {
    if (x[i] != y[i]) return x[i] < y[i] ? -1 : 1;
  }
  return 0;
}

}  // namespace tavolune
