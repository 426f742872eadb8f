#include "app/platform/WorkspaceWatch.hpp"
#include "app/platform/linux/Xcb.hpp"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>

#include <cstdlib>

namespace tavolune {
namespace {

class X11WorkspaceWatch final : public WorkspaceWatch, public QAbstractNativeEventFilter {
 public:
  X11WorkspaceWatch(xcb_connection_t* c, QObject* parent)
      : WorkspaceWatch(parent), c_(c), root_(xcb::qtRoot()), property_(xcb::atom(c, "_NET_CURRENT_DESKTOP")) {
    // Add property changes to whatever Qt already listens for on the root.
    std::unique_ptr<xcb_get_window_attributes_reply_t, decltype(&std::free)> attributes(
        xcb_get_window_attributes_reply(c_, xcb_get_window_attributes(c_, root_), nullptr), &std::free);
    const std::uint32_t mask = (attributes ? attributes->your_event_mask : 0) | XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(c_, root_, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(c_);
    last_ = current();
    QCoreApplication::instance()->installNativeEventFilter(this);
  }
  ~X11WorkspaceWatch() override {
    if (auto* app = QCoreApplication::instance()) app->removeNativeEventFilter(this);
  }

  int current() const override {
    return static_cast<int>(xcb::cardinal(c_, root_, property_).value_or(0));
  }

  bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
    if (type != "xcb_generic_event_t") return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) != XCB_PROPERTY_NOTIFY) return false;
    const auto* notify = static_cast<const xcb_property_notify_event_t*>(message);
    if (notify->window != root_ || notify->atom != property_) return false;
    const int now = current();
    if (now != last_) {
      last_ = now;
      emit currentChanged(now);
    }
    return false;
  }

 private:
  xcb_connection_t* c_;
  xcb_window_t root_;
  xcb_atom_t property_;
  int last_ = 0;
};

class NoWorkspaceWatch final : public WorkspaceWatch {
 public:
  using WorkspaceWatch::WorkspaceWatch;
  int current() const override { return 0; }
};

}  // namespace

std::unique_ptr<WorkspaceWatch> makeWorkspaceWatch(QObject* parent) {
  if (auto* c = xcb::qtConnection()) return std::make_unique<X11WorkspaceWatch>(c, parent);
  return std::make_unique<NoWorkspaceWatch>(parent);
}

}  // namespace tavolune
