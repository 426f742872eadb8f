#include "app/settings/StorageRow.hpp"

#include "app/components/Spinner.hpp"
#include "app/settings/RowLabel.hpp"
#include "app/style/Theme.hpp"
#include "core/media/MediaCache.hpp"

#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QThreadPool>

namespace tavolune {

StorageRow::StorageRow(MediaServices& media, QThreadPool& pool, QWidget* parent)
    : QWidget(parent),
      media_(media),
      pool_(pool),
      sizeLabel_(new QLabel(this)),
      spinner_(new Spinner(Spinner::Size::small, this)),
      clear_(new QPushButton(tr("Clear…"), this)) {
  auto* controls = new QWidget(this);
  auto* h = new QHBoxLayout(controls);
  h->setContentsMargins(0, 0, 0, 0);
  h->setSpacing(10);
  sizeLabel_->setTextFormat(Qt::PlainText);
  sizeLabel_->setFont(Theme::monospacedDigits(sizeLabel_->font()));
  sizeLabel_->setForegroundRole(QPalette::PlaceholderText);
  spinner_->setParent(controls);
  sizeLabel_->setParent(controls);
  clear_->setParent(controls);
  h->addWidget(spinner_);
  h->addWidget(sizeLabel_);
  h->addWidget(clear_);

  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 6, 0, 6);
  row->addWidget(new RowLabel(QStringLiteral("Cache"), "internaldrive", RowLabel::gray(), std::nullopt, this), 1);
  row->addWidget(controls, 0, Qt::AlignRight | Qt::AlignVCenter);

  connect(clear_, &QPushButton::clicked, this, &StorageRow::ask);
  connect(&media_, &MediaServices::cacheChanged, this, &StorageRow::follow);
  display(std::nullopt);
}

StorageRow::~StorageRow() { mailbox_->close(); }

QString StorageRow::formatted(std::int64_t bytes) {
  return QLocale().formattedDataSize(bytes, 1, QLocale::DataSizeSIFormat);
}

void StorageRow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  // Followed only while shown: a hidden row wakes nothing.
  following_ = media_.followCache();
  if (size_) {
    follow();  // what changed while it was hidden
  } else if (!inFlight_) {
    measure();
  }
}

void StorageRow::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  following_.reset();
}

void StorageRow::measure() {
  display(std::nullopt);
  start(false);
}

void StorageRow::clear() {
  display(std::nullopt);
  start(true);
}

void StorageRow::follow() {
  if (inFlight_) {
    again_ = true;
    return;
  }
  start(false);
}

void StorageRow::start(bool clearing) {
  const std::uint64_t generation = ++generation_;
  inFlight_ = true;
  again_ = false;
  pool_.start([cache = media_.sharedCache(), mailbox = mailbox_, self = this, generation, clearing] {
    if (clearing) cache->clear();
    // What a clearing left is measured right after it, on the same worker.
    const std::int64_t bytes = cache->totalSize();
    mailbox->post([self, generation, bytes] {
      if (generation != self->generation_) return;
      self->inFlight_ = false;
      self->display(bytes);
      emit self->measured(bytes);
      if (self->again_) self->follow();
    });
  });
}

void StorageRow::ask() {
  if (confirmation_) return;
  confirmation_ = new QMessageBox(QMessageBox::Warning, tr("Clear the cache?"), tr("Clear the cache?"),
                                  QMessageBox::NoButton, window());
  confirmation_->setInformativeText(tr("Artworks will be downloaded and rendered again as they are shown."));
  QPushButton* confirm = confirmation_->addButton(tr("Clear Cache"), QMessageBox::DestructiveRole);
  confirmation_->addButton(QMessageBox::Cancel);
  confirmation_->setDefaultButton(QMessageBox::Cancel);
  confirmation_->setAttribute(Qt::WA_DeleteOnClose);
  connect(confirmation_, &QMessageBox::buttonClicked, this, [this, confirm](QAbstractButton* button) {
    if (button == confirm) clear();
  });
  connect(confirmation_, &QObject::destroyed, this, [this] { confirmation_ = nullptr; });
  confirmation_->open();  // window-modal, no event loop of its own
}

void StorageRow::display(std::optional<std::int64_t> size) {
  size_ = size;
  spinner_->setVisible(!size);
  sizeLabel_->setVisible(bool(size));
  if (size) sizeLabel_->setText(formatted(*size));
  clear_->setEnabled(size && *size > 0);
}

}  // namespace tavolune
