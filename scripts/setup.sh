#!/usr/bin/env bash
# Installs every Debian 12 package Tavolune needs to build, test and run.
# Idempotent: installs only what is missing; runs as root or through sudo.
set -euo pipefail

packages=(
  # toolchain
  build-essential g++ cmake ninja-build pkg-config git python3
  clang-14 libclang-rt-14-dev
  # core libraries
  libcurl4-openssl-dev nlohmann-json3-dev libicu-dev zlib1g-dev
  libhowardhinnant-date-dev uuid-dev libsimdjson-dev libdeflate-dev
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev libcpp-httplib-dev libssl-dev libbrotli-dev
  # application: Qt 6, SVG through librsvg, WebP through Qt's plugin, AVIF
  # through libavif, video through GStreamer
  qt6-base-dev qt6-svg-dev qt6-multimedia-dev librsvg2-dev qt6-image-formats-plugins libavif-dev
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-libav
  qt6-webengine-dev libqt6opengl6-dev
  libxcb1-dev libxcb-randr0-dev libxcb-ewmh-dev libxcb-icccm4-dev libxcb-screensaver0-dev
  libxcb-dpms0-dev libxcb-xtest0-dev libxcb-image0-dev libxcb-shape0-dev libxcb-shm0-dev libglib2.0-dev
  # desktop components the tests run against: a virtual display, a private
  # session bus, mocks of system services, GIO settings, xfconf
  xvfb xauth x11-xserver-utils dbus dbus-bin python3-dbusmock libglib2.0-bin
  gsettings-desktop-schemas xfconf imagemagick
  # a window manager, for the windows minimised and brought back
  openbox
  # bench/session/measure: its StatusNotifier watcher and tray activation
  python3-dbus python3-gi
  # bench/app/WallpaperBench: feh sets the same root picture, a yardstick
  # for the benchmark only; the program never runs it
  feh
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y --no-install-recommends "${missing[@]}"
