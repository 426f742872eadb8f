#include <QUrlQuery>
#include <gmock/gmock.h>

#include "app/model/Diagnostics.hpp"

namespace tavolune {
namespace {

const BuildInfo build{"1.4.0", "212", "tavolune/feedback"};

// The value a form reads: '+' would be a space there, so it must not appear.
QString formValue(const QUrl& url, const QString& key) {
  const QByteArray query = url.toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority | QUrl::RemovePath);
  for (const QByteArray& pair : query.mid(1).split('&')) {
    const auto eq = pair.indexOf('=');
    if (pair.left(eq) == key.toUtf8()) {
      QByteArray value = pair.mid(eq + 1);
      value.replace('+', ' ');
      return QUrl::fromPercentEncoding(value);
    }
  }
  return {};
}

TEST(FeedbackLink, RoundTripsEveryCharacter) {
  const QString report = QString::fromUtf8("Tavolune 1+1 (2) & more #3\nline two · 1920×1080@2x\r\n100% = ?/\u2603 \U0001F3A8");
  const auto url = Diagnostics::feedbackURL(build, report);
  ASSERT_TRUE(url);
  EXPECT_EQ(url->scheme(), "https");
  EXPECT_EQ(url->host(), "github.com");
  EXPECT_EQ(url->path(), "/tavolune/feedback/issues/new");
  EXPECT_FALSE(url->hasFragment());
  const QByteArray encoded = url->toEncoded();
  EXPECT_FALSE(encoded.contains('+'));
  EXPECT_FALSE(encoded.contains('#'));
  EXPECT_TRUE(encoded.contains("?template=feedback.yml&diagnostics="));
  EXPECT_EQ(formValue(*url, "template"), "feedback.yml");
  EXPECT_EQ(formValue(*url, "diagnostics"), report);
  // The link survives a trip through its own text (a browser, the clipboard).
  EXPECT_EQ(formValue(QUrl(url->toString(QUrl::FullyEncoded)), "diagnostics"), report);
}

TEST(FeedbackLink, CapsALongReportAtALineBreak) {
  QStringList lines;
  for (int i = 0; i < 2000; ++i) lines << QString("Wallet %1: evm collector · Ethereum 12 · error: ×·+&").arg(i);
  const QString report = lines.join('\n');
  const auto url = Diagnostics::feedbackURL(build, report);
  ASSERT_TRUE(url);
  EXPECT_LE(url->toEncoded().size(), Diagnostics::maxLinkLength);
  EXPECT_GT(url->toEncoded().size(), Diagnostics::maxLinkLength - 200) << "uses most of the room";
  const QString value = formValue(*url, "diagnostics");
  EXPECT_TRUE(value.endsWith("\n[shortened]"));
  const QString kept = value.chopped(QString("\n[shortened]").size());
  EXPECT_TRUE(report.startsWith(kept + '\n')) << "whole lines kept";

  // One line with no break at all is cut between characters, never inside one.
  const QString wide = QString(5000, QChar(0x00D7)) + QString::fromUtf8("\U0001F3A8").repeated(3000);
  const auto cut = Diagnostics::feedbackURL(build, wide);
  ASSERT_TRUE(cut);
  EXPECT_LE(cut->toEncoded().size(), Diagnostics::maxLinkLength);
  const QString cutValue = formValue(*cut, "diagnostics");
  EXPECT_TRUE(wide.startsWith(cutValue.chopped(QString("\n[shortened]").size())));
}

TEST(FeedbackLink, OnlyAnHttpsLinkToTheRepositoryOpens) {
  for (const QString repo : {"", "no-slash", "owner/name#fragment", "owner/name?x=1", "owner/na me"}) {
    std::vector<QUrl> opened;
    const bool sent = Diagnostics::sendFeedback({"1", "2", repo}, "report", [&](const QUrl& u) {
      opened.push_back(u);
      return true;
    });
    EXPECT_FALSE(sent) << repo.toStdString();
    EXPECT_TRUE(opened.empty()) << repo.toStdString();
  }
  EXPECT_FALSE(Diagnostics::feedbackRepo({"1", "2", "no-slash"}));
  std::vector<QUrl> opened;
  EXPECT_TRUE(Diagnostics::sendFeedback(build, "report", [&](const QUrl& u) {
    opened.push_back(u);
    return true;
  }));
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0].toString(), "https://github.com/tavolune/feedback/issues/new?template=feedback.yml&diagnostics=report");
}

}  // namespace
}  // namespace tavolune
