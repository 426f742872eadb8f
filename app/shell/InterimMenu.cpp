#include "app/shell/InterimMenu.hpp"

#include "app/model/AppModel.hpp"
#include "app/model/WindowManager.hpp"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace tavolune {

InterimMenu::InterimMenu(AppModel& model, WindowManager& windows, QWidget* parent)
    : QWidget(parent),
      model_(model),
      windows_(windows),
      status_(new QLabel(this)),
      openLibrary_(new QPushButton(QStringLiteral("Open Library"), this)),
      settings_(new QPushButton(QStringLiteral("Settings…"), this)),
      quit_(new QPushButton(QStringLiteral("Quit Tavolune"), this)) {
  auto* title = new QLabel(QStringLiteral("Tavolune"), this);
  QFont font = title->font();
  font.setBold(true);
  font.setPointSizeF(font.pointSizeF() * 1.2);
  title->setFont(font);
  status_->setWordWrap(true);
  quit_->setShortcut(QKeySequence(QStringLiteral("Ctrl+Q")));

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(16, 14, 16, 14);
  layout->setSpacing(10);
  layout->addWidget(title);
  layout->addWidget(status_);
  layout->addWidget(openLibrary_);
  layout->addWidget(settings_);
  layout->addWidget(quit_);
  layout->addStretch();

  connect(openLibrary_, &QPushButton::clicked, this, [this] {
    if (QWidget* popup = window(); popup && popup->windowFlags().testFlag(Qt::Popup)) popup->hide();
    windows_.showLibrary();
  });
  connect(settings_, &QPushButton::clicked, this, [this] {
    if (QWidget* popup = window(); popup && popup->windowFlags().testFlag(Qt::Popup)) popup->hide();
    windows_.showSettings(QStringLiteral("general"));
  });
  connect(quit_, &QPushButton::clicked, this, [] { QCoreApplication::quit(); });
  connect(&model_, &AppModel::loadedChanged, this, &InterimMenu::update);
  connect(&model_, &AppModel::stateChanged, this, &InterimMenu::update);
  update();
}

void InterimMenu::update() {
  const bool loaded = model_.isLoaded();
  if (!loaded) {
    status_->setText(QStringLiteral("Loading the library…"));
  } else {
    const std::size_t works = model_.state().desktopPoolCount();
    status_->setText(works == 1 ? QStringLiteral("1 work on the desktop")
                                : QStringLiteral("%1 works on the desktop").arg(works));
  }
  openLibrary_->setEnabled(loaded && windows_.hasContent(QStringLiteral("library")));
  settings_->setEnabled(loaded && windows_.hasContent(QStringLiteral("settings")));
}

}  // namespace tavolune
