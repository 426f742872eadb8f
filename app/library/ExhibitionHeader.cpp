#include "app/library/ExhibitionHeader.hpp"

#include "app/components/Divider.hpp"
#include "app/library/LibraryWindow.hpp"
#include "app/model/AppModel.hpp"
#include "app/style/SmallCaps.hpp"
#include "app/style/Symbols.hpp"
#include "app/style/Theme.hpp"
#include "core/model/Rotation.hpp"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tavolune {
namespace {

// Spaces and tabs only: a line break typed into the title stays.
QString trimmedBlanks(const QString& text) {
  qsizetype first = 0, last = text.size();
  auto blank = [](QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); };
  while (first < last && blank(text[first])) ++first;
  while (last > first && blank(text[last - 1])) --last;
  return text.mid(first, last - first);
}

}  // namespace

ExhibitionHeader::ExhibitionHeader(LibraryWindow& window, ExhibitionActions actions, Uuid id, QWidget* parent)
    : QWidget(parent), window_(window), actions_(std::move(actions)), id_(id) {
  setAutoFillBackground(true);
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->setSpacing(0);
  body_ = new QWidget(this);
  auto* row = new QHBoxLayout(body_);
  row->setContentsMargins(28, 22, 28, 14);
  row->setSpacing(16);
  auto* text = new QVBoxLayout;
  text->setSpacing(4);
  kicker_ = new SmallCaps(QString(), palette().color(QPalette::PlaceholderText), body_);
  title_ = new QLineEdit(body_);
  title_->setFrame(false);
  title_->setPlaceholderText(QStringLiteral("Title"));
  QFont serif(QStringLiteral("serif"));
  serif.setStyleHint(QFont::Serif);
  serif.setPixelSize(26);
  title_->setFont(serif);
  title_->setStyleSheet(QStringLiteral("QLineEdit { background: transparent; }"));
  caption_ = new QLabel(body_);
  caption_->setTextFormat(Qt::PlainText);
  caption_->setFont(Theme::caption());
  caption_->setForegroundRole(QPalette::PlaceholderText);
  text->addWidget(kicker_);
  text->addWidget(title_);
  text->addWidget(caption_);
  row->addLayout(text, 1);

  visit_ = new QPushButton(Symbols::icon("figure.walk"), QStringLiteral("Visit"), body_);
  visit_->setToolTip(QStringLiteral("Walk through the exhibition full screen, on every display, in this order. "
                                    "\u2192 or Space for the next artwork, Esc or a click to leave."));
  show_ = new QPushButton(Symbols::icon("play.fill"), QStringLiteral("Show on Desktop"), body_);
  show_->setDefault(true);
  stop_ = new QPushButton(Symbols::icon("stop.fill"), QStringLiteral("Stop"), body_);
  for (auto* b : {visit_, show_, stop_}) {
    b->setMinimumHeight(30);
    b->setAutoDefault(false);
    row->addWidget(b);
  }
  outer->addWidget(body_);
  outer->addWidget(new Divider(this));

  connect(visit_, &QPushButton::clicked, this, [this] {
    if (actions_.visit) actions_.visit(id_);
  });
  connect(show_, &QPushButton::clicked, this, [this] {
    if (actions_.show) actions_.show(id_);
  });
  connect(stop_, &QPushButton::clicked, this, [this] {
    if (actions_.stop) actions_.stop();
  });
  connect(title_, &QLineEdit::returnPressed, this, &ExhibitionHeader::commit);
  connect(title_, &QLineEdit::editingFinished, this, [this] {
    if (!title_->hasFocus()) commit();
  });
  connect(&window_.model(), &AppModel::libraryChanged, this, [this](const LibraryChange& change) {
    if (change.exhibitions || change.settings || change.anyArtwork(LibraryChange::hidden)) refresh();
  });

  // The field takes the stored title once; later renames elsewhere do not
  // overwrite what is being typed.
  if (const Exhibition* e = window_.model().state().exhibition(id_)) title_->setText(QString::fromStdString(e->title));
  refresh();
}

QString ExhibitionHeader::caption(std::size_t count, double rotationInterval) {
  if (count < 1) return QStringLiteral("Empty. Drag artworks onto it in the sidebar, or use Add to Exhibition.");
  QString interval = QStringLiteral("a while");
  for (const auto& entry : Rotation::intervals) {
    if (double(entry.seconds) == rotationInterval) {
      interval = QString::fromUtf8(entry.label.data(), qsizetype(entry.label.size()));
      break;
    }
  }
  return QString::number(count) + QStringLiteral(" artwork") + (count == 1 ? QString() : QStringLiteral("s")) +
         QStringLiteral(" \u00b7 in this order, one every ") + interval + QStringLiteral(" \u00b7 drag to reorder");
}

std::size_t ExhibitionHeader::count() const {
  LibraryFilter only;
  only.exhibitionID = id_;
  return window_.listing().count(only);
}

bool ExhibitionHeader::shown() const {
  const Exhibition* e = window_.model().state().shownExhibition();
  return e && e->id == id_;
}

void ExhibitionHeader::commit() {
  const Exhibition* stored = window_.model().state().exhibition(id_);
  const QString trimmed = trimmedBlanks(title_->text());
  if (trimmed.isEmpty()) {
    title_->setText(stored ? QString::fromStdString(stored->title) : QString());
    return;
  }
  window_.model().editExhibitions(AppModel::ExhibitionEdit::rename(id_, trimmed.toStdString()));
}

void ExhibitionHeader::refresh() {
  const LibraryState& state = window_.model().state();
  const Exhibition* e = state.exhibition(id_);
  body_->setVisible(e != nullptr);
  setVisible(e != nullptr);
  if (!e) return;
  const bool onDesktop = shown();
  const std::size_t n = count();
  kicker_->setText(SmallCaps::displayText(onDesktop ? QStringLiteral("On the Desktop") : QStringLiteral("Exhibition")));
  QPalette p = kicker_->palette();
  p.setColor(QPalette::WindowText, onDesktop ? Theme::accent() : palette().color(QPalette::PlaceholderText));
  kicker_->setPalette(p);
  caption_->setText(caption(n, state.settings.rotationInterval));
  visit_->setEnabled(n > 0);
  show_->setVisible(!onDesktop);
  show_->setEnabled(n > 0);
  stop_->setVisible(onDesktop);
}

}  // namespace tavolune
