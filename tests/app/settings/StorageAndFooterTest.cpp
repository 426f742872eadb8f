// The cache row's states (measuring, empty, full, clearing, closed while a
// job runs) and the footer's rows in each build configuration.

#include "app/components/Spinner.hpp"
#include "app/model/Updater.hpp"
#include "app/qt/ResultMailbox.hpp"
#include "app/settings/AboutFooter.hpp"
#include "app/settings/StorageRow.hpp"
#include "app/style/TestVersionBadge.hpp"
#include "tests/app/settings/SettingsRig.hpp"
#include "tests/support/fakes/FakeUpdateFeed.hpp"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QThreadPool>

#include <gtest/gtest.h>

#include <latch>

namespace tavolune {
namespace {

using testsupport::SettingsRig;

// Waits for the row's next measurement.
std::int64_t measured(StorageRow& row) {
  QSignalSpy spy(&row, &StorageRow::measured);
  EXPECT_TRUE(spy.wait(5000));
  return spy.isEmpty() ? -1 : spy.takeFirst().at(0).value<std::int64_t>();
}

TEST(StorageRow, MeasuresEmptyAndFullAndClearsAfterConfirming) {
  SettingsRig rig;
  rig.model->media().cache().clear();
  QWidget window;
  auto* row = new StorageRow(rig.model->media(), *QThreadPool::globalInstance(), &window);
  EXPECT_FALSE(row->size());
  EXPECT_FALSE(row->clearButton()->isEnabled());
  QSignalSpy spy(row, &StorageRow::measured);
  window.show();
  EXPECT_TRUE(row->spinner()->isVisible());  // until the first measurement lands
  ASSERT_TRUE(spy.wait(5000));
  EXPECT_EQ(row->size(), 0);
  EXPECT_EQ(row->sizeLabel()->text(), StorageRow::formatted(0));
  EXPECT_FALSE(row->spinner()->isVisible());
  EXPECT_FALSE(row->clearButton()->isEnabled());

  // Shown, the row follows the cache: a burst of stores is one report, the number kept meanwhile.
  MediaServices& media = rig.model->media();
  QSignalSpy reports(&media, &MediaServices::cacheChanged);
  for (int i = 0; i < 200; ++i)
    media.cache().store(std::string(25, 'x'), "https://media.test/" + std::to_string(i), "image/png");
  const std::int64_t stored = measured(*row);
  EXPECT_EQ(stored, media.cache().totalSize());
  EXPECT_LE(reports.size(), 2);
  EXPECT_FALSE(row->spinner()->isVisible());
  // Hidden, nothing watches the cache; shown again, it reads what changed meanwhile.
  window.hide();
  EXPECT_FALSE(media.isFollowingCache());
  media.cache().store(std::string(5000, 'x'), "https://media.test/a.png", "image/png");
  window.show();
  EXPECT_EQ(row->size(), stored);
  const std::int64_t full = measured(*row);
  EXPECT_GE(full, stored + 5000);
  EXPECT_TRUE(row->clearButton()->isEnabled());

  // Cancelled: nothing changes.
  row->clearButton()->click();
  ASSERT_TRUE(row->confirmation());
  row->confirmation()->button(QMessageBox::Cancel)->click();
  EXPECT_EQ(row->size(), full);
  EXPECT_GE(rig.model->media().cache().totalSize(), 5000);

  row->clearButton()->click();
  ASSERT_TRUE(row->confirmation());
  QAbstractButton* confirm = nullptr;
  for (QAbstractButton* b : row->confirmation()->buttons()) {
    if (b->text() == "Clear Cache") confirm = b;
  }
  ASSERT_TRUE(confirm);
  confirm->click();
  EXPECT_FALSE(row->size());
  EXPECT_FALSE(row->clearButton()->isEnabled());
  EXPECT_TRUE(row->spinner()->isVisible());
  EXPECT_EQ(measured(*row), 0);
  EXPECT_EQ(row->size(), 0);
}

// A job that ends after the window closed must not write into the deleted
// row: the row refuses its results from the moment it goes. A confirmed
// clearing still empties the cache.
TEST(StorageRow, ResultsEndingAfterTheWindowClosedAreRefused) {
  SettingsRig rig;
  struct Case {
    const char* name;
    bool clearing;
  };
  for (const Case& c : {Case{"measuring", false}, Case{"clearing", true}}) {
    rig.model->media().cache().store(std::string(5000, 'x'), "https://media.test/a.png", "image/png");
    QThreadPool pool;
    pool.setMaxThreadCount(1);
    std::latch release(1);
    pool.start([&release] { release.wait(); });  // holds the row's jobs back
    auto* window = new QWidget;
    auto* row = new StorageRow(rig.model->media(), pool, window);
    window->show();  // the first measurement
    if (c.clearing) row->clear();
    const std::shared_ptr<const ResultMailbox> results = row->results();
    delete window;  // closed mid-job
    const bool refused = !results->isOpen();
    EXPECT_TRUE(refused) << c.name << ": the job's result would reach the deleted row";
    if (!refused) pool.clear();  // never let the jobs post to freed memory
    release.count_down();
    pool.waitForDone();
    EXPECT_EQ(rig.model->media().cache().totalSize() == 0, c.clearing) << c.name;
  }
}

TEST(AboutFooter, RowsFollowTheBuild) {
  SettingsRig rig;
  testsupport::FakeUpdateFeed feed;
  Updater secure(feed, QStringLiteral("https://updates.test/appcast.xml"), QStringLiteral("1.2.0"));
  Updater plain(feed, QStringLiteral("http://updates.test/appcast.xml"), QStringLiteral("1.2.0"));
  struct Case {
    const char* name;
    QString repo;
    Updater* updater;
    bool update, feedback;
  };
  for (const Case& c : {Case{"everything", "owner/repo", &secure, true, true},
                        Case{"no feedback repository", "", &secure, true, false},
                        Case{"plain feed", "owner/repo", &plain, false, true},
                        Case{"no updater", "", nullptr, false, false}}) {
    SCOPED_TRACE(c.name);
    SettingsServices services = rig.services();
    services.build.feedbackRepo = c.repo;
    services.updater = [u = c.updater] { return u; };
    AboutFooter footer(services);
    EXPECT_EQ(footer.versionLabel()->text(), "Version 1.2.0 (7)");
    EXPECT_EQ(footer.findChildren<TestVersionBadge*>().size(), 1);
    EXPECT_EQ(bool(footer.updateButton()), c.update);
    EXPECT_EQ(bool(footer.feedbackButton()), c.feedback);
    EXPECT_EQ(footer.copyButton()->text(), "Copy Diagnostics");
  }
}

TEST(AboutFooter, EachUpdateCheckIsAnsweredOnce) {
  SettingsRig rig;
  auto feed = testsupport::FakeUpdateFeed::failing("offline");
  Updater updater(feed, QStringLiteral("https://updates.test/appcast.xml"), QStringLiteral("1.2.0"));
  SettingsServices services = rig.services();
  services.updater = [&updater] { return &updater; };
  QWidget window;
  auto* footer = new AboutFooter(services, &window);
  QSignalSpy answers(footer, &AboutFooter::updateCheckAnswered);
  ASSERT_TRUE(footer->updateButton());
  footer->updateButton()->click();
  footer->updateButton()->click();
  ASSERT_EQ(answers.count(), 2);  // not three: the first check's watch ended with its answer
  EXPECT_EQ(answers.at(0).at(0).toString(), "The update check failed: offline");
  EXPECT_EQ(window.findChildren<QMessageBox*>().size(), 2);
}

TEST(AboutFooter, CopyPutsTheReportOnTheClipboard) {
  SettingsRig rig;
  AboutFooter footer(rig.services());
  footer.copyButton()->click();
  EXPECT_EQ(QApplication::clipboard()->text(), "the report");
  EXPECT_TRUE(footer.copied());
  EXPECT_EQ(footer.copyButton()->text(), "Copied");
}

}  // namespace
}  // namespace tavolune
