// ArtworkDetail: building its parts, top to bottom.
#include "app/inspector/ArtworkDetail.hpp"

#include "app/components/ArtworkPage.hpp"
#include "app/components/LimitedText.hpp"

#include "app/components/PlainText.hpp"
#include "app/components/Spinner.hpp"
#include "app/inspector/DesktopPreview.hpp"
#include "app/inspector/FormatInfo.hpp"
#include "app/inspector/InspectorFacts.hpp"
#include "app/inspector/InspectorRow.hpp"
#include "app/inspector/InspectorSection.hpp"
#include "app/model/AppModel.hpp"
#include "app/qt/Convert.hpp"
#include "app/style/Symbols.hpp"
#include "app/style/Theme.hpp"

#include <QButtonGroup>
#include <QCheckBox>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QToolButton>

namespace tavolune {
namespace {

// One line, cut in the middle when too long, so that both ends of a long
// contract address stay visible. The full text is the label's text: with
// the keyboard (a click or Tab) or a selection it shows whole, so what is
// selected shows and its context menu copies it.
class MiddleElided final : public QLabel {
 public:
  explicit MiddleElided(QWidget* parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setFocusPolicy(Qt::StrongFocus);
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setForegroundRole(QPalette::PlaceholderText);
    // Takes what the label leaves, never more than its text needs.
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
  }
  QSize sizeHint() const override { return {fontMetrics().horizontalAdvance(text()) + 1, fontMetrics().height()}; }
  QSize minimumSizeHint() const override { return {24, fontMetrics().height()}; }

