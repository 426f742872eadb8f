#include "app/library/LibraryDetailPage.hpp"

#include "app/components/Pane.hpp"
#include "app/library/FormatBanners.hpp"
#include "app/library/LibraryPages.hpp"
#include "app/model/AppModel.hpp"
#include "app/qt/Convert.hpp"
#include "app/style/Symbols.hpp"
#include "app/style/Theme.hpp"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace tavolune {
namespace {

QLabel* photoIcon(int size, QWidget* parent) {
  auto* l = new QLabel(parent);
  l->setPixmap(Symbols::tinted("photo", {size, size}, parent->palette().color(QPalette::PlaceholderText),
                               parent->devicePixelRatioF()));
  return l;
}

// The inspector asks for its ideal width; the layout keeps it within 320...520.
class InspectorColumn final : public Pane {
 public:
  using Pane::Pane;
  QSize sizeHint() const override { return {LibraryDetailPage::inspectorIdealWidth, Pane::sizeHint().height()}; }
};

}  // namespace

LibraryDetailPage::LibraryDetailPage(LibraryWindow& window, const LibraryWindow::Hosted& hosted, QWidget* parent)
    : QWidget(parent), window_(window), hosted_(hosted) {
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(0);

  auto* main = new QWidget(this);
  auto* column = new QVBoxLayout(main);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);

  // Title bar: title and subtitle, then the search field and the toolbar.
  auto* bar = new QWidget(main);
  auto* barRow = new QHBoxLayout(bar);
  barRow->setContentsMargins(16, 10, 12, 10);
  barRow->setSpacing(10);
  auto* titles = new QVBoxLayout;
  titles->setSpacing(0);
  title_ = new QLabel(bar);
  title_->setTextFormat(Qt::PlainText);
  QFont titleFont = title_->font();
  titleFont.setPointSizeF(titleFont.pointSizeF() * 1.25);
  titleFont.setWeight(QFont::Bold);
  title_->setFont(titleFont);
  subtitle_ = new QLabel(bar);
  subtitle_->setTextFormat(Qt::PlainText);
  subtitle_->setFont(Theme::caption());
  subtitle_->setForegroundRole(QPalette::PlaceholderText);
  titles->addWidget(title_);
  titles->addWidget(subtitle_);
  barRow->addLayout(titles, 1);

  auto* sizeBox = new QWidget(bar);
  auto* sizeRow = new QHBoxLayout(sizeBox);
  sizeRow->setContentsMargins(6, 0, 6, 0);
  sizeRow->setSpacing(8);
  sizeRow->addWidget(photoIcon(11, sizeBox));
  slider_ = new QSlider(Qt::Horizontal, sizeBox);
  slider_->setRange(int(LibraryPages::minTileSize), int(LibraryPages::maxTileSize));
  slider_->setFixedWidth(96);
  slider_->setValue(int(std::lround(window_.tileSize())));
  sizeRow->addWidget(slider_);
  sizeRow->addWidget(photoIcon(18, sizeBox));
  sizeBox->setToolTip(QStringLiteral("Tile Size"));
  barRow->addWidget(sizeBox);
  connect(slider_, &QSlider::valueChanged, this, [this](int v) { window_.setTileSize(v); });

  if (hosted_.filtersMenu) {
    if (QWidget* menu = hosted_.filtersMenu(window_)) barRow->addWidget(menu);
  }
  details_ = new QToolButton(bar);
  details_->setText(QStringLiteral("Details"));
  details_->setIcon(Symbols::icon("sidebar.right"));
  details_->setToolButtonStyle(Qt::ToolButtonIconOnly);
  details_->setToolTip(QStringLiteral("Details"));
  details_->setCheckable(true);
  details_->setAutoRaise(true);
  connect(details_, &QToolButton::clicked, this, [this] { window_.setShowInspector(!window_.showInspector()); });
  barRow->addWidget(details_);

  search_ = new QLineEdit(bar);
  search_->setPlaceholderText(QStringLiteral("Title, Artist, Collection"));
  search_->setClearButtonEnabled(true);
  search_->setFixedWidth(220);
  search_->setText(qt::str(window_.filter().search));
  barRow->addWidget(search_);
  connect(search_, &QLineEdit::textEdited, this, [this](const QString& text) {
    LibraryFilter f = window_.filter();
    f.search = qt::str(text);
    window_.setFilter(f);
  });
  column->addWidget(bar);

  headerHolder_ = new QVBoxLayout;
  headerHolder_->setContentsMargins(0, 0, 0, 0);
  column->addLayout(headerHolder_);
  // Over the grid: the offer to measure series, and what a format criterion leaves out.
  column->addWidget(new AnalyzeBanner(window_.model(), main));
  auto* unknown = new UnknownFormats(window_.model(), main);
  unknown->setFilter(window_.filter());
  column->addWidget(unknown);
  connect(&window_, &LibraryWindow::filterChanged, unknown, [this, unknown] { unknown->setFilter(window_.filter()); });
  if (hosted_.grid) {
    if (QWidget* grid = hosted_.grid(window_)) column->addWidget(grid, 1);
  }
  column->addStretch(hosted_.grid ? 0 : 1);
  row->addWidget(main, 1);

  inspector_ = new InspectorColumn(Qt::LeftEdge, this);
  inspector_->setMinimumWidth(inspectorMinWidth);
  inspector_->setMaximumWidth(inspectorMaxWidth);
  inspectorBody_ = new QVBoxLayout(inspector_);
  inspectorBody_->setContentsMargins(0, 0, 0, 0);
  inspector_->setVisible(window_.showInspector());
  row->addWidget(inspector_);

  connect(&window_, &LibraryWindow::filterChanged, this, [this] {
    const QString text = qt::str(window_.filter().search);
    if (search_->text() != text) search_->setText(text);
    refreshSubtitle();
  });
  opening_.setParent(this);
  opening_.setOwner(this);
  opening_.jumpTo(window_.showInspector() ? 1 : 0);
  connect(&opening_, &MotionValue::valueChanged, this, &LibraryDetailPage::narrowInspector);
  connect(&opening_, &MotionValue::settled, this, &LibraryDetailPage::restInspector);
  connect(&window_, &LibraryWindow::showInspectorChanged, this, [this](bool animated) {
    slideInspector(window_.showInspector(), animated);
    details_->setChecked(window_.showInspector());
  });
  connect(&window_, &LibraryWindow::tileSizeChanged, this,
          [this] { slider_->setValue(int(std::lround(window_.tileSize()))); });
  connect(&window_.model().walletSync(), &WalletSync::syncingWalletsChanged, this, &LibraryDetailPage::refreshSubtitle);
  connect(&window_.windowState(), &LibraryWindowState::focusedChanged, this, &LibraryDetailPage::refreshInspector);
  details_->setChecked(window_.showInspector());
  refresh();
}

