// The library window on a real display: the sidebar's width as the user
// drags it, kept for the next window.
#include "app/library/LibrarySidebar.hpp"
#include "tests/app/library/LibraryRig.hpp"

#include <QDir>
#include <QScreen>
#include <QSplitter>
#include <QTest>

namespace tavolune {
namespace {

class LibraryWindowX11Test : public testsupport::LibraryRig {};

TEST_F(LibraryWindowX11Test, TheSidebarWidensByItsHandleAndKeepsItsWidth) {
  auto window = openWindow();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
  LibrarySidebar& sidebar = window->sidebar();
  EXPECT_EQ(sidebar.width(), LibrarySidebar::idealWidth);

  // Dragged by its handle, wider and then below the minimum.
  QSplitterHandle* handle = window->splitter().handle(1);
  ASSERT_TRUE(handle);
  const auto drag = [&](int by) {
    const QPoint grip(handle->width() / 2, handle->height() / 2);
    QTest::mousePress(handle, Qt::LeftButton, {}, grip);
    QTest::mouseMove(handle, grip + QPoint(by, 0));
    QTest::mouseRelease(handle, Qt::LeftButton, {}, grip + QPoint(by, 0));
  };
  // The grip is a few pixels wide: where in it the press lands may shift a drag.
  drag(170);
  EXPECT_NEAR(sidebar.width(), 400, 3);
  QCoreApplication::processEvents();
  window->screen()->grabWindow(window->winId()).save(QDir::temp().filePath(QStringLiteral("tavolune-sidebar-wide.png")));
  drag(-400);
  EXPECT_EQ(sidebar.width(), LibrarySidebar::minWidth) << "no narrower than the minimum";
  drag(300);
  const int wide = sidebar.width();
  EXPECT_NEAR(wide, 500, 3) << "no maximum";
  // The window's own resizing goes to the detail column.
  window->resize(1400, 760);
  EXPECT_TRUE(QTest::qWaitFor([&] { return window->width() == 1400; }, 5000));
  EXPECT_EQ(sidebar.width(), wide);

  // The next window, as at the next launch, opens with it.
  window.reset();
  auto next = openWindow();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(next.get()));
  EXPECT_EQ(next->sidebar().width(), wide);
}

}  // namespace
}  // namespace tavolune
