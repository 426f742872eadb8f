#include "app/model/Diagnostics.hpp"

#include "app/platform/UrlLauncher.hpp"
#include "app/qt/Convert.hpp"
#include "core/network/AddressResolver.hpp"

namespace tavolune::Diagnostics {
namespace {

const QString codeHost = QStringLiteral("https://github.com/");
const QString redaction = QStringLiteral("[redacted]");

bool isWordCharacter(QChar c) { return c.isLetterOrNumber() || c == QLatin1Char('_'); }

// Characters an address or a name can be made of; the address detector
// decides what the run is.
bool isAddressCharacter(QChar c) {
  const char16_t u = c.unicode();
  return (u >= u'0' && u <= u'9') || (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') || u == u'.' || u == u'-';
}

void redactSecret(QString& text, const QString& secret) {
  qsizetype from = 0;
  while ((from = text.indexOf(secret, from, Qt::CaseInsensitive)) >= 0) {
    const qsizetype end = from + secret.size();
    const bool startsWord = from == 0 || !isWordCharacter(text[from - 1]) || !isWordCharacter(secret.front());
    const bool endsWord = end == text.size() || !isWordCharacter(text[end]) || !isWordCharacter(secret.back());
    if (startsWord && endsWord) {
      text.replace(from, secret.size(), redaction);
      from += redaction.size();
    } else {
      from = end;
    }
  }
}

void redactDetectedAddresses(QString& text) {
  QString out;
  out.reserve(text.size());
  qsizetype i = 0;
  while (i < text.size()) {
    if (!isAddressCharacter(text[i])) {
      out += text[i++];
      continue;
    }
    qsizetype end = i;
    while (end < text.size() && isAddressCharacter(text[end])) ++end;
    // A sentence's full stop or a dash around the word is not part of it.
    qsizetype first = i, last = end;
    while (first < last && (text[first] == QLatin1Char('.') || text[first] == QLatin1Char('-'))) ++first;
    while (last > first && (text[last - 1] == QLatin1Char('.') || text[last - 1] == QLatin1Char('-'))) --last;
    const QString word = text.mid(first, last - first);
    if (!word.isEmpty() && AddressResolver::detect(qt::str(word))) {
      out += text.mid(i, first - i) + redaction + text.mid(last, end - last);
    } else {
      out += text.mid(i, end - i);
    }
    i = end;
  }
  text = out;
}

// Bytes a character takes once percent-encoded (unreserved ASCII stays).
qsizetype encodedLength(char32_t c) {
  if (c < 0x80) {
    const bool unreserved = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '-' ||
                            c == '.' || c == '_' || c == '~';
    return unreserved ? 1 : 3;
  }
  if (c < 0x800) return 6;
  if (c < 0x10000) return 9;
  return 12;
}

// The report cut so that its percent-encoded form takes at most `budget`
// bytes, at a line break where one falls inside, never inside a character.
QString capped(const QString& report, qsizetype budget) {
  qsizetype total = 0;
  for (char32_t c : report.toUcs4()) total += encodedLength(c);
  if (total <= budget) return report;
  const QString marker = QStringLiteral("\n[shortened]");
  qsizetype remaining = budget;
  for (char32_t c : marker.toUcs4()) remaining -= encodedLength(c);
  QString kept;
  for (char32_t c : report.toUcs4()) {
    const qsizetype n = encodedLength(c);
    if (n > remaining) break;
    remaining -= n;
    kept += QString::fromUcs4(&c, 1);
  }
  if (const qsizetype lastBreak = kept.lastIndexOf(QLatin1Char('\n')); lastBreak > 0) kept.truncate(lastBreak);
  return kept + marker;
}

}  // namespace

QString redacted(const QString& text, const std::vector<QString>& secrets) {
  QString out = text;
  std::vector<QString> ordered;
  for (const auto& s : secrets) {
    if (!s.trimmed().isEmpty()) ordered.push_back(s.trimmed());
  }
  // Longer first, so a label inside an address-like name goes with it.
  std::sort(ordered.begin(), ordered.end(), [](const QString& a, const QString& b) { return a.size() > b.size(); });
  for (const auto& secret : ordered) redactSecret(out, secret);
  redactDetectedAddresses(out);
  return out;
}

std::optional<QUrl> feedbackURL(const BuildInfo& build, const QString& report) {
  const auto repo = feedbackRepo(build);
  if (!repo) return std::nullopt;
  const QString path = codeHost + *repo + QStringLiteral("/issues/new");
  const QString fixedQuery = QStringLiteral("?template=feedback.yml&diagnostics=");
  // QUrlQuery would leave "+" as it is, which the form reads as a space:
  // every reserved character of the value is encoded here.
  const qsizetype budget = maxLinkLength - path.toUtf8().size() - fixedQuery.size();
  if (budget <= 0) return std::nullopt;
  const QByteArray value = QUrl::toPercentEncoding(capped(report, budget));
  const QUrl url = QUrl::fromEncoded(path.toUtf8() + fixedQuery.toUtf8() + value, QUrl::StrictMode);
  // Only an https link to the code host's issue form of that repository.
  if (!url.isValid() || url.scheme() != QLatin1String("https") || url.host() != QLatin1String("github.com") ||
      url.path() != QLatin1Char('/') + *repo + QStringLiteral("/issues/new") || url.hasFragment()) {
    return std::nullopt;
  }
  return url;
}

bool sendFeedback(const BuildInfo& build, const QString& report, const UrlOpener& open) {
  const auto url = feedbackURL(build, report);
  if (!url) return false;
  if (open) return open(*url);
  return DesktopUrlRoute::openUrl(*url);
}

}  // namespace tavolune::Diagnostics