 protected:
  void paintEvent(QPaintEvent* event) override {
    if (hasFocus() || hasSelectedText()) return QLabel::paintEvent(event);
    QPainter p(this);
    p.setPen(palette().color(foregroundRole()));
    p.drawText(rect(), Qt::AlignRight | Qt::AlignVCenter, fontMetrics().elidedText(text(), Qt::ElideMiddle, width()));
  }
  void contextMenuEvent(QContextMenuEvent* event) override {
    // Copy takes the whole value unless part of it is selected.
    if (!hasSelectedText()) setSelection(0, int(text().size()));
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    QAction* copy = menu->addAction(QStringLiteral("Copy"), this,
                                    [this] { QGuiApplication::clipboard()->setText(selectedText()); });
    copy->setShortcut(QKeySequence::Copy);
    menu->popup(event->globalPos());
    event->accept();
  }
};

QFont scaled(const QFont& base, double factor) {
  QFont f = base;
  f.setPointSizeF(f.pointSizeF() * factor);
  return f;
}

}  // namespace

void ArtworkDetail::buildHeader(QVBoxLayout& column) {
  preview_ = new DesktopPreview(services_, artwork_, false);
  column.addWidget(preview_);
  play_ = new QToolButton(&preview_->miniature());
  play_->setFixedSize(24, 24);
  play_->setIconSize(QSize(10, 10));
  play_->setAutoRaise(true);
  play_->setStyleSheet(QStringLiteral("QToolButton { border: none; border-radius: 12px; "
                                      "background: rgba(128, 128, 128, 150); }"));
  connect(play_, &QToolButton::clicked, this, [this] { setLive(!live_); });
  preview_->miniature().installEventFilter(this);

  auto* block = new QVBoxLayout;
  block->setSpacing(4);
  title_ = plaintext::label({});
  QFont serif = title_->font();
  serif.setFamilies({QStringLiteral("serif")});
  serif.setStyleHint(QFont::Serif);
  serif.setPixelSize(22);
  title_->setFont(serif);
  title_->setWordWrap(true);
  title_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  block->addWidget(title_);
  artist_ = plaintext::label({});
  QFont headline = artist_->font();
  headline.setWeight(QFont::DemiBold);
  artist_->setFont(headline);
  artist_->setWordWrap(true);
  block->addWidget(artist_);
  details_ = plaintext::label({});
  details_->setFont(scaled(details_->font(), 0.92));
  details_->setForegroundRole(QPalette::PlaceholderText);
  details_->setWordWrap(true);
  block->addWidget(details_);
  column.addLayout(block);
}

void ArtworkDetail::buildActions(QVBoxLayout& column) {
  auto* row = new QHBoxLayout;
  row->setSpacing(8);
  primary_ = new QPushButton;
  primary_->setDefault(true);
  primary_->setMinimumHeight(30);
  primary_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  auto* inside = new QHBoxLayout(primary_);
  inside->setContentsMargins(10, 0, 0, 0);
  preparing_ = new Spinner(Spinner::Size::small, primary_);
  inside->addWidget(preparing_);
  inside->addStretch(1);
  connect(primary_, &QPushButton::clicked, this, [this] {
    if (actions_.primary) actions_.primary(artwork_);
  });
  row->addWidget(primary_);

  selection_ = new QPushButton;
  selection_->setMinimumHeight(30);
  selection_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  selection_->setToolTip(QStringLiteral("My Selection is the set of artworks that take turns on the desktop"));
  connect(selection_, &QPushButton::clicked, this, &ArtworkDetail::toggleSelection);
  row->addWidget(selection_);
  column.addLayout(row);
}

void ArtworkDetail::buildDesktopSection(QVBoxLayout& column) {
  desktopSection_ = new InspectorSection(QStringLiteral("On the Desktop"));

  auto* segments = new QWidget;
  auto* segmentRow = new QHBoxLayout(segments);
  segmentRow->setContentsMargins(0, 0, 0, 0);
  segmentRow->setSpacing(0);
  framing_ = new QButtonGroup(this);
  framing_->setExclusive(true);
  const std::pair<Framing, const char*> choices[3] = {
      {Framing::passePartout, "Mat"}, {Framing::fill, "Fill"}, {Framing::fit, "Fit"}};
  for (const auto& [framing, text] : choices) {
    auto* b = new QToolButton(segments);
    b->setText(QString::fromLatin1(text));
    b->setCheckable(true);
    b->setToolButtonStyle(Qt::ToolButtonTextOnly);
    segmentRow->addWidget(b);
    framing_->addButton(b, int(framing));
  }
  connect(framing_, &QButtonGroup::idClicked, this, [this](int id) { chooseFraming(Framing(id)); });
  desktopSection_->addRow(new InspectorRow(QStringLiteral("Framing"), segments));

  auto* turns = new QWidget;
  auto* turnRow = new QHBoxLayout(turns);
  turnRow->setContentsMargins(0, 0, 0, 0);
  turnRow->setSpacing(6);
  rotation_ = plaintext::label({}, turns);
  rotation_->setFont(Theme::monospacedDigits(rotation_->font()));
  rotation_->setForegroundRole(QPalette::PlaceholderText);
  turnRow->addWidget(rotation_);
  rotateLeft_ = new QToolButton(turns);
  rotateLeft_->setIcon(Symbols::icon("rotate.left"));
  rotateLeft_->setToolTip(QStringLiteral("Rotate Left"));
  turnRow->addWidget(rotateLeft_);
  rotateRight_ = new QToolButton(turns);
  rotateRight_->setIcon(Symbols::icon("rotate.right"));
  rotateRight_->setToolTip(QStringLiteral("Rotate Right"));
  turnRow->addWidget(rotateRight_);
  connect(rotateLeft_, &QToolButton::clicked, this, [this] { rotate(-1); });
  connect(rotateRight_, &QToolButton::clicked, this, [this] { rotate(+1); });
  desktopSection_->addRow(new InspectorRow(QStringLiteral("Rotation"), turns));

  animate_ = new QCheckBox;
  animate_->setAccessibleName(QStringLiteral("Animate on Desktop"));
  animate_->setToolTip(
      QStringLiteral("Otherwise the artwork is shown as a high-quality still render that uses no energy."));
  connect(animate_, &QCheckBox::toggled, this, [this](bool on) { services_.model.setAnimated(artwork_, on); });
  animateRow_ = new InspectorRow(QStringLiteral("Animate"), animate_);
  desktopSection_->addRow(animateRow_);

  format_ = new FormatInfo(services_.model, artwork_);
  desktopSection_->addRow(format_);
  column.addWidget(desktopSection_);
}

void ArtworkDetail::buildAbout(QVBoxLayout& column) {
  aboutSection_ = new InspectorSection(QStringLiteral("About"));
  // Network text: never read as markup.
  description_ = new LimitedText(maxDescriptionLines);
  description_->setFont(Theme::callout());
  description_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  description_->setForegroundRole(QPalette::PlaceholderText);
  description_->setContentsMargins(0, 8, 0, 8);
  description_->setMaximumHeight(description_->fontMetrics().lineSpacing() * maxDescriptionLines + 16);
  description_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  aboutSection_->addRow(description_);
  column.addWidget(aboutSection_);
}

void ArtworkDetail::buildInfo(QVBoxLayout& column) {
  infoSection_ = new InspectorSection(QStringLiteral("Info"));
  for (const auto* label : {"Platform", "Media", "Chain"}) infoSection_->addRow(info(QString::fromLatin1(label), false));
  infoSection_->addRow(info(QStringLiteral("Contract"), true));
  infoSection_->addRow(info(QStringLiteral("Token"), true));
  page_ = new QPushButton;
  page_->setFlat(true);
  page_->setCursor(Qt::PointingHandCursor);
  QPalette link = page_->palette();
  link.setColor(QPalette::ButtonText, link.color(QPalette::Link));
  page_->setPalette(link);
  connect(page_, &QPushButton::clicked, this, [this] {
    const auto url = artworkPage(artwork_.externalURL);
    if (!url) return;  // checked again: the work may have changed since
    if (services_.openURL) {
      services_.openURL(*url);
    } else {
      QDesktopServices::openUrl(*url);
    }
  });
  pageRow_ = new InspectorRow(QStringLiteral("Page"), page_);
  infoSection_->addRow(pageRow_);
  column.addWidget(infoSection_);
}

QWidget* ArtworkDetail::info(const QString& label, bool mono) {
  auto* value = new MiddleElided(nullptr);
  if (mono) {
    QFont f = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    f.setPixelSize(11);
    value->setFont(f);
  } else {
    value->setFont(Theme::callout());
  }
  infoValues_.emplace_back(label, value);
  return new InspectorRow(label, value);
}

QString ArtworkDetail::infoValue(const QString& label) const {
  for (const auto& [name, value] : infoValues_) {
    if (name == label) return value->text();
  }
  return {};
}

QAbstractButton& ArtworkDetail::framingButton(Framing framing) const { return *framing_->button(int(framing)); }

void ArtworkDetail::refreshInfo() {
  const auto set = [this](const QString& label, const QString& text) {
    for (auto& [name, value] : infoValues_) {
      if (name == label) {
        value->setText(text);
        value->updateGeometry();
      }
    }
  };
  set(QStringLiteral("Platform"), qt::str(displayName(artwork_.platform)));
  set(QStringLiteral("Media"), inspector::mediaName(artwork_.mediaKind));
  set(QStringLiteral("Chain"), qt::str(displayName(artwork_.chain)));
  set(QStringLiteral("Contract"), qt::str(artwork_.contract));
  set(QStringLiteral("Token"), qt::str(artwork_.tokenId));
  const auto url = artworkPage(artwork_.externalURL);
  pageRow_->setVisible(url.has_value());
  page_->setText(url ? plaintext::title(inspector::pageTitle(*url)) : QString());
}

}  // namespace tavolune
