#include "app/settings/GeneralSettings.hpp"

#include "app/components/FormSection.hpp"
#include "app/desktop/DesktopController.hpp"
#include "app/model/AppModel.hpp"
#include "app/model/LoginItem.hpp"
#include "app/qt/Convert.hpp"
#include "app/settings/RowLabel.hpp"
#include "app/settings/Setting.hpp"
#include "app/settings/SettingsControls.hpp"
#include "app/settings/SettingsForm.hpp"
#include "app/settings/StorageRow.hpp"
#include "app/style/Theme.hpp"
#include "core/model/Rotation.hpp"

#include <QDesktopServices>
#include <QDir>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QThreadPool>
#include <QUrl>

#include <algorithm>

namespace tavolune {

GeneralSettings::GeneralSettings(const SettingsServices& services, QWidget* parent)
    : QWidget(parent), services_(services) {
  QVBoxLayout* column = settingsform::column(this);
  QWidget* content = column->parentWidget();
  column->addWidget(rotationSection(content));
  column->addWidget(loginSection(content));
  column->addWidget(formatsSection(content));
  column->addStretch();

  AppModel& model = services_.model;
  connect(&model, &AppModel::libraryChanged, this, [this](const LibraryChange& change) {
    // The rotation footer counts My Selection. A measured series reports
    // only its works' formats, so the count of measured series is read
    // whatever the report says: it costs nothing.
    if (change.settings || change.anyArtwork(LibraryChange::selection)) {
      load();
    } else {
      loadFormats();
    }
  });
  connect(&services_.desktop, &DesktopController::screensChanged, this, &GeneralSettings::load);
  connect(&services_.login, &LoginItem::statusChanged, this, &GeneralSettings::loadLogin);
  connect(&model.formats(), &SeriesFormats::analysisProgressChanged, this, &GeneralSettings::loadAnalysis);
  connect(&model.formats(), &SeriesFormats::analysisStopRequestedChanged, this, &GeneralSettings::loadAnalysis);
  // A change made in the system's settings shows when the user comes back.
  connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
    if (state == Qt::ApplicationActive) services_.login.refresh();
  });
  load();
  loadLogin();
  loadAnalysis();
}

FormSection* GeneralSettings::rotationSection(QWidget* content) {
  rotation_ = new FormSection(tr("Rotation"), content);
  AppModel& model = services_.model;

  interval_ = new ValuePicker;
  for (const auto& i : Rotation::intervals) interval_->addOption(qt::str(i.label), double(i.seconds));
  rotation_->addRow(
      settingsRow(new RowLabel(QStringLiteral("Change Every"), "clock", RowLabel::blue()), interval_, rotation_));
  connect(interval_, &ValuePicker::picked, this,
          [&model](double seconds) { setting(model, &AppSettings::rotationInterval, seconds); });

  order_ = new SegmentedPicker;
  for (PlaybackOrder o : allCases<PlaybackOrder>()) order_->addOption(qt::str(label(o)), int(o));
  order_->setAccessibleName(tr("Order"));
  rotation_->addRow(
      settingsRow(new RowLabel(QStringLiteral("Order"), "shuffle", RowLabel::indigo()), order_, rotation_));
  connect(order_, &SegmentedPicker::picked, this,
          [&model](int value) { setting(model, &AppSettings::rotationOrder, static_cast<PlaybackOrder>(value)); });

  fits_ = new Toggle;
  rotation_->addRow(settingsRow(new RowLabel(QStringLiteral("Only Artworks That Fit the Screen"), "aspectratio",
                                             RowLabel::teal(),
                                             QStringLiteral("Responsive, or within 12% of the screen's shape: no bars")),
                                fits_, rotation_));
  connect(fits_, &Toggle::switched, this, [&model](bool on) { setting(model, &AppSettings::onlyFitsScreen, on); });

  same_ = new Toggle;
  sameRow_ = settingsRow(
      new RowLabel(QStringLiteral("Same Artwork on All Displays"), "rectangle.on.rectangle", RowLabel::gray()), same_,
      rotation_);
  rotation_->addRow(sameRow_);
  connect(same_, &Toggle::switched, this,
          [&model](bool on) { setting(model, &AppSettings::sameArtworkOnAllScreens, on); });
  return rotation_;
}

