#include "app/desktop/PowerPolicy.hpp"
#include "app/platform/linux/LinuxPowerSources.hpp"
#include "app/platform/linux/LinuxSessionWatch.hpp"
#include "app/platform/linux/X11DisplaySource.hpp"
#include "app/platform/linux/X11WindowCoverage.hpp"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <xcb/xcb.h>


#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace tavolune::bench {
namespace {

// `count` client windows on the X server of $DISPLAY, published in the
// EWMH stacking list of the root window as a window manager would (run the
// benchmark under scripts/with-desktop.sh; it owns that server meanwhile).
class StackedServer {
 public:
  explicit StackedServer(int count) {
    if (const char* d = std::getenv("DISPLAY"); d && *d) display_ = d;
    if (!display_.empty()) populate(count);
  }
  ~StackedServer() {
    if (c_) xcb_disconnect(c_);
  }
  StackedServer(const StackedServer&) = delete;
  StackedServer& operator=(const StackedServer&) = delete;
  const std::string& display() const { return display_; }

 private:
  void populate(int count) {
    // The windows live as long as this connection.
    xcb_connection_t* c = c_ = xcb_connect(display_.c_str(), nullptr);
    if (xcb_connection_has_error(c)) {
      display_.clear();
      return;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    auto atom = [&](const char* name) {
      auto* r = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr);
      const xcb_atom_t a = r->atom;
      std::free(r);
      return a;
    };
    const xcb_atom_t type = atom("_NET_WM_WINDOW_TYPE"), normal = atom("_NET_WM_WINDOW_TYPE_NORMAL");
    const xcb_atom_t desktop = atom("_NET_WM_DESKTOP"), pid = atom("_NET_WM_PID"), extents = atom("_NET_FRAME_EXTENTS");
    std::vector<uint32_t> windows;
    for (int i = 0; i < count; ++i) {
      const xcb_window_t w = xcb_generate_id(c);
      xcb_create_window(c, XCB_COPY_FROM_PARENT, w, root, int16_t(i * 7 % 3000), int16_t(i * 3 % 800), 800, 600, 0,
                        XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
      xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, type, XCB_ATOM_ATOM, 32, 1, &normal);
      const uint32_t d = i % 2, p = 1000 + i, e[4] = {1, 1, 28, 1};
      xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, desktop, XCB_ATOM_CARDINAL, 32, 1, &d);
      xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, pid, XCB_ATOM_CARDINAL, 32, 1, &p);
      xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, extents, XCB_ATOM_CARDINAL, 32, 4, e);
      windows.push_back(w);
    }
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, root, atom("_NET_CLIENT_LIST_STACKING"), XCB_ATOM_WINDOW, 32,
                        uint32_t(windows.size()), windows.data());
    const uint32_t current = 0;
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, root, atom("_NET_CURRENT_DESKTOP"), XCB_ATOM_CARDINAL, 32, 1, &current);
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
  }

  xcb_connection_t* c_ = nullptr;
  std::string display_;
};

// The two displays the coverage benchmarks decide for.
std::vector<Display> sideBySide() {
  std::vector<Display> displays(2);
  displays[0].number = 1;
  displays[0].geometry = QRect(0, 0, 1920, 1080);
  displays[1].number = 2;
  displays[1].geometry = QRect(1920, 0, 1920, 1080);
  return displays;
}

// Whether a read saw the whole stack with places, else why not.
const char* unreadable(const WindowStack& stack, std::size_t count) {
  const bool placed =
      std::any_of(stack.windows.begin(), stack.windows.end(), [](const StackedWindow& w) { return !w.frame.isEmpty(); });
  return stack.windows.size() == count && placed ? nullptr : "stack not readable";
}

// One coverage check as the power policy's poll makes it, the stack already
// known from an earlier poll: read the stack, then decide per display.
void BM_CoveredDisplays(benchmark::State& state) {
  StackedServer server(int(state.range(0)));
  if (server.display().empty()) {
    state.SkipWithError("no X server ($DISPLAY)");
    return;
  }
  X11WindowCoverage coverage(QString::fromStdString(server.display()));
  const auto displays = sideBySide();
  if (const char* why = unreadable(coverage.read(), std::size_t(state.range(0)))) {
    state.SkipWithError(why);
    return;
  }
  for (auto _ : state) {
    auto covered = PowerPolicy::coveredDisplays(coverage.read(), displays, 1);
    benchmark::DoNotOptimize(covered);
  }
}
BENCHMARK(BM_CoveredDisplays)->Arg(200)->Unit(benchmark::kMicrosecond);

// The first poll of a new reader: connecting, then every window read.
void BM_CoveredDisplaysFirstPoll(benchmark::State& state) {
  StackedServer server(int(state.range(0)));
  if (server.display().empty()) {
    state.SkipWithError("no X server ($DISPLAY)");
    return;
  }
  const QString display = QString::fromStdString(server.display());
  const auto displays = sideBySide();
  for (auto _ : state) {
    X11WindowCoverage coverage(display);
    const WindowStack stack = coverage.read();
    if (const char* why = unreadable(stack, std::size_t(state.range(0)))) {
      state.SkipWithError(why);
      return;
    }
    auto covered = PowerPolicy::coveredDisplays(stack, displays, 1);
    benchmark::DoNotOptimize(covered);
  }
}
BENCHMARK(BM_CoveredDisplaysFirstPoll)->Arg(200)->Unit(benchmark::kMicrosecond);

// The power policy's 5 s poll on the Linux services (buses absent, so the
// cached values are what it reads; no coverage watched): its main-thread cost.
void BM_PowerPolicyPoll(benchmark::State& state) {
  QTemporaryDir sysfs;
  const QDBusConnection none(QStringLiteral("tavolune-bench-no-bus"));
  LinuxSessionWatch session(none, none);
  LinuxPowerSources::Options options;
  options.thermalRoot = sysfs.path();
  options.desktop = QStringLiteral("none");
  LinuxPowerSources sources(none, options);
  X11WindowCoverage coverage;
  struct NoDisplays final : DisplaySource {
    std::vector<Display> displays() const override { return {}; }
  } noDisplays;
  PowerPolicy policy(session, sources, coverage, noDisplays);
  for (auto _ : state) policy.poll();
}
BENCHMARK(BM_PowerPolicyPoll)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace tavolune::bench
