#include <QGuiApplication>

#include <gmock/gmock.h>

// Under LeakSanitizer: GStreamer's PulseAudio device provider and GLib keep
// one-time allocations to the end of the process; nothing of ours.
extern "C" const char* __lsan_default_suppressions() { return "leak:libpulse.so\nleak:libglib-2.0.so\n"; }

// Qt needs an application object (and video needs its event loop) before any
// image or media code runs; tests run headless on the offscreen platform.
int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  if (qEnvironmentVariableIsEmpty("QT_MEDIA_BACKEND")) qputenv("QT_MEDIA_BACKEND", "gstreamer");
  QGuiApplication app(argc, argv);
  ::testing::InitGoogleMock(&argc, argv);
  return RUN_ALL_TESTS();
}
