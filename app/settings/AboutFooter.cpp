#include "app/settings/AboutFooter.hpp"

#include "app/model/Updater.hpp"
#include "app/style/Symbols.hpp"
#include "app/style/TestVersionBadge.hpp"
#include "app/style/Theme.hpp"

#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

namespace tavolune {

AboutFooter::AboutFooter(const SettingsServices& services, QWidget* parent)
    : QWidget(parent), services_(services), version_(new QLabel(this)), copy_(new QPushButton(this)) {
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(20, 10, 20, 10);
  row->setSpacing(12);

  auto* icon = new QLabel(this);
  icon->setPixmap(Symbols::applicationIcon().pixmap(QSize(28, 28), devicePixelRatioF()));
  icon->setFixedSize(28, 28);
  row->addWidget(icon);

  auto* names = new QVBoxLayout;
  names->setSpacing(0);
  auto* nameRow = new QHBoxLayout;
  nameRow->setSpacing(6);
  auto* name = new QLabel(tr("Tavolune"), this);
  QFont nameFont = name->font();
  nameFont.setPixelSize(12);
  nameFont.setWeight(QFont::DemiBold);
  name->setFont(nameFont);
  nameRow->addWidget(name);
  nameRow->addWidget(new TestVersionBadge(this));
  nameRow->addStretch();
  names->addLayout(nameRow);
  version_->setTextFormat(Qt::PlainText);
  version_->setText(tr("Version %1").arg(Diagnostics::version(services_.build)));
  QFont versionFont = version_->font();
  versionFont.setPixelSize(11);
  version_->setFont(Theme::monospacedDigits(versionFont));
  version_->setForegroundRole(QPalette::PlaceholderText);
  names->addWidget(version_);
  row->addLayout(names);
  row->addStretch();

  Updater* updater = services_.updater ? services_.updater() : nullptr;
  if (updater && updater->isAvailable()) {
    update_ = new QPushButton(tr("Check for Updates…"), this);
    connect(update_, &QPushButton::clicked, this, &AboutFooter::checkForUpdates);
    row->addWidget(update_);
  }
  copy_->setText(tr("Copy Diagnostics"));
  copy_->setToolTip(tr("Copies a short report (versions, counts, settings, last errors; no wallet address) to paste "
                       "in a bug report"));
  connect(copy_, &QPushButton::clicked, this, &AboutFooter::copyDiagnostics);
  row->addWidget(copy_);
  if (Diagnostics::feedbackRepo(services_.build)) {
    feedback_ = new QPushButton(tr("Send Feedback…"), this);
    connect(feedback_, &QPushButton::clicked, this, [this] {
      Diagnostics::sendFeedback(services_.build, services_.report ? services_.report() : QString(),
                                services_.openURL);
    });
    row->addWidget(feedback_);
  }
  for (auto* b : findChildren<QPushButton*>()) {
    QFont small = b->font();
    small.setPointSizeF(small.pointSizeF() * 0.92);
    b->setFont(small);
  }
}

void AboutFooter::copyDiagnostics() {
  QApplication::clipboard()->setText(services_.report ? services_.report() : QString());
  setCopied(true);
  // The first timer to end resets the label, as a second copy does not
  // extend the first one's two seconds.
  QTimer::singleShot(copiedMilliseconds, this, [this] { setCopied(false); });
}

void AboutFooter::setCopied(bool copied) {
  copied_ = copied;
  copy_->setText(copied ? tr("Copied") : tr("Copy Diagnostics"));
}

void AboutFooter::checkForUpdates() {
  Updater* updater = services_.updater ? services_.updater() : nullptr;
  if (!updater) return;
  // One answer per check, shown beside this window without blocking it.
  auto answered = std::make_shared<QMetaObject::Connection[]>(3);
  auto done = [this, answered](const QString& text, std::optional<UpdateOffer> offer) {
    for (int i = 0; i < 3; ++i) disconnect(answered[i]);
    emit updateCheckAnswered(text);
    auto* box = new QMessageBox(QMessageBox::Information, tr("Check for Updates"), text, QMessageBox::Ok, window());
    box->setAttribute(Qt::WA_DeleteOnClose);
    if (offer) {
      QPushButton* get = box->addButton(tr("Download…"), QMessageBox::AcceptRole);
      connect(get, &QPushButton::clicked, box, [page = *offer] { Updater::openPage(page); });
    }
    box->open();
  };
  answered[0] = connect(updater, &Updater::updateAvailable, this, [done](const UpdateOffer& offer) {
    done(tr("Tavolune %1 is available.").arg(offer.version), offer);
  });
  answered[1] = connect(updater, &Updater::upToDate, this,
                        [done] { done(tr("Tavolune is up to date."), std::nullopt); });
  answered[2] = connect(updater, &Updater::checkFailed, this, [done](const QString& reason) {
    done(tr("The update check failed: %1").arg(reason), std::nullopt);
  });
  updater->checkForUpdates();
}

void AboutFooter::paintEvent(QPaintEvent*) {
  // The bar: a shade over the window colour and a hairline on top.
  QPainter p(this);
  QColor shade = palette().color(QPalette::WindowText);
  shade.setAlphaF(0.04);
  p.fillRect(rect(), shade);
  QColor line = palette().color(QPalette::WindowText);
  line.setAlphaF(0.12);
  p.fillRect(QRect(0, 0, width(), 1), line);
}

}  // namespace tavolune
