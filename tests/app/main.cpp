#include "app/platform/UrlLauncher.hpp"
#include "app/render/ImagePipeline.hpp"
#include "app/stage/ArtRuntime.hpp"

#include <QApplication>

#include <gmock/gmock.h>

// Under LeakSanitizer: GStreamer's PulseAudio device provider and GLib keep
// one-time allocations to the end of the process; nothing of ours.
extern "C" const char* __lsan_default_suppressions() { return "leak:libpulse.so\nleak:libglib-2.0.so\n"; }

// Qt needs an application object (and video needs its event loop) before any
// image, media or widget code runs. Tier 1 runs on the offscreen platform;
// the desktop and web tiers get QT_QPA_PLATFORM=xcb from CTest. Listing the
// tests never needs a display.
int main(int argc, char** argv) {
  tavolune::captureGivenEnvironment();
  for (int i = 1; i < argc; ++i) {
    if (std::string_view(argv[i]).starts_with("--gtest_list_tests")) qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // Offscreen tests draw in memory. With a display around, the offscreen
  // platform would load the GL driver through GLX, whose exit-time
  // allocations LeakSanitizer reports against no library of ours.
  if (qgetenv("QT_QPA_PLATFORM") == "offscreen" && qEnvironmentVariableIsEmpty("QT_QPA_OFFSCREEN_NO_GLX")) {
    qputenv("QT_QPA_OFFSCREEN_NO_GLX", "1");
  }
  // The program's media back end, as main() chooses it there.
  tavolune::ImagePipeline::chooseMediaBackend();
  // The web engine's sandbox cannot run as root, which CI does.
  if (qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX")) qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
  // The stage's web tests need WebGL refused, as on blocklisted hardware,
  // however this machine draws: run alone, as CTest runs each test, they
  // start the engine with --disable-gpu.
  // A test named for it runs where the platform has no OpenGL at all.
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg(argv[i]);
    if (arg.starts_with("--gtest_filter=ArtStageWebTest.")) {
      qputenv("QTWEBENGINE_CHROMIUM_FLAGS", qgetenv("QTWEBENGINE_CHROMIUM_FLAGS") + " --disable-gpu");
    }
    if (arg.starts_with("--gtest_filter=") && arg.ends_with("WithoutOpenGL")) qputenv("QT_XCB_GL_INTEGRATION", "none");
  }
  tavolune::ArtRuntime::registerScheme();
  QApplication app(argc, argv);
  ::testing::InitGoogleMock(&argc, argv);
  return RUN_ALL_TESTS();
}