QString LibraryDetailPage::title() const { return title_->text(); }
QString LibraryDetailPage::subtitle() const { return subtitle_->text(); }

QLabel* LibraryDetailPage::inspectorPlaceholder() const { return qobject_cast<QLabel*>(inspectorContent_); }

void LibraryDetailPage::refresh() {
  title_->setText(LibraryPages::title(window_.model().state(), window_.windowState().sidebar()));
  refreshSubtitle();
  refreshHeader();
  refreshInspector();
}

void LibraryDetailPage::refreshSubtitle() {
  subtitle_->setText(LibraryPages::subtitle(window_.listing(), window_.filter(),
                                            !window_.model().walletSync().syncingWallets().empty()));
}

void LibraryDetailPage::narrowInspector(double opening) {
  const int w = std::max(0, int(std::lround(opening * inspectorIdealWidth)));
  inspector_->setMinimumWidth(std::min(w, inspectorMinWidth));
  inspector_->setMaximumWidth(w);
}

void LibraryDetailPage::restInspector() {
  // At rest the column keeps its own limits again.
  inspector_->setMinimumWidth(inspectorMinWidth);
  inspector_->setMaximumWidth(inspectorMaxWidth);
  inspector_->setVisible(opening_.value() > 0);
}

void LibraryDetailPage::slideInspector(bool open, bool animated) {
  if (!animated) {
    opening_.jumpTo(open ? 1 : 0);
    restInspector();
    return;
  }
  if (open && inspector_->isHidden()) {
    // At its resting limits the closed column would show whole for the
    // frames before the spring's first step.
    narrowInspector(opening_.value());
    inspector_->setVisible(true);
  }
  opening_.animateTo(open ? 1 : 0, Curve::springOf(0.28, 0.85));
}

void LibraryDetailPage::refreshInspector() {
  const auto& focused = window_.windowState().focused();
  const auto& artworks = window_.model().state().artworks;
  const auto it = focused ? artworks.find(*focused) : artworks.end();
  const std::optional<std::string> shown = it == artworks.end() ? std::nullopt : focused;
  if (inspectorBuilt_ && shown == inspected_) return;
  inspectorBuilt_ = true;
  inspected_ = shown;
  delete inspectorContent_;
  inspectorContent_ = nullptr;
  if (!shown) {
    auto* placeholder = new QLabel(QStringLiteral("Select an Artwork"), inspector_);
    placeholder->setAlignment(Qt::AlignCenter);
    placeholder->setForegroundRole(QPalette::PlaceholderText);
    inspectorContent_ = placeholder;
  } else if (hosted_.inspector) {
    inspectorContent_ = hosted_.inspector(window_, it->second);
  }
  if (inspectorContent_) {
    inspectorBody_->addWidget(inspectorContent_);
    inspectorContent_->show();
  }
}

void LibraryDetailPage::refreshHeader() {
  const auto& item = window_.windowState().sidebar();
  const std::optional<Uuid> exhibition =
      item && item->kind == SidebarItem::Kind::exhibition ? std::optional<Uuid>(item->id) : std::nullopt;
  if (exhibition == headerFor_) return;
  headerFor_ = exhibition;
  delete header_;
  header_ = exhibition && hosted_.exhibitionHeader ? hosted_.exhibitionHeader(window_, *exhibition) : nullptr;
  if (header_) {
    headerHolder_->addWidget(header_);
    header_->show();
  }
}

}  // namespace tavolune
