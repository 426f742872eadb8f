#include "app/menubar/MenuBarContent.hpp"

#include "app/components/Divider.hpp"
#include "app/desktop/DesktopController.hpp"
#include "app/menubar/MenuBarTexts.hpp"
#include "app/menubar/MenuRow.hpp"
#include "app/menubar/PopoverPaint.hpp"
#include "app/model/AppModel.hpp"
#include "app/model/Diagnostics.hpp"
#include "app/model/Updater.hpp"
#include "app/model/WindowManager.hpp"
#include "app/style/TestVersionBadge.hpp"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include <utility>

namespace tavolune {
namespace {

// The sections stand 14 pixels in; the command rows reach 6 pixels further out.
constexpr int rowsReach = 6;
constexpr int padding = 14;

void addInset(QVBoxLayout* outer, QWidget* section) {
  auto* row = new QHBoxLayout;
  row->setContentsMargins(rowsReach, 0, rowsReach, 0);
  row->addWidget(section);
  outer->addLayout(row);
}

}  // namespace

MenuBarContent::MenuBarContent(Services services, QWidget* parent) : QWidget(parent), s_(std::move(services)) {
  setFixedWidth(contentWidth);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(padding - rowsReach, padding, padding - rowsReach, padding);
  layout->setSpacing(14);

  addInset(layout, buildCurrentWork());
  addInset(layout, buildEmptyState());
  addInset(layout, buildWarning());
  addInset(layout, buildNotice());
  addInset(layout, buildControls());
  addInset(layout, buildFooter());
  addInset(layout, new Divider(this));
  layout->addWidget(buildRows());
  // In the taller "menu" window the content keeps to the top.
  layout->addStretch();

  AppModel& model = s_.model;
  DesktopController& desktop = s_.desktop;
  connect(&model, &AppModel::libraryChanged, this, [this](const LibraryChange& change) {
    // The popover shows the desktop's work, the settings, the wallets, the
    // pool's summary (the exhibition on show, My Selection as stored) and
    // whether there is anything for the screen saver.
    using A = LibraryChange::Aspect;
    if (change.everything || change.settings || change.displays || change.exhibitions || !change.wallets.empty() ||
        change.anyArtwork(A::hidden | A::selection) || (shownID_ && change.touches(*shownID_))) {
      changed();
    }
  });
  connect(&model, &AppModel::desktopPoolCountChanged, this, &MenuBarContent::changed);
  connect(&model, &AppModel::loadedChanged, this, &MenuBarContent::changed);
  connect(&model, &AppModel::noticeChanged, this, &MenuBarContent::changed);
  connect(&desktop, &DesktopController::screensChanged, this, &MenuBarContent::changed);
  connect(&desktop, &DesktopController::userPausedChanged, this, &MenuBarContent::changed);
  connect(&desktop, &DesktopController::livePlayingChanged, this, &MenuBarContent::changed);
  connect(&desktop, &DesktopController::liveStatusChanged, this, &MenuBarContent::changed);
  connect(&desktop, &DesktopController::preparingChanged, this, &MenuBarContent::changed);
  connect(&desktop.power(), &PowerPolicy::stateChanged, this, &MenuBarContent::changed);
  // Hidden parts take no room until the first show reads the state.
  for (QWidget* part : {currentWork_, warning_, notice_, controls_}) part->hide();
}

MenuBarContent::~MenuBarContent() = default;

void MenuBarContent::registerWith(WindowManager& windows, std::function<Services()> services) {
  windows.registerContent(QStringLiteral("menu"),
                          [services = std::move(services)] { return static_cast<QWidget*>(new MenuBarContent(services())); });
}

void MenuBarContent::changed() {
  if (isVisible()) {
    // Changes seen while open animate; what a popover shows as it opens does not.
    playing_ = true;
    refresh();
    playing_ = false;
  } else {
    stale_ = true;
  }
}

void MenuBarContent::showEvent(QShowEvent* event) {
  if (stale_) refresh();
  QWidget::showEvent(event);
}

void MenuBarContent::refresh() {
  stale_ = false;
  ++refreshes_;
  const std::optional<Artwork> current = s_.desktop.currentArtwork();
  refreshHeader(current);
  if (controls_->isHidden() == current.has_value() && playing_) {
    if (current) {
      motion::scaleFade(controls_, true, 1, workChange());
    } else {
      motion::leaveAsSnapshot(controls_, 1, workChange());
    }
  }
  controls_->setVisible(current.has_value());
  if (current) refreshControls();
  refreshFooter();

  // The windows open at any time, also before the library has loaded.
  screenSaverRow_->setEnabled(s_.model.isLoaded() && s_.showScreenSaver && s_.model.state().hasDesktopPool());
}

void MenuBarContent::closePopup() {
  if (QWidget* popup = window(); popup != this && popup->windowFlags().testFlag(Qt::Popup)) popup->hide();
}

QWidget* MenuBarContent::buildRows() {
  auto* rows = new QWidget(this);
  auto* layout = new QVBoxLayout(rows);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  const auto add = [&](const QString& title, std::string symbol, std::optional<QString> shortcut, const char* name,
                       std::function<void()> action) {
    auto* row = new MenuRow(title, std::move(symbol), std::move(shortcut), rows);
    row->setObjectName(QString::fromLatin1(name));
    connect(row, &MenuRow::clicked, this, [this, action = std::move(action)] {
      closePopup();
      action();
    });
    layout->addWidget(row);
    return row;
  };

  libraryRow_ = add(QStringLiteral("Library…"), "square.grid.2x2", QStringLiteral("B"), "row.library",
                    [this] { s_.windows.showLibrary(); });
  screenSaverRow_ = add(QStringLiteral("Start Screen Saver"), "sparkles.tv", std::nullopt, "row.screenSaver", [this] {
    if (s_.showScreenSaver) s_.showScreenSaver();
  });
  settingsRow_ = add(QStringLiteral("Settings…"), "gearshape", QStringLiteral(","), "row.settings",
                     [this] { s_.windows.showSettings(QStringLiteral("general")); });
  if (Updater* updater = s_.updater ? s_.updater() : nullptr; updater && updater->isAvailable()) {
    add(QStringLiteral("Check for Updates…"), "arrow.down.circle", std::nullopt, "row.updates", [this, updater] {
      checking_ = true;
      updater->checkForUpdates();
    });
    // The check this view started ends in a notice; a newer version also
    // opens its page.
    connect(updater, &Updater::updateAvailable, this, [this](const UpdateOffer& offer) {
      if (!std::exchange(checking_, false)) return;
      s_.model.setNotice("Tavolune " + offer.version.toStdString() + " is available.");
      Updater::openPage(offer);
    });
    connect(updater, &Updater::upToDate, this, [this] {
      if (std::exchange(checking_, false)) s_.model.setNotice("Tavolune is up to date.");
    });
    connect(updater, &Updater::checkFailed, this, [this](const QString& reason) {
      if (std::exchange(checking_, false)) s_.model.setNotice("The update check failed: " + reason.toStdString());
    });
  }
  if (Diagnostics::feedbackRepo(s_.build) && s_.sendFeedback) {
    add(QStringLiteral("Send Feedback…"), "bubble.left.and.text.bubble.right", std::nullopt, "row.feedback",
        [this] { s_.sendFeedback(); });
  }
  auto* divider = new QHBoxLayout;
  divider->setContentsMargins(rowsReach, 4, rowsReach, 4);
  divider->addWidget(new Divider(rows));
  layout->addLayout(divider);
  add(QStringLiteral("Quit Tavolune"), "power", QStringLiteral("Q"), "row.quit", [this] {
    if (s_.quit) {
      s_.quit();
    } else {
      QCoreApplication::quit();
    }
  });

  auto* version = new QHBoxLayout;
  version->setContentsMargins(8, 6, 8, 0);
  version->setSpacing(6);
  version->addWidget(new TestVersionBadge(rows));
  auto* text = new QLabel(MenuBarTexts::versionLine(Diagnostics::version(s_.build)), rows);
  text->setObjectName(QStringLiteral("version"));
  text->setTextFormat(Qt::PlainText);
  text->setFont(PopoverPaint::font(10));
  PopoverPaint::setInk(text, PopoverPaint::tertiary(palette()));
  version->addWidget(text);
  version->addStretch();
  layout->addLayout(version);
  return rows;
}

}  // namespace tavolune
