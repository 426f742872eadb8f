#pragma once
// A library window whose grid page holds a real LibraryGrid, with a fake
// desktop (shown works, works being prepared), recorded page openings and
// exhibition drops (made as the program makes them), and helpers to fill the library with numbered works.
// GUI thread only.

#include "app/library/ArtworkDrag.hpp"
#include "app/library/ExhibitionItems.hpp"
#include "app/library/LibraryGrid.hpp"
#include "app/library/LibraryGridView.hpp"
#include "tests/app/library/LibraryRig.hpp"

#include <QSignalSpy>
#include <QTest>
#include <QUrl>

#include <set>
#include <tuple>

namespace tavolune::testsupport {

// "Work 1" ... by a collector; display order follows the number.
inline Artwork numbered(int n, MediaKind kind = MediaKind::image) {
  return work(std::to_string(n), "Work " + std::to_string(n), kind);
}

class GridRig : public LibraryRig {
 protected:
  LibraryGrid::Services services() {
    LibraryGrid::Services s;
    s.desktop.show = [this](const Artwork& a) { shown.push_back(a.id); };
    s.desktop.isPreparing = [this](const std::string& id) { return preparing.contains(id); };
    s.desktop.watchPreparing = [this](QObject* context, std::function<void()> changed) {
      QObject::connect(&preparingSignal, &QObject::objectNameChanged, context, std::move(changed));
    };
    s.openURL = [this](const QUrl& url) { opened.push_back(url); };
    s.pipeline = pipeline;
    s.exhibitions.drop = [this](const Uuid& e, const QMimeData& data, const std::string& before) {
      drops.emplace_back(e, ArtworkDrag::decode(data, model->state()), before);
      return ExhibitionItems::dropOnTile(*model, data, e, before);
    };
    return s;
  }

  std::unique_ptr<LibraryWindow> openGrid(LibraryWindow::Hosted hosted = {}) {
    hosted.grid = [this](LibraryWindow& w) {
      grid = new LibraryGrid(w, services());
      return static_cast<QWidget*>(grid);
    };
    auto window = openWindow(std::move(hosted));
    EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    return window;
  }

  // Works 1...n held by one collector wallet.
  void fill(int n) {
    collector = wallet();
    change([w = collector, n](LibraryState& s) {
      for (int i = 1; i <= n; ++i) hold(s, w, {numbered(i)});
    });
  }
  static std::string id(int n) { return numbered(n).id; }

  void setPreparing(std::set<std::string> ids) {
    preparing = std::move(ids);
    preparingSignal.setObjectName(preparingSignal.objectName() + "x");
  }

  LibraryGridView& view() { return grid->view(); }
  QPoint centre(int row) { return view().cellRect(row).center(); }
  void clickRow(int row, Qt::KeyboardModifiers modifiers = {}) {
    QTest::mouseClick(view().viewport(), Qt::LeftButton, modifiers, centre(row));
  }
  void key(int key, Qt::KeyboardModifiers modifiers = {}, const QString& text = {}) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
    QApplication::sendEvent(&view(), &press);
    deliverChanges(*model);  // the grid follows the model's report of the turn
  }
  // A set of the library's as the window's selection is kept, to compare them.
  static IdSet asIds(const ArtworkIDSet& ids) { return {ids.begin(), ids.end()}; }
  IdSet selected(std::initializer_list<int> ns) {
    IdSet out;
    for (int n : ns) out.insert(id(n));
    return out;
  }

  LibraryGrid* grid = nullptr;
  ImagePipeline* pipeline = nullptr;  // the model's when null
  Wallet collector;
  std::set<std::string> preparing;
  QObject preparingSignal;
  std::vector<QUrl> opened;
  std::vector<std::tuple<Uuid, std::vector<std::string>, std::string>> drops;
};

}  // namespace tavolune::testsupport