FormSection* GeneralSettings::loginSection(QWidget* content) {
  auto* section = new FormSection(QString(), content);
  login_ = new Toggle;
  section->addRow(settingsRow(new RowLabel(QStringLiteral("Open at Login"), "power", RowLabel::green()), login_,
                              section));
  // The switch shows the registration read back, so a refused change springs back.
  connect(login_, &Toggle::switched, this, [this](bool on) { services_.login.set(on); });

  approval_ = new QWidget(section);
  auto* note = new QHBoxLayout(approval_);
  note->setContentsMargins(4, 0, 4, 0);
  auto* text = new QLabel(tr("Waiting for your approval in the system settings' autostart list."), approval_);
  text->setFont(Theme::caption());
  text->setForegroundRole(QPalette::PlaceholderText);
  text->setWordWrap(true);
  auto* open = new QPushButton(tr("Open Login Items"), approval_);
  open->setFlat(true);
  open->setCursor(Qt::PointingHandCursor);
  connect(open, &QPushButton::clicked, this, [] {
    const QString folder =
        QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)).filePath("autostart");
    QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
  });
  note->addWidget(text, 1);
  note->addWidget(open);
  section->layout()->addWidget(approval_);
  return section;
}

FormSection* GeneralSettings::formatsSection(QWidget* content) {
  auto* section = new FormSection(tr("Formats & Storage"), content);
  AppModel& model = services_.model;

  formatsLabel_ = new RowLabel(QStringLiteral("Artwork Formats"), "ruler", RowLabel::orange(), QString());
  analysis_ = new QStackedWidget;
  // The button keeps its own width on a page as wide as the progress row.
  auto* buttonPage = new QWidget(analysis_);
  auto* buttonRow = new QHBoxLayout(buttonPage);
  buttonRow->setContentsMargins(0, 0, 0, 0);
  buttonRow->addStretch();
  analyze_ = new QPushButton(tr("Analyze Collection"), buttonPage);
  buttonRow->addWidget(analyze_);
  connect(analyze_, &QPushButton::clicked, this, [&model] { model.formats().analyzeCollection(); });
  progressRow_ = new QWidget(analysis_);
  auto* h = new QHBoxLayout(progressRow_);
  h->setContentsMargins(0, 0, 0, 0);
  progress_ = new QProgressBar(progressRow_);
  progress_->setFixedWidth(100);
  progress_->setTextVisible(false);
  progressText_ = new QLabel(progressRow_);
  progressText_->setFont(Theme::monospacedDigits(Theme::caption()));
  stop_ = new QPushButton(tr("Stop"), progressRow_);
  connect(stop_, &QPushButton::clicked, this, [this, &model] {
    stop_->setEnabled(false);
    model.formats().setAnalysisStopRequested(true);
  });
  h->addWidget(progress_);
  h->addWidget(progressText_);
  h->addWidget(stop_);
  analysis_->addWidget(buttonPage);
  analysis_->addWidget(progressRow_);
  section->addRow(settingsRow(formatsLabel_, analysis_, section));

  storage_ = new StorageRow(model.media(), services_.pool ? *services_.pool : *QThreadPool::globalInstance(), section);
  section->addRow(storage_);
  section->setFooter(tr("Each generative series is measured once, so responsive artworks fill the screen and fixed "
                        "ones sit on their own background colour. The cache keeps images and renders on disk, for "
                        "instant, offline display."));
  return section;
}

QString GeneralSettings::selectionFooter(std::size_t selected) {
  if (selected == 0) {
    return tr("Tavolune shows your whole collection. Add artworks to My Selection in the Library to narrow it down.");
  }
  return tr("Tavolune shows the %1 artworks in My Selection.").arg(selected);
}

QString GeneralSettings::rotationFooter() const { return selectionFooter(services_.model.state().onDesktop.size()); }

void GeneralSettings::load() {
  const AppSettings& s = services_.model.state().settings;
  interval_->load(s.rotationInterval);
  order_->load(int(s.rotationOrder));
  fits_->load(s.onlyFitsScreen);
  same_->load(s.sameArtworkOnAllScreens);
  sameRow_->setVisible(services_.desktop.screens().size() > 1);
  rotation_->setFooter(rotationFooter());
  loadFormats();
}

void GeneralSettings::loadFormats() {
  formatsLabel_->setSubtitle(
      QStringLiteral("%1 series measured").arg(services_.model.state().renderProfiles.size()));
}

void GeneralSettings::loadLogin() {
  const LoginItemStatus status = services_.login.status();
  login_->load(status == LoginItemStatus::enabled || status == LoginItemStatus::requiresApproval);
  approval_->setVisible(status == LoginItemStatus::requiresApproval);
}

void GeneralSettings::loadAnalysis() {
  AppModel& model = services_.model;
  const auto& progress = model.formats().analysisProgress();
  analysis_->setCurrentIndex(progress ? 1 : 0);
  if (progress) {
    // The bar needs a total of at least 1; the text shows the real one.
    progress_->setMaximum(int(std::max<std::size_t>(progress->total, 1)));
    progress_->setValue(int(std::min(progress->done, std::max<std::size_t>(progress->total, 1))));
    progressText_->setText(QStringLiteral("%1/%2").arg(progress->done).arg(progress->total));
  }
  stop_->setEnabled(!model.formats().analysisStopRequested());
}

void GeneralSettings::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  services_.login.refresh();
}

}  // namespace tavolune
