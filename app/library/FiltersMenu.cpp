#include "app/library/FiltersMenu.hpp"

#include "app/components/PlainText.hpp"
#include "app/library/LibraryWindow.hpp"
#include "app/model/AppModel.hpp"
#include "app/qt/Convert.hpp"
#include "app/style/Symbols.hpp"
#include "app/style/Theme.hpp"
#include "core/model/Chain.hpp"
#include "core/model/FormatFilter.hpp"
#include "core/model/MediaKind.hpp"
#include "core/model/Platform.hpp"
#include "core/text/Text.hpp"

#include <QActionGroup>
#include <QMenu>

#include <algorithm>
#include <unordered_set>

namespace tavolune {
namespace {

QString view(std::string_view s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }

QString mediaName(MediaKind kind) {
  QString name = view(label(kind));
  if (!name.isEmpty()) name[0] = name[0].toUpper();
  return name;
}

template <NamedEnum E, class Name>
std::vector<std::pair<E, QString>> rowsOf(Name name) {
  std::vector<std::pair<E, QString>> rows;
  for (std::size_t i = 0; i < EnumNames<E>::names.size(); ++i) rows.emplace_back(E(i), name(E(i)));
  return rows;
}

}  // namespace

FiltersMenu::FiltersMenu(LibraryWindow& window, QWidget* parent)
    : QToolButton(parent), window_(window), menu_(new QMenu(this)) {
  setObjectName(QStringLiteral("filtersMenu"));
  setText(QStringLiteral("Filters"));
  setToolButtonStyle(Qt::ToolButtonIconOnly);
  setPopupMode(QToolButton::InstantPopup);
  setAutoRaise(true);
  setMenu(menu_);
  // The indicator arrow is hidden: the symbol says it is a menu.
  setStyleSheet(QStringLiteral("QToolButton::menu-indicator { image: none; width: 0; }"));
  connect(menu_, &QMenu::aboutToShow, this, &FiltersMenu::rebuild);
  connect(&window_, &LibraryWindow::filterChanged, this, &FiltersMenu::refreshButton);
  refreshButton();
}

LibraryFilter FiltersMenu::baseFilter(const LibraryFilter& filter) {
  LibraryFilter base;
  base.walletID = filter.walletID;
  base.scope = filter.scope;
  base.search = filter.search;
  base.hiddenOnly = filter.hiddenOnly;
  base.onDesktopOnly = filter.onDesktopOnly;
  // The exhibition is the page's, not a criterion of this menu.
  base.exhibitionID = filter.exhibitionID;
  base.recentOnly = filter.recentOnly;
  base.screenAspect = filter.screenAspect;
  return base;
}

QString FiltersMenu::activeLabel(const LibraryFilter& f) {
  QStringList parts;
  if (f.format) parts << view(label(*f.format));
  if (f.collection) parts << qt::str(*f.collection);
  if (f.mediaKind) parts << mediaName(*f.mediaKind);
  if (f.platform) parts << view(displayName(*f.platform));
  if (f.chain) parts << view(displayName(*f.chain));
  return parts.join(QStringLiteral(" \u00b7 "));
}

QString FiltersMenu::help(const LibraryFilter& filter) {
  return isActive(filter) ? QStringLiteral("Filters: ") + activeLabel(filter)
                          : QStringLiteral("Filter by format, series, media, platform or chain");
}

std::vector<std::string> FiltersMenu::collections(const LibraryState& state, const LibraryFilter& filter) {
  LibraryFilter wallet;
  wallet.walletID = filter.walletID;
  std::vector<std::string> names;
  std::unordered_set<std::string> seen;
  for (const Artwork* a : state.artworksFor(wallet)) {
    if (a->collection && seen.insert(*a->collection).second) names.push_back(*a->collection);
  }
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) { return text::naturalCompare(a, b) < 0; });
  return names;
}

void FiltersMenu::refreshButton() {
  const LibraryFilter& f = window_.filter();
  const bool active = isActive(f);
  const QColor colour = active ? Theme::accent(palette()) : palette().color(QPalette::ButtonText);
  const char* symbol = active ? "line.3.horizontal.decrease.circle.fill" : "line.3.horizontal.decrease";
  setIcon(QIcon(Symbols::tinted(symbol, {16, 16}, colour, devicePixelRatioF())));
  setProperty("active", active);
  setToolTip(plaintext::toolTip(help(f)));
}

template <class T>
void FiltersMenu::addPicker(const QString& title, const QString& all, std::optional<T> LibraryFilter::* field,
                            const std::vector<std::pair<T, QString>>& rows) {
  QMenu* sub = menu_->addMenu(title);
  auto* group = new QActionGroup(sub);
  const std::optional<T> current = window_.filter().*field;
  auto add = [&](const QString& text, std::optional<T> value) {
    QAction* a = sub->addAction(plaintext::title(text));
    a->setCheckable(true);
    a->setChecked(current == value);
    group->addAction(a);
    connect(a, &QAction::triggered, this, [this, field, value] {
      LibraryFilter f = window_.filter();
      f.*field = value;
      window_.setFilter(f);
    });
  };
  add(all, std::nullopt);
  for (const auto& [value, text] : rows) add(text, value);
}

void FiltersMenu::rebuild() {
  menu_->clear();
  const LibraryFilter& f = window_.filter();
  addPicker<FormatFilter>(QStringLiteral("Format"), QStringLiteral("All Formats"), &LibraryFilter::format,
                          rowsOf<FormatFilter>([](FormatFilter v) { return view(label(v)); }));
  const auto names = collections(window_.model().state(), f);
  if (names.size() >= 2) {
    std::vector<std::pair<std::string, QString>> rows;
    for (std::size_t i = 0; i < names.size() && i < maxCollections; ++i) rows.emplace_back(names[i], qt::str(names[i]));
    addPicker<std::string>(QStringLiteral("Collection / Series"), QStringLiteral("All Collections"),
                           &LibraryFilter::collection, rows);
  }
  addPicker<MediaKind>(QStringLiteral("Media"), QStringLiteral("All Media"), &LibraryFilter::mediaKind,
                       rowsOf<MediaKind>(mediaName));
  addPicker<Platform>(QStringLiteral("Platform"), QStringLiteral("All Platforms"), &LibraryFilter::platform,
                      rowsOf<Platform>([](Platform p) { return view(displayName(p)); }));
  addPicker<Chain>(QStringLiteral("Chain"), QStringLiteral("All Chains"), &LibraryFilter::chain,
                   rowsOf<Chain>([](Chain c) { return view(displayName(c)); }));
  if (isActive(f)) {
    menu_->addSeparator();
    QAction* reset = menu_->addAction(QStringLiteral("Reset Filters"));
    connect(reset, &QAction::triggered, this, [this] { window_.setFilter(baseFilter(window_.filter())); });
  }
}

}  // namespace tavolune
